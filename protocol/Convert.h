#pragma once

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

// A text that does not convert. The message names the text, so the user sees
// which entry stopped the save.
class EConvertError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// An optional sign and decimal digits, nothing else, within 32 bits.
int StrToInt(const std::string &Text);

// Exactly two hexadecimal digits, letters in either case.
int HexPairToInt(const std::string &Text);

// A decimal number as a count of ten-thousandths, rounded half away from zero
// at the fifth decimal. Blanks around the number are ignored; the decimal point
// may be "." or DecimalSeparator, since the number filter only lets "." be typed
// while a read writes the locale's separator.
std::int64_t StrToTenThousandths(const std::string &Text, const std::string &DecimalSeparator);

// Two decimal digits in one byte, tens in the high nibble; only the last two
// digits of a larger number survive.
std::uint8_t ToBcd(int Value);
// A nibble above 9 still counts at its weight (0x1A reads as 20), so a byte
// that some other program wrote shows as a number rather than failing the read.
int FromBcd(std::uint8_t Byte);

// The logger stores text one byte per character, as Latin-1.
std::u32string Utf8ToChars(std::string_view Text);
std::string CharsToUtf8(std::u32string_view Chars);
std::string Latin1ToUtf8(const std::uint8_t *Bytes, std::size_t Count);
// "?" for a character Latin-1 cannot hold.
std::uint8_t CharToLatin1(char32_t Ch);
std::vector<std::uint8_t> Utf8ToLatin1(std::string_view Text);
