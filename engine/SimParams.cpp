#include "engine/SimParams.h"

#include "platform/core/Format.h"

#include <cmath>

#include "engine/Dates.h"

namespace kestrelan {

namespace {

template <class E>
bool oneOf(E value, E first, E last)
{
    return static_cast<std::int32_t>(value) >= static_cast<std::int32_t>(first)
        && static_cast<std::int32_t>(value) <= static_cast<std::int32_t>(last);
}

} // namespace

std::optional<SettingProblem> validate(const SimParams& p)
{
    if (p.marginPct == 0)
        return SettingProblem{Setting::Margin, "매매차익 입력이 잘못되었습니다."};
    if (!oneOf(p.investMode, InvestMode::PerStock, InvestMode::ShareCount))
        return SettingProblem{Setting::InvestMode, "투자방식은 종목당, 총투자, 주식수 중 하나여야 합니다."};
    // A single fund has no cadence: whatever the form's radios hold is not used.
    if (p.yieldStats && !oneOf(p.fundCadence, FundCadence::ThriceMonthly, FundCadence::Daily))
        return SettingProblem{Setting::FundCadence, "운용 주기는 월3회, 월1회, 매일 중 하나여야 합니다."};
    if (!oneOf(p.riskProfile, RiskProfile::Aggressive, RiskProfile::Conservative))
        return SettingProblem{Setting::RiskProfile, "투자성향은 적극, 안정, 보수 중 하나여야 합니다."};
    if (!std::isfinite(p.commissionPct) || p.commissionPct < 0 || p.commissionPct >= maxCommissionPct)
        return SettingProblem{Setting::Commission, "수수료는 0 이상 100 미만의 숫자로 입력하세요."};
    return std::nullopt;
}

std::optional<SettingProblem> validatePeriod(const SimParams& p)
{
    if (p.startDate > p.endDate)
        return SettingProblem{Setting::Period, "시뮬레이션 기간을 확인하세요."};
    return std::nullopt;
}

std::optional<SettingProblem> validateAmount(std::int64_t amount)
{
    if (amount <= 0)
        return SettingProblem{Setting::Amount, "투자금액을 입력하세요."};
    return std::nullopt;
}

Period defaultPeriod(std::int32_t lastIndexDate)
{
    const std::int32_t end = endOfPreviousMonth(lastIndexDate);
    std::int32_t v = end - 19900; // two years back, a month on
    v = v - v % 100 + 1;
    if ((v % 10000) / 100 == 13)
        v += 8800; // month 13 is January of the next year
    return {v, end};
}

std::vector<SettingLine> settingLines(const SimParams& p, std::size_t stocks)
{
    const auto date = [](std::int32_t d) { return format("%04d-%02d-%02d", d / 10000, d / 100 % 100, d % 100); };
    const auto flag = [](bool on) { return std::string(on ? "on" : "off"); };
    static const char* const investModes[] = {"per_stock", "total", "share_count"};
    static const char* const cadences[] = {"thrice_monthly", "monthly", "daily"};
    static const char* const profiles[] = {"aggressive", "stable", "conservative"};
    const auto word = [](const char* const* words, auto value) {
        const int i = static_cast<int>(value);
        return std::string(i >= 0 && i < 3 ? words[i] : "?");
    };
    std::vector<SettingLine> lines = {
        {"stocks", std::to_string(stocks)},  {"invest_mode", word(investModes, p.investMode)},
        {"start_date", date(p.startDate)},   {"end_date", date(p.endDate)},
        {"yield_stats", flag(p.yieldStats)},
    };
    if (p.yieldStats) {
        lines.push_back({"fund_cadence", word(cadences, p.fundCadence)});
        lines.push_back({"years", std::to_string(p.years)});
    }
    lines.push_back({"auto_set", flag(p.autoSet)});
    if (p.autoSet)
        lines.push_back({"risk_profile", word(profiles, p.riskProfile)});
    else {
        lines.push_back({"range_low_pct", std::to_string(p.rangeLowPct)});
        lines.push_back({"range_high_pct", std::to_string(p.rangeHighPct)});
        lines.push_back({"initial_buy_pct", std::to_string(p.initialBuyPct)});
    }
    lines.push_back({"margin_pct", std::to_string(p.marginPct)});
    lines.push_back({"second_pct", std::to_string(p.secondPct)});
    lines.push_back({"commission_pct", format("%g", p.commissionPct)});
    lines.push_back({"include_tax", flag(p.includeTax)});
    lines.push_back({"risk_free_pct", format("%g", p.riskFreePct)});
    return lines;
}

} // namespace kestrelan
