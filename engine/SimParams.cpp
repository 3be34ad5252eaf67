#include "engine/SimParams.h"

#include "platform/core/Format.h"

#include <cmath>

#include "engine/Dates.h"
#include "engine/MarketRules.h"

namespace kestrelan {

namespace {

template <class E>
bool oneOf(E value, E first, E last)
{
    return static_cast<std::int32_t>(value) >= static_cast<std::int32_t>(first)
        && static_cast<std::int32_t>(value) <= static_cast<std::int32_t>(last);
}

} // namespace

double roundTripCostPct(const TradingConditions& p, double taxRate)
{
    return 2 * p.commissionPct + (p.includeTax ? taxRate * 100 : 0.0);
}

std::optional<std::string> marginBelowCostsNote(const TradingConditions& p, const MarketRules& rules,
                                                std::int32_t start, std::int32_t end)
{
    const RateRange tax = salesTaxRange(rules, start, end);
    const double lowest = roundTripCostPct(p, tax.lowest);
    const double highest = roundTripCostPct(p, tax.highest);
    const auto below = [&](double cost) { return p.marginPct < cost - 1e-9; }; // equal costs: no note, whatever the last bit
    if (!below(highest))
        return std::nullopt;
    if (!below(lowest))
        return format("매매차익 %d%%가 이 기간의 일부 날에 한 번 사고파는 비용(가장 높을 때 %g%%)보다 작습니다.",
                      p.marginPct, highest);
    if (lowest != highest)
        return format("매매차익 %d%%가 한 번 사고파는 비용 %g~%g%%보다 작습니다.", p.marginPct, lowest, highest);
    return format("매매차익 %d%%가 한 번 사고파는 비용 %g%%보다 작습니다.", p.marginPct, highest);
}

std::optional<SettingProblem> validate(const SimParams& p)
{
    if (p.marginPct == 0)
        return SettingProblem{Setting::Margin, "매매차익 입력이 잘못되었습니다."};
    if (!oneOf(p.investMode, InvestMode::PerStock, InvestMode::ShareCount))
        return SettingProblem{Setting::InvestMode, setting::investMode.oneOfMessage()};
    // A single fund has no cadence: whatever the form's radios hold is not used.
    if (p.yieldStats && !oneOf(p.fundCadence, FundCadence::ThriceMonthly, FundCadence::Daily))
        return SettingProblem{Setting::FundCadence, setting::fundCadence.oneOfMessage()};
    if (!oneOf(p.riskProfile, RiskProfile::Aggressive, RiskProfile::Conservative))
        return SettingProblem{Setting::RiskProfile, setting::riskProfile.oneOfMessage()};
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
    namespace s = setting;
    const auto flag = [](const SettingSpec& spec, bool on) { return spec.line(spec.word(on ? 1 : 0)); };
    const auto word = [](const SettingSpec& spec, auto value) { return spec.line(spec.word(static_cast<int>(value))); };
    const auto number = [](const SettingSpec& spec, std::int32_t value) { return spec.line(std::to_string(value)); };
    std::vector<SettingLine> lines = {
        number(s::stocks, static_cast<std::int32_t>(stocks)),
        word(s::investMode, p.investMode),
        s::startDate.line(dateText(p.startDate)),
        s::endDate.line(dateText(p.endDate)),
        flag(s::yieldStats, p.yieldStats),
    };
    if (p.yieldStats) {
        lines.push_back(word(s::fundCadence, p.fundCadence));
        lines.push_back(number(s::years, p.years));
    }
    lines.push_back(flag(s::autoSet, p.autoSet));
    if (p.autoSet) {
        lines.push_back(word(s::riskProfile, p.riskProfile));
    } else {
        lines.push_back(number(s::rangeLow, p.rangeLowPct));
        lines.push_back(number(s::rangeHigh, p.rangeHighPct));
        lines.push_back(number(s::initialBuy, p.initialBuyPct));
    }
    lines.push_back(number(s::margin, p.marginPct));
    lines.push_back(number(s::second, p.secondPct));
    lines.push_back(s::commission.line(format("%g", p.commissionPct)));
    lines.push_back(flag(s::includeTax, p.includeTax));
    lines.push_back(s::riskFree.line(format("%g", p.riskFreePct)));
    if (p.rules != "design")
        lines.push_back(s::rules.line(p.rules));
    if (p.rules != "design" || p.dividends == 1)
        lines.push_back(flag(s::dividends, p.dividends == 1));
    return lines;
}

} // namespace kestrelan
