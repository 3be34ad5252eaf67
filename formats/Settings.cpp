#include "formats/Settings.h"

namespace kestrelan {

std::string SettingSpec::word(int value) const
{
    return value >= 0 && static_cast<std::size_t>(value) < words.size() ? std::string(words[value].word) : "?";
}

std::string SettingSpec::labelText() const
{
    return unit.empty() ? std::string(label) : std::string(label) + "(" + std::string(unit) + ")";
}

std::string SettingSpec::valueText(std::string_view value) const
{
    for (const SettingWord& w : words)
        if (w.word == value)
            return std::string(w.text);
    return std::string(value);
}

std::string SettingSpec::phrase(std::string_view value) const
{
    const std::string text = valueText(value);
    return std::string(label) + " " + text + (text == value ? std::string(unit) : std::string());
}

std::span<const SettingSpec* const> allSettings()
{
    using namespace setting;
    static const SettingSpec* const all[]
        = {&stocks,     &investMode, &startDate, &endDate, &yieldStats, &fundCadence, &years,      &autoSet, &riskProfile,
           &rangeLow,   &rangeHigh,  &initialBuy, &margin, &second,     &commission,  &includeTax, &riskFree, &rules,
           &dividends};
    return all;
}

const SettingSpec* findSetting(std::string_view key)
{
    for (const SettingSpec* s : allSettings())
        if (s->key == key)
            return s;
    return nullptr;
}

std::string settingLabel(std::string_view key)
{
    const SettingSpec* s = findSetting(key);
    return s ? s->labelText() : std::string(key);
}

std::string settingValueText(std::string_view key, std::string_view value)
{
    const SettingSpec* s = findSetting(key);
    return s ? s->valueText(value) : std::string(value);
}

} // namespace kestrelan
