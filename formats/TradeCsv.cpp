#include "formats/TradeCsv.h"

#include "platform/core/Cp949.h"
#include "platform/core/Format.h"

namespace kestrelan {

const std::string& tradeKindText(TradeKind kind)
{
    static const std::string initial = toCp949("초매");
    static const std::string adjustment = toCp949("조정");
    static const std::string purchases = toCp949("매수");
    static const std::string sales = toCp949("매도");
    static const std::string dividend = toCp949("배당");
    switch (kind) {
    case TradeKind::Dividend: return dividend;
    case TradeKind::Initial: return initial;
    case TradeKind::Adjustment: return adjustment;
    case TradeKind::Purchases: return purchases;
    default: return sales;
    }
}

namespace {

std::optional<TradeKind> kindOf(std::string_view text)
{
    for (TradeKind k : {TradeKind::Initial, TradeKind::Adjustment, TradeKind::Purchases, TradeKind::Sales,
                        TradeKind::Dividend})
        if (text == tradeKindText(k))
            return k;
    return std::nullopt;
}

} // namespace

std::string tradeCsvLine(const TradeCsvRow& r)
{
    const std::string_view kind = r.kind ? std::string_view(tradeKindText(*r.kind)) : std::string_view();
    const bool average = r.kind == TradeKind::Purchases || r.kind == TradeKind::Sales;
    const int dateSize = static_cast<int>(r.date.size());
    const int codeSize = static_cast<int>(r.code.size());
    const int nameSize = static_cast<int>(r.name.size());
    const int kindSize = static_cast<int>(kind.size());
    if (average)
        return format("%.*s,%.*s,%.*s,%.*s,%d,%f,%.0f,%.0f,%.0f\n", dateSize, r.date.data(), codeSize, r.code.data(),
                      nameSize, r.name.data(), kindSize, kind.data(), r.shares, r.price, r.amount, r.commission, r.tax);
    return format("%.*s,%.*s,%.*s,%.*s,%d,%d,%.0f,%.0f,%.0f\n", dateSize, r.date.data(), codeSize, r.code.data(),
                  nameSize, r.name.data(), kindSize, kind.data(), r.shares, truncatedInteger(r.price), r.amount,
                  r.commission, r.tax);
}

std::vector<TradeCsvRow> readTradeCsv(std::string_view bytes)
{
    using C = TradeCsvColumn;
    std::vector<TradeCsvRow> rows;
    readLines(bytes, [&](const FieldLine& line) {
        const ColumnTexts<C> f{line.fields};
        rows.push_back({f.text(C::Date), f.text(C::Code), f.text(C::Name), kindOf(f.text(C::Kind)),
                        f.integer(C::Shares), f.number(C::Price), f.number(C::Amount), f.number(C::Commission),
                        f.number(C::Tax),
                        LineExtent{line.fields.size(), line.complete,
                                   line.complete && line.fields.size() == tradeCsvColumns && f.areIntegers({C::Shares})
                                       && f.areNumbers({C::Price, C::Amount, C::Commission, C::Tax})}});
        return true;
    });
    return rows;
}

} // namespace kestrelan
