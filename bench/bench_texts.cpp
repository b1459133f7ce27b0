// Text lookups in the shipped string tables: SIni::GetValue, which scans the raw text
// from the top for every lookup, against a plain std::string parser of the same file,
// once scanning line by line per lookup and once reading the file into a map first.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "alloc_count.h"
#include "lib/textfile.h"

namespace {

using bench::AllocationMeter;

const char* const kTables[] = {"str_us.txt", "str_FR.txt", "str_GR.txt", "str_IT.txt",
                               "str_JP.txt", "str_NE.txt", "str_PT.txt", "str_SP.txt",
                               "str_SW.txt"};

struct Lookup {
    const char* section;
    const char* key;
};

// What the programs ask for, and one key that no table has.
const Lookup kLookups[] = {{"Proj", "NameVersion"}, {"String", "Enable"},
                           {"String", "Disable"},   {"String", "Help"},
                           {"String", "Cancel"},    {"String", "ASKREBOOT"},
                           {"String", "Missing"}};
constexpr int kLookupCount = sizeof kLookups / sizeof kLookups[0];
constexpr int kTableCount = sizeof kTables / sizeof kTables[0];
// Each iteration makes every lookup in every table; the report divides by this.
constexpr double kLookupsPerIteration = kLookupCount * kTableCount;

std::string ReadShipped(const char* name)
{
    const std::string path = std::string(PEXA_DATA_DIR) + "/" + name;
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        std::fprintf(stderr, "bench: cannot read %s\n", path.c_str());
        std::exit(1);
    }
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

// A table filled from text in memory, with the two zero bytes the programs load it with.
class TableInMemory : public SIni {
public:
    explicit TableInMemory(const std::string& text)
    {
        Resize(static_cast<int32_t>(text.size()) + 2);
        std::memcpy(m_data, text.data(), text.size());
        m_data[text.size()] = 0;
        m_data[text.size() + 1] = 0;
    }
};

std::string Lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char ch) { return static_cast<char>(std::tolower(ch)); });
    return text;
}

// The straightforward way with standard strings: read the lines, remember the section,
// compare names without case.
bool ScanLines(const std::string& text, const std::string& section, const std::string& key,
               std::string& value)
{
    std::istringstream lines(text);
    std::string line;
    std::string current;
    const std::string wantedSection = Lower(section);
    const std::string wantedKey = Lower(key);
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (!line.empty() && line.front() == '[') {
            current = Lower(line.substr(1, line.find(']') - 1));
            continue;
        }
        const size_t equals = line.find('=');
        if (current == wantedSection && equals != std::string::npos &&
            Lower(line.substr(0, equals)) == wantedKey) {
            value = line.substr(equals + 1);
            return true;
        }
    }
    return false;
}

// The same parser, run once over the file into a map of "section/key" to value.
std::map<std::string, std::string> ParseAll(const std::string& text)
{
    std::map<std::string, std::string> values;
    std::istringstream lines(text);
    std::string line;
    std::string current;
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (!line.empty() && line.front() == '[') {
            current = Lower(line.substr(1, line.find(']') - 1));
            continue;
        }
        const size_t equals = line.find('=');
        if (equals != std::string::npos)
            values.emplace(current + "/" + Lower(line.substr(0, equals)), line.substr(equals + 1));
    }
    return values;
}

struct Tables {
    std::vector<std::string> texts;
    std::vector<TableInMemory*> tables;

    Tables()
    {
        for (const char* name : kTables) {
            texts.push_back(ReadShipped(name));
            tables.push_back(new TableInMemory(texts.back()));
        }
        CheckAgreement();
    }

    // The comparison is only fair if every implementation finds the same texts.
    void CheckAgreement() const
    {
        for (size_t t = 0; t < texts.size(); ++t) {
            const auto all = ParseAll(texts[t]);
            for (const Lookup& lookup : kLookups) {
                SStr ours;
                std::string theirs;
                const bool found = tables[t]->GetValue(ours, lookup.section, lookup.key, nullptr);
                const bool scanned = ScanLines(texts[t], lookup.section, lookup.key, theirs);
                const auto mapped = all.find(Lower(std::string(lookup.section) + "/" + lookup.key));
                const bool agree = found == scanned && (!found || theirs == ours.Chars()) &&
                                   (mapped != all.end()) == found &&
                                   (!found || mapped->second == theirs);
                if (!agree) {
                    std::fprintf(stderr, "bench: parsers disagree on %s [%s] %s\n", kTables[t],
                                 lookup.section, lookup.key);
                    std::exit(1);
                }
            }
        }
    }
};

const Tables& Shipped()
{
    static const Tables* tables = new Tables();
    return *tables;
}

// Every lookup of every table; figures are per lookup.
void LookupGetValue(benchmark::State& state)
{
    const Tables& shipped = Shipped();
    AllocationMeter meter;
    for (auto _ : state) {
        for (const TableInMemory* table : shipped.tables) {
            for (const Lookup& lookup : kLookups) {
                SStr text;  // as GetText gives each text in a string of its own
                table->GetValue(text, lookup.section, lookup.key, nullptr);
                benchmark::DoNotOptimize(text);
            }
        }
    }
    meter.Publish(state);
    state.counters["ops"] = kLookupsPerIteration;
}

void LookupScanLines(benchmark::State& state)
{
    const Tables& shipped = Shipped();
    AllocationMeter meter;
    for (auto _ : state) {
        for (const std::string& text : shipped.texts) {
            for (const Lookup& lookup : kLookups) {
                std::string value;
                ScanLines(text, lookup.section, lookup.key, value);
                benchmark::DoNotOptimize(value);
            }
        }
    }
    meter.Publish(state);
    state.counters["ops"] = kLookupsPerIteration;
}

// Parsing every table into a map and then making the same lookups: what an index costs
// for the handful of lookups a program makes.
void LookupParsedMap(benchmark::State& state)
{
    const Tables& shipped = Shipped();
    AllocationMeter meter;
    for (auto _ : state) {
        for (const std::string& text : shipped.texts) {
            const auto values = ParseAll(text);
            for (const Lookup& lookup : kLookups) {
                const std::string name = std::string(lookup.section) + "/" + lookup.key;
                const auto found = values.find(Lower(name));
                std::string value = found != values.end() ? found->second : std::string();
                benchmark::DoNotOptimize(value);
            }
        }
    }
    meter.Publish(state);
    state.counters["ops"] = kLookupsPerIteration;
}

BENCHMARK(LookupGetValue)->Name("table lookup/SIni::GetValue");
BENCHMARK(LookupScanLines)->Name("table lookup/std::string scan");
BENCHMARK(LookupParsedMap)->Name("table lookup/std::map parsed per file");

}  // namespace
