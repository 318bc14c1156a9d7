#include "Convert.h"

#include <limits>
#include <utility>

namespace {

[[noreturn]] void IntegerError(const std::string &Text)
{
    throw EConvertError("'" + Text + "' is not a valid integer value");
}

[[noreturn]] void FloatError(const std::string &Text)
{
    throw EConvertError("'" + Text + "' is not a valid floating point value");
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

int HexDigit(char c)
{
    if (IsDigit(c))
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

constexpr char32_t Replacement = 0xFFFD;

// One character of UTF-8 at Text[At] and its length in bytes. A malformed
// sequence costs one byte and stands for one unknown character.
std::pair<char32_t, std::size_t> NextChar(std::string_view Text, std::size_t At)
{
    const auto lead = static_cast<unsigned char>(Text[At]);
    if (lead < 0x80)
        return {lead, 1};

    std::size_t extra = 0;
    char32_t ch = 0;
    char32_t least = 0;
    if ((lead & 0xE0) == 0xC0) {
        extra = 1;
        ch = lead & 0x1F;
        least = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        extra = 2;
        ch = lead & 0x0F;
        least = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        extra = 3;
        ch = lead & 0x07;
        least = 0x10000;
    } else {
        return {Replacement, 1};
    }
    if (At + extra >= Text.size())
        return {Replacement, 1};
    for (std::size_t k = 1; k <= extra; ++k) {
        const auto next = static_cast<unsigned char>(Text[At + k]);
        if ((next & 0xC0) != 0x80)
            return {Replacement, 1};
        ch = ch << 6 | (next & 0x3F);
    }
    if (ch < least || ch > 0x10FFFF || (ch >= 0xD800 && ch <= 0xDFFF))
        return {Replacement, 1};
    return {ch, 1 + extra};
}

} // namespace

int StrToInt(const std::string &Text)
{
    std::size_t pos = 0;
    const bool negative = !Text.empty() && Text[0] == '-';
    if (!Text.empty() && (Text[0] == '-' || Text[0] == '+'))
        pos = 1;
    if (pos == Text.size())
        IntegerError(Text);

    // Accumulated as a magnitude so that the most negative value fits.
    const std::int64_t limit = negative ? -static_cast<std::int64_t>(std::numeric_limits<int>::min())
                                        : std::numeric_limits<int>::max();
    std::int64_t value = 0;
    for (; pos < Text.size(); ++pos) {
        if (!IsDigit(Text[pos]))
            IntegerError(Text);
        value = value * 10 + (Text[pos] - '0');
        if (value > limit)
            IntegerError(Text);
    }
    return static_cast<int>(negative ? -value : value);
}

int HexPairToInt(const std::string &Text)
{
    if (Text.size() != 2)
        IntegerError(Text);
    const int high = HexDigit(Text[0]);
    const int low = HexDigit(Text[1]);
    if (high < 0 || low < 0)
        IntegerError(Text);
    return high * 16 + low;
}

std::int64_t StrToTenThousandths(const std::string &Text, const std::string &DecimalSeparator)
{
    std::size_t begin = 0;
    std::size_t end = Text.size();
    while (begin < end && static_cast<unsigned char>(Text[begin]) <= ' ')
        ++begin;
    while (end > begin && static_cast<unsigned char>(Text[end - 1]) <= ' ')
        --end;
    const std::string_view s(Text.data() + begin, end - begin);

    std::size_t pos = 0;
    bool negative = false;
    if (pos < s.size() && (s[pos] == '-' || s[pos] == '+'))
        negative = s[pos++] == '-';

    constexpr std::int64_t maxWhole = std::numeric_limits<std::int64_t>::max() / 10000 - 1;
    std::int64_t whole = 0;
    std::size_t digits = 0;
    for (; pos < s.size() && IsDigit(s[pos]); ++pos, ++digits) {
        whole = whole * 10 + (s[pos] - '0');
        if (whole > maxWhole)
            FloatError(Text);
    }

    std::int64_t fraction = 0;  // ten-thousandths
    if (pos < s.size()) {
        if (s[pos] == '.')
            ++pos;
        else if (!DecimalSeparator.empty() && s.substr(pos).starts_with(DecimalSeparator))
            pos += DecimalSeparator.size();
        else
            FloatError(Text);
        std::size_t place = 0;
        for (; pos < s.size() && IsDigit(s[pos]); ++pos, ++place, ++digits) {
            const int d = s[pos] - '0';
            if (place < 4)
                fraction = fraction * 10 + d;
            else if (place == 4 && d >= 5)
                fraction += 1;  // may carry into the whole part below
        }
        for (; place < 4; ++place)
            fraction *= 10;
    }
    if (pos != s.size() || digits == 0)
        FloatError(Text);

    const std::int64_t magnitude = whole * 10000 + fraction;
    return negative ? -magnitude : magnitude;
}

std::uint8_t ToBcd(int Value)
{
    const int lastTwo = (Value % 100 + 100) % 100;
    return static_cast<std::uint8_t>((lastTwo / 10) << 4 | lastTwo % 10);
}

int FromBcd(std::uint8_t Byte)
{
    return (Byte >> 4) * 10 + (Byte & 0x0F);
}

std::u32string Utf8ToChars(std::string_view Text)
{
    std::u32string chars;
    chars.reserve(Text.size());
    for (std::size_t i = 0; i < Text.size();) {
        const auto [ch, length] = NextChar(Text, i);
        chars.push_back(ch);
        i += length;
    }
    return chars;
}

std::string CharsToUtf8(std::u32string_view Chars)
{
    std::string text;
    text.reserve(Chars.size());
    for (char32_t ch : Chars) {
        if (ch > 0x10FFFF || (ch >= 0xD800 && ch <= 0xDFFF))
            ch = Replacement;
        if (ch < 0x80) {
            text += static_cast<char>(ch);
        } else if (ch < 0x800) {
            text += static_cast<char>(0xC0 | ch >> 6);
            text += static_cast<char>(0x80 | (ch & 0x3F));
        } else if (ch < 0x10000) {
            text += static_cast<char>(0xE0 | ch >> 12);
            text += static_cast<char>(0x80 | (ch >> 6 & 0x3F));
            text += static_cast<char>(0x80 | (ch & 0x3F));
        } else {
            text += static_cast<char>(0xF0 | ch >> 18);
            text += static_cast<char>(0x80 | (ch >> 12 & 0x3F));
            text += static_cast<char>(0x80 | (ch >> 6 & 0x3F));
            text += static_cast<char>(0x80 | (ch & 0x3F));
        }
    }
    return text;
}

std::string Latin1ToUtf8(const std::uint8_t *Bytes, std::size_t Count)
{
    return CharsToUtf8(std::u32string(Bytes, Bytes + Count));
}

std::uint8_t CharToLatin1(char32_t Ch)
{
    return Ch <= 0xFF ? static_cast<std::uint8_t>(Ch) : static_cast<std::uint8_t>('?');
}

std::vector<std::uint8_t> Utf8ToLatin1(std::string_view Text)
{
    std::vector<std::uint8_t> bytes;
    for (char32_t ch : Utf8ToChars(Text))
        bytes.push_back(CharToLatin1(ch));
    return bytes;
}
