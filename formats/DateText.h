#pragma once
// The one text of a date that the program writes: year, month and day joined by "-"
// ("2003-04-01"). The result files, settings.csv, summary.csv, sweep.csv, the displays, the
// workbook and the messages all write it through here.

#include <cstdint>
#include <string>
#include <string_view>

namespace kestrelan {

/// "2003-04-01" for 20030401: the year, then month and day with a leading zero below 10.
std::string dateText(std::int32_t date);

/// Whether a text is a date as dateText writes it: ten characters, digits and "-" at 4 and 7.
bool isDateText(std::string_view text);

} // namespace kestrelan
