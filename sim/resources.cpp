#include "sim/resources.h"

#include <cctype>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace sim {

namespace {

using Defines = std::map<std::string, long>;

std::string DirectoryOf(const std::string& path)
{
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? "." : path.substr(0, slash);
}

// Splits a line into words; quoted text stays one word without its quotes, and commas
// separate words.
std::vector<std::string> Words(const std::string& line)
{
    std::vector<std::string> words;
    size_t i = 0;
    while (i < line.size()) {
        char c = line[i];
        if (std::isspace(static_cast<unsigned char>(c)) || c == ',') {
            ++i;
        } else if (c == '"') {
            size_t end = line.find('"', i + 1);
            if (end == std::string::npos)
                end = line.size();
            words.push_back(line.substr(i + 1, end - i - 1));
            i = end + 1;
        } else if (c == '/' && i + 1 < line.size() && line[i + 1] == '/') {
            break;
        } else {
            size_t start = i;
            while (i < line.size() && !std::isspace(static_cast<unsigned char>(line[i])) &&
                   line[i] != ',')
                ++i;
            words.push_back(line.substr(start, i - start));
        }
    }
    return words;
}

void ReadDefines(const std::string& path, Defines& defines)
{
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        auto words = Words(line);
        if (words.size() >= 3 && words[0] == "#define") {
            char* end = nullptr;
            long value = std::strtol(words[2].c_str(), &end, 0);
            if (end && *end == '\0')
                defines[words[1]] = value;
        }
    }
}

bool Number(const std::string& word, const Defines& defines, long& value)
{
    auto it = defines.find(word);
    if (it != defines.end()) {
        value = it->second;
        return true;
    }
    char* end = nullptr;
    value = std::strtol(word.c_str(), &end, 0);
    return !word.empty() && end && *end == '\0';
}

class MenuParser {
public:
    MenuParser(std::istream& in, const Defines& defines) : in_(in), defines_(defines) {}

    // Reads BEGIN ... END and the items between.
    std::vector<MenuItemResource> Block()
    {
        std::vector<MenuItemResource> items;
        std::string line;
        bool begun = false;
        while (std::getline(in_, line)) {
            auto words = Words(line);
            if (words.empty())
                continue;
            if (words[0] == "BEGIN" || words[0] == "{") {
                begun = true;
            } else if (words[0] == "END" || words[0] == "}") {
                return items;
            } else if (begun && words[0] == "POPUP" && words.size() >= 2) {
                MenuItemResource popup;
                popup.isPopup = true;
                popup.text = words[1];
                popup.popup = Block();
                items.push_back(popup);
            } else if (begun && words[0] == "MENUITEM" && words.size() >= 3) {
                MenuItemResource item;
                item.text = words[1];
                long id = 0;
                Number(words[2], defines_, id);
                item.id = static_cast<unsigned>(id);
                items.push_back(item);
            }
        }
        return items;
    }

private:
    std::istream& in_;
    const Defines& defines_;
};

}  // namespace

ProgramResources ProgramResources::Load(const std::string& path)
{
    ProgramResources resources;
    std::ifstream file(path);
    if (!file)
        return resources;
    Defines defines{{"IDOK", 1}, {"IDCANCEL", 2}};
    std::stringstream in;
    in << file.rdbuf();
    std::string line;
    while (std::getline(in, line)) {
        auto words = Words(line);
        if (words.size() >= 2 && words[0] == "#include")
            ReadDefines(DirectoryOf(path) + "/" + words[1], defines);
        else if (words.size() >= 3 && words[1] == "ICON") {
            long id = 0;
            if (Number(words[0], defines, id))
                resources.icons[static_cast<int>(id)] = words[2];
            else
                resources.namedIcons[words[0]] = words[2];
        } else if (words.size() >= 2 && words[1] == "MENU") {
            long id = 0;
            if (Number(words[0], defines, id)) {
                MenuParser parser(in, defines);
                resources.menus[static_cast<int>(id)] = parser.Block();
            }
        }
    }
    return resources;
}

}  // namespace sim
