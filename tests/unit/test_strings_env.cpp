// The string operations that read the process's environment and current directory,
// against the simulated machine's process state.
#include <gtest/gtest.h>

#include <string>

#include "lib/strings.h"
#include "lib/wide.h"
#include "sim/machine.h"

namespace {

std::u16string Text(const SWStr& s) { return std::u16string(s.Chars()); }

sim::MachineConfig OnSystem(const char* os) {
    sim::MachineConfig config;
    config.os = os;
    return config;
}

TEST(StringEnvironment, AssignEnvReadsTheValueOrGivesEmpty) {
    sim::Machine machine{sim::MachineConfig{}};
    machine.hostProcess.env["PEXA_DIR"] = "C:\\Program Files\\Pexa";
    machine.hostProcess.env["PEXA_EMPTY"] = "";
    machine.hostProcess.env["PEXA_OEM"] = "M\x81ller";
    machine.hostProcess.env["PEXA_LONG"] = std::string(300, 'v');
    struct Case {
        const char16_t* name;
        std::u16string value;
    };
    const Case cases[] = {
        {u"PEXA_DIR", u"C:\\Program Files\\Pexa"},
        {u"pexa_dir", u"C:\\Program Files\\Pexa"},  // names ignore case
        {u"PEXA_EMPTY", u""},
        {u"PEXA_UNSET", u""},
        {u"PEXA_OEM", u"M\u00FCller"},
        {u"PEXA_LONG", std::u16string(300, u'v')},
    };
    for (const Case& c : cases) {
        SWStr s(WIDE("previous"));
        s.AssignEnv(c.name);
        EXPECT_EQ(Text(s), c.value) << ::testing::PrintToString(std::u16string(c.name));
        EXPECT_EQ(static_cast<size_t>(s.Length()), c.value.size());
    }
}

TEST(StringEnvironment, AssignCurrentDirReadsTheProcessDirectory) {
    sim::Machine machine{sim::MachineConfig{}};
    machine.hostProcess.cwd = "C:\\Pexa";
    SWStr s;
    s.AssignCurrentDir();
    EXPECT_EQ(Text(s), u"C:\\Pexa");
    EXPECT_EQ(s.Length(), 7);

    s.AppendPath(WIDE("str_us.txt"));
    EXPECT_EQ(Text(s), u"C:\\Pexa\\str_us.txt");
}

// Windows 98/ME has no wide environment and directory calls: both give empty strings.
TEST(StringEnvironment, WithoutTheWideCallsBothAreEmpty) {
    sim::Machine machine{OnSystem("win98")};
    machine.hostProcess.env["PEXA_DIR"] = "C:\\Pexa";
    machine.hostProcess.cwd = "C:\\Pexa";
    SWStr env(WIDE("previous"));
    env.AssignEnv(WIDE("PEXA_DIR"));
    EXPECT_EQ(Text(env), u"");
    SWStr dir(WIDE("previous"));
    dir.AssignCurrentDir();
    EXPECT_EQ(Text(dir), u"");
}

}  // namespace
