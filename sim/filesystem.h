// The simulated machine's file system.
//
// Drive-letter paths with backslashes, names compared without regard to case, as on
// Windows. Files hold bytes; directories exist explicitly or as parents of files.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace sim {

class FileSystem {
public:
    // Full path of name as seen from the directory cwd ("C:\Pexa"): relative names,
    // drive-relative names ("C:x"), "." and ".." steps and doubled backslashes are
    // resolved. Forward slashes count as backslashes. Empty when name is empty or invalid.
    static std::string Resolve(const std::string& cwd, const std::string& name);

    // Creates or replaces a file; its parent directories come into being.
    void AddFile(const std::string& path, std::vector<uint8_t> data);
    void AddFile(const std::string& path, const std::string& text);
    void AddDirectory(const std::string& path);
    bool Remove(const std::string& path);

    bool IsFile(const std::string& path) const;
    bool IsDirectory(const std::string& path) const;
    bool Exists(const std::string& path) const { return IsFile(path) || IsDirectory(path); }
    // Contents of a file, or nothing when there is no such file.
    std::optional<std::vector<uint8_t>> Read(const std::string& path) const;

    // Every file, by its full path as first written.
    std::vector<std::string> Files() const;

private:
    struct Entry {
        std::string path;  // as first written
        bool directory = false;
        std::vector<uint8_t> data;
    };
    static std::string Key(const std::string& path);  // upper-cased full path
    std::map<std::string, Entry> entries_;
};

}  // namespace sim
