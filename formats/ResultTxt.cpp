#include "formats/ResultTxt.h"

#include "platform/core/Format.h"

namespace kestrelan {

const std::array<std::string, resultTxtColumns>& resultTxtHeadings()
{
    static const std::array<std::string, resultTxtColumns> headings
        = {"Code",       " Item",     " sDate",    " eDate", " sKospi", " eKospi",  " Invest", " Init",
           " First Vol", " Auto Vol", " SellStep", " Top",   " Bottom", " Sell",    " Second", " Yield",
           " Initial",   " Last",     " Share",    " Trade", " totBuy", " totSell", " mult",   " Gain"};
    return headings;
}

const std::string& resultTxtHeader()
{
    static const std::string text = [] {
        std::string line;
        for (const auto& heading : resultTxtHeadings())
            line += (line.empty() ? "" : ",") + heading;
        return line + "\n";
    }();
    return text;
}

std::string resultTxtLine(const ResultTxtRow& r)
{
    return LineBuilder()
        .text(r.code)
        .text(r.name)
        .text(r.startDate)
        .text(r.endDate)
        .fixed(r.startIndex, 2)
        .fixed(r.endIndex, 2)
        .integer(r.invest)
        .fixed(r.initialAmount, 0)
        .integer(r.firstVol)
        .integer(r.autoVol)
        .integer(r.sellStep)
        .integer(r.rangeHighPct)
        .integer(r.rangeLowPct)
        .integer(r.marginPct)
        .integer(r.secondPct)
        .fixed(r.value, 0)
        .integer(r.initialPrice)
        .integer(r.lastPrice)
        .integer(r.shares)
        .fixed(r.trade, 0)
        .fixed(r.totBuy, 0)
        .fixed(r.totSell, 0)
        .fixed(r.mult, 6)
        .fixed(r.gain, 0)
        .end();
}

std::vector<ResultTxtRow> readResultTxt(std::string_view bytes)
{
    using C = ResultTxtColumn;
    std::vector<ResultTxtRow> rows;
    readLines(bytes, [&](const FieldLine& line) {
        if (line.number == 0)
            return true; // the header
        const ColumnTexts<C> f{line.fields};
        rows.push_back({f.text(C::Code),
                        f.text(C::Item),
                        f.text(C::StartDate),
                        f.text(C::EndDate),
                        f.number(C::StartIndex),
                        f.number(C::EndIndex),
                        f.integer(C::Invest),
                        f.number(C::Init),
                        f.integer(C::FirstVol),
                        f.integer(C::AutoVol),
                        f.integer(C::SellStep),
                        f.integer(C::Top),
                        f.integer(C::Bottom),
                        f.integer(C::Sell),
                        f.integer(C::Second),
                        f.number(C::Yield),
                        f.integer(C::Initial),
                        f.integer(C::Last),
                        f.integer(C::Share),
                        f.number(C::Trade),
                        f.number(C::TotBuy),
                        f.number(C::TotSell),
                        f.number(C::Mult),
                        f.number(C::Gain),
                        LineExtent{line.fields.size(), line.complete,
                                   line.complete && line.fields.size() == resultTxtColumns
                                       && f.areIntegers({C::Invest, C::FirstVol, C::AutoVol, C::SellStep, C::Top,
                                                         C::Bottom, C::Sell, C::Second, C::Initial, C::Last, C::Share})
                                       && f.areNumbers({C::StartIndex, C::EndIndex, C::Init, C::Yield, C::Trade,
                                                        C::TotBuy, C::TotSell, C::Mult, C::Gain})}});
        return true;
    });
    return rows;
}

} // namespace kestrelan
