// A simulated notebook with PEXACTRL loaded and one handle open on it, and helpers to
// send requests and to watch the bus while they run.
#pragma once

#include <gtest/gtest.h>
#include <winioctl.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "pexactrl.h"
#include "sim/machine.h"

namespace drivertest {

// One request as the caller saw it.
struct Reply {
    bool ok = false;
    uint32_t returned = 0;
    uint32_t error = 0;
    std::vector<uint8_t> out;
};

// One port access as the bus saw it.
struct PortAccess {
    uint16_t port;
    bool write;
    uint8_t value;  // for a read, what the driver got

    bool operator==(const PortAccess& o) const
    {
        return port == o.port && write == o.write && value == o.value;
    }
};

inline PortAccess Out(uint16_t port, uint8_t value)
{
    return {port, true, value};
}
inline PortAccess In(uint16_t port, uint8_t value)
{
    return {port, false, value};
}

void PrintTo(const PortAccess& a, std::ostream* os);

// Codes built by the same rule as the table's, for functions outside it.
constexpr uint32_t PexaCode(uint32_t function, uint32_t method = METHOD_BUFFERED)
{
    return CTL_CODE(FILE_DEVICE_UNKNOWN, function, method, FILE_ANY_ACCESS);
}

constexpr uint32_t kErrorInvalidFunction = 1;
constexpr uint32_t kErrorCrc = 23;
constexpr uint32_t kErrorFileNotFound = 2;

// The notebook's usual machine: chip at `port`, flat register model, UART at 0x3F8.
hw::NotebookConfig FlatChipAt(uint16_t port);
// A machine whose chip has the logical-device register model.
hw::NotebookConfig LogicalDeviceChipAt(uint16_t port);

class DriverTest : public ::testing::Test {
protected:
    void TearDown() override;

    // Starts a machine with the driver loaded and opens "\\.\PEXACTRL".
    void Boot(const hw::NotebookConfig& hardware = FlatChipAt(0x2E));

    Reply Send(uint32_t code, const std::vector<uint8_t>& in, uint32_t outLength,
               uint8_t outFill = 0xEE);
    // Sends a request and returns every port access it made.
    std::vector<PortAccess> PortsOf(uint32_t code, const std::vector<uint8_t>& in = {},
                                    uint32_t outLength = 0);
    // Port accesses recorded since the last call (recording starts at Boot).
    std::vector<PortAccess> TakePorts();

    hw::Notebook& notebook() { return *machine->notebook; }
    hw::SuperIoChip& chip() { return machine->notebook->chip(); }
    void AdvanceClock(hw::Nanoseconds by) { machine->clock.AdvanceTo(machine->clock.now + by); }

    std::unique_ptr<sim::Machine> machine;
    void* file = nullptr;
    size_t portsSeen_ = 0;
};

}  // namespace drivertest
