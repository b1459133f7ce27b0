#include "sim/hw/dma.h"

namespace hw {

uint8_t DmaController::In(uint16_t port)
{
    ++readCount_;
    return registers_[(port - kFirstPort) % kPortCount];
}

void DmaController::Out(uint16_t port, uint8_t value)
{
    registers_[(port - kFirstPort) % kPortCount] = value;
    if (writeCount_ < kLogCapacity)
        log_[writeCount_] = PortWrite{port, value};
    ++writeCount_;
}

}  // namespace hw
