#include "InputFilter.h"

std::size_t TInputFilter::Apply(std::uint8_t *data, std::size_t size, const TInputFilterOptions &options)
{
    if (!options.Marked)
        FState = TState::Plain;
    // The usual case, and the reader's hottest loop under a flood.
    if (!options.Marked && !options.IgnoreNull)
        return size;
    std::size_t kept = 0;
    const auto emit = [&](std::uint8_t c) {
        if (!(options.IgnoreNull && c == 0))
            data[kept++] = c;
    };
    for (std::size_t i = 0; i < size; ++i) {
        const std::uint8_t c = data[i];
        if (!options.Marked) {
            emit(c);
            continue;
        }
        switch (FState) {
        case TState::Plain:
            if (c == 0xFF)
                FState = TState::Mark;
            else
                emit(c);
            break;
        case TState::Mark:
            if (c == 0x00) {
                FState = TState::MarkZero;
            } else {
                // 0xFF 0xFF is a genuine 0xFF; anything else after 0xFF cannot come
                // from the driver, so pass both bytes rather than lose one.
                emit(0xFF);
                if (c != 0xFF)
                    emit(c);
                FState = TState::Plain;
            }
            break;
        case TState::MarkZero:
            emit(options.ReplaceErrors ? options.ReplacedChar : c);
            FState = TState::Plain;
            break;
        }
    }
    return kept;
}
