#include "engine/SitOut.h"

#include "engine/Dates.h"
#include "engine/TradingRules.h"
#include "platform/core/Format.h"

#include <set>

namespace kestrelan {

namespace {

using namespace rules;

// The date of a price file's last day, or 0 for a file without one.
std::int32_t lastDay(const PriceFile& file)
{
    for (std::int32_t i = file.recordCount(); i-- > 0;)
        if (file.value(i) >= firstDateValue)
            return file.value(i);
    return 0;
}

std::string grouped(std::int64_t v)
{
    std::string digits = std::to_string(v), out;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0)
            out += ',';
        out += digits[i];
    }
    return out;
}

} // namespace

StockOutcome sitOutReason(const PriceFile& prices, std::int32_t pos, const StockSlot& s, InvestMode investMode)
{
    const std::int32_t first = pos / priceRecordSize;
    if (first < 0 || first + 2 >= prices.recordCount())
        return StockOutcome::NoData;
    const std::int32_t late = dayCount(s.sDate, prices.value(first));
    if (late > latestStartDays || late < 0)
        return StockOutcome::LateStart;
    const std::int32_t p = prices.value(first + 2);
    if (p >= firstDateValue)
        return StockOutcome::NoFirstPrice; // the next day's date where the first price would be
    const double r = s.initRatio;
    if (p <= 0 || s.marginPct + 100 <= 0 || r == 0.0)
        return StockOutcome::Conditions;
    if (investMode != InvestMode::ShareCount) {
        std::int32_t v = trunc32(s.invest * r / p);
        v -= v % shareStep;
        return v < minimumShares && s.invest <= static_cast<std::int64_t>(minimumShares) * p ? StockOutcome::TooFewShares
                                                                                             : StockOutcome::Conditions;
    }
    const std::int64_t kept = static_cast<std::int64_t>(shareStep) * trunc32(s.invest * r * 0.1);
    if (std::min<std::int64_t>(kept, largestQuantity) < minimumShares)
        return StockOutcome::TooFewShares;
    if (static_cast<double>(s.invest) * p > largestHolding)
        return StockOutcome::HoldingTooLarge;
    return StockOutcome::Conditions;
}

void StockNotes::add(const RunData& data, std::size_t k, const std::vector<StockOutcome>& outcomes)
{
    const Fund& fund = data.funds[k];
    std::set<std::pair<std::string, StockOutcome>> counted; // a stock held twice counts once a fund
    for (std::size_t i = 0; i < outcomes.size() && i < data.items.size(); ++i) {
        const std::string code(entryCode(data.items[i].entry));
        entry.emplace(code, i);
        StockOutcome said = outcomes[i];
        if (said == StockOutcome::Bought) {
            const std::int32_t last = lastDay(*data.files[i]);
            if (last == 0 || last >= fund.end)
                continue; // its data reaches the fund's end: nothing to say
        }
        if (!counted.insert({code, said}).second)
            continue;
        Count& c = counts[{code, said}];
        ++c.funds;
        if (c.firstStart == 0) {
            c.firstStart = fund.start;
            c.firstEnd = fund.end;
        }
    }
}

void StockNotes::merge(const StockNotes& other)
{
    ++merged;
    for (const auto& [key, count] : other.counts) {
        const auto [it, added] = counts.emplace(key, count);
        if (!added) {
            it->second.funds = std::max(it->second.funds, count.funds);
            ++it->second.runs;
        }
    }
    entry.insert(other.entry.begin(), other.entry.end());
}

std::vector<std::string> StockNotes::lines(const RunData& data) const
{
    std::vector<std::pair<std::size_t, std::string>> order; // by portfolio entry
    for (const auto& [code, i] : entry)
        order.emplace_back(i, code);
    std::sort(order.begin(), order.end());
    const bool single = data.logEnabled;
    std::vector<std::string> out;
    for (const auto& entryAndCode : order) {
        const std::size_t i = entryAndCode.first;
        const std::string& code = entryAndCode.second; // named, since a lambda below takes it
        const auto find = [&](StockOutcome o) -> const Count* {
            const auto it = counts.find({code, o});
            return it == counts.end() ? nullptr : &it->second;
        };
        const std::int32_t last = lastDay(*data.files[i]);
        const auto funds = [&](const Count& c) { return single ? std::string("펀드") : format("펀드 %d개", c.funds); };
        const auto sweep = [&](const Count& c) {
            return merged > 1 ? format(" (조합 %d개 중 %d개에서, 펀드 수는 가장 많은 조합의 것)", merged, c.runs)
                              : std::string();
        };
        const char* c0 = code.c_str();
        const Count* valued = find(StockOutcome::Bought);
        const Count* ended = last ? find(StockOutcome::NoData) : nullptr;
        if (valued || ended) {
            std::string note = format("%s 종목의 주가 자료가 %s에 끝나", c0, dateText(last).c_str());
            if (single && valued)
                note += format(", 펀드가 끝나는 %s까지 그날의 마지막 가격으로 평가합니다.", dateText(valued->firstEnd).c_str());
            else if (single)
                note += format(" %s에 시작하는 펀드에 넣지 않았습니다.", dateText(ended->firstStart).c_str());
            else if (valued && ended)
                note += format(", 그 뒤에 끝나는 펀드 %d개에서는 그날의 마지막 가격으로 평가하고 그 뒤에 시작하는 "
                               "펀드 %d개에는 넣지 않았습니다.",
                               valued->funds, ended->funds);
            else if (valued)
                note += format(", 그 뒤에 끝나는 펀드 %d개에서는 그날의 마지막 가격으로 평가합니다.", valued->funds);
            else
                note += format(", 그 뒤에 시작하는 펀드 %d개에는 넣지 않았습니다.", ended->funds);
            if (merged > 1 && note.back() == '.')
                note.insert(note.size() - 1, sweep(valued ? *valued : *ended));
            out.push_back(note);
        }
        const auto say = [&](StockOutcome o, const std::string& why) {
            if (const Count* c = find(o))
                out.push_back(format("%s 종목은 %s %s에 넣지 않았습니다%s.", c0, why.c_str(), funds(*c).c_str(),
                                     sweep(*c).c_str()));
        };
        if (!last)
            say(StockOutcome::NoData, "주가 자료가 없어");
        const Count* late = find(StockOutcome::LateStart);
        say(StockOutcome::LateStart,
            format("펀드 시작일(%s%s)부터 %d일 안에 주가 자료가 없어", late ? dateText(late->firstStart).c_str() : "",
                   single || !late || late->funds == 1 ? "" : " 등", latestStartDays));
        const Count* halted = find(StockOutcome::NoFirstPrice);
        say(StockOutcome::NoFirstPrice,
            format("%s%s에 시작하는 펀드의 첫 거래일에 매매가 없어 (거래정지)",
                   halted ? dateText(halted->firstStart).c_str() : "",
                   single || !halted || halted->funds == 1 ? "" : " 등"));
        say(StockOutcome::NoPriceForDivision,
            "펀드 시작 전날의 가격이 없거나 시작 뒤 며칠 안에 거래가 없어 총투자 금액을 나누지 않고");
        say(StockOutcome::HoldingTooLarge,
            format("주식수 %s주가 시작 가격으로 %s원을 넘어", grouped(data.items[i].amount).c_str(),
                   grouped(maxInvestAmount).c_str()));
        say(StockOutcome::TooFewShares,
            data.params.investMode == InvestMode::ShareCount
                ? format("주식수에 최초매수비율을 곱한 수량이 최소 %d주가 되지 않아", minimumShares)
                : format("투자금액으로 최소 %d주를 살 수 없어", minimumShares));
        say(StockOutcome::Conditions, "매매조건(최초매수비율, 매매범위, 매매차익)으로는 최초 매수를 할 수 없어");
    }
    return out;
}

} // namespace kestrelan
