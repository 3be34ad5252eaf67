#include "engine/SimParams.h"

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

} // namespace kestrelan
