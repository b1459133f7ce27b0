#include "driver_fixture.h"

#include <cstdio>

namespace drivertest {

void PrintTo(const PortAccess& a, std::ostream* os)
{
    char text[32];
    std::snprintf(text, sizeof text, "%s %03X %02X", a.write ? "out" : "in ", a.port, a.value);
    *os << text;
}

hw::NotebookConfig FlatChipAt(uint16_t port)
{
    hw::NotebookConfig config;
    config.chipPort = port;
    config.registerModel = hw::RegisterModel::kFlat;
    return config;
}

hw::NotebookConfig LogicalDeviceChipAt(uint16_t port)
{
    hw::NotebookConfig config;
    config.chipPort = port;
    config.registerModel = hw::RegisterModel::kLogicalDevice;
    return config;
}

void DriverTest::Boot(const hw::NotebookConfig& hardware)
{
    sim::MachineConfig config;
    config.hardware = hardware;
    config.installDir = "";
    config.driver = true;
    machine = std::make_unique<sim::Machine>(config);
    ASSERT_TRUE(machine->io.IsDriverLoaded("PEXACTRL")) << "is PEXACTRL.so built?";
    uint32_t error = 0;
    file = machine->io.Open(PEXACTRL_USER_PATH, error);
    ASSERT_NE(file, nullptr) << "error " << error;
    machine->trace.portsEnabled = true;
    machine->trace.Clear();
}

void DriverTest::TearDown()
{
    if (machine && file && machine->io.IsFile(file))
        machine->io.Close(file);
    machine.reset();
}

Reply DriverTest::Send(uint32_t code, const std::vector<uint8_t>& in, uint32_t outLength,
                       uint8_t outFill)
{
    Reply reply;
    reply.out.assign(outLength, outFill);
    reply.ok = machine->io.DeviceControl(file, code, in.empty() ? nullptr : in.data(),
                                         static_cast<uint32_t>(in.size()),
                                         outLength ? reply.out.data() : nullptr, outLength,
                                         reply.returned, reply.error);
    return reply;
}

std::vector<PortAccess> DriverTest::TakePorts()
{
    std::vector<PortAccess> ports;
    for (const auto& e : machine->trace.Named("port"))
        ports.push_back({e.fields["port"].get<uint16_t>(), e.fields["op"] == "out",
                         e.fields["value"].get<uint8_t>()});
    machine->trace.Clear();
    return ports;
}

std::vector<PortAccess> DriverTest::PortsOf(uint32_t code, const std::vector<uint8_t>& in,
                                            uint32_t outLength)
{
    TakePorts();
    Send(code, in, outLength);
    return TakePorts();
}

}  // namespace drivertest
