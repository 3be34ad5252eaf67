#pragma once
// The settings a run is made with, described once for every reader: settings.csv's key, the
// Korean label the displays show with its unit, the option of the command line that sets it, and
// the words of a setting that takes one of a few values (the value's number is its place). The
// engine writes settings.csv through these (engine/SimParams.h); the results window, `show`, the
// workbook and sweep.csv name and show the settings through them.
//
// A new setting: one SettingSpec here, added to allSettings() in settings.csv's order, and its
// value in settingLines (engine/SimParams.cpp).

#include "formats/SettingsCsv.h"

#include <span>
#include <string>
#include <string_view>

namespace kestrelan {

/// A value of a setting that takes one of a few: the word settings.csv holds and its Korean text.
struct SettingWord
{
    std::string_view word;
    std::string_view text;
};

struct SettingSpec
{
    std::string_view key;   // settings.csv, sweep.csv, `show --format json`
    std::string_view label; // Korean, without the unit
    std::string_view unit;  // "%", "년" or nothing
    std::string_view option; // of `kestrelan-cli run`; nothing when none sets it
    std::span<const SettingWord> words = {}; // by value: 0, 1, 2 ...; a flag: off, on

    /// The word of a value, "?" for a value without one.
    std::string word(int value) const;
    /// The label with its unit: "매매차익(%)".
    std::string labelText() const;
    /// A value as the user reads it: the word's Korean text, or the value as it stands.
    std::string valueText(std::string_view value) const;
    /// The setting and a value in a phrase: "매매차익 10%", "투자성향 안정".
    std::string phrase(std::string_view value) const;
    /// The Korean texts of its words, in order: "종목당, 총투자, 주식수".
    std::string wordsText() const;
    /// What a value outside its words is told: "투자방식은 종목당, 총투자, 주식수 중 하나여야 합니다."
    std::string oneOfMessage() const;
    /// A line of settings.csv.
    SettingLine line(std::string value) const { return {std::string(key), std::move(value)}; }
};

namespace setting {

inline constexpr SettingWord flagWords[] = {{"off", "아니오"}, {"on", "예"}};
inline constexpr SettingWord investModeWords[] = {{"per_stock", "종목당"}, {"total", "총투자"}, {"share_count", "주식수"}};
inline constexpr SettingWord cadenceWords[] = {{"thrice_monthly", "월3회"}, {"monthly", "월1회"}, {"daily", "매일"}};
inline constexpr SettingWord riskProfileWords[] = {{"aggressive", "적극"}, {"stable", "안정"}, {"conservative", "보수"}};

inline constexpr SettingSpec stocks{"stocks", "포트폴리오 종목 수", "", "--stocks"};
inline constexpr SettingSpec investMode{"invest_mode", "투자방식", "", "--invest-mode", investModeWords};
inline constexpr SettingSpec startDate{"start_date", "시작일", "", "--start"};
inline constexpr SettingSpec endDate{"end_date", "종료일", "", "--end"};
inline constexpr SettingSpec yieldStats{"yield_stats", "수익률 통계", "", "--yield-stats", flagWords};
inline constexpr SettingSpec fundCadence{"fund_cadence", "운용 주기", "", "--cadence", cadenceWords};
inline constexpr SettingSpec years{"years", "운용 기간", "년", "--years"};
inline constexpr SettingSpec autoSet{"auto_set", "자동설정", "", "--auto-set", flagWords};
inline constexpr SettingSpec riskProfile{"risk_profile", "투자성향", "", "--risk", riskProfileWords};
inline constexpr SettingSpec rangeLow{"range_low_pct", "매매범위 하한", "%", "--range-low"};
inline constexpr SettingSpec rangeHigh{"range_high_pct", "매매범위 상한", "%", "--range-high"};
inline constexpr SettingSpec initialBuy{"initial_buy_pct", "최초매수비율", "%", "--initial"};
inline constexpr SettingSpec margin{"margin_pct", "매매차익", "%", "--margin"};
inline constexpr SettingSpec second{"second_pct", "2차조건", "%", "--second"};
inline constexpr SettingSpec commission{"commission_pct", "수수료", "%", "--commission"};
inline constexpr SettingSpec includeTax{"include_tax", "세금", "", "--include-tax", flagWords};
inline constexpr SettingSpec riskFree{"risk_free_pct", "무위험수익률", "%", "--risk-free"};
// Written only when the rules are not the default ones (or dividends are paid).
inline constexpr SettingSpec rules{"rules", "시장 규칙", "", "--rules"};
inline constexpr SettingSpec dividends{"dividends", "배당", "", "--dividends", flagWords};

} // namespace setting

/// Every setting, in settings.csv's order.
std::span<const SettingSpec* const> allSettings();
/// The setting of a key; nullptr for a key no setting has.
const SettingSpec* findSetting(std::string_view key);

/// The label of a key with its unit ("매매차익(%)"), or the key itself for an unknown one.
std::string settingLabel(std::string_view key);
/// A value of settings.csv as the user reads it ("종목당", "예"); other values as they are.
std::string settingValueText(std::string_view key, std::string_view value);

} // namespace kestrelan
