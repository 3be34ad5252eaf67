#include "formats/ResultCsv.h"

#include "platform/core/Cp949.h"
#include "platform/core/Format.h"

namespace kestrelan {

const std::array<std::string, resultCsvColumns>& resultCsvHeadings()
{
    static const std::array<std::string, resultCsvColumns> headings
        = {toCp949("시작일"),      toCp949("종료일"),     toCp949("시작일지수"),  toCp949("종료일지수"),
           toCp949("총투자비"),    toCp949("최초매수액"), toCp949(" 주식평가액"), toCp949(" 최종평가액"),
           toCp949("KOSPI수익률"), toCp949("수익률"),     toCp949("총매매금액"),  toCp949("매매회전수"),
           toCp949("매매차익")};
    return headings;
}

const std::string& resultCsvHeader()
{
    static const std::string text = [] {
        std::string line;
        for (const auto& heading : resultCsvHeadings())
            line += (line.empty() ? "" : ",") + heading;
        return line + "\n";
    }();
    return text;
}

std::string resultCsvLine(const ResultCsvRow& r)
{
    return LineBuilder()
        .text(r.startDate)
        .text(r.endDate)
        .fixed(r.startIndex, 2)
        .fixed(r.endIndex, 2)
        .fixed(r.invest, 0)
        .fixed(r.initial, 0)
        .fixed(r.stockValue, 0)
        .fixed(r.value, 0)
        .fixed(r.kospiYield, 6)
        .fixed(r.fundYield, 6)
        .fixed(r.trade, 0)
        .fixed(r.turnover, 6)
        .fixed(r.gain, 0)
        .end();
}

std::vector<ResultCsvRow> readResultCsv(std::string_view bytes)
{
    using C = ResultCsvColumn;
    std::vector<ResultCsvRow> rows;
    readLines(bytes, [&](const FieldLine& line) {
        if (line.number == 0)
            return true; // the header
        const ColumnTexts<C> f{line.fields};
        rows.push_back(
            {f.text(C::StartDate), f.text(C::EndDate), f.number(C::StartIndex), f.number(C::EndIndex),
             f.number(C::Invest), f.number(C::Initial), f.number(C::StockValue), f.number(C::Value),
             f.number(C::KospiYield), f.number(C::FundYield), f.number(C::Trade), f.number(C::Turnover),
             f.number(C::Gain),
             LineExtent{line.fields.size(), line.complete,
                        line.complete && line.fields.size() == resultCsvColumns
                            && f.areNumbers({C::StartIndex, C::EndIndex, C::Invest, C::Initial, C::StockValue, C::Value,
                                             C::KospiYield, C::FundYield, C::Trade, C::Turnover, C::Gain})}});
        return true;
    });
    return rows;
}

} // namespace kestrelan
