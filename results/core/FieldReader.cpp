#include "results/core/FieldReader.h"

namespace kestrelan {

std::string textModeBytes(std::string_view raw)
{
    std::string out;
    out.reserve(raw.size());
    for (std::size_t i = 0; i < raw.size(); ++i) {
        if (raw[i] == '\r' && i + 1 < raw.size() && raw[i + 1] == '\n')
            continue;
        out.push_back(raw[i]);
    }
    return out;
}

void readFields(std::string_view bytes, const std::function<bool(const FieldEvent&)>& onField)
{
    FieldEvent e;
    std::size_t start = 0;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const char c = bytes[i];
        if (c != ',' && c != '\n')
            continue;
        e.text = bytes.substr(start, i - start);
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

} // namespace kestrelan
