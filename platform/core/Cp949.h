#pragma once
// CP949 (the Korean code page of the data files) and UTF-8. File texts stay CP949 bytes inside
// the program; only the window and terminal boundaries convert. A Hangul syllable is two bytes:
// a lead byte 0x81-0xFE and a trail byte. Widths and paddings count bytes.

#include <cstddef>
#include <stdexcept>
#include <string>
#include <string_view>

namespace kestrelan {

/// A text that cannot be converted, with the byte offset of the first bad sequence.
class Cp949Error : public std::runtime_error
{
public:
    Cp949Error(const std::string& what, std::size_t offset)
        : std::runtime_error(what)
        , offset(offset)
    {
    }
    std::size_t offset;
};

/// UTF-8 to CP949; throws Cp949Error for a character CP949 cannot hold or invalid UTF-8.
std::string toCp949(std::string_view utf8);
/// CP949 to UTF-8; throws Cp949Error for bytes that are not CP949.
std::string fromCp949(std::string_view cp949);
/// CP949 to UTF-8 for display: a byte that does not convert shows as U+FFFD.
std::string fromCp949Lossy(std::string_view cp949);

/// Length in bytes of the character that starts at byte i.
inline std::size_t cp949CharLength(std::string_view s, std::size_t i)
{
    const auto c = static_cast<unsigned char>(s[i]);
    return (c >= 0x81 && c <= 0xFE && i + 1 < s.size()) ? 2 : 1;
}

/// The longest prefix of at most `width` bytes that does not split a two-byte character.
std::string_view cutBytes(std::string_view s, std::size_t width);

/// Cut as cutBytes, then padded with `fill` to exactly `width` bytes.
std::string padBytes(std::string_view s, std::size_t width, char fill = ' ');

} // namespace kestrelan
