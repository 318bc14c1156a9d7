#include "Frame.h"

bool CheckFrame(const std::uint8_t *Buf, std::size_t Len)
{
    if (Len < 4 || Len > FrameBufferSize)
        return false;
    if (Buf[0] != FrameStart1 || Buf[1] != FrameStart2 || Buf[Len - 1] != FrameEnd)
        return false;
    return FrameCheckByte(Buf, static_cast<int>(Len) - 3) == Buf[Len - 2];
}

std::uint8_t FrameCheckByte(const std::uint8_t *Buf, int Last)
{
    std::uint8_t sum = 0;
    for (int i = 2; i <= Last; ++i)
        sum = static_cast<std::uint8_t>(sum + Buf[i]);
    return sum;
}
