#pragma once

#include "SerialPlatform.h"

#include <atomic>
#include <cstdint>

namespace SerialPlatform {

enum class TFault { Retry, Unsupported, Gone };
TFault Classify(int error);

// The owner writes these while the workers run; each is read on its own, so a
// change may reach the reader between two reads but never half-made.
struct TPort::TState {
    int Fd = -1;
    std::atomic<std::uint32_t> ReadInterval{0};
    std::atomic<std::uint32_t> ReadTotalMultiplier{0};
    std::atomic<std::uint32_t> ReadTotalConstant{0};
    std::atomic<bool> IgnoreNull{false};
    std::atomic<bool> MarkedErrors{false};
    std::atomic<bool> ReplaceErrors{false};
    std::atomic<std::uint8_t> ReplacedChar{0};
    // Written by the reader: bytes of the pending read have come.
    std::atomic<bool> Arriving{false};

    TTimeouts ReadTimeouts() const
    {
        return {ReadInterval.load(std::memory_order_relaxed), ReadTotalMultiplier.load(std::memory_order_relaxed),
                ReadTotalConstant.load(std::memory_order_relaxed), 0, 0};
    }
};

} // namespace SerialPlatform
