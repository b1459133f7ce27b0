#include "sim/hw/remote.h"

#include <string.h>

namespace hw {

bool RemoteControl::Schedule(Nanoseconds at, const uint8_t* bytes, size_t length)
{
    if (length == 0 || burstCount_ == kMaxBursts || length > kMaxBytes - bytesUsed_)
        return false;
    // Bursts already started keep their place; a new one goes after every pending burst
    // due at the same time or earlier.
    size_t position = current_ + (byteIndex_ > 0 ? 1 : 0);
    while (position < burstCount_ && bursts_[position].at <= at)
        ++position;
    memmove(&bursts_[position + 1], &bursts_[position],
            (burstCount_ - position) * sizeof(Burst));
    bursts_[position].at = at;
    bursts_[position].offset = static_cast<uint16_t>(bytesUsed_);
    bursts_[position].length = static_cast<uint16_t>(length);
    memcpy(&bytes_[bytesUsed_], bytes, length);
    bytesUsed_ += length;
    ++burstCount_;
    return true;
}

Nanoseconds RemoteControl::CurrentStart() const
{
    if (byteIndex_ > 0)
        return currentStart_;
    Nanoseconds due = bursts_[current_].at;
    return due > lineFreeAt_ ? due : lineFreeAt_;
}

bool RemoteControl::NextArrival(Nanoseconds* at) const
{
    if (current_ == burstCount_)
        return false;
    *at = CurrentStart() + FramesTime(byteIndex_ + 1);
    return true;
}

uint8_t RemoteControl::TakeNext()
{
    if (current_ == burstCount_)
        return 0;
    const Burst& burst = bursts_[current_];
    currentStart_ = CurrentStart();
    uint8_t byte = bytes_[burst.offset + byteIndex_];
    ++byteIndex_;
    ++bytesSent_;
    if (byteIndex_ == burst.length) {
        lineFreeAt_ = currentStart_ + FramesTime(burst.length);
        ++current_;
        byteIndex_ = 0;
    }
    return byte;
}

}  // namespace hw
