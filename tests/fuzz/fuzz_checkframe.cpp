#include "FuzzTarget.h"
#include "Frame.h"

#include <algorithm>
#include <cstring>
#include <memory>

// The receive handler hands CheckFrame a block of any length the serial
// component delivers; whatever it answers, it must read only the block and
// agree with FrameCheckByte, which seals the frames the tool sends.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *Data, std::size_t Size)
{
    // Exactly sized, so that a read one past the block is an overflow.
    const auto block = std::make_unique<std::uint8_t[]>(Size);
    std::copy_n(Data, Size, block.get());

    const bool passed = CheckFrame(block.get(), Size);
    if (Size < 4 || Size > FrameBufferSize) {
        FUZZ_CHECK(!passed, "a block that cannot be a frame passed");
        return 0;
    }

    const auto sealed = std::make_unique<std::uint8_t[]>(Size);
    std::memcpy(sealed.get(), block.get(), Size);
    sealed[0] = FrameStart1;
    sealed[1] = FrameStart2;
    sealed[Size - 2] = FrameCheckByte(sealed.get(), static_cast<int>(Size) - 3);
    sealed[Size - 1] = FrameEnd;
    FUZZ_CHECK(CheckFrame(sealed.get(), Size), "a freshly sealed frame failed the check");

    // One changed byte anywhere, markers, data or check byte, must be caught.
    const std::size_t at = block[0] % Size;
    sealed[at] = static_cast<std::uint8_t>(sealed[at] + 1 + block[Size - 1] % 255);
    FUZZ_CHECK(!CheckFrame(sealed.get(), Size), "a frame with one changed byte passed");
    return 0;
}
