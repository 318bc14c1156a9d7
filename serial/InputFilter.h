#pragma once

#include <cstddef>
#include <cstdint>

struct TInputFilterOptions {
    bool IgnoreNull = false;
    // The driver puts 0xFF 0x00 before each byte received with an error and
    // doubles every genuine 0xFF; undo that.
    bool Marked = false;
    bool ReplaceErrors = false;
    std::uint8_t ReplacedChar = 0;
};

// What the reader does to the byte stream after the driver. The state carries a
// mark that was split between two reads.
class TInputFilter {
public:
    // Filters in place; returns the number of bytes kept.
    std::size_t Apply(std::uint8_t *data, std::size_t size, const TInputFilterOptions &options);

private:
    enum class TState { Plain, Mark, MarkZero };
    TState FState = TState::Plain;
};
