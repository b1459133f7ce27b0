#include "sim/hw/bus.h"

namespace hw {

uint8_t PortDevice::In(uint16_t)
{
    return kFloatingBus;
}

void PortDevice::Out(uint16_t, uint8_t) {}

int IoBus::Claim(PortDevice* device, uint16_t firstPort, uint16_t portCount)
{
    for (int i = 0; i < kMaxClaims; ++i) {
        if (claims_[i].device == nullptr) {
            claims_[i].device = device;
            Move(i, firstPort, portCount);
            return i;
        }
    }
    return kNoClaim;
}

void IoBus::Move(int claim, uint16_t firstPort, uint16_t portCount)
{
    if (claim < 0 || claim >= kMaxClaims)
        return;
    claims_[claim].firstPort = firstPort;
    claims_[claim].portCount = portCount;
}

void IoBus::Release(int claim)
{
    if (claim < 0 || claim >= kMaxClaims)
        return;
    claims_[claim] = ClaimSlot();
}

PortDevice* IoBus::DeviceAt(uint16_t port) const
{
    for (const ClaimSlot& slot : claims_) {
        if (slot.device != nullptr && port >= slot.firstPort &&
            port < slot.firstPort + slot.portCount)
            return slot.device;
    }
    return nullptr;
}

uint8_t IoBus::In(uint16_t port)
{
    PortDevice* device = DeviceAt(port);
    uint8_t value = device != nullptr ? device->In(port) : kFloatingBus;
    if (observer_ != nullptr)
        observer_(observerContext_, port, false, value);
    return value;
}

void IoBus::Out(uint16_t port, uint8_t value)
{
    PortDevice* device = DeviceAt(port);
    if (device != nullptr)
        device->Out(port, value);
    if (observer_ != nullptr)
        observer_(observerContext_, port, true, value);
}

void IoBus::SetObserver(PortObserver observer, void* context)
{
    observer_ = observer;
    observerContext_ = context;
}

}  // namespace hw
