#pragma once
// Number conversions with the C library's rules, which the data formats were written with.

#include <cstdarg>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kestrelan {

/// printf into a std::string.
std::string format(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
std::string vformat(const char* fmt, va_list args) __attribute__((format(printf, 1, 0)));

/// A line of comma-separated fields built one by one, with the digits printf gives for %d and
/// %.Nf, without parsing a format for every line (the result files hold millions of fields).
class LineBuilder
{
public:
    LineBuilder& text(std::string_view t);
    LineBuilder& integer(std::int64_t v);      ///< as %d
    LineBuilder& fixed(double v, int decimals); ///< as %.<decimals>f
    /// The line with "\n".
    std::string end();

private:
    void separate();
    std::string line;
    bool started = false; // a field has been written, perhaps an empty one
};

/// The value atoi gives for a text: leading white space skipped, an optional sign, then decimal
/// digits up to the first other character; no digits give 0. A value beyond the 32-bit range
/// saturates, as the Windows runtime does.
std::int32_t atoiText(std::string_view text);

/// Whole-field parses of what a user typed: blanks before and after the number are allowed,
/// anything else fails (nullopt), as does a value beyond the type's range.
std::optional<std::uint32_t> parseUnsignedField(std::string_view text); // no sign at all
std::optional<std::int32_t> parseIntField(std::string_view text);
std::optional<double> parseDoubleField(std::string_view text);

/// atoi of a C string held in a fixed field: the field ends at its first NUL.
inline std::int32_t atoiField(std::string_view field)
{
    const auto nul = field.find('\0');
    return atoiText(nul == std::string_view::npos ? field : field.substr(0, nul));
}

} // namespace kestrelan
