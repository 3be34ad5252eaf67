// The sample market's model.
//
// Calendar: weekdays from 1998-01-02 to 2006-12-29 without the fixed Korean holidays (New Year,
// 1 March, Arbor Day until 2005, Children's Day, Memorial Day, Liberation Day, Foundation Day,
// Christmas, the year-end closing day) and the three days each of the lunar new year and Chuseok.
//
// KOSPI: a path through fixed anchor levels between about 450 and 1,100 points (the crash of
// 1998, the 1999 rally, the 2000-2001 slump, the recoveries of 2002 and 2004-2006) with a
// mean-reverting daily deviation. A day's opening index (the start index of a fund starting that
// day) is the previous close with a small gap.
//
// Stocks: 30 with six-digit codes and Korean names in CP949 (one name fills the 20 bytes exactly,
// one is longer and is cut on a character boundary). Each follows the index with its own beta,
// volatility and drift. As on the exchange of the period, a day's moves stay within +-15 % of the
// day's base price, and the base price is the previous close; so a larger jump of the base price
// marks a corporate action. A day in the price file is its date record, the base price (never
// traded), then 5 to 20 intraday values on the tick of their price band ending with the close;
// some days have a single value and a few (trading halts) none at all.
//
// Corporate actions and gaps: a 1:5 split (base = close / 5), a 5:1 consolidation (base = close x
// 5), an ex-rights day with the base about 30 % below the previous close, a stock listed in
// 2002, a stock whose data ends in 2004, and a stock suspended for six weeks in 2003. Prices
// cross the 5,000 / 10,000 / 50,000 / 100,000 / 500,000 won tick bands.
//
// Only integer and basic floating-point arithmetic is used (no library transcendental
// functions), so every machine writes the same bytes.

#include "tools/SampleMarket.h"

#include "engine/Dates.h"
#include "engine/MarketData.h"
#include "engine/TickRound.h"
#include "platform/core/Cp949.h"
#include "platform/core/TextFile.h"
#include "tools/Random.h"

#include <algorithm>
#include <stdexcept>
#include <string>
#include <vector>

namespace kestrelan {

namespace {

bool isHoliday(std::int32_t d)
{
    static constexpr int fixed[] = {101, 102, 301, 505, 606, 815, 1003, 1225, 1231};
    static constexpr std::int32_t lunar[] = {
        19980127, 19980128, 19980129, 19981004, 19981005, 19981006, 19990215, 19990216, 19990217, 19990923, 19990924,
        19990925, 20000204, 20000205, 20000206, 20000911, 20000912, 20000913, 20010123, 20010124, 20010125, 20010930,
        20011001, 20011002, 20020211, 20020212, 20020213, 20020920, 20020921, 20020922, 20030131, 20030201, 20030202,
        20030910, 20030911, 20030912, 20040121, 20040122, 20040123, 20040927, 20040928, 20040929, 20050208, 20050209,
        20050210, 20050917, 20050918, 20050919, 20060128, 20060129, 20060130, 20061005, 20061006, 20061007,
    };
    const int md = d % 10000;
    if (std::find(std::begin(fixed), std::end(fixed), md) != std::end(fixed))
        return true;
    if (md == 405 && d < 20060000)
        return true;
    return std::find(std::begin(lunar), std::end(lunar), d) != std::end(lunar);
}

std::vector<std::int32_t> tradingDays() { return weekdaysBetween(19980102, 20061229, isHoliday); }

struct Anchor
{
    std::int32_t date;
    double level;
};

// KOSPI closes and opens, in points.
struct IndexDay
{
    double open;
    double close;
};

std::vector<IndexDay> indexPath(const std::vector<std::int32_t>& days)
{
    static constexpr Anchor anchors[] = {
        {19980101, 520},  {19980615, 455},  {19981015, 470}, {19990701, 960},  {19991230, 1020}, {20000415, 820},
        {20001231, 510},  {20010925, 480},  {20020415, 930}, {20030315, 540},  {20040425, 930},  {20040805, 720},
        {20050630, 1000}, {20051231, 1090}, {20060615, 940}, {20061231, 1095},
    };
    Random rng(19980101);
    std::vector<IndexDay> path;
    double deviation = 0;
    double previous = anchors[0].level;
    std::size_t a = 0;
    for (std::size_t i = 0; i < days.size(); ++i) {
        while (days[i] > anchors[a + 1].date)
            ++a;
        const double span = static_cast<double>(calendarDayNumber(anchors[a + 1].date) - calendarDayNumber(anchors[a].date));
        const double t = static_cast<double>(calendarDayNumber(days[i]) - calendarDayNumber(anchors[a].date)) / span;
        const double trend = anchors[a].level + (anchors[a + 1].level - anchors[a].level) * std::clamp(t, 0.0, 1.0);
        deviation = 0.96 * deviation + 0.011 * rng.normal();
        const double close = trend * (1.0 + deviation);
        const double open = i == 0 ? close : previous * (1.0 + 0.003 * rng.normal());
        path.push_back({open, close});
        previous = close;
    }
    return path;
}

enum class Action
{
    None,
    Split,
    Consolidation,
    Rights
};

struct StockSpec
{
    const char* code;
    const char* name; // UTF-8
    int price;        // close before the first day
    double beta;
    double volatility;                           // daily, of the stock's own moves
    double drift;                                // daily
    std::int32_t listed = 0;                     // first day of data (0: from the start)
    std::int32_t delisted = 0;                   // last day of data (0: to the end)
    std::int32_t suspendFrom = 0, suspendTo = 0; // no data in between
    std::int32_t actionDate = 0;
    Action action = Action::None;
};

const std::vector<StockSpec>& stockSpecs()
{
    static const std::vector<StockSpec> specs = {
        {"005930", "가람전자", 88000, 1.2, 0.018, 0.0004},
        {"000660", "나래반도체", 11800, 1.5, 0.028, 0.0001},
        {"005380", "다온자동차", 14500, 1.1, 0.020, 0.0003},
        {"035420", "라온인터넷", 31000, 1.8, 0.030, 0.0012, 0, 0, 0, 0, 20000315, Action::Split},
        {"051910", "마루화학", 27500, 0.9, 0.017, 0.0002},
        {"009540", "바다중공업", 8600, 1.0, 0.022, 0.0002},
        {"000100", "사랑제약", 4650, 0.6, 0.019, 0.0003, 0, 0, 20030512, 20030620},
        {"017670", "아라통신", 420000, 0.8, 0.016, 0.0001},
        {"000720", "자람건설", 2600, 1.3, 0.026, 0.0000},
        {"016360", "차오름증권", 7400, 1.6, 0.027, 0.0000, 0, 0, 0, 0, 20010718, Action::Rights},
        {"097950", "카라식품", 56000, 0.5, 0.014, 0.0002},
        {"001460", "타래섬유", 1450, 0.9, 0.024, 0.0000, 0, 20040630},
        {"011200", "파랑해운", 3900, 1.1, 0.025, 0.0005},
        {"055550", "하늬은행", 9300, 1.2, 0.019, 0.0002},
        {"034020", "가온에너지", 5200, 1.0, 0.021, 0.0001},
        {"004020", "누리철강", 18200, 1.1, 0.018, 0.0003},
        {"010120", "도담전기", 6800, 0.9, 0.020, 0.0001},
        {"036570", "로아게임즈", 48000, 1.4, 0.029, 0.0003, 20020304},
        {"003490", "미르항공", 6100, 1.2, 0.021, 0.0000},
        {"032830", "보람생명보험", 23500, 0.8, 0.016, 0.0001},
        {"023530", "새벽유통", 112000, 0.7, 0.017, 0.0002},
        {"090430", "아름화장품", 610000, 0.6, 0.015, 0.0003},
        {"053800", "지음소프트", 3400, 1.7, 0.031, 0.0002, 0, 0, 0, 0, 20030609, Action::Consolidation},
        {"069960", "초롱백화점", 43000, 0.8, 0.016, 0.0002},
        {"042660", "큰별조선", 9900, 1.3, 0.022, 0.0004},
        {"009830", "태양광에너지기술", 4950, 1.4, 0.027, 0.0002},
        {"068270", "푸른바이오", 15800, 1.0, 0.030, 0.0003},
        {"030200", "한결KOREA", 51000, 0.7, 0.015, 0.0000},
        {"000990", "대한민국첨단소재산업", 10200, 1.2, 0.022, 0.0001},
        {"086790", "우리나라종합금융지주회사", 7700, 1.1, 0.020, 0.0002},
    };
    return specs;
}

// A price on the tick of its band, nearest to x and inside [low, high].
std::int32_t onTick(double x, std::int32_t low, std::int32_t high)
{
    const auto down = tickRound(static_cast<std::int32_t>(x), Round::Down);
    const auto up = tickRound(static_cast<std::int32_t>(x), Round::Up);
    const auto p = (x - down <= up - x) ? down : up;
    return std::clamp(p, low, high);
}

std::string stockFile(const StockSpec& spec, std::size_t seed, const std::vector<std::int32_t>& days,
                      const std::vector<IndexDay>& index, std::int64_t& records)
{
    Random rng(0x5EED0000 + seed);
    std::string bytes;
    auto put = [&](std::int32_t n) {
        bytes += priceRecordBytes(n);
        ++records;
    };
    double close = spec.price;
    bool first = true;
    for (std::size_t i = 0; i < days.size(); ++i) {
        const std::int32_t d = days[i];
        const double indexMove = i == 0 ? 0.0 : index[i].close / index[i - 1].close - 1.0;
        const double move = spec.beta * indexMove + spec.volatility * rng.normal() * 0.5 + spec.drift;
        const int dayKind = rng.between(0, 999); // drawn every day, so the stocks keep their paths
        const int valueCount = rng.between(5, 20);
        if ((spec.listed && d < spec.listed) || (spec.delisted && d > spec.delisted)
            || (spec.suspendFrom && d >= spec.suspendFrom && d <= spec.suspendTo)) {
            close *= 1.0 + move;
            continue;
        }
        std::int32_t base = tickRound(static_cast<std::int32_t>(close), Round::Down);
        if (d == spec.actionDate && spec.action == Action::Split)
            base = tickRound(base / 5, Round::Down);
        else if (d == spec.actionDate && spec.action == Action::Consolidation)
            base = tickRound(base * 5, Round::Down);
        else if (d == spec.actionDate && spec.action == Action::Rights)
            base = tickRound(static_cast<std::int32_t>(base * 0.70), Round::Down);
        const std::int32_t high = tickRound(static_cast<std::int32_t>(base * 1.15), Round::Down);
        const std::int32_t low = tickRound(static_cast<std::int32_t>(base * 0.85), Round::Up);
        const double target = std::clamp(base * (1.0 + move), static_cast<double>(low), static_cast<double>(high));
        const double open
            = std::clamp(base * (1.0 + 0.004 * rng.normal()), static_cast<double>(low), static_cast<double>(high));
        put(d);
        put(first ? onTick(open, low, high) : base);
        first = false;
        std::int32_t last = base;
        if (dayKind < 3) { // a trading halt: the base price alone
            close = base;
            continue;
        }
        const int n = dayKind < 33 ? 1 : valueCount;
        const double swing = base * spec.volatility * 0.6;
        for (int j = 1; j <= n; ++j) {
            const double along = open + (target - open) * j / n;
            const double x = j == n ? target : along + swing * rng.normal();
            last = onTick(x, low, high);
            put(last);
        }
        close = last;
    }
    return bytes;
}

} // namespace

void writeMarketFile(const std::filesystem::path& path, const std::string& bytes)
{
    if (!replaceFileAtomically(path, bytes))
        throw std::runtime_error("cannot write " + path.string());
}

RangeTable sampleRangeTable(const std::array<std::int32_t, rangeRowCount - 1>& bandEdges)
{
    // aggressive | stable | conservative: initial %, range low %, range high %, from the top band
    static constexpr std::int32_t profiles[rangeRowCount][9] = {
        {30, 60, 130, 20, 70, 120, 10, 80, 115}, {35, 60, 135, 25, 65, 125, 15, 75, 120},
        {40, 55, 140, 30, 65, 130, 20, 75, 120}, {45, 55, 145, 35, 60, 135, 25, 70, 125},
        {50, 50, 150, 40, 60, 140, 30, 70, 130}, {55, 50, 155, 45, 55, 145, 35, 65, 135},
        {60, 45, 160, 50, 55, 150, 40, 65, 140}, {65, 45, 170, 55, 50, 155, 45, 60, 145},
        {70, 40, 180, 60, 50, 160, 50, 60, 150}, {75, 40, 190, 65, 45, 170, 55, 55, 155},
        {80, 35, 200, 70, 45, 180, 60, 50, 160},
    };
    RangeTable table;
    for (int r = 0; r < rangeRowCount; ++r) {
        RangeRow row;
        // The top band is open above (its high is 0) and the lowest open below (its low is 0).
        row.field[0] = r < rangeRowCount - 1 ? bandEdges[static_cast<std::size_t>(r)] : 0;
        row.field[1] = r > 0 ? bandEdges[static_cast<std::size_t>(r - 1)] : 0;
        for (int f = 0; f < 9; ++f)
            row.field[static_cast<std::size_t>(f + 2)] = profiles[r][f];
        table.rows.push_back(row);
    }
    return table;
}

SampleMarketSummary writeSampleMarket(const std::filesystem::path& dir)
{
    std::filesystem::create_directories(dir / "StockData");
    const auto days = tradingDays();
    const auto index = indexPath(days);

    SampleMarketSummary summary;
    summary.tradingDays = static_cast<int>(days.size());

    std::string kospi;
    for (std::size_t i = 0; i < days.size(); ++i) {
        kospi += indexRecordBytes(days[i], static_cast<std::int32_t>(index[i].open * 100 + 0.5),
                                  static_cast<std::int32_t>(index[i].close * 100 + 0.5));
    }
    writeMarketFile(dir / "kospi.lst", kospi);

    std::string codes;
    const auto& specs = stockSpecs();
    for (std::size_t s = 0; s < specs.size(); ++s) {
        codes += codeRecordBytes(specs[s].code, toCp949(specs[s].name));
        const auto bytes = stockFile(specs[s], s, days, index, summary.priceRecords);
        writeMarketFile(priceFilePath(dir, specs[s].code), bytes);
    }
    summary.stocks = static_cast<int>(specs.size());
    writeMarketFile(dir / "code.lst", codes);
    writeMarketFile(dir / "ksp.txt", rangeTableBytes(sampleRangeTable({1000, 950, 900, 850, 800, 750, 700, 650, 625, 600})));
    return summary;
}

} // namespace kestrelan
