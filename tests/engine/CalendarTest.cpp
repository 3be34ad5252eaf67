#include "engine/Calendar.h"
#include "support/TempDir.h"

#include <algorithm>
#include <chrono>
#include <gtest/gtest.h>

using namespace kestrelan;

namespace {

std::int32_t toInt(std::chrono::year_month_day d)
{
    return static_cast<int>(d.year()) * 10000 + static_cast<int>(static_cast<unsigned>(d.month())) * 100
        + static_cast<int>(static_cast<unsigned>(d.day()));
}

// kospi.lst with every weekday from `from` to `to` except `closed`; the index texts carry the
// day's position so each line can be traced.
IndexFile weekdays(std::chrono::year_month_day from, std::chrono::year_month_day to,
                   std::vector<std::int32_t> closed = {})
{
    using namespace std::chrono;
    std::string bytes;
    int n = 0;
    for (sys_days d = from; d <= sys_days(to); d += days{1}) {
        const weekday wd(d);
        const std::int32_t date = toInt(year_month_day(d));
        if (wd == Saturday || wd == Sunday || std::find(closed.begin(), closed.end(), date) != closed.end())
            continue;
        ++n;
        bytes += indexRecordBytes(date, 50000 + n, 60000 + n);
    }
    return IndexFile::fromBytes(bytes);
}

using std::chrono::year;
using namespace std::chrono_literals;

const IndexFile& market()
{
    static const IndexFile file = weekdays(year(2003) / 12 / 1, year(2006) / 1 / 31);
    return file;
}

std::string startTextOf(const IndexFile& file, std::int32_t date)
{
    for (const auto& r : file.records())
        if (r.date == date)
            return r.startText.data();
    return {};
}

} // namespace

TEST(CalendarTest, FundsEndByTheirLimit)
{
    struct Row
    {
        const char* name;
        CalendarMode mode;
        std::int32_t years;
        std::int32_t start;
        std::int32_t expectedStart, expectedEnd;
    };
    // case | mode | years | period start | a fund's start | its end (last trading day <= limit)
    const Row rows[] = {
        {"half year from day 1, limit 20040632", CalendarMode::Monthly, 0, 20040101, 20040101, 20040630},
        {"half year from day 11, limit 20040710", CalendarMode::ThreeTimesMonthly, 0, 20040101, 20040111, 20040709},
        {"one year from day 1, limit 20041231", CalendarMode::Monthly, 1, 20040101, 20040101, 20041231},
        {"one year from day 11, limit 20050110", CalendarMode::ThreeTimesMonthly, 1, 20040101, 20040111, 20050110},
        {"daily start keeps its own date", CalendarMode::Daily, 1, 20040107, 20040107, 20050106},
    };
    for (const auto& row : rows) {
        const auto lines = calendarLines(row.start, 20051231, row.mode, row.years, market());
        auto fund
            = std::find_if(lines.begin(), lines.end(), [&](const FundLine& l) { return l.start == row.expectedStart; });
        ASSERT_NE(fund, lines.end()) << row.name;
        EXPECT_EQ(fund->end, row.expectedEnd) << row.name;
    }
}

TEST(CalendarTest, ThreeTimesAMonthRollsOverMonthsAndYears)
{
    const auto lines = calendarLines(20041201, 20061231, CalendarMode::ThreeTimesMonthly, 0, market());
    ASSERT_GE(lines.size(), 5u);
    const std::int32_t expected[] = {20041201, 20041211, 20041221, 20050101, 20050111};
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(lines[i].start, expected[i]);
    // 2005-01-01 is a Saturday: the fund keeps its nominal date and takes Monday's index text.
    EXPECT_EQ(lines[3].startText, startTextOf(market(), 20050103));
}

TEST(CalendarTest, LatestStartsPerMode)
{
    // The period ends in December 2005 with one-year funds, so they start a year earlier at most.
    const auto three = calendarLines(20040101, 20051231, CalendarMode::ThreeTimesMonthly, 1, market());
    EXPECT_EQ(three.back().start, 20041221); // latest start 20041228
    const auto monthly = calendarLines(20041101, 20051231, CalendarMode::Monthly, 1, market());
    EXPECT_EQ(monthly.back().start, 20050101); // latest start 20041307, mended to 20050107
    EXPECT_EQ(monthly.back().end, 20051230);
    const auto daily = calendarLines(20041220, 20051231, CalendarMode::Daily, 1, market());
    EXPECT_EQ(daily.back().start, 20041231); // latest start 20050101
    EXPECT_EQ(daily.back().end, 20051230);
}

TEST(CalendarTest, FundsEndingBeyondTheDataAreDropped)
{
    // Data ends 2006-01-31; one-year funds from 2005 would need data into 2006.
    const auto lines = calendarLines(20050101, 20061231, CalendarMode::Monthly, 1, market());
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].start, 20050101);
    EXPECT_EQ(lines[0].end, 20051230);
}

TEST(CalendarTest, EachTradingDayServesOneCandidate)
{
    // A closure from 2004-03-08 to 2004-03-31: the candidates of the 11th and 21st take the
    // first trading days after it, the 1st of April takes the next.
    std::vector<std::int32_t> closed;
    for (int d = 20040308; d <= 20040331; ++d)
        closed.push_back(d);
    const auto file = weekdays(year(2004) / 1 / 1, year(2005) / 12 / 31, closed);
    const auto lines = calendarLines(20040301, 20051231, CalendarMode::ThreeTimesMonthly, 0, file);
    ASSERT_GE(lines.size(), 4u);
    EXPECT_EQ(lines[0].start, 20040301);
    EXPECT_EQ(lines[1].start, 20040311);
    EXPECT_EQ(lines[2].start, 20040321);
    EXPECT_EQ(lines[3].start, 20040401);
    EXPECT_EQ(lines[1].startText, startTextOf(file, 20040401));
    EXPECT_EQ(lines[2].startText, startTextOf(file, 20040402));
    EXPECT_EQ(lines[3].startText, startTextOf(file, 20040405));
}

TEST(CalendarTest, SingleFundCases)
{
    struct Row
    {
        const char* name;
        std::int32_t start, end;
        std::size_t lines;
        std::int32_t fundEnd;
    };
    // case | start | end | lines | fund end
    const Row rows[] = {
        {"start on a holiday keeps its date", 20040103, 20040630, 1, 20040630},
        {"end after the data ends on the last date", 20050101, 20091231, 1, 20060131},
        {"end on a Sunday ends on Friday", 20040105, 20040307, 1, 20040305},
        {"no trading day in the period", 20040103, 20040104, 0, 0},
        {"start after end", 20050101, 20040101, 0, 0},
        {"start after the data", 20070101, 20071231, 0, 0},
    };
    for (const auto& row : rows) {
        const auto lines = calendarLines(row.start, row.end, CalendarMode::SingleFund, 1, market());
        ASSERT_EQ(lines.size(), row.lines) << row.name;
        if (row.lines) {
            EXPECT_EQ(lines[0].start, row.start) << row.name;
            EXPECT_EQ(lines[0].end, row.fundEnd) << row.name;
        }
    }
    // A start in a month before the index's first trades from the index's first day, as its note says.
    EXPECT_EQ(calendarLines(20030101, 20040630, CalendarMode::SingleFund, 1, market()).at(0).start, 20031201);
    EXPECT_EQ(calendarLines(20031215, 20040630, CalendarMode::SingleFund, 1, market()).at(0).start, 20031215);
    const auto holiday = calendarLines(20040103, 20040630, CalendarMode::SingleFund, 1, market());
    EXPECT_EQ(holiday[0].startText, startTextOf(market(), 20040105));
}

TEST(CalendarTest, DateListIsThirtyByteLines)
{
    test::TempDir dir;
    dir.write("date.lst", "stale content");
    const int n = buildCalendar(20040101, 20051231, CalendarMode::Monthly, 0, market(), dir.path());
    EXPECT_EQ(n, 13);
    const std::string bytes = dir.read("date.lst");
    ASSERT_EQ(bytes.size(), 13u * 30);
    EXPECT_EQ(bytes.substr(0, 30), "20040101 5002420040630 60153\r\n");
    EXPECT_FALSE(dir.exists("date.tmp"));

    EXPECT_EQ(buildCalendar(20040103, 20040104, CalendarMode::SingleFund, 1, market(), dir.path()), 0);
    EXPECT_EQ(dir.read("date.lst"), "");
}

TEST(CalendarTest, UnwritableFolderThrows)
{
    test::TempDir dir;
    EXPECT_THROW(buildCalendar(20040101, 20041231, CalendarMode::Monthly, 0, market(), dir / "missing"),
                 std::runtime_error);
}

// A series asked to start before kospi.lst's first record starts from that record's month, so no
// fund carries the index of a day years after its own date; a single fund keeps its start.
TEST(CalendarTest, ASeriesStartsNoEarlierThanTheIndexMonth)
{
    const auto file = weekdays(year(2016) / 1 / 4, year(2018) / 12 / 31);
    const auto textOnOrAfter = [&](std::int32_t date) {
        for (const auto& r : file.records())
            if (r.date >= date)
                return std::string(r.startText.data());
        return std::string();
    };
    struct Row
    {
        const char* name;
        CalendarMode mode;
        std::int32_t firstStart;
    };
    // case | mode | the first fund's start
    const Row rows[] = {{"three a month", CalendarMode::ThreeTimesMonthly, 20160101},
                        {"monthly", CalendarMode::Monthly, 20160101},
                        {"daily", CalendarMode::Daily, 20160104}};
    for (const auto& row : rows) {
        const auto lines = calendarLines(20000101, 20181231, row.mode, 1, file);
        ASSERT_FALSE(lines.empty()) << row.name;
        EXPECT_EQ(lines[0].start, row.firstStart) << row.name;
        for (const auto& line : lines)
            ASSERT_EQ(line.startText, textOnOrAfter(line.start)) << row.name << ", the fund of " << line.start;
    }
    const auto single = calendarLines(20000101, 20161231, CalendarMode::SingleFund, 1, file);
    ASSERT_EQ(single.size(), 1u);
    EXPECT_EQ(single[0].start, 20160104); // a single fund trades from the index's first day
    EXPECT_EQ(single[0].startText, textOnOrAfter(20160104));
}

TEST(CalendarTest, APeriodOutsideTheIndexIsSaid)
{
    struct Row
    {
        const char* name;
        CalendarMode mode;
        std::int32_t start, end;
        const char* says; // a part of the note, or "" for none
    };
    // case | mode | period | note (kospi.lst holds 2003-12-01 to 2006-01-31)
    const Row rows[] = {
        {"a series within", CalendarMode::Monthly, 20040101, 20051231, ""},
        {"a series in the index's first month", CalendarMode::ThreeTimesMonthly, 20031201, 20051231, ""},
        {"a series before", CalendarMode::Monthly, 20000101, 20051231, "펀드는 2003-12-01부터 시작합니다"},
        {"a series whose funds would end after it", CalendarMode::Monthly, 20040101, 20071231,
         "2006-01-31에 끝나 그 뒤에 끝날 펀드 12개(2005-02-01 시작부터)"},
        {"a single fund within, ending on a holiday", CalendarMode::SingleFund, 20040103, 20060131, ""},
        {"a single fund before", CalendarMode::SingleFund, 20030101, 20040630, "펀드는 2003-12-01부터 매매합니다"},
        {"a single fund after", CalendarMode::SingleFund, 20050101, 20061231, "펀드는 2006-01-31에 끝납니다"},
        {"a period after the index", CalendarMode::Daily, 20070101, 20071231, "펀드가 없습니다"},
    };
    for (const auto& row : rows) {
        const std::string note = periodNote(row.start, row.end, row.mode, 1, market());
        if (*row.says)
            EXPECT_NE(note.find(row.says), std::string::npos) << row.name << ": " << note;
        else
            EXPECT_EQ(note, "") << row.name;
    }
}
