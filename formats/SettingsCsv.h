#pragma once
// settings.csv: the settings a run was made with, beside its result files, so that whoever reads
// the results later (the results window, `kestrelan-cli show`, the workbook, another tool) knows
// what produced them. A header line "setting,value", then one line a setting under an English
// name; values are plain numbers, dates as YYYY-MM-DD, and words. CR LF line ends.

#include "formats/FieldReader.h"

#include <string>
#include <string_view>
#include <vector>

namespace kestrelan {

struct SettingLine
{
    std::string name;
    std::string value;
};

/// The file's text ("\n" line ends, written in text mode).
std::string settingsCsvText(const std::vector<SettingLine>& settings);
/// The complete lines of settings.csv's bytes, the header skipped.
std::vector<SettingLine> readSettingsCsv(std::string_view bytes);

} // namespace kestrelan
