#include "sim/filesystem.h"

#include <algorithm>
#include <cctype>

namespace sim {

namespace {

bool IsDriveSpec(const std::string& s)
{
    return s.size() >= 2 && std::isalpha(static_cast<unsigned char>(s[0])) && s[1] == ':';
}

std::string Upper(std::string s)
{
    for (char& c : s)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

}  // namespace

std::string FileSystem::Resolve(const std::string& cwd, const std::string& nameIn)
{
    std::string name = nameIn;
    std::replace(name.begin(), name.end(), '/', '\\');
    if (name.empty())
        return "";
    std::string base;
    std::string rest;
    if (IsDriveSpec(name)) {
        std::string drive = name.substr(0, 2);
        rest = name.substr(2);
        if (!rest.empty() && rest[0] == '\\')
            base = drive;
        else if (IsDriveSpec(cwd) && std::toupper(static_cast<unsigned char>(cwd[0])) ==
                                         std::toupper(static_cast<unsigned char>(drive[0])))
            base = cwd;  // "C:x" is relative to the current directory of drive C
        else
            base = drive;
    } else if (name[0] == '\\') {
        if (!IsDriveSpec(cwd))
            return "";
        base = cwd.substr(0, 2);
        rest = name;
    } else {
        if (!IsDriveSpec(cwd))
            return "";
        base = cwd;
        rest = name;
    }
    std::vector<std::string> parts;
    auto push = [&parts](const std::string& text) {
        size_t start = 0;
        while (start <= text.size()) {
            size_t end = text.find('\\', start);
            if (end == std::string::npos)
                end = text.size();
            std::string part = text.substr(start, end - start);
            if (part == "..") {
                if (!parts.empty())
                    parts.pop_back();
            } else if (!part.empty() && part != ".") {
                parts.push_back(part);
            }
            start = end + 1;
        }
    };
    std::string drive = Upper(base.substr(0, 2));
    push(base.substr(2));
    push(rest);
    std::string full = drive;
    if (parts.empty())
        return full + "\\";
    for (const auto& part : parts)
        full += "\\" + part;
    return full;
}

std::string FileSystem::Key(const std::string& path)
{
    std::string key = Upper(path);
    while (key.size() > 3 && key.back() == '\\')
        key.pop_back();
    return key;
}

void FileSystem::AddDirectory(const std::string& path)
{
    std::string full = Resolve("C:\\", path);
    if (full.empty())
        return;
    std::string key = Key(full);
    for (size_t pos = 3; pos <= key.size(); ++pos) {
        if (pos == key.size() || key[pos] == '\\') {
            std::string parentKey = key.substr(0, pos);
            auto& entry = entries_[parentKey];
            if (entry.path.empty()) {
                entry.path = full.substr(0, pos);
                entry.directory = true;
            }
        }
    }
    auto& root = entries_[key.substr(0, 2) + "\\"];
    root.path = full.substr(0, 2) + "\\";
    root.directory = true;
}

void FileSystem::AddFile(const std::string& path, std::vector<uint8_t> data)
{
    std::string full = Resolve("C:\\", path);
    if (full.empty())
        return;
    size_t slash = full.rfind('\\');
    AddDirectory(full.substr(0, std::max<size_t>(slash, 3)));
    auto& entry = entries_[Key(full)];
    if (entry.path.empty())
        entry.path = full;
    entry.directory = false;
    entry.data = std::move(data);
}

void FileSystem::AddFile(const std::string& path, const std::string& text)
{
    AddFile(path, std::vector<uint8_t>(text.begin(), text.end()));
}

bool FileSystem::Remove(const std::string& path)
{
    return entries_.erase(Key(path)) > 0;
}

bool FileSystem::IsFile(const std::string& path) const
{
    auto it = entries_.find(Key(path));
    return it != entries_.end() && !it->second.directory;
}

bool FileSystem::IsDirectory(const std::string& path) const
{
    auto it = entries_.find(Key(path));
    return it != entries_.end() && it->second.directory;
}

std::optional<std::vector<uint8_t>> FileSystem::Read(const std::string& path) const
{
    auto it = entries_.find(Key(path));
    if (it == entries_.end() || it->second.directory)
        return std::nullopt;
    return it->second.data;
}

std::vector<std::string> FileSystem::Files() const
{
    std::vector<std::string> files;
    for (const auto& [key, entry] : entries_)
        if (!entry.directory)
            files.push_back(entry.path);
    return files;
}

}  // namespace sim
