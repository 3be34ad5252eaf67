#include "tools/ShowCommand.h"
#include "results/core/SummaryTables.h"
#include "support/CommandLineRun.h"
#include "support/GoldenCases.h"
#include "support/Recorders.h"
#include "tools/CommandLine.h"

#include "formats/StatsCsv.h"
#include "formats/SummaryCsv.h"

#include <algorithm>

#include <functional>
#include <gtest/gtest.h>

using namespace kestrelan;

TEST(ShowCommandTest, PrintsAlignedTables)
{
    test::GoldenResults g("worked-single-amount");
    test::RecordingSink messages;
    const auto text = showTables(ResultKind::SingleFundTraded,
                                 fillSummaryTables(ResultKind::SingleFundTraded, g.dir.path(), messages));
    EXPECT_NE(text.find("종목명"), std::string::npos);
    EXPECT_NE(text.find("가람전자"), std::string::npos);
    EXPECT_NE(text.find("10,629"), std::string::npos);
}

// The data formats carry data: the summary with sweep.csv's column names and its numbers as
// numbers, every fund with stats.csv's columns, settings as numbers, words and true/false.
TEST(ShowCommandTest, JsonAndCsvCarryNumbersAndIsoDates)
{
    test::GoldenResults g("sample-series-monthly-total");
    test::RecordingSink messages;
    const ShownResults shown = shownResults(g.dir.path(), messages);
    const std::string json = showJson(shown);
    const auto summary = readSummaryCsv(g.dir.read("summary.csv"));
    ASSERT_TRUE(summary);
    const auto fields = summaryFields(summary);
    // "funds":37,"fund_mean_pct":...: the summary.csv's fields, unquoted
    EXPECT_NE(json.find("\"summary\":{\"funds\":" + fields[0] + ",\"fund_mean_pct\":" + fields[1] + ","),
              std::string::npos)
        << json.substr(0, 400);
    EXPECT_NE(json.find("\"hold_mean_pct\":null"), std::string::npos); // more than one stock
    EXPECT_NE(json.find("\"funds\":[{\"start_date\":\"2001-01-01\",\"end_date\":\"2001-12-28\",\"days\":247,"),
              std::string::npos);
    EXPECT_NE(json.find("\"settings\":{\"stocks\":4,\"invest_mode\":\"total\",\"start_date\":\"2001-01-01\""),
              std::string::npos);
    EXPECT_NE(json.find("\"yield_stats\":true"), std::string::npos);
    const auto data = json.substr(0, json.find("\"tables\""));
    EXPECT_EQ(data.find('%'), std::string::npos); // no display text outside the display tables
    // CSV: stats.csv's columns and a line a fund.
    const std::string csv = showCsv(shown);
    EXPECT_EQ(csv.substr(0, csv.find('\n') + 1), statsCsvHeader());
    EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), 1 + summary->funds);

    // A single fund has no series summary.
    test::GoldenResults single("worked-single-amount");
    EXPECT_NE(showJson(shownResults(single.dir.path(), messages)).find("\"summary\":null"), std::string::npos);
}

// A name as code.lst holds it reaches the terminal without its control characters.
TEST(ShowCommandTest, ControlCharactersOfANameAreNotPrinted)
{
    ListTable t;
    t.columns = {{"종목명", 10}};
    t.rows = {{"ab\x1b[2Jc"}};
    EXPECT_EQ(textTable(t), "종목명\nab?[2Jc\n");
}

namespace {

bool validUtf8(const std::string& s)
{
    for (std::size_t i = 0; i < s.size();) {
        const auto c = static_cast<unsigned char>(s[i]);
        const std::size_t n = c < 0x80   ? 1
            : (c >> 5) == 6 && c >= 0xC2 ? 2
            : (c >> 4) == 14             ? 3
            : (c >> 3) == 30             ? 4
                                         : 0;
        if (n == 0 || i + n > s.size())
            return false;
        for (std::size_t k = 1; k < n; ++k)
            if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80)
                return false;
        i += n;
    }
    return true;
}

} // namespace

// `show` ends with status 1 on a result it cannot show whole (what it can show is shown), and its
// JSON is valid UTF-8 whatever bytes the stored files hold.
TEST(ShowCommandTest, StatusSaysWhetherTheResultWasShownWhole)
{
    struct Row
    {
        const char* name;
        std::function<void(const test::TempDir&)> harm;
        int status;
    };
    // case | what happened to the result files | show's status
    const Row rows[] = {
        {"a sound result", [](const test::TempDir&) {}, exitDone},
        {"no result.csv", [](const test::TempDir& d) { std::filesystem::remove(d / "result.csv"); }, exitFailed},
        {"a result.csv that cannot be read",
         [](const test::TempDir& d) {
             std::filesystem::remove(d / "result.csv");
             std::filesystem::create_directory(d / "result.csv");
         },
         exitFailed},
        {"a result.csv cut in its last line",
         [](const test::TempDir& d) {
             const std::string text = d.read("result.csv");
             d.write("result.csv", text.substr(0, text.size() - 5));
         },
         exitFailed},
        {"names of bytes that are no text",
         [](const test::TempDir& d) { d.write("settings.csv", "setting,value\r\nstocks,\xff\xfe\x80\r\n"); }, exitDone},
    };
    for (const auto& row : rows) {
        test::GoldenResults g("worked-single-amount");
        row.harm(g.dir);
        const auto before = std::filesystem::current_path();
        std::filesystem::current_path(g.dir.path());
        testing::internal::CaptureStderr();
        const test::CliOutcome o = test::commandLine({"show", "--format", "json"});
        testing::internal::GetCapturedStderr();
        std::filesystem::current_path(before);
        EXPECT_EQ(o.status, row.status) << row.name << ": " << o.err;
        EXPECT_TRUE(validUtf8(o.out)) << row.name;
    }
}
