// The drain after remote on must end on machines where reads never run dry: no chip at
// all (the bus floats at 0xFF), or a receiver whose line status sticks at "data ready".
#include "tray_fixture.h"

using namespace traytest;

namespace {

// A receiver that always has a byte waiting and always reads 0: the line status sticks
// at data ready, as a broken or foreign device at the UART's ports may answer.
class StuckReceiver : public hw::PortDevice {
public:
    uint8_t In(uint16_t port) override
    {
        return port == base + kLineStatusOffset ? kDataReady : 0x00;
    }
    uint16_t base = 0x3F8;

private:
    static constexpr uint16_t kLineStatusOffset = 5;
    static constexpr uint8_t kDataReady = 0x01;
};

TEST(TrayDrain, NoChipAtAllDrainsNothingAndRuns)
{
    TrayRun run = RunTray(MachineOn("win2000", {{"superio", nullptr}}),
                          Json::array({Step(0, "run", kTray2k + std::string(" -V")),
                                       Step(100, "remote", "33 33 33"),
                                       Step(420, "post", "WM_CLOSE")}));
    auto effects = EffectsAt(run.result, 0);
    EXPECT_EQ(Count(effects, "READ_CODE_2E:0"), 1u);
    EXPECT_EQ(Count(effects, "READ_CODE_2E:3"), 0u);
    // No chip, no controller device: nothing for Plug and Play either.
    EXPECT_TRUE(Pnp(run.result).empty());
    EXPECT_TRUE(Events(run.result, "key").empty());
    EXPECT_TRUE(Events(run.result, "title").empty());
    EXPECT_EQ(Events(run.result, "exit").size(), 1u);
    EXPECT_TRUE(run.result.stillRunning.empty());
}

// Each read answers a code; the drain gives up after 16 reads, so the program gets back
// to its messages, polls on (the code 00 00 00 maps to no key) and closes when asked.
TEST(TrayDrain, EndlessCodesStopAfterSixteenReads)
{
    StuckReceiver stuck;
    TrayRun run = RunTray(MachineOn("win2000"),
                          Json::array({Step(0, "run", kTray2k), Step(420, "post", "WM_CLOSE")}),
                          [&stuck](sim::Machine& m) {
                              // The notebook moves the UART's claim to the chip's UART base
                              // at every bus cycle; the stuck receiver takes that claim.
                              hw::IoBus& bus = m.notebook->bus();
                              m.notebook->PortIn(0x80);
                              hw::PortDevice* uart = bus.DeviceAt(stuck.base);
                              ASSERT_EQ(uart, &m.notebook->uart());
                              const int uartClaim = 2;  // after the DMA controller and the chip
                              bus.Release(uartClaim);
                              ASSERT_EQ(bus.Claim(&stuck, stuck.base, 8), uartClaim);
                          });
    auto start = EffectsAt(run.result, 0);
    EXPECT_EQ(Count(start, "READ_CODE_2E:3"), 16u);
    EXPECT_EQ(start.back(), "tray add 133");  // the start went on to the end
    EXPECT_EQ(Count(Effects(run.result, 1000, 420000), "READ_CODE_2E:3"), 2u);  // ticks 150, 300
    EXPECT_TRUE(Events(run.result, "key").empty());
    EXPECT_EQ(EffectsAt(run.result, 420).back(), "exit");
}

}  // namespace
