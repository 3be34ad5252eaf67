#include "formats/GenCsv.h"

#include "platform/core/Format.h"

namespace kestrelan {

std::string genCsvLine(const GenCsvRow& r)
{
    return format("%.*s,%.*s,%d,%d,%f,%f,%d,%f\n", static_cast<int>(r.code.size()), r.code.data(),
                  static_cast<int>(r.name.size()), r.name.data(), r.lastPrice, r.startPrice, r.invest, r.cash, r.shares,
                  r.gain);
}

std::vector<GenCsvRow> readGenCsv(std::string_view bytes)
{
    using C = GenCsvColumn;
    std::vector<GenCsvRow> rows;
    readLines(bytes, [&](const FieldLine& line) {
        const ColumnTexts<C> f{line.fields};
        rows.push_back({f.text(C::Code), f.text(C::Name), f.integer(C::LastPrice), f.integer(C::StartPrice),
                        f.number(C::Invest), f.number(C::Cash), f.integer(C::Shares), f.number(C::Gain),
                        LineExtent{line.fields.size(), line.complete,
                                   line.complete && line.fields.size() == genCsvColumns
                                       && f.areIntegers({C::LastPrice, C::StartPrice, C::Shares})
                                       && f.areNumbers({C::Invest, C::Cash, C::Gain})}});
        return true;
    });
    return rows;
}

} // namespace kestrelan
