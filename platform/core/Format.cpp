#include "platform/core/Format.h"

#include "platform/core/Text.h"

#include <charconv>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <limits>

namespace kestrelan {

std::string vformat(const char* fmt, va_list args)
{
    va_list copy;
    va_copy(copy, args);
    char small[256];
    const int n = std::vsnprintf(small, sizeof small, fmt, args);
    if (n < 0) {
        va_end(copy);
        return {};
    }
    if (static_cast<std::size_t>(n) < sizeof small) {
        va_end(copy);
        return std::string(small, static_cast<std::size_t>(n));
    }
    std::string out(static_cast<std::size_t>(n) + 1, '\0');
    std::vsnprintf(out.data(), out.size(), fmt, copy);
    va_end(copy);
    out.resize(static_cast<std::size_t>(n));
    return out;
}

void LineBuilder::separate()
{
    if (started)
        line += ',';
    started = true;
}

LineBuilder& LineBuilder::text(std::string_view t)
{
    separate();
    line += t;
    return *this;
}

LineBuilder& LineBuilder::integer(std::int64_t v)
{
    separate();
    char digits[24];
    const auto r = std::to_chars(digits, digits + sizeof digits, v);
    line.append(digits, r.ptr);
    return *this;
}

LineBuilder& LineBuilder::fixed(double v, int decimals)
{
    separate();
    // to_chars with a precision writes what printf writes in the C locale; the largest double
    // has 309 digits before the point.
    char digits[400];
    const auto r = std::to_chars(digits, digits + sizeof digits, v, std::chars_format::fixed, decimals);
    if (r.ec == std::errc())
        line.append(digits, r.ptr);
    else
        line += format("%.*f", decimals, v);
    return *this;
}

std::string LineBuilder::end()
{
    line += '\n';
    return std::move(line);
}

std::string format(const char* fmt, ...)
{
    va_list args;
    va_start(args, fmt);
    std::string out = vformat(fmt, args);
    va_end(args);
    return out;
}

namespace {

std::optional<std::int64_t> parseDigits(std::string_view text, bool allowSign)
{
    text = trim(text);
    bool negative = false;
    if (allowSign && !text.empty() && (text[0] == '+' || text[0] == '-')) {
        negative = text[0] == '-';
        text.remove_prefix(1);
    }
    if (text.empty() || text.size() > 12)
        return std::nullopt;
    std::int64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + (c - '0');
    }
    return negative ? -value : value;
}

} // namespace

std::optional<std::uint32_t> parseUnsignedField(std::string_view text)
{
    const auto v = parseDigits(text, false);
    if (!v || *v > 4294967295LL)
        return std::nullopt;
    return static_cast<std::uint32_t>(*v);
}

std::optional<std::int32_t> parseIntField(std::string_view text)
{
    const auto v = parseDigits(text, true);
    if (!v || *v > 2147483647LL || *v < -2147483648LL)
        return std::nullopt;
    return static_cast<std::int32_t>(*v);
}

std::optional<double> parseDoubleField(std::string_view text)
{
    const std::string t(trim(text));
    if (t.empty())
        return std::nullopt;
    char* end = nullptr;
    const double v = std::strtod(t.c_str(), &end);
    if (end != t.c_str() + t.size() || !(v == v) || v > 1e300 || v < -1e300)
        return std::nullopt;
    return v;
}

std::int32_t atoiText(std::string_view text)
{
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r')))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    constexpr std::int64_t limit = std::int64_t(std::numeric_limits<std::int32_t>::max()) + 1;
    std::int64_t value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > limit)
            value = limit;
    }
    if (negative)
        return static_cast<std::int32_t>(-value);
    return static_cast<std::int32_t>(value >= limit ? limit - 1 : value);
}

} // namespace kestrelan
