#pragma once
// Trimming of byte texts. The default blanks are the C locale's white space (blank, TAB, LF, VT,
// FF, CR); a caller whose format knows only some of them names its own.

#include <string_view>

namespace kestrelan {

constexpr std::string_view whiteSpace = " \t\n\v\f\r";

inline std::string_view trimRight(std::string_view text, std::string_view blanks = whiteSpace)
{
    const auto last = text.find_last_not_of(blanks);
    return last == std::string_view::npos ? std::string_view() : text.substr(0, last + 1);
}

inline std::string_view trimLeft(std::string_view text, std::string_view blanks = whiteSpace)
{
    const auto first = text.find_first_not_of(blanks);
    return first == std::string_view::npos ? std::string_view() : text.substr(first);
}

inline std::string_view trim(std::string_view text, std::string_view blanks = whiteSpace)
{
    return trimLeft(trimRight(text, blanks), blanks);
}

} // namespace kestrelan
