#pragma once
// The result files as the results window reads them: in text mode (CR LF reads as LF), one
// character at a time, fields separated by commas and lines ended by a line feed, no quoting.
// A field is complete at its comma; a line's last field at the line feed, so a final line
// without one is used only up to its last comma and does not count as a line.

#include "platform/core/TextFile.h"

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

namespace kestrelan {

struct FieldEvent
{
    std::size_t line = 0;  // from 0
    std::size_t field = 0; // from 0
    std::string_view text; // without its comma or line feed
    bool lastOfLine = false;
};

/// Calls `onField` for every complete field in order; it returns false to stop reading.
void readFields(std::string_view bytes, const std::function<bool(const FieldEvent&)>& onField);

} // namespace kestrelan
