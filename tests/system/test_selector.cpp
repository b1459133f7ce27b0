// pexaro, the selector, run in the simulated machine: the launch table, the command it
// builds, the close path, and how it uses the control device.
#include <gtest/gtest.h>

#include <ntddk.h>

#include "pexactrl.h"
#include "scenario_helpers.h"
#include "sim/io_objects.h"

using namespace pexatest;

namespace {

const char kSelector[] = "C:\\Pexa\\pexaro.exe";
const char kTray[] = "C:\\Pexa\\pexasmsc2k.exe";
const uint32_t kBiosCall = 0x222040;
const int kShowNormal = 1;

const Json kRow3 = Json::array({"_Tov", "____", "_Lum", "____"});
const Json kRow4 = Json::array({"_J33", "____", "_Vol", "d___"});
const Json kRow5 = Json::array({"_J57", "____", "_Vol", "d___"});
const Json kRow5OtherThirdChunk = Json::array({"_J57", "____", "_Vox", "d___"});

Json Oem(const Json& chunks)
{
    return Json{{"oem", chunks}};
}

Json Product(const char* name)
{
    return Json{{"product", name}};
}

std::vector<TraceEvent> BiosCalls(const RunResult& r)
{
    std::vector<TraceEvent> calls;
    for (const auto& e : Events(r, "ioctl"))
        if (e.fields["code"] == kBiosCall)
            calls.push_back(e);
    return calls;
}

// Every run of the selector ends with exit code 0.
void ExpectSelectorExitsWithZero(const RunResult& r)
{
    int selectorExits = 0;
    for (const auto& e : Events(r, "exit")) {
        if (e.fields["program"] == "pexaro.exe") {
            ++selectorExits;
            EXPECT_EQ(e.fields["code"], 0);
        }
    }
    EXPECT_GE(selectorExits, 1);
    EXPECT_EQ(r.crashes, 0);
}

// ---- the launch table --------------------------------------------------------------

struct LaunchCase {
    const char* name;
    const char* os;
    Json firmware;
    const char* command;  // "" when nothing starts
};

void PrintTo(const LaunchCase& c, std::ostream* os)
{
    *os << c.name;
}

class LaunchTable : public ::testing::TestWithParam<LaunchCase> {};

TEST_P(LaunchTable, StartsTheModelsProgramForTheSystem)
{
    const LaunchCase& c = GetParam();
    RunResult r = RunSteps(Json{{"os", c.os}, {"firmware", c.firmware}},
                           Json::array({{{"at_ms", 0}, {"run", kSelector}}}));
    auto launched = Events(r, "winexec");
    if (std::string(c.command).empty()) {
        EXPECT_TRUE(launched.empty()) << launched[0].fields["cmd"];
    } else {
        ASSERT_EQ(launched.size(), 1u);
        EXPECT_EQ(launched[0].fields["cmd"], c.command);
        EXPECT_EQ(launched[0].fields["show"], kShowNormal);
    }
    ExpectSelectorExitsWithZero(r);
}

const char kTray98[] = "C:\\Pexa\\pexasmsc98.exe -4 -b4";
const char kTray2k[] = "C:\\Pexa\\pexasmsc2k.exe -4 -b4";
const char kSibling21[] = "C:\\Pexa\\pexaro21.exe";
const char kSibling4698[] = "C:\\Pexa\\pexaro4698.exe";
const char kSibling462k[] = "C:\\Pexa\\pexaro462k.exe";

INSTANTIATE_TEST_SUITE_P(
    Cells, LaunchTable,
    ::testing::Values(
        LaunchCase{"Row3Win98", "win98", Oem(kRow3), kTray98},
        LaunchCase{"Row3Win2000", "win2000", Oem(kRow3), kTray2k},
        LaunchCase{"Row3Nt4", "nt4", Oem(kRow3), ""},
        LaunchCase{"Row4Win98", "win98", Oem(kRow4), kTray98},
        LaunchCase{"Row4WinXp", "winxp", Oem(kRow4), kTray2k},
        LaunchCase{"Row4Nt4", "nt4", Oem(kRow4), ""},
        LaunchCase{"Row5WinMe", "winme", Oem(kRow5), kTray98},
        LaunchCase{"Row5Win2000", "win2000", Oem(kRow5), kTray2k},
        LaunchCase{"Row5Nt4", "nt4", Oem(kRow5), ""},
        LaunchCase{"Skerry21Win98", "win98", Product("Skerry 21"), kSibling21},
        LaunchCase{"Skerry21Win2000", "win2000", Product("Skerry 21"), kSibling21},
        LaunchCase{"Skerry21Nt4", "nt4", Product("Skerry 21"), kSibling21},
        LaunchCase{"Skerry46WinMe", "winme", Product("Skerry 46"), kSibling4698},
        LaunchCase{"Skerry46WinXp", "winxp", Product("Skerry 46"), kSibling462k},
        LaunchCase{"Skerry46Nt4", "nt4", Product("Skerry 46"), ""},
        LaunchCase{"NoFirmware", "win2000", nullptr, ""},
        LaunchCase{"FirmwareAnsweringNonsense", "win2000", Json{{"garbage", true}}, ""},
        // Detection details: the whole OEM identifier must match, and the product name
        // is compared exactly after trailing spaces are cut.
        LaunchCase{"Row5OtherThirdChunk", "win2000", Oem(kRow5OtherThirdChunk), ""},
        LaunchCase{"Row5OtherThirdChunkThenProductName", "win2000",
                   Json{{"oem", kRow5OtherThirdChunk}, {"product", "Skerry 46"}}, kSibling462k},
        LaunchCase{"ProductNameWithTrailingBlanks", "win98", Product("Skerry 21   "), kSibling21},
        LaunchCase{"ProductNameInLowerCase", "win98", Product("skerry 21"), ""},
        LaunchCase{"ProductNameWithATab", "win98", Product("Skerry 21\t"), ""},
        LaunchCase{"ProductNameWithALeadingBlank", "win98", Product(" Skerry 21"), ""},
        LaunchCase{"OemRowWinsOverProductName", "win2000",
                   Json{{"oem", kRow4}, {"product", "Skerry 21"}}, kTray2k}),
    [](const auto& info) { return std::string(info.param.name); });

// The product name is asked for only when the OEM identifier matched no row.
TEST(Selector, AsksForTheProductNameOnlyWhenNoOemRowMatched)
{
    struct Row {
        Json firmware;
        std::vector<size_t> requestLengths;
    };
    const Row rows[] = {
        {Oem(kRow3), {40}},
        {Json{{"oem", kRow5OtherThirdChunk}, {"product", "Skerry 21"}}, {40, 104}},
        {Product("Skerry 46"), {40, 104}},
    };
    for (const Row& row : rows) {
        RunResult r = RunSteps(Json{{"os", "win2000"}, {"firmware", row.firmware}},
                               Json::array({{{"at_ms", 0}, {"run", kSelector}}}));
        std::vector<size_t> lengths;
        for (const auto& call : BiosCalls(r))
            lengths.push_back(call.fields["out"]);
        EXPECT_EQ(lengths, row.requestLengths) << row.firmware.dump();
    }
}

// ---- the command -------------------------------------------------------------------

struct CommandCase {
    const char* name;
    const char* installDir;
    const char* run;
    const char* cwd;  // where the selector is started from; null: its own directory
    const char* command;
    const char* started;  // the program that must start from it
};

void PrintTo(const CommandCase& c, std::ostream* os)
{
    *os << c.name;
}

class LaunchCommand : public ::testing::TestWithParam<CommandCase> {};

TEST_P(LaunchCommand, IsTheProgramDirectoryAndTheCell)
{
    const CommandCase& c = GetParam();
    Json step = {{"at_ms", 0}, {"run", c.run}};
    if (c.cwd)
        step["cwd"] = c.cwd;
    RunResult r = RunSteps(Json{{"os", "win2000"}, {"firmware", Oem(kRow3)}, {"install_dir", c.installDir}},
                           Json::array({step}));
    auto launched = Events(r, "winexec");
    ASSERT_EQ(launched.size(), 1u);
    EXPECT_EQ(launched[0].fields["cmd"], c.command);
    auto starts = Events(r, "start");
    ASSERT_EQ(starts.size(), 2u);
    EXPECT_EQ(starts[1].fields["program"], c.started);
    ExpectSelectorExitsWithZero(r);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LaunchCommand,
    ::testing::Values(
        CommandCase{"PlainDirectory", "C:\\Pexa", kSelector, nullptr, kTray2k, "pexasmsc2k.exe"},
        CommandCase{"StartedFromElsewhere", "C:\\Pexa", kSelector, "C:\\", kTray2k, "pexasmsc2k.exe"},
        // Unquoted, Windows would try "C:\Program.exe" first.
        CommandCase{"DirectoryWithABlank", "C:\\Program Files\\Pexa",
                    "\"C:\\Program Files\\Pexa\\pexaro.exe\"", "C:\\",
                    "\"C:\\Program Files\\Pexa\\pexasmsc2k.exe\" -4 -b4", "pexasmsc2k.exe"}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- the close path ----------------------------------------------------------------

struct CloseCase {
    const char* name;
    const char* commandLine;
    bool closes;
};

void PrintTo(const CloseCase& c, std::ostream* os)
{
    *os << c.name;
}

class ClosePath : public ::testing::TestWithParam<std::tuple<CloseCase, bool>> {};

// "-c" or "/c" anywhere, in any case, the program's path included, closes a running
// tray program and does nothing else; without one it does nothing at all.
TEST_P(ClosePath, PostsCloseToTheTrayProgramAndNothingElse)
{
    const CloseCase& c = std::get<0>(GetParam());
    const bool trayRunning = std::get<1>(GetParam());
    Json steps = Json::array();
    if (trayRunning)
        steps.push_back({{"at_ms", 0}, {"run", kTray}});
    steps.push_back({{"at_ms", 300}, {"run", c.commandLine}});
    RunResult r = RunSteps(Json{{"os", "win2000"}, {"firmware", Oem(kRow3)}}, steps);

    ExpectSelectorExitsWithZero(r);
    if (c.closes) {
        EXPECT_TRUE(BiosCalls(r).empty()) << "the close path uses no device";
        EXPECT_TRUE(Events(r, "winexec").empty());
        EXPECT_TRUE(r.stillRunning.empty());
        if (trayRunning) {
            auto exits = Events(r, "exit");
            ASSERT_EQ(exits.size(), 2u);
            EXPECT_EQ(exits[1].fields["program"], "pexasmsc2k.exe");
            EXPECT_EQ(exits[1].t_us, 300000u);
            EXPECT_EQ(exits[1].fields["code"], 0);
        }
    } else {
        EXPECT_EQ(Events(r, "winexec").size(), 1u) << "the main path ran";
        if (trayRunning) {
            EXPECT_EQ(r.stillRunning, std::vector<std::string>{"pexasmsc2k.exe"});
        }
    }
}

const CloseCase kCloseCases[] = {
    {"DashC", "C:\\Pexa\\pexaro.exe -c", true},
    {"DashUpperC", "C:\\Pexa\\pexaro.exe -C", true},
    {"SlashC", "C:\\Pexa\\pexaro.exe /c", true},
    {"SlashUpperC", "C:\\Pexa\\pexaro.exe /C", true},
    {"AfterAnotherOption", "C:\\Pexa\\pexaro.exe -x -c", true},
    {"InsideAWord", "C:\\Pexa\\pexaro.exe now/Close", true},
    {"InTheProgramPath", "C:\\x-cam\\pexaro.exe", true},
    {"InAQuotedProgramPath", "\"C:\\My-Cards\\pexaro.exe\" -x", true},
    {"PlainC", "C:\\Pexa\\pexaro.exe c", false},
    {"DashSpaceC", "C:\\Pexa\\pexaro.exe - c", false},
};

INSTANTIATE_TEST_SUITE_P(
    Cases, ClosePath, ::testing::Combine(::testing::ValuesIn(kCloseCases), ::testing::Bool()),
    [](const auto& info) {
        return std::string(std::get<0>(info.param).name) +
               (std::get<1>(info.param) ? "_TrayRunning" : "_NoTray");
    });

// ---- the control device ------------------------------------------------------------

// What the driver saw of the selector, request by request: opens, BIOS calls (with
// their length) and closes.
std::vector<std::string> g_deviceUse;
PDRIVER_DISPATCH g_create, g_control, g_close;

void RecordUse(const std::string& what)
{
    if (sim::CurrentProcess().image == "pexaro.exe")
        g_deviceUse.push_back(what);
}

NTSTATUS NTAPI RecordCreate(PDEVICE_OBJECT device, PIRP irp)
{
    RecordUse("open");
    return g_create(device, irp);
}

NTSTATUS NTAPI RecordControl(PDEVICE_OBJECT device, PIRP irp)
{
    const auto& parameters = IoGetCurrentIrpStackLocation(irp)->Parameters.DeviceIoControl;
    RecordUse(parameters.IoControlCode == kBiosCall
                  ? "bios " + std::to_string(parameters.InputBufferLength)
                  : "other");
    return g_control(device, irp);
}

NTSTATUS NTAPI RecordClose(PDEVICE_OBJECT device, PIRP irp)
{
    RecordUse("close");
    return g_close(device, irp);
}

struct DeviceCase {
    const char* name;
    Json firmware;
    bool driver;
    bool onlySecondName;  // PEXACTRL's device reachable only as "\\.\PEXACTL2"
    std::vector<std::string> use;
    const char* command;
};

void PrintTo(const DeviceCase& c, std::ostream* os)
{
    *os << c.name;
}

class SelectorDevice : public ::testing::TestWithParam<DeviceCase> {};

// Each request has a handle of its own, opened just before it and closed just after;
// "\\.\PEXACTL2" serves when "\\.\PEXACTRL" cannot be opened; with neither nothing is
// sent and nothing starts.
TEST_P(SelectorDevice, OpensTheDeviceAnewForEachRequest)
{
    const DeviceCase& c = GetParam();
    Json machine = {{"os", "win2000"}, {"firmware", c.firmware}, {"driver", c.driver}};
    pexasim::Runner runner(pexasim::Scenario::FromText(
        ScenarioText(machine, Json::array({{{"at_ms", 0}, {"run", kSelector}}}))));
    sim::IoManager::Impl& kernel = runner.Machine().io.Kernel();
    g_deviceUse.clear();
    if (c.driver) {
        DRIVER_OBJECT& driver = kernel.drivers.at("PEXACTRL")->object;
        g_create = driver.MajorFunction[IRP_MJ_CREATE];
        g_control = driver.MajorFunction[IRP_MJ_DEVICE_CONTROL];
        g_close = driver.MajorFunction[IRP_MJ_CLOSE];
        driver.MajorFunction[IRP_MJ_CREATE] = RecordCreate;
        driver.MajorFunction[IRP_MJ_DEVICE_CONTROL] = RecordControl;
        driver.MajorFunction[IRP_MJ_CLOSE] = RecordClose;
    }
    if (c.onlySecondName) {
        ASSERT_EQ(kernel.DeleteLink("\\DosDevices\\PEXACTRL"), STATUS_SUCCESS);
        ASSERT_EQ(kernel.CreateLink("\\DosDevices\\PEXACTL2", "\\Device\\PEXACTRL"), STATUS_SUCCESS);
    }
    RunResult r = runner.Run();

    EXPECT_EQ(g_deviceUse, c.use);
    auto launched = Events(r, "winexec");
    if (std::string(c.command).empty()) {
        EXPECT_TRUE(launched.empty());
    } else {
        ASSERT_EQ(launched.size(), 1u);
        EXPECT_EQ(launched[0].fields["cmd"], c.command);
    }
    ExpectSelectorExitsWithZero(r);
}

const std::vector<std::string> kBothRequests = {"open", "bios 40", "close", "open", "bios 104", "close"};

INSTANTIATE_TEST_SUITE_P(
    Cases, SelectorDevice,
    ::testing::Values(
        DeviceCase{"OemIdentifierOnly", Oem(kRow4), true, false,
                   {"open", "bios 40", "close"}, kTray2k},
        DeviceCase{"ProductNameOnANewHandle", Product("Skerry 46"), true, false, kBothRequests,
                   kSibling462k},
        DeviceCase{"SecondDeviceName", Product("Skerry 21"), true, true, kBothRequests, kSibling21},
        DeviceCase{"NeitherDeviceOpens", Oem(kRow3), false, false, {}, ""}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
