#include "formats/FieldReader.h"

#include "platform/core/Format.h"

#include <cmath>
#include <cstdlib>

namespace kestrelan {

void readFields(std::string_view bytes, const std::function<bool(const FieldEvent&)>& onField)
{
    FieldEvent e;
    std::size_t start = 0;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const char c = bytes[i];
        if (c != ',' && c != '\n')
            continue;
        // CR LF reads as LF: the CR before a line feed is not part of the field.
        const std::size_t end = c == '\n' && i > start && bytes[i - 1] == '\r' ? i - 1 : i;
        e.text = bytes.substr(start, end - start);
        e.lastOfLine = c == '\n';
        if (!onField(e))
            return;
        start = i + 1;
        if (c == '\n') {
            ++e.line;
            e.field = 0;
        } else {
            ++e.field;
        }
    }
}

void readLines(std::string_view bytes, const std::function<bool(const FieldLine&)>& onLine)
{
    FieldLine line;
    bool stopped = false;
    readFields(bytes, [&](const FieldEvent& e) {
        line.fields.push_back(e.text);
        if (!e.lastOfLine)
            return true;
        line.complete = true;
        stopped = !onLine(line);
        line.complete = false;
        line.fields.clear();
        ++line.number;
        return !stopped;
    });
    if (!stopped && !line.fields.empty())
        onLine(line);
}

double fieldNumber(std::string_view text)
{
    const std::string s(text);
    return std::strtod(s.c_str(), nullptr);
}

std::int32_t fieldInteger(std::string_view text) { return atoiText(text); }

bool isNumberText(std::string_view text)
{
    if (text.empty() || text.front() == ' ' || text.front() == '\t')
        return false;
    const std::string s(text);
    char* end = nullptr;
    std::strtod(s.c_str(), &end);
    return end == s.c_str() + s.size();
}

bool isIntegerText(std::string_view text)
{
    if (!text.empty() && text.front() == '-')
        text.remove_prefix(1);
    if (text.empty())
        return false;
    for (char c : text)
        if (c < '0' || c > '9')
            return false;
    return true;
}

std::int32_t truncatedInteger(double value)
{
    if (std::isnan(value))
        return 0;
    if (value >= 2147483647.0)
        return 2147483647;
    if (value <= -2147483648.0)
        return -2147483647 - 1;
    return static_cast<std::int32_t>(value);
}

} // namespace kestrelan
