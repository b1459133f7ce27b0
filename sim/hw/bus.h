// The notebook's ISA I/O bus.
//
// Devices claim port ranges; an access goes to the first active claim that covers the
// port. Nobody drives an unclaimed port, so a read floats to 0xFF and a write is lost.
// The bus itself takes no time: the notebook charges the bus cycle on the clock.
#pragma once

#include <stddef.h>
#include <stdint.h>

namespace hw {

// A device on the bus. The default answers are those of an undecoded port, so a device
// only overrides what it decodes. No virtual destructor: devices are members of the
// notebook and are never deleted through this base.
class PortDevice {
public:
    virtual uint8_t In(uint16_t port);
    virtual void Out(uint16_t port, uint8_t value);

protected:
    ~PortDevice() = default;
};

const uint8_t kFloatingBus = 0xFF;

// Told of every access after it happened; for a read, `value` is what the reader got.
typedef void (*PortObserver)(void* context, uint16_t port, bool isWrite, uint8_t value);

class IoBus {
public:
    static constexpr int kMaxClaims = 8;
    static constexpr int kNoClaim = -1;

    // Returns a handle for Move and Release, or kNoClaim when the table is full.
    int Claim(PortDevice* device, uint16_t firstPort, uint16_t portCount);
    // Moves a claim to another range; a count of 0 leaves it claimed but undecoded.
    void Move(int claim, uint16_t firstPort, uint16_t portCount);
    void Release(int claim);

    uint8_t In(uint16_t port);
    void Out(uint16_t port, uint8_t value);

    void SetObserver(PortObserver observer, void* context);
    // The device that answers `port` now, or null for a floating port.
    PortDevice* DeviceAt(uint16_t port) const;

private:
    struct ClaimSlot {
        PortDevice* device = nullptr;
        uint32_t firstPort = 0;
        uint32_t portCount = 0;
    };

    ClaimSlot claims_[kMaxClaims];
    PortObserver observer_ = nullptr;
    void* observerContext_ = nullptr;
};

}  // namespace hw
