#include "formats/ClosingCsv.h"
#include "formats/DateLst.h"
#include "formats/GenCsv.h"
#include "formats/ResultCsv.h"
#include "formats/ResultTxt.h"
#include "formats/StatsCsv.h"
#include "formats/TradeCsv.h"
#include "platform/core/Cp949.h"
#include "platform/core/TextFile.h"

#include <functional>
#include <gtest/gtest.h>

using namespace kestrelan;

namespace {

// Every line a reader finds, written back by the format's writer.
template <class Row>
std::string rewrite(const std::vector<Row>& rows, std::string (*line)(const Row&))
{
    std::string out;
    for (const Row& row : rows)
        out += line(row);
    return out;
}

struct Format
{
    const char* name;
    std::string header; // written before the lines, skipped by the reader
    std::function<std::string(std::string_view)> readAndWrite;
};

const std::vector<Format>& formats()
{
    static const std::vector<Format> all = {
        {"result.csv", resultCsvHeader(), [](std::string_view b) { return rewrite(readResultCsv(b), &resultCsvLine); }},
        {"result.txt", resultTxtHeader(), [](std::string_view b) { return rewrite(readResultTxt(b), &resultTxtLine); }},
        {"gen.csv", "", [](std::string_view b) { return rewrite(readGenCsv(b), &genCsvLine); }},
        {"trade.csv", "", [](std::string_view b) { return rewrite(readTradeCsv(b), &tradeCsvLine); }},
        {"closing.csv", "", [](std::string_view b) { return rewrite(readClosingCsv(b), &closingCsvLine); }},
        {"date.lst", "", [](std::string_view b) { return rewrite(readDateLst(b), &dateLstLine); }},
        {"stats.csv", statsCsvHeader(), [](std::string_view b) { return rewrite(readStatsCsv(b), &statsCsvLine); }},
    };
    return all;
}

const Format& formatNamed(std::string_view name)
{
    for (const auto& f : formats())
        if (f.name == name)
            return f;
    throw std::invalid_argument(std::string(name));
}

const std::string name = toCp949("가람전자            ");

} // namespace

TEST(FormatsTest, WrittenLinesReadBackToTheSameLines)
{
    struct Row
    {
        const char* format;
        std::string lines; // as the run writes them, "\n" ends
    };
    // format | lines a run writes
    const Row rows[] = {
        {"result.csv",
         "2004-01-02,2004-01-05,812.34,820.50,10000000,5000000,5040000,10030000,0.010045,0.003000,"
         "6000000,0.300000,93100\n"
         "2004-01-02,2004-01-06,812.34,812.34,0,0,0,0,-0.004000,0.000000,0,0.000000,-5\n"},
        {"result.txt",
         "005930," + name
             + ",2004-01-02,2004-01-05,812.34,900.00,10000000,5000000,500,50,10,150,50,10,"
               "10,10626650,10000,11200,450,6555000,5475000,1080000,1.000000,93100\n"},
        {"gen.csv", "005930," + name + ",11200,10000,10000.000000,5588.650000,450,93.100000\n"},
        {"trade.csv",
         "2004-01-02,005930," + name + "," + toCp949("초매") + ",1000,9000,0,0,0\n2004-01-05,005930," + name + ","
             + toCp949("조정") + ",-500,9000,4500,0,0\n2004-01-05,005930," + name + "," + toCp949("매수")
             + ",30,12345.000000,370350,740,0\n2004-01-06,005930," + name + "," + toCp949("매도")
             + ",3,33.333333,100,0,0\n"},
        {"closing.csv", "2004-01-05,11200,9800\n2004-01-06\n2004-01-07,,9900\n"},
        {"date.lst", "20040102 8123420041231 89512\n20040201 8300020050131 90100\n"},
        {"stats.csv",
         "2004-01-02,2004-12-31,250,10.05,-3.20,10.12,-3.22,4.90,2004-03-02,2004-04-15,2004-06-01,20.61,"
         "8.44,21.03,1.15,-0.08,2004-02-10,2004-08-02,,31,190,1727884,1077689,128,0.00,78.26,2.85,1.65,0.25,"
         "11.14,14.29,0.95\n"
         "2004-02-01,2005-01-31,248,,,,,0.00,,,,0.00,,,,,,,,0,0,0,0,0,,,,,,,,\n"},
    };
    for (const auto& row : rows) {
        const Format& f = formatNamed(row.format);
        const std::string file = toCrLf(f.header + row.lines);
        EXPECT_EQ(f.readAndWrite(file), row.lines) << row.format;
    }
}

TEST(FormatsTest, ReadersNameTheColumns)
{
    const std::string results = toCrLf(resultCsvHeader()
                                       + "2004-01-02,2004-01-05,812.34,820.50,10000000,5000000,5040000,10030000,"
                                         "0.010045,0.003000,6000000,0.300000,93100\n");
    const auto r = readResultCsv(results);
    ASSERT_EQ(r.size(), 1u);
    EXPECT_EQ(r[0].endDate, "2004-01-05");
    EXPECT_EQ(r[0].stockValue, 5040000);
    EXPECT_EQ(r[0].kospiYield, 0.010045);
    EXPECT_EQ(r[0].gain, 93100);

    const std::string stocks = toCrLf("005930," + name + ",11200,10000,10000.000000,5588.650000,450,93.100000\n");
    const auto g = readGenCsv(stocks);
    ASSERT_EQ(g.size(), 1u);
    EXPECT_EQ(g[0].name, name); // the blanks after the name are kept
    EXPECT_EQ(g[0].shares, 450);
    EXPECT_EQ(g[0].cash, 5588.65);

    const std::string trades = toCrLf("2004-01-05,005930," + name + "," + toCp949("매도") + ",3,33.333333,100,0,0\n"
                                      + "2004-01-05,005930," + name + ",?,3,33.333333,100,0,0\n");
    const auto t = readTradeCsv(trades);
    ASSERT_EQ(t.size(), 2u);
    EXPECT_EQ(t[0].kind, TradeKind::Sales);
    EXPECT_EQ(t[0].price, 33.333333);
    EXPECT_EQ(t[1].kind, std::nullopt); // a kind the log does not know

    const auto d = readDateLst(toCrLf("20040102 8123420041231 89512\n"));
    ASSERT_EQ(d.size(), 1u);
    EXPECT_EQ(d[0].start, 20040102);
    EXPECT_EQ(d[0].startText, " 81234");
    EXPECT_EQ(d[0].startHundredths(), 81234);
    EXPECT_EQ(d[0].end, 20041231);
    EXPECT_EQ(d[0].endHundredths(), 89512);

    // stats.csv: the columns after the index's come after a one-stock series' hold_return_pct,
    // and a file written before them reads with them empty.
    const std::string figures = "2004-01-02,2004-12-31,250,1,2,1,2,4,,,,5,,,,,,,,3,4";
    const auto hold = readStatsCsv(toCrLf(statsCsvHeader(true) + figures + ",7.50,1200,300,6,,,,,1.10,,,\n"));
    ASSERT_EQ(hold.size(), 1u);
    EXPECT_EQ(hold[0].holdReturnPct, 7.5);
    EXPECT_EQ(hold[0].grid.commissionWon, 1200);
    EXPECT_EQ(hold[0].grid.fills, 6);
    EXPECT_EQ(hold[0].comparison.beta, 1.1);
    const std::string before = statsCsvHeader().substr(0, statsCsvHeader().find(",commission_won")) + "\n";
    const auto old = readStatsCsv(toCrLf(before + figures + "\n"));
    ASSERT_EQ(old.size(), 1u);
    EXPECT_EQ(old[0].fund.underwaterDays, 3);
    EXPECT_FALSE(old[0].holdReturnPct || old[0].grid.commissionWon || old[0].grid.fills || old[0].fund.sortino);
}

// A file cut in its last line: the complete fields before the cut are read, the line is not
// complete, and a cut without a comma leaves no row at all.
namespace {

// The rows a reader gives for its format's bytes, and the extent of the last.
std::pair<std::size_t, LineExtent> readAs(std::string_view format, const std::string& bytes)
{
    auto take = [](const auto& read) {
        return std::pair{read.size(), read.empty() ? LineExtent{0, true} : read.back().extent};
    };
    if (format == "result.csv")
        return take(readResultCsv(bytes));
    if (format == "result.txt")
        return take(readResultTxt(bytes));
    if (format == "gen.csv")
        return take(readGenCsv(bytes));
    if (format == "trade.csv")
        return take(readTradeCsv(bytes));
    return take(readClosingCsv(bytes));
}

} // namespace

TEST(FormatsTest, CutLastLine)
{
    struct Row
    {
        const char* format;
        std::string bytes;
        std::size_t rows;   // rows read
        std::size_t fields; // complete fields of the last row
        bool complete;      // of the last row
    };
    const std::string head = toCrLf(resultCsvHeader());
    // format | bytes | rows, fields and completeness of the last
    const Row rows[] = {
        {"result.csv", head + "2004-01-05,2004-01-05,1,1,0,0,0,0,0,0,0,0,0\r\n2004-01-05,2004-01-06,1", 2, 2, false},
        {"result.csv", head + "2004-01-05,2004-01-05,1,1,0,0,0,0,0,0,0,0,0\r\n2004-01-05", 1, 13, true},
        {"result.csv", head + "2004-01-05,2004-01-05,1,1,0,0,0,0,0,0,0,0,0\r", 1, 12, false},
        {"gen.csv", "005930,ABC,11200,10000,10000.000000,5588.650000,450,93.100000\r\n005930,ABC,112", 2, 2, false},
        {"trade.csv", "2004-01-05,005930,ABC,X,3,33.333333,100,0,", 1, 8, false},
        {"closing.csv", "2004-01-05,11200\r\n2004-01-06,112", 2, 1, false},
        {"result.txt", "Code\r\n005930,ABC,2004-01-02\r\n", 1, 3, true},
    };
    for (const auto& row : rows) {
        const auto [count, last] = readAs(row.format, row.bytes);
        EXPECT_EQ(count, row.rows) << row.format << ": " << row.bytes;
        EXPECT_EQ(last.fields, row.fields) << row.format << ": " << row.bytes;
        EXPECT_EQ(last.complete, row.complete) << row.format << ": " << row.bytes;
    }
    // date.lst is read in 29-character records: a short last one is not a line.
    EXPECT_EQ(readDateLst("20040102 8123420041231 89512\r\n20040201 830").size(), 1u);
}

// A line is parsed when its writer could have written it: whole, with its columns, a number in
// every column of one. The results window refuses a file with any other.
TEST(FormatsTest, ParsedLinesAreTheWritersOwn)
{
    struct Row
    {
        const char* format;
        std::string line;
        bool parsed;
    };
    const std::string head = toCrLf(resultCsvHeader());
    const std::string result = "2004-01-05,2004-01-05,812.34,815.00,100,50,50,101,0.003274,0.010000,0,0.000000,";
    const std::string gen = "005930,ABC                 ,11200,10000,10000.000000,5588.650000,450,";
    // format | last line | parsed
    const Row rows[] = {
        {"result.csv", head + result + "0\r\n", true},
        {"result.csv", head + result + "0", false},                  // cut
        {"result.csv", head + result + "0,7\r\n", false},            // a field too many
        {"result.csv", head + result.substr(0, 60) + "\r\n", false}, // too few
        {"result.csv", head + "2004-01-05,2004-01-05,812.34,8x5,100,50,50,101,0,0,0,0,0\r\n", false},
        {"result.csv", head + "2004-01-05,2004-01-05,812.34, 815,100,50,50,101,0,0,0,0,0\r\n", false},
        {"gen.csv", gen + "93.100000\r\n", true},
        {"gen.csv", "005930,ABC,11200.5,10000,10000,5588,450,93\r\n", false}, // a price is whole
        {"gen.csv", "\x8e\xff,\x01\r\n", false},
        {"trade.csv", "2004-01-05,005930,ABC,X,3,33.333333,100,0,0\r\n", true},
        {"trade.csv", "2004-01-05,005930,ABC,X,3.5,33.333333,100,0,0\r\n", false},
        {"closing.csv", "2004-01-05,11200,,9800\r\n", true}, // an empty field: no price that day
        {"closing.csv", "2004-01-05,11200,98a0\r\n", false},
        {"closing.csv", "2004-01-05,11200", false},
    };
    for (const auto& row : rows)
        EXPECT_EQ(readAs(row.format, row.line).second.parsed, row.parsed) << row.format << ": " << row.line;
}

TEST(FormatsTest, TextModeLineEnds)
{
    // CR LF reads as LF; a lone CR stays in its field.
    const auto rows = readClosingCsv("2004-01-05,11200\r\n2004-01-06\r,9800\r\r\n");
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].prices, (std::vector<std::optional<std::int32_t>>{11200}));
    EXPECT_EQ(rows[1].date, "2004-01-06\r");
    EXPECT_EQ(rows[1].prices, (std::vector<std::optional<std::int32_t>>{9800})); // atoi stops at the CR
}
