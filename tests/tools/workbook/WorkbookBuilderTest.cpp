#include "tools/workbook/WorkbookBuilder.h"
#include "platform/core/Cp949.h"
#include "platform/core/TextFile.h"
#include "results/core/SweepCsv.h"
#include "support/GoldenCases.h"
#include "support/TempDir.h"

#include <cstdio>
#include <gtest/gtest.h>

using namespace kestrelan;

namespace {

// One part of an .xlsx (a zip archive), read with unzip.
std::string part(const std::filesystem::path& xlsx, const std::string& name)
{
    const std::string command = "unzip -p '" + xlsx.string() + "' '" + name + "' 2>/dev/null";
    std::FILE* pipe = ::popen(command.c_str(), "r");
    std::string out;
    char buffer[4096];
    std::size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
        out.append(buffer, got);
    ::pclose(pipe);
    return out;
}

} // namespace

TEST(WorkbookBuilderTest, HandoffCarriesTheNameAfterTheProgramFolder)
{
    test::TempDir dir;
    dir.write("fname.tmp", "/opt/kestrelan/" + toCp949("성장주") + "\r\n7\r\n");
    const Handoff h = readHandoff(dir / "fname.tmp", "/opt/kestrelan");
    EXPECT_EQ(h.name, "성장주");
    EXPECT_EQ(h.stockCount, 7);
    dir.write("other.tmp", "/elsewhere/tmp\r\n3\r\n");
    EXPECT_EQ(readHandoff(dir / "other.tmp", "/opt/kestrelan").name, "tmp");
    dir.write("empty.tmp", "/opt/kestrelan/\r\n3\r\n");
    EXPECT_THROW(readHandoff(dir / "empty.tmp", "/opt/kestrelan"), std::runtime_error);
    EXPECT_THROW(readHandoff(dir / "missing.tmp", "/opt/kestrelan"), std::runtime_error);
    EXPECT_FALSE(isFileName(".."));
    EXPECT_FALSE(isFileName("a\tb"));
    EXPECT_TRUE(isFileName("성장주 2004"));
}

TEST(WorkbookBuilderTest, SingleFundSheetsAndChart)
{
    test::GoldenResults r("worked-single-amount");
    test::TempDir out;
    const auto path = buildWorkbook({"가치주", 1}, r.dir.path(), out.path());
    EXPECT_EQ(path, out / "가치주.xlsx");
    const std::string book = part(path, "xl/workbook.xml");
    for (const char* sheet : {"요약", "종목별", "일별", "매매내역", "위험 지표", "월별 수익률"})
        EXPECT_NE(book.find(std::string("name=\"") + sheet + "\""), std::string::npos) << sheet;
    const std::string strings = part(path, "xl/sharedStrings.xml");
    for (const char* text : {"투자비총액", "최종평가액", "종목수익률", "가람전자", "매수", "매도"})
        EXPECT_NE(strings.find(text), std::string::npos) << text;
    // The totals: 10,000 thousand won invested, 10,628.65 thousand now.
    const std::string summary = part(path, "xl/worksheets/sheet1.xml");
    EXPECT_NE(summary.find("<v>10000</v>"), std::string::npos);
    EXPECT_NE(summary.find("<v>10628.65</v>"), std::string::npos);
    const std::string chart = part(path, "xl/charts/chart1.xml");
    EXPECT_NE(chart.find("<c:lineChart>"), std::string::npos);
    EXPECT_NE(chart.find("일별"), std::string::npos);
}

TEST(WorkbookBuilderTest, FundSeriesCountsAndScatterChart)
{
    test::GoldenResults r("sample-series-monthly-total");
    test::TempDir out;
    const auto path = buildWorkbook({"series", 4}, r.dir.path(), out.path());
    const std::string book = part(path, "xl/workbook.xml");
    EXPECT_NE(book.find("name=\"펀드별\""), std::string::npos);
    EXPECT_EQ(book.find("매매내역"), std::string::npos);
    EXPECT_NE(part(path, "xl/sharedStrings.xml").find("지수보다 높은 펀드 비율"), std::string::npos);
    EXPECT_NE(part(path, "xl/charts/chart1.xml").find("<c:scatterChart>"), std::string::npos);
}

TEST(WorkbookBuilderTest, AnExistingWorkbookIsKept)
{
    test::GoldenResults r("worked-single-amount");
    test::TempDir out;
    const auto first = buildWorkbook({"tmp", 1}, r.dir.path(), out.path());
    out.write("tmp.xlsx", "the user's own edits");
    const auto second = buildWorkbook({"tmp", 1}, r.dir.path(), out.path());
    EXPECT_EQ(second, out / "tmp (2).xlsx");
    EXPECT_EQ(out.read("tmp.xlsx"), "the user's own edits");
    EXPECT_EQ(buildWorkbook({"tmp", 1}, r.dir.path(), out.path()), out / "tmp (3).xlsx");
    for (const auto& e : std::filesystem::directory_iterator(out.path()))
        EXPECT_EQ(e.path().extension(), ".xlsx") << e.path(); // no scratch file left
}

// A sweep's combinations, and two of its settings set against each other in a colour-scaled
// table: a cell holds the best median over the settings the table does not show.
TEST(WorkbookBuilderTest, SweepSheetsWithTheSpreadsheetsOwnColourScale)
{
    test::GoldenResults r("sample-series-monthly-total");
    SweepFile sweep;
    sweep.identity = {{{"stocks", "005930"}, {"auto_set", "on"}}, 8, {}};
    std::int64_t n = 0;
    for (int margin : {5, 10})
        for (int second : {5, 10})
            for (int risk : {0, 1}) {
                SeriesSummary s;
                s.funds = 12;
                s.fund.median = margin + second * 0.1 + risk;
                for (Spread* x : {&s.fund, &s.index, &s.excess})
                    x->worstStart = x->bestStart = "2004-01-01";
                sweep.lines.push_back({++n, {margin, second, 50, 150, 50, risk}, true, s});
            }
    r.dir.write("sweep.csv", toCrLf(sweepCsvText(sweep)));
    test::TempDir out;
    const auto path = buildWorkbook({"sweep", 4}, r.dir.path(), out.path());
    const std::string book = part(path, "xl/workbook.xml");
    EXPECT_NE(book.find("name=\"조합\""), std::string::npos);
    EXPECT_NE(book.find("name=\"조합비교\""), std::string::npos);
    EXPECT_NE(book.find("name=\"조합 설정\""), std::string::npos);
    // 조합비교 is the fifth sheet (요약, 펀드별, 조합, 조합 설정, 조합비교).
    const std::string map = part(path, "xl/worksheets/sheet5.xml");
    EXPECT_NE(map.find("<colorScale>"), std::string::npos);
    EXPECT_NE(map.find("<v>11.5</v>"), std::string::npos); // margin 10, second 5, risk 1: 10 + 0.5 + 1
}

// A walk's sweep: each window's choose figure against its judge figure as a scatter chart, a
// series per window, and walkforward.csv's windows as a sheet with numbers as numbers.
TEST(WorkbookBuilderTest, AWalkGetsItsChooseAgainstJudgeScatterAndItsWindows)
{
    test::GoldenResults r("sample-series-monthly-total");
    SweepFile sweep;
    sweep.identity = {{{"stocks", "005930"}, {"walk", "36:12"}, {"windows", "2"}, {"rank", "median"}}, 2, {}};
    for (std::int64_t n = 1; n <= 2; ++n)
        for (std::int32_t w = 0; w <= 2; ++w) {
            SeriesSummary s;
            s.funds = 12;
            s.fund.median = static_cast<double>(n * 10 + w);
            for (Spread* x : {&s.fund, &s.index, &s.excess})
                x->worstStart = x->bestStart = "2004-01-01";
            SweepLine line{n, {5 * static_cast<std::int32_t>(n), 10, 50, 150, 50, 1}, true, s};
            line.window = w;
            s.fund.median = 100 + static_cast<double>(n * 10 + w);
            line.judge = s;
            sweep.lines.push_back(line);
        }
    r.dir.write("sweep.csv", toCrLf(sweepCsvText(sweep)));
    r.dir.write("walkforward.csv", toCrLf("# kestrelan walk\nwindow,combination,judge_fund_median_pct\n1,2,121.50\n"));
    test::TempDir out;
    const auto path = buildWorkbook({"sweep", 4}, r.dir.path(), out.path());
    const std::string book = part(path, "xl/workbook.xml");
    EXPECT_NE(book.find("name=\"고르기와 판단\""), std::string::npos) << book;
    EXPECT_NE(book.find("name=\"창\""), std::string::npos) << book;
    std::string charts;
    for (int c = 1; c <= 4; ++c)
        charts += part(path, "xl/charts/chart" + std::to_string(c) + ".xml");
    EXPECT_NE(charts.find("<c:scatterChart>"), std::string::npos);
    EXPECT_NE(charts.find("창 2"), std::string::npos); // a series per window
    // Window 2, combination 2: chosen at 22, judged at 122; the window's row holds a number.
    std::string sheets;
    for (int k = 1; k <= 9; ++k)
        sheets += part(path, "xl/worksheets/sheet" + std::to_string(k) + ".xml");
    EXPECT_NE(sheets.find("<v>122</v>"), std::string::npos);
    EXPECT_NE(sheets.find("<v>121.5</v>"), std::string::npos);
}
