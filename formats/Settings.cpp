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

std::string SettingSpec::wordsText() const
{
    std::string text;
    for (const SettingWord& w : words)
        text += (text.empty() ? "" : ", ") + std::string(w.text);
    return text;
}

std::string SettingSpec::oneOfMessage() const
{
    // The topic particle after the label's last syllable: 은 after a final consonant, else 는.
    const std::string l(label);
    bool consonant = false;
    if (l.size() >= 3) {
        const auto b = [&](std::size_t i) { return static_cast<unsigned char>(l[l.size() - 3 + i]); };
        const unsigned code = ((b(0) & 0x0Fu) << 12) | ((b(1) & 0x3Fu) << 6) | (b(2) & 0x3Fu);
        consonant = code >= 0xAC00 && code <= 0xD7A3 && (code - 0xAC00) % 28 != 0;
    }
    return l + (consonant ? "은 " : "는 ") + wordsText() + " 중 하나여야 합니다.";
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
