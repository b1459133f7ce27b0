// The motherboard's first DMA controller at ports 0x00-0x0F.
//
// Nothing in the notebook uses DMA; the controller is here so that a driver that talks
// to a UART at base 0 hits a real device, and tests can see what it wrote there. Reads
// give back the last byte written to the port (0 before any write).
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "sim/hw/bus.h"

namespace hw {

class DmaController : public PortDevice {
public:
    static constexpr uint16_t kFirstPort = 0x00;
    static constexpr uint16_t kPortCount = 16;
    static constexpr size_t kLogCapacity = 64;

    struct PortWrite {
        uint16_t port;
        uint8_t value;
    };

    uint8_t In(uint16_t port) override;
    void Out(uint16_t port, uint8_t value) override;

    // Every write counts; the first kLogCapacity are kept.
    uint32_t writeCount() const { return writeCount_; }
    uint32_t readCount() const { return readCount_; }
    size_t loggedWrites() const { return writeCount_ < kLogCapacity ? writeCount_ : kLogCapacity; }
    const PortWrite& LoggedWrite(size_t i) const { return log_[i]; }

private:
    uint8_t registers_[kPortCount] = {};
    PortWrite log_[kLogCapacity] = {};
    uint32_t writeCount_ = 0;
    uint32_t readCount_ = 0;
};

}  // namespace hw
