#include "formats/SettingsCsv.h"

namespace kestrelan {

std::string settingsCsvText(const std::vector<SettingLine>& settings)
{
    std::string text = "setting,value\n";
    for (const auto& s : settings)
        text += s.name + "," + s.value + "\n";
    return text;
}

std::vector<SettingLine> readSettingsCsv(std::string_view bytes)
{
    std::vector<SettingLine> settings;
    readLines(bytes, [&](const FieldLine& line) {
        if (line.number > 0 && line.complete && line.fields.size() >= 2)
            settings.push_back({std::string(line.fields[0]), std::string(line.fields[1])});
        return true;
    });
    return settings;
}

} // namespace kestrelan
