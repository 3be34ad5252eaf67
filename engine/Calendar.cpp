#include "engine/Calendar.h"

#include "engine/Dates.h"
#include "engine/EngineError.h"
#include "platform/core/Format.h"
#include "platform/core/TextFile.h"

#include <algorithm>
#include <stdexcept>

namespace kestrelan {

namespace {

// Date arithmetic works on the yyyymmdd integer itself: +10, +100 and +10000 move the day, month
// and year fields, and month 13 or month 0 is mended by +-8800.
std::int32_t mendMonth13(std::int32_t d) { return dateMonth(d) == 13 ? d + 8800 : d; }

std::vector<FundLine> singleFund(std::int32_t startDate, std::int32_t endDate, const IndexFile& kospi)
{
    const auto& recs = kospi.records();
    // A start in a month before the index's first: the fund trades from the index's first day,
    // its stocks too (a stock sits out a fund whose start its data follows by more than a month).
    if (!recs.empty() && startDate / 100 < recs.front().date / 100)
        startDate = recs.front().date;
    std::size_t i = 0;
    while (i < recs.size() && recs[i].date < startDate)
        ++i;
    if (i == recs.size())
        return {};
    FundLine line{startDate, recs[i].startText.data(), 0, {}};
    for (; i < recs.size(); ++i) {
        if (recs[i].date > endDate)
            break;
        line.end = recs[i].date;
        line.endText = recs[i].dayText.data();
    }
    // No trading day in the period: no fund rather than a line without an end index.
    if (line.end == 0)
        return {};
    return {line};
}

struct Start
{
    std::int32_t date;
    std::string text;
};

// The nominal starts of a series. Each record serves at most one candidate, so after a long
// closure the next candidates take the next trading days; a start before the first record would
// make every candidate up to it take a record of later years, so the series starts no earlier
// than the first record's month.
std::vector<Start> fundStarts(std::int32_t requestedStart, std::int32_t endDate, CalendarMode mode, std::int32_t years,
                              const IndexFile& kospi)
{
    const std::int32_t startDate = seriesStart(requestedStart, kospi);
    const std::int32_t m0 = startDate - startDate % 100 + 1;
    const std::int32_t e0 = endDate - endDate % 100;
    const std::int32_t y = years == 0 ? 1 : years;
    std::int32_t latest = 0;
    switch (mode) {
    case CalendarMode::ThreeTimesMonthly: latest = e0 - 10000 * y + 28; break;
    case CalendarMode::Monthly: latest = mendMonth13(e0 - 10000 * y + 107); break;
    default: latest = mendMonth13(e0 - 10000 * y + 101); break;
    }

    std::vector<Start> starts;
    if (mode == CalendarMode::Daily) {
        for (const auto& r : kospi.records())
            if (r.date >= startDate && r.date <= latest)
                starts.push_back({r.date, r.startText.data()});
        return starts;
    }
    std::int32_t candidate = m0;
    for (const auto& r : kospi.records()) {
        if (r.date > latest)
            break;
        if (r.date < candidate)
            continue;
        starts.push_back({candidate, r.startText.data()});
        if (mode == CalendarMode::ThreeTimesMonthly) {
            candidate += 10;
            if (dateDay(candidate) == 31)
                candidate += 70;
        } else {
            candidate += 100;
        }
        candidate = mendMonth13(candidate);
    }
    return starts;
}

// The last day a fund started on f may end on: the last day of the month before the
// anniversary month for a start on day 1, else the day before the anniversary; half a year
// for `years` 0.
std::int32_t endLimit(std::int32_t f, std::int32_t years)
{
    if (years != 0) {
        std::int32_t x = dateDay(f) == 1 ? f + 10000 * years - 70 : f + 10000 * years - 1;
        if (dateMonth(x) == 0)
            x -= 8800;
        return x;
    }
    std::int32_t x = dateDay(f) == 1 ? f + 531 : f + 599;
    if (dateMonth(x) > 12)
        x += 8800;
    return x;
}

// The last record not after `limit`, provided a later record exists; else nullptr (the fund
// would end beyond the data and is dropped).
const IndexRecord* lastRecordUpTo(const IndexFile& kospi, std::int32_t limit)
{
    const auto& recs = kospi.records();
    if (kospi.ascending()) {
        auto after = std::upper_bound(recs.begin(), recs.end(), limit,
                                      [](std::int32_t v, const IndexRecord& r) { return v < r.date; });
        if (after == recs.end() || after == recs.begin())
            return nullptr;
        return &*(after - 1);
    }
    const IndexRecord* held = nullptr;
    for (const auto& r : recs) {
        if (r.date > limit)
            return held;
        held = &r;
    }
    return nullptr;
}

// A month as yyyymm, to compare the months of two dates.
std::int32_t monthOf(std::int32_t date) { return date / 100; }

} // namespace

std::int32_t seriesStart(std::int32_t startDate, const IndexFile& kospi)
{
    if (kospi.records().empty())
        return startDate;
    const std::int32_t first = kospi.records().front().date;
    return startDate < first ? first - dateDay(first) + 1 : startDate;
}

std::string periodNote(std::int32_t startDate, std::int32_t endDate, CalendarMode calendarMode, std::int32_t years,
                       const IndexFile& kospi)
{
    const auto& recs = kospi.records();
    if (recs.empty() || startDate > endDate)
        return {};
    const std::int32_t first = recs.front().date, last = recs.back().date;
    const std::string firstText = dateText(first), lastText = dateText(last);
    std::string note;
    const auto add = [&](const std::string& sentence) { note += (note.empty() ? "" : " ") + sentence; };
    if (startDate > last)
        return format("기간(%s부터)이 kospi.lst의 마지막 날 %s 뒤라 펀드가 없습니다.", dateText(startDate).c_str(),
                      lastText.c_str());
    if (endDate < first)
        return format("기간(%s까지)이 kospi.lst의 첫 날 %s 앞이라 펀드가 없습니다.", dateText(endDate).c_str(),
                      firstText.c_str());
    if (calendarMode == CalendarMode::SingleFund) {
        if (monthOf(startDate) < monthOf(first))
            add(format("기간의 시작일 %s은 kospi.lst의 첫 날 %s보다 앞서, 펀드는 %s부터 매매합니다.",
                       dateText(startDate).c_str(), firstText.c_str(), firstText.c_str()));
        if (monthOf(endDate) > monthOf(last))
            add(format("기간의 종료일 %s은 kospi.lst의 마지막 날 %s보다 뒤라, 펀드는 %s에 끝납니다.",
                       dateText(endDate).c_str(), lastText.c_str(), lastText.c_str()));
        return note;
    }
    if (monthOf(startDate) < monthOf(first))
        add(format("kospi.lst의 자료가 %s부터 있어 펀드는 %s부터 시작합니다.", firstText.c_str(),
                   dateText(seriesStart(startDate, kospi)).c_str()));
    int dropped = 0;
    std::int32_t firstDropped = 0;
    for (const auto& s : fundStarts(startDate, endDate, calendarMode, years, kospi)) {
        if (lastRecordUpTo(kospi, endLimit(s.date, years)))
            continue;
        if (dropped++ == 0)
            firstDropped = s.date;
    }
    if (dropped > 0)
        add(format("kospi.lst가 %s에 끝나 그 뒤에 끝날 펀드 %d개(%s 시작부터)는 계산하지 않았습니다.", lastText.c_str(),
                   dropped, dateText(firstDropped).c_str()));
    return note;
}

std::string noFundMessage(std::int32_t startDate, std::int32_t endDate, CalendarMode calendarMode, std::int32_t years,
                          const IndexFile& kospi)
{
    const std::string note = periodNote(startDate, endDate, calendarMode, years, kospi);
    const std::string period = dateText(startDate) + " ~ " + dateText(endDate);
    std::string why;
    if (calendarMode == CalendarMode::SingleFund)
        why = "기간 " + period + "에 kospi.lst의 거래일이 없어 실행할 펀드가 없습니다.";
    else
        why = "기간 " + period + "에 운용 기간 " + (years == 0 ? std::string("반년") : std::to_string(years) + "년")
            + "인 펀드가 하나도 들어가지 않아 실행할 펀드가 없습니다. 시작일을 앞당기거나 운용 기간을 줄이세요.";
    return note.empty() ? why : note + " " + why;
}

std::vector<FundLine> calendarLines(std::int32_t startDate, std::int32_t endDate, CalendarMode calendarMode,
                                    std::int32_t years, const IndexFile& kospi)
{
    if (calendarMode == CalendarMode::SingleFund)
        return singleFund(startDate, endDate, kospi);
    std::vector<FundLine> lines;
    for (auto& s : fundStarts(startDate, endDate, calendarMode, years, kospi)) {
        const IndexRecord* last = lastRecordUpTo(kospi, endLimit(s.date, years));
        if (last)
            lines.push_back({s.date, std::move(s.text), last->date, last->dayText.data()});
    }
    return lines;
}

int buildCalendar(std::int32_t startDate, std::int32_t endDate, CalendarMode calendarMode, std::int32_t years,
                  const IndexFile& kospi, const std::filesystem::path& dir)
{
    const auto lines = calendarLines(startDate, endDate, calendarMode, years, kospi);
    std::string text;
    text.reserve(lines.size() * fundLineSize);
    for (const auto& line : lines)
        text += dateLstLine(line);
    if (!replaceFileAtomically(dir / dateLstFile, toCrLf(text)))
        throw cannotWrite(std::string(dateLstFile), dir / dateLstFile);
    return static_cast<int>(lines.size());
}

} // namespace kestrelan
