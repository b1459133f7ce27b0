// The program directory: path rules, the file test, the search along the current
// directory and the PATH, and the directory change, on both platform families.
#include <gtest/gtest.h>

#include <string>

#include "lib/progdir.h"
#include "lib/wide.h"
#include "sim/machine.h"

namespace {

std::u16string Text(const SWStr& s) { return std::u16string(s.Chars()); }

sim::MachineConfig OnSystem(const char* os) {
    sim::MachineConfig config;
    config.os = os;
    config.installDir = "";
    return config;
}

// ---- rules on text alone ----

TEST(ProgramPaths, JoinPathResolvesLeadingDotComponents) {
    struct Case {
        const char16_t* directory;
        const char16_t* name;
        const char16_t* joined;
    };
    const Case cases[] = {
        {u"C:\\a\\b", u"..\\x.exe", u"C:\\a\\x.exe"},
        {u"C:\\a\\b\\", u"..\\x.exe", u"C:\\a\\x.exe"},
        {u"C:\\a", u".\\x.exe", u"C:\\a\\x.exe"},
        {u"C:\\a\\b", u".\\..\\.\\x.exe", u"C:\\a\\x.exe"},
        {u"C:\\a\\b", u"..\\..\\x.exe", u"C:\\x.exe"},
        {u"C:", u"..\\x.exe", u"C:"},  // above the drive: the name is dropped
        {u"C:\\a", u"..\\..\\x.exe", u"C:"},
        {u"C:\\a", u"x.exe", u"C:\\a\\x.exe"},
        {u"C:\\a\\", u"\\x.exe", u"C:\\a\\x.exe"},
        {u"C:\\a", u"sub\\..\\x.exe", u"C:\\a\\sub\\..\\x.exe"},  // only leading steps
        {u"C:\\a", u"..x.exe", u"C:\\a\\..x.exe"},
        {u"C:\\a", u"..", u"C:\\a\\.."},
        {u"", u"x.exe", u"x.exe"},
        {u"tools", u"x.exe", u"tools\\x.exe"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Text(JoinPath(c.directory, c.name)), c.joined)
            << ::testing::PrintToString(std::u16string(c.directory)) << " + "
            << ::testing::PrintToString(std::u16string(c.name));
    }
}

TEST(ProgramPaths, AbsoluteMeansDriveRootedWithoutDotSteps) {
    struct Case {
        const char16_t* path;
        bool absolute;
    };
    const Case cases[] = {
        {u"C:\\", true},
        {u"C:\\dir\\prog.exe", true},
        {u"1:\\prog.exe", true},  // the drive is not checked to be a letter
        {u"C:\\dir\\.", true},
        {u"C:\\dir\\.hidden\\prog.exe", true},
        {u"C:\\dir\\..\\prog.exe", false},
        {u"C:\\.\\prog.exe", false},
        {u"C:\\dir\\..hidden", false},
        {u"C:\\dir\\..", false},
        {u"C:prog.exe", false},
        {u"\\dir\\prog.exe", false},
        {u"prog.exe", false},
        {u"C:", false},
        {u"", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(IsAbsolutePath(c.path), c.absolute) << ::testing::PrintToString(std::u16string(c.path));
}

TEST(ProgramPaths, DirectoryPartIsTheTextBeforeTheLastBackslash) {
    EXPECT_EQ(Text(DirectoryPart(u"C:\\a\\b\\prog.exe")), u"C:\\a\\b");
    EXPECT_EQ(Text(DirectoryPart(u"C:\\prog.exe")), u"C:");
    EXPECT_EQ(Text(DirectoryPart(u"C:\\a\\")), u"C:\\a");
    EXPECT_EQ(Text(DirectoryPart(u"prog.exe")), u"");
    EXPECT_EQ(Text(DirectoryPart(u"")), u"");
}

// ---- on a machine ----

class ProgramDirectory : public ::testing::TestWithParam<const char*> {
protected:
    ProgramDirectory() : machine(OnSystem(GetParam())) {
        machine.files.AddFile("C:\\Pexa\\prog.exe", "MZ");
        machine.files.AddDirectory("C:\\Pexa\\folder.exe");
        machine.hostProcess.cwd = "C:\\Pexa";
    }

    bool Win9x() const { return machine.IsWin9x(); }

    sim::Machine machine;
};

// The attribute test falls back to the 8-bit call where the wide one is missing.
TEST_P(ProgramDirectory, IsExistingFileIsTrueForFilesOnly) {
    EXPECT_TRUE(IsExistingFile(u"C:\\Pexa\\prog.exe"));
    EXPECT_TRUE(IsExistingFile(u"c:\\pexa\\PROG.EXE"));
    EXPECT_TRUE(IsExistingFile(u"prog.exe"));
    EXPECT_FALSE(IsExistingFile(u"C:\\Pexa\\folder.exe"));
    EXPECT_FALSE(IsExistingFile(u"C:\\Pexa"));
    EXPECT_FALSE(IsExistingFile(u"C:\\Pexa\\other.exe"));
    EXPECT_FALSE(IsExistingFile(u""));
}

TEST_P(ProgramDirectory, AnAbsoluteNameIsOnlyTestedNotSearched) {
    machine.hostProcess.env["PATH"] = "C:\\Pexa";
    EXPECT_EQ(Text(FindProgramFile(u"C:\\Pexa\\prog.exe")), u"C:\\Pexa\\prog.exe");
    EXPECT_EQ(Text(FindProgramFile(u"C:\\Other\\prog.exe")), u"");
    EXPECT_EQ(Text(FindProgramFile(u"C:\\Pexa\\folder.exe")), u"");
}

// Windows 98/ME give no wide current directory: the relative name is tested as it
// stands, against the process's own directory, and comes back relative.
TEST_P(ProgramDirectory, ARelativeNameIsFoundInTheCurrentDirectory) {
    EXPECT_EQ(Text(FindProgramFile(u"prog.exe")), Win9x() ? u"prog.exe" : u"C:\\Pexa\\prog.exe");
    machine.hostProcess.cwd = "C:\\Pexa\\sub";
    machine.files.AddDirectory("C:\\Pexa\\sub");
    // Joined to the empty directory, the step above it leaves nothing to test.
    EXPECT_EQ(Text(FindProgramFile(u"..\\prog.exe")), Win9x() ? u"" : u"C:\\Pexa\\prog.exe");
}

TEST_P(ProgramDirectory, TheChangeWorksOnBothFamilies) {
    struct Case {
        std::string commandLine;
        std::string cwdAfter;
    };
    machine.files.AddFile("C:\\prog2.exe", "MZ");
    const Case cases[] = {
        {"C:\\Pexa\\prog.exe -4", "C:\\Pexa"},
        {"\"C:\\Pexa\\prog.exe\"", "C:\\Pexa"},
        {"C:\\Nowhere\\prog.exe", "C:\\Windows"},  // a failed change leaves it as it was
        {"C:\\prog2.exe", "C:\\Windows"},  // the drive alone: that drive's current directory
        {"other.exe", "C:\\Windows"},
    };
    for (const Case& c : cases) {
        machine.hostProcess.cwd = "C:\\Windows";
        machine.hostProcess.commandLineA = c.commandLine;
        ChangeToProgramDirectory();
        EXPECT_EQ(machine.hostProcess.cwd, c.cwdAfter) << c.commandLine;
    }
}

INSTANTIATE_TEST_SUITE_P(Systems, ProgramDirectory, ::testing::Values("win2000", "win98"));

struct SearchCase {
    const char* name;
    const char* path;  // the PATH value; null: unset
    const char16_t* found;
};

// The search on the NT family, where the current directory and PATH can be read.
TEST(ProgramSearch, ThePathIsWalkedEntryByEntry) {
    sim::Machine machine(OnSystem("win2000"));
    machine.files.AddFile("C:\\bin\\prog.exe", "MZ");
    machine.files.AddFile("C:\\work\\tools\\tool.exe", "MZ");
    machine.files.AddFile("C:\\work\\local.exe", "MZ");
    machine.files.AddDirectory("C:\\fake\\prog.exe");
    machine.files.AddFile("C:\\quoted dir\\q.exe", "MZ");
    machine.files.AddDirectory("C:\\work");
    const SearchCase cases[] = {
        {"prog.exe", ";;C:\\bin;", u"C:\\bin\\prog.exe"},
        {"prog.exe", "C:\\fake;C:\\bin", u"C:\\bin\\prog.exe"},  // a directory is no program
        {"prog.exe", "C:\\nothing;C:\\bin\\", u"C:\\bin\\prog.exe"},
        {"tool.exe", "tools", u"C:\\work\\tools\\tool.exe"},     // relative to the current one
        {"tool.exe", ".\\tools", u"C:\\work\\tools\\tool.exe"},
        {"local.exe", "C:\\bin", u"C:\\work\\local.exe"},        // the current directory first
        {"prog.exe", ";;;", u""},
        {"prog.exe", "", u""},
        {"prog.exe", nullptr, u""},
        {"q.exe", "\"C:\\quoted dir\"", u""},                      // quotes are not removed
        {"C:\\work\\..\\bin\\prog.exe", "C:\\bin", u""},            // not absolute: searched
    };
    for (const SearchCase& c : cases) {
        machine.hostProcess.cwd = "C:\\work";
        if (c.path)
            machine.hostProcess.env["PATH"] = c.path;
        else
            machine.hostProcess.env.erase("PATH");
        const std::u16string name(c.name, c.name + std::char_traits<char>::length(c.name));
        EXPECT_EQ(Text(FindProgramFile(name.c_str())), c.found)
            << c.name << " on PATH " << (c.path ? c.path : "(unset)");
    }
}

TEST(ProgramSearch, TheNameComesFromTheCommandLine) {
    sim::Machine machine(OnSystem("win2000"));
    machine.files.AddFile("C:\\Program Files\\Pexa\\pexasmsc2k.exe", "MZ");
    machine.files.AddFile("C:\\bin\\tray.EXE", "MZ");
    machine.files.AddFile("C:\\bin\\t.exe", "MZ");
    machine.files.AddFile("C:\\bin\\ab.exe.exe", "MZ");
    machine.files.AddDirectory("C:\\work\\tray.exe");
    machine.hostProcess.cwd = "C:\\work";
    machine.hostProcess.env["PATH"] = "C:\\bin";
    struct Case {
        const char* commandLine;
        const char16_t* directory;
    };
    const Case cases[] = {
        {"\"C:\\Program Files\\Pexa\\pexasmsc2k.exe\" -V", u"C:\\Program Files\\Pexa"},
        {"\"C:\\Program Files\\Pexa\\pexasmsc2k.exe", u"C:\\Program Files\\Pexa"},
        {"C:\\dir\\prog.exe -4", u"C:\\dir"},  // absolute: taken without a test
        {"C:\\dir\\prog/b4", u"C:\\dir"},
        {"C:\\my-dir\\prog.exe", u"C:"},      // an unquoted hyphen ends the name
        {"C:\\prog.exe", u"C:"},
        {"tray -V", u"C:\\bin"},              // ".exe" added; a directory of that name skipped
        {"TRAY.Exe", u"C:\\bin"},             // kept in its own case
        {"t", u"C:\\bin"},
        {"ab.exe", u""},                      // kept: "ab.exe.exe" is not looked for
        {"\"ab.exe\"", u""},
        {".exe", u""},                        // four characters: ".exe" is added
        {"", u""},
        {"C:\\work\\..\\bin\\t.exe", u""},
    };
    for (const Case& c : cases) {
        machine.hostProcess.commandLineA = c.commandLine;
        EXPECT_EQ(Text(GetProgramDirectory()), c.directory) << c.commandLine;
    }
}

}  // namespace
