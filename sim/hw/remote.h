// The presentation remote and its infrared link.
//
// A script of bursts: each is a run of bytes that the remote starts sending at a virtual
// time, at 38400 baud, 8 data bits, no parity, one stop bit, back to back. A button
// press is a burst of the button's 3-byte code; fault tests send arbitrary bursts. Byte
// k of a burst (counting from 0) has arrived k + 1 frame times (10 bits, about
// 260.4 µs each) after the burst started. The remote sends one burst at a time: a burst
// due while the previous one is still on the air starts right after it.
//
// The remote knows nothing about the receiver: the notebook takes each byte as it
// arrives and decides whether the infrared front end passes it on. Capacity is fixed and
// not reused: kMaxBursts bursts and kMaxBytes bytes over the life of the script.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "sim/hw/clock.h"

namespace hw {

class RemoteControl {
public:
    static constexpr size_t kMaxBursts = 4096;
    static constexpr size_t kMaxBytes = 16384;
    static constexpr uint32_t kBaud = 38400;
    static constexpr uint32_t kBitsPerFrame = 10;
    static constexpr size_t kCodeLength = 3;

    // Time from the start of a burst to the arrival of its `frames`-th byte.
    static Nanoseconds FramesTime(uint64_t frames)
    {
        return frames * kBitsPerFrame * kSecond / kBaud;
    }

    // Adds a burst due at `at`. False, and nothing added, for an empty burst or when the
    // script is full.
    bool Schedule(Nanoseconds at, const uint8_t* bytes, size_t length);

    // Arrival time of the next byte not yet taken; false when the script is done.
    bool NextArrival(Nanoseconds* at) const;
    // Takes the next byte; only after NextArrival said there is one.
    uint8_t TakeNext();

    size_t burstCount() const { return burstCount_; }
    size_t pendingBursts() const { return burstCount_ - current_; }
    uint32_t bytesSent() const { return bytesSent_; }

private:
    struct Burst {
        Nanoseconds at;
        uint16_t offset;  // into bytes_
        uint16_t length;
    };

    Nanoseconds CurrentStart() const;

    Burst bursts_[kMaxBursts];
    size_t burstCount_ = 0;
    size_t current_ = 0;        // burst on the air or next to go
    size_t byteIndex_ = 0;      // next byte of the current burst
    Nanoseconds currentStart_ = 0;
    Nanoseconds lineFreeAt_ = 0;
    uint8_t bytes_[kMaxBytes];
    size_t bytesUsed_ = 0;
    uint32_t bytesSent_ = 0;
};

}  // namespace hw
