#include "results/core/FieldReader.h"

namespace kestrelan {

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
