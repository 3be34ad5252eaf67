#include "tools/ImportCsv.h"

#include "engine/Dates.h"
#include "formats/DividendsCsv.h"
#include "engine/MarketAccess.h"
#include "engine/MarketData.h"
#include "engine/MarketUpdate.h"
#include "engine/SimParams.h"
#include "engine/TickRound.h"
#include "engine/TradingRules.h"
#include "platform/core/Cp949.h"
#include "platform/core/FileTransaction.h"
#include "platform/core/FolderLock.h"
#include "platform/core/Format.h"
#include "platform/core/Text.h"
#include "platform/core/TextFile.h"
#include "tools/SampleMarket.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <map>
#include <set>
#include <tuple>
#include <span>

namespace kestrelan {

namespace {

namespace fs = std::filesystem;

// The market begins where the trading rules can tell a date record from a price.
static_assert(minStartDate > rules::dateThreshold);

// The file names a price file may have: <code> and one of these, in any letter case.
constexpr std::string_view priceExtensions[] = {".csv", ".txt", ".tsv"};

// The largest index kospi.lst holds: six characters of hundredths.
constexpr std::int64_t largestIndexHundredths = 999999;

// A close-to-close move within this fraction of a split's ratio looks like that split.
constexpr double splitTolerance = 0.1;
constexpr double splitRatios[] = {2, 5, 10};

// Missing days the report names for a stock; the rest are counted.
constexpr std::size_t missingDaysShown = 3;

constexpr const char* acceptedDates = "YYYY-MM-DD, YYYY/MM/DD, YYYY.MM.DD, YYYYMMDD (뒤에 시각이 붙어도 됩니다)";

// A stock code as the exports write it: six letters or digits, or the brokers' HTS form, "A" and
// six digits (A005930), which is the code 005930.
std::optional<std::string> stockCodeOf(std::string_view text)
{
    if (text.size() == 7 && (text[0] == 'A' || text[0] == 'a')
        && std::all_of(text.begin() + 1, text.end(), [](char c) { return c >= '0' && c <= '9'; }))
        text.remove_prefix(1);
    if (!isStockCode(text))
        return std::nullopt;
    return std::string(text);
}

struct Row
{
    std::int32_t date = 0;
    std::optional<double> open, high, low;
    double close = 0;
    std::size_t line = 0;
};

// One daily file as read: its rows ascending, within the period and from the first market date on.
struct Daily
{
    std::vector<Row> rows;
    std::string encoding;
    bool turned = false;
    std::size_t early = 0; // rows in the period dated before the first market date
};

std::string lower(std::string_view s)
{
    std::string out(s);
    for (char& c : out)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

// The blanks around a CSV field.
constexpr std::string_view csvBlanks = " \t\r\n";

// A field's text: without the blanks around it and without one pair of enclosing quotes. A line
// whose text is empty is a blank line.
std::string fieldText(std::string_view raw)
{
    std::string_view s = trim(raw, csvBlanks);
    if (s.size() >= 2 && s.front() == '"' && s.back() == '"')
        s = trim(s.substr(1, s.size() - 2), " ");
    return std::string(s);
}

// The fields of one line: separated by `sep`, a field in double quotes may hold the separator.
std::vector<std::string> split(std::string_view line, char sep)
{
    std::vector<std::string> fields;
    std::string current;
    bool quoted = false;
    for (char c : line) {
        if (c == '"')
            quoted = !quoted;
        if (c == sep && !quoted) {
            fields.push_back(fieldText(current));
            current.clear();
        } else {
            current.push_back(c);
        }
    }
    fields.push_back(fieldText(current));
    return fields;
}

char separatorOf(std::string_view line) { return line.find('\t') != std::string_view::npos ? '\t' : ','; }

// The line ends among the first `records` records of a stored list file: its records end in
// "\n", which a file written in text mode holds as CR LF.
std::size_t crLfCount(const std::string& bytes, std::size_t records)
{
    std::size_t count = 0, seen = 0;
    for (std::size_t i = 0; i + 1 < bytes.size() && seen < records; ++i) {
        if (bytes[i] == '\n')
            ++seen;
        else if (bytes[i] == '\r' && bytes[i + 1] == '\n')
            ++count;
    }
    return count;
}

bool isUtf8(std::string_view s)
{
    for (std::size_t i = 0; i < s.size();) {
        const auto c = static_cast<unsigned char>(s[i]);
        const std::size_t length = c < 0x80 ? 1 : (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3 : (c >> 3) == 0x1E ? 4 : 0;
        if (length == 0 || i + length > s.size() || (length == 2 && c < 0xC2))
            return false;
        for (std::size_t k = 1; k < length; ++k)
            if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80)
                return false;
        i += length;
    }
    return true;
}

// A file's text in UTF-8 and the encoding it was written in: UTF-8 when its bytes are, else CP949.
struct Text
{
    std::string utf8;
    std::string encoding;
};

Text decode(const fs::path& path)
{
    const auto bytes = readWholeFile(path);
    if (!bytes)
        throw ImportError(path.string() + ": 파일을 읽을 수 없습니다.");
    std::string_view text(*bytes);
    if (text.starts_with("\xFF\xFE") || text.starts_with("\xFE\xFF"))
        throw ImportError(path.string() + ": UTF-16 파일입니다. UTF-8 또는 CP949(ANSI)로 저장해 주십시오.");
    if (text.starts_with("\xEF\xBB\xBF"))
        text.remove_prefix(3); // a byte-order mark
    if (isUtf8(text))
        return {std::string(text), "UTF-8"};
    try {
        return {fromCp949(text), "CP949"};
    } catch (const Cp949Error& e) {
        const auto line = 1 + std::count(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(e.offset), '\n');
        throw ImportError(path.string() + ":" + std::to_string(line)
                          + ": UTF-8도 CP949도 아닌 바이트가 있어 읽을 수 없습니다.");
    }
}

std::vector<std::string> linesOf(std::string_view text)
{
    std::vector<std::string> lines;
    for (std::size_t start = 0; start < text.size();) {
        auto end = text.find('\n', start);
        if (end == std::string_view::npos)
            end = text.size();
        std::string line(text.substr(start, end - start));
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(std::move(line));
        start = end + 1;
    }
    return lines;
}

// The names a column goes by in exports, the preferred first.
struct ColumnNames
{
    const char* key;
    std::vector<std::string_view> names;
};

const std::vector<ColumnNames>& columnNames()
{
    static const std::vector<ColumnNames> columns = {
        {"date", {"date", "일자", "날짜", "거래일", "거래일자", "기준일", "기준일자"}},
        {"close", {"close", "종가", "현재가", "price", "last"}},
        {"open", {"open", "시가", "시작가"}},
        {"high", {"high", "고가", "최고가"}},
        {"low", {"low", "저가", "최저가"}},
    };
    return columns;
}

// Thousands groups: "27,860" reads as 27860 and "50,000.5" as 50000.5, "50000,0" not at all.
bool wellGrouped(std::string_view whole)
{
    if (whole.find(',') == std::string_view::npos)
        return !whole.empty();
    const auto first = whole.find(',');
    if (first == 0 || first > 3)
        return false;
    for (std::size_t at = first; at < whole.size(); at += 4)
        if (whole[at] != ',' || at + 4 > whole.size() || whole.substr(at + 1, 3).find(',') != std::string_view::npos)
            return false;
    return true;
}

std::string won(std::int64_t value)
{
    std::string digits = std::to_string(value < 0 ? -value : value);
    for (auto at = static_cast<std::ptrdiff_t>(digits.size()) - 3; at > 0; at -= 3)
        digits.insert(static_cast<std::size_t>(at), ",");
    return (value < 0 ? "-" : "") + digits;
}

std::string where(const fs::path& file, std::size_t line) { return file.string() + ":" + std::to_string(line) + ": "; }

// The rows of a daily file: ascending dates (a file written newest first is turned round),
// limited to the period, those before the first market date counted and left out.
Daily readDaily(const fs::path& path, const ImportOptions& o, bool withExtremes, double scale)
{
    const Text text = decode(path);
    const auto lines = linesOf(text.utf8);
    if (lines.empty())
        throw ImportError(path.string() + ": 빈 파일입니다.");
    const char sep = separatorOf(lines[0]);
    const auto header = split(lines[0], sep);
    std::map<std::string, std::size_t> column;
    for (const auto& [key, names] : columnNames()) {
        std::optional<std::size_t> best;
        std::size_t rank = names.size();
        for (std::size_t i = 0; i < header.size(); ++i) {
            const auto it = std::find(names.begin(), names.end(), lower(header[i]));
            if (it != names.end() && static_cast<std::size_t>(it - names.begin()) < rank) {
                rank = static_cast<std::size_t>(it - names.begin());
                best = i;
            }
        }
        if (best)
            column[key] = *best;
    }
    if (!column.count("date") || !column.count("close"))
        throw ImportError(where(path, 1)
                          + "머리줄에 날짜 열(Date, 일자, 날짜)과 종가 열(Close, 종가, 현재가, Price)이 있어야 "
                            "합니다.");
    const auto field = [&](const std::vector<std::string>& f, const char* name) -> std::optional<std::string> {
        const auto c = column.find(name);
        if (c == column.end())
            return std::nullopt;
        return f[c->second];
    };

    Daily daily;
    daily.encoding = text.encoding;
    std::vector<Row> rows;
    for (std::size_t n = 1; n < lines.size(); ++n) {
        if (fieldText(lines[n]).empty())
            continue;
        const auto f = split(lines[n], sep);
        const std::string at = where(path, n + 1);
        // A thousands separator without quotes splits a number in two: "1990-12-31,27,860" is
        // not 27 won.
        if (f.size() != header.size())
            throw ImportError(at
                              + format("칸이 %zu개로 머리줄의 %zu개와 다릅니다. 천 단위 쉼표가 있는 숫자는 "
                                       "따옴표로 묶여 있어야 합니다.",
                                       f.size(), header.size()));
        Row r;
        r.line = n + 1;
        const auto date = parseCsvDate(*field(f, "date"));
        if (!date)
            throw ImportError(at + "날짜를 읽을 수 없습니다 (\"" + *field(f, "date")
                              + "\"). 받는 형식: " + acceptedDates + ".");
        r.date = *date;
        const auto close = parseCsvNumber(*field(f, "close"));
        if (!close || *close <= 0)
            throw ImportError(at + "종가를 읽을 수 없습니다 (\"" + *field(f, "close") + "\").");
        r.close = *close * scale;
        for (auto [name, target] : {std::pair{"open", &r.open}, {"high", &r.high}, {"low", &r.low}}) {
            if (!withExtremes && std::string_view(name) != "open")
                continue;
            const auto text = field(f, name);
            if (!text || text->empty())
                continue;
            const auto v = parseCsvNumber(*text);
            if (!v || *v <= 0)
                throw ImportError(at + name + " 값을 읽을 수 없습니다 (\"" + *text + "\").");
            *target = *v * scale;
        }
        rows.push_back(r);
    }
    // A file whose first day comes after its last is written newest first: it is turned round
    // before its order is checked, so a bad row is named by its own line, not by the next one.
    daily.turned = rows.size() > 1 && rows.front().date > rows.back().date;
    if (daily.turned)
        std::reverse(rows.begin(), rows.end());
    for (std::size_t i = 1; i < rows.size(); ++i) {
        const std::string at = where(path, rows[i].line);
        if (rows[i].date == rows[i - 1].date)
            throw ImportError(at + "같은 날짜가 두 번 있습니다 (" + dateText(rows[i].date) + ", "
                              + std::to_string(rows[i - 1].line) + "번째 줄과 같음).");
        if (rows[i].date < rows[i - 1].date)
            throw ImportError(at + "날짜 순서가 맞지 않습니다 (" + dateText(rows[i].date) + ", "
                              + std::to_string(rows[i - 1].line) + "번째 줄의 " + dateText(rows[i - 1].date)
                              + (daily.turned ? " 뒤" : " 다음") + "에 있음).");
    }
    std::erase_if(rows, [&](const Row& r) { return r.date < o.from || r.date > o.to; });
    daily.early = static_cast<std::size_t>(
        std::count_if(rows.begin(), rows.end(), [](const Row& r) { return r.date < minStartDate; }));
    rows.erase(rows.begin(), rows.begin() + static_cast<std::ptrdiff_t>(daily.early));
    daily.rows = std::move(rows);
    return daily;
}

std::int32_t price(double value, const fs::path& file, std::size_t line)
{
    const std::int32_t p = value < 2e9 ? roundToTick(value) : 0;
    if (p <= 0 || p >= firstDateValue)
        throw ImportError(where(file, line) + "가격 " + format("%.2f", value)
                          + "원은 주가 레코드에 담을 수 없습니다 (1원 이상 19,000,000원 미만).");
    return p;
}

struct Split
{
    std::int32_t date;
    double ratio;
};

std::map<std::string, std::vector<Split>> readSplits(const fs::path& path)
{
    std::map<std::string, std::vector<Split>> splits;
    const auto lines = linesOf(decode(path).utf8);
    for (std::size_t n = 0; n < lines.size(); ++n) {
        if (fieldText(lines[n]).empty())
            continue;
        const auto f = split(lines[n], separatorOf(lines[n]));
        const auto date = f.size() == 3 ? parseCsvDate(f[1]) : std::nullopt;
        const auto ratio = f.size() == 3 ? parseCsvNumber(f[2]) : std::nullopt;
        if (!date || !ratio || *ratio <= 0) {
            if (n == 0)
                continue; // a header
            throw ImportError(where(path, n + 1) + "분할 정보는 종목코드,날짜,비율이어야 합니다.");
        }
        splits[stockCodeOf(f[0]).value_or(f[0])].push_back({*date, *ratio});
    }
    return splits;
}

// The dividends of a file of code,ex_date,won_per_share lines (a header allowed), by code and
// date, as dividends.csv's text; one dividend a stock and day, whole won a share.
std::string readDividends(const fs::path& path, ImportSummary& summary)
{
    std::vector<DividendRow> rows;
    const auto lines = linesOf(decode(path).utf8);
    for (std::size_t n = 0; n < lines.size(); ++n) {
        if (fieldText(lines[n]).empty())
            continue;
        const auto f = split(lines[n], separatorOf(lines[n]));
        const auto code = f.size() == 3 ? stockCodeOf(f[0]) : std::nullopt;
        const auto date = f.size() == 3 ? parseCsvDate(f[1]) : std::nullopt;
        const auto won = f.size() == 3 ? parseCsvNumber(f[2]) : std::nullopt;
        if (!code || !date || !won) {
            if (n == 0)
                continue; // a header
            throw ImportError(where(path, n + 1) + "배당 정보는 종목코드,배당락일,주당 배당금(원)이어야 합니다.");
        }
        if (!(*won > 0) || *won != std::floor(*won) || *won > 100000000)
            throw ImportError(where(path, n + 1) + "주당 배당금은 1원 이상의 정수여야 합니다.");
        rows.push_back({*code, *date, static_cast<std::int32_t>(*won)});
    }
    std::stable_sort(rows.begin(), rows.end(), [](const DividendRow& a, const DividendRow& b) {
        return std::tie(a.code, a.exDate) < std::tie(b.code, b.exDate);
    });
    for (std::size_t k = 1; k < rows.size(); ++k)
        if (rows[k].code == rows[k - 1].code && rows[k].exDate == rows[k - 1].exDate)
            throw ImportError(path.string() + ": " + rows[k].code + " 종목의 " + dateText(rows[k].exDate)
                              + " 배당이 두 번 있습니다.");
    summary.notes.push_back(format("배당 %zu건을 %s에 썼습니다.", rows.size(), std::string(dividendsFileName).c_str()));
    return toCrLf(dividendsCsvText(rows));
}

// The records of one stock's days.
struct StockRecords
{
    std::vector<std::int32_t> numbers;
    std::vector<std::int32_t> closes; // each day's close, on the tick
};

// `previousClose`: the close before the first row (the last one stored, for an update).
StockRecords stockRecords(const std::vector<Row>& rows, const std::vector<Split>& splits, const fs::path& file,
                          std::optional<std::int32_t> previousClose)
{
    StockRecords out;
    for (const Row& r : rows) {
        const std::int32_t close = price(r.close, file, r.line);
        auto opt = [&](const std::optional<double>& v) -> std::optional<std::int32_t> {
            if (!v)
                return std::nullopt;
            return price(*v, file, r.line);
        };
        const auto open = opt(r.open);
        std::int32_t base = previousClose ? *previousClose : open.value_or(close);
        for (const auto& s : splits)
            if (s.date == r.date && previousClose)
                base = price(*previousClose / s.ratio, file, r.line);
        out.numbers.push_back(r.date);
        out.numbers.push_back(base);
        for (auto v : intradayPath(open, opt(r.high), opt(r.low), close))
            out.numbers.push_back(v);
        out.closes.push_back(close);
        previousClose = close;
    }
    return out;
}

// What a stored price file holds for an update: its last date, the last price before or after
// it, and each day's close (its last price), to compare the export's days with.
struct Stored
{
    std::optional<std::int32_t> lastDate;
    std::optional<std::int32_t> lastClose;
    std::vector<std::pair<std::int32_t, std::int32_t>> closes; // by date, ascending
};

// A file of the market that an update reads: nullopt when there is none, an error when it is
// there but cannot be read (it would be taken for a market without it).
std::optional<std::string> readStoredFile(const fs::path& path, std::size_t limit)
{
    std::error_code ec;
    if (!fs::exists(fs::symlink_status(path, ec)))
        return std::nullopt;
    auto bytes = readWholeFile(path, limit);
    if (!bytes)
        throw ImportError(path.string()
                          + ": 파일을 읽을 수 없습니다. 파일의 읽기 권한을 확인하십시오. 아무것도 바꾸지 "
                            "않았습니다.");
    return bytes;
}

// The stored price file of a stock; a damaged end is left out (the merge cuts it away, and the
// report says so), dates that go back stop the update.
Stored stored(const fs::path& file, std::vector<std::string>& notes)
{
    Stored s;
    if (std::error_code ec; !fs::exists(fs::symlink_status(file, ec)))
        return s; // a new stock
    auto prices = PriceFile::load(file);
    if (!prices)
        throw ImportError(file.string()
                          + ": 파일을 읽을 수 없습니다. 파일의 읽기 권한을 확인하십시오. 아무것도 바꾸지 "
                            "않았습니다.");
    const SoundPart part = soundPart(*prices);
    if (part.backwards)
        throw ImportError(backwardsMessage(file.string(), part));
    if (part.damaged() || part.cutBytes > 0)
        notes.push_back(file.string() + ": 끝의 손상된 " + std::to_string(part.total - part.records) + "개 레코드"
                        + (part.cutBytes > 0 ? "와 잘린 레코드" : "") + "는 merge-update가 잘라 냅니다.");
    prices->keepFirst(static_cast<std::int32_t>(part.records));
    std::optional<std::int32_t> dayDate;
    for (std::int32_t i = 0; i < prices->recordCount(); ++i) {
        const std::int32_t v = prices->value(i);
        if (v >= firstDateValue) {
            dayDate = v;
            s.lastDate = v;
        } else if (v > 0) {
            s.lastClose = v;
            if (dayDate && !s.closes.empty() && s.closes.back().first == *dayDate)
                s.closes.back().second = v;
            else if (dayDate)
                s.closes.emplace_back(*dayDate, v);
        }
    }
    return s;
}

// The moves from one close to the next that are near a split's ratio, and not given as splits.
std::vector<SplitHint> splitHints(const std::vector<Row>& rows, const StockRecords& records,
                                  std::optional<std::int32_t> closeBefore, const std::vector<Split>& given)
{
    std::vector<SplitHint> hints;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const std::optional<std::int32_t> before = i > 0 ? std::optional(records.closes[i - 1]) : closeBefore;
        if (!before)
            continue;
        const double move = static_cast<double>(records.closes[i]) / *before;
        for (const double r : splitRatios) {
            for (const double target : {1 / r, r}) {
                if (std::abs(move / target - 1) > splitTolerance)
                    continue;
                if (std::none_of(given.begin(), given.end(), [&](const Split& s) { return s.date == rows[i].date; }))
                    hints.push_back({rows[i].date, *before, records.closes[i], target < 1 ? r : 1 / r});
            }
        }
    }
    return hints;
}

bool isPriceFileName(const fs::path& file)
{
    const std::string extension = lower(file.extension().string());
    return std::find(std::begin(priceExtensions), std::end(priceExtensions), extension) != std::end(priceExtensions);
}

// A text for a CP949 file: what CP949 cannot hold becomes '?'.
std::string cp949Text(std::string_view utf8)
{
    try {
        return toCp949(utf8);
    } catch (const Cp949Error&) {
    }
    std::string out;
    for (std::size_t i = 0; i < utf8.size();) {
        std::size_t length = 1;
        while (i + length < utf8.size() && (static_cast<unsigned char>(utf8[i + length]) & 0xC0) == 0x80)
            ++length;
        try {
            out += toCp949(utf8.substr(i, length));
        } catch (const Cp949Error&) {
            out += '?';
        }
        i += length;
    }
    return out;
}

std::string dates(std::int32_t first, std::int32_t last) { return dateText(first) + " ~ " + dateText(last); }

// A stock's days are set against the index's first and last day (for an update, the first new
// one; none when the index has no new day).
std::string reportText(const ImportOptions& o, const ImportSummary& s, const std::string& indexLine,
                       std::optional<std::int32_t> indexFirst, std::optional<std::int32_t> indexLast)
{
    std::string text = std::string("가져오기 보고서") + (o.update ? " (--update: 저장된 날 뒤의 새 날)" : "") + "\n";
    text += indexLine + "\n";
    text += format("종목 %d개, 가격 레코드 %s개\n", s.stocks, won(s.priceRecords).c_str());
    if (!s.stockReports.empty())
        text += "\n종목별 첫날 ~ 마지막 날 (지수와 비교), 빠진 날, 파일:\n";
    std::vector<std::string> hints;
    for (const StockReport& r : s.stockReports) {
        std::string line = "  " + r.code + "  " + dates(r.first, r.last);
        const bool late = indexFirst && r.first > *indexFirst, early = indexLast && r.last < *indexLast;
        if (late || early)
            line += std::string(" (지수보다") + (late ? " 늦게 시작" : "") + (late && early ? "하고" : "")
                + (early ? " 일찍 끝남" : "") + ")";
        std::string against;
        if (r.missing.empty())
            against = "빠진 날 없음";
        else {
            against = format("빠진 날 %zu일 (", r.missing.size());
            for (std::size_t i = 0; i < std::min(r.missing.size(), missingDaysShown); ++i)
                against += (i ? ", " : "") + dateText(r.missing[i]);
            against += r.missing.size() > missingDaysShown ? ", ...)" : ")";
        }
        if (!r.offIndex.empty()) {
            against += format(", 지수에 없는 날 %zu일 (", r.offIndex.size());
            for (std::size_t i = 0; i < std::min(r.offIndex.size(), missingDaysShown); ++i)
                against += (i ? ", " : "") + dateText(r.offIndex[i]);
            against += r.offIndex.size() > missingDaysShown ? ", ...)" : ")";
        }
        text += line + "  " + against + "  " + r.file + " (" + r.encoding
            + (r.turned ? ", 최근 날부터 적혀 있어 뒤집음" : "") + ")\n";
        for (const SplitHint& h : r.splits)
            hints.push_back(format("  %s %s: 종가 %s원 -> %s원. 수정되지 않은 가격이면 --splits 파일에: %s,%s,%g",
                                   r.code.c_str(), dateText(h.date).c_str(), won(h.closeBefore).c_str(),
                                   won(h.close).c_str(), r.code.c_str(), dateText(h.date).c_str(), h.ratio));
    }
    if (!hints.empty()) {
        text += "\n분할이나 병합으로 보이는 움직임 (종가가 1/2, 1/5, 1/10, 2, 5, 10배 가까이 움직인 날):\n";
        for (const auto& h : hints)
            text += h + "\n";
    }
    if (s.rangeTableWritten)
        text += "\nksp.txt가 없어 표본 매매범위 설정표를 썼습니다. 자동설정은 이 표의 KOSPI 지수 구간(600~2,500"
                "포인트)으로 매매조건을 고릅니다. KOSPI가 아닌 지수라면 표를 고치거나 자동설정을 끄십시오.\n";
    if (!s.notes.empty()) {
        text += "\n참고:\n";
        for (const auto& note : s.notes)
            text += "  " + note + "\n";
    }
    return text;
}

ImportSummary importFiles(const ImportOptions& o);

} // namespace

std::int32_t roundToTick(double value)
{
    const auto whole = static_cast<std::int32_t>(std::floor(value));
    const std::int32_t tick = priceTick(whole);
    const std::int32_t down = tickRound(whole, Round::Down);
    return value - down >= tick / 2.0 ? down + tick : down;
}

std::vector<std::int32_t> intradayPath(std::optional<std::int32_t> open, std::optional<std::int32_t> high,
                                       std::optional<std::int32_t> low, std::int32_t close)
{
    std::vector<std::int32_t> path;
    auto add = [&](std::int32_t v) {
        if (path.empty() || path.back() != v)
            path.push_back(v);
    };
    if (open) {
        add(*open);
        if (high && low) {
            const bool highFirst = *high - *open < *open - *low;
            add(highFirst ? *high : *low);
            add(highFirst ? *low : *high);
        }
    }
    add(close);
    return path;
}

std::optional<std::int32_t> parseCsvDate(std::string_view text)
{
    const auto digits = [](std::string_view s) {
        return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
    };
    // A time of day after the date: a blank or 'T', then digits, ':' and '.' (and a zone).
    if (const auto cut = text.find_first_of(" T"); cut != std::string_view::npos) {
        const std::string_view time = text.substr(cut + 1);
        if (time.empty() || !(time[0] >= '0' && time[0] <= '9')
            || time.find_first_not_of("0123456789:.+-Z") != std::string_view::npos)
            return std::nullopt;
        text = text.substr(0, cut);
    }
    std::string ymd;
    if (text.size() == 8 && digits(text)) {
        ymd = text;
    } else if (text.size() == 10 && text[4] == text[7] && (text[4] == '-' || text[4] == '/' || text[4] == '.')
               && digits(text.substr(0, 4)) && digits(text.substr(5, 2)) && digits(text.substr(8, 2))) {
        ymd = std::string(text.substr(0, 4)) + std::string(text.substr(5, 2)) + std::string(text.substr(8, 2));
    } else {
        return std::nullopt;
    }
    const std::int32_t d = atoiText(ymd);
    if (d < minDate || !isCalendarDate(d))
        return std::nullopt;
    return d;
}

std::optional<double> parseCsvNumber(std::string_view text)
{
    std::string plain;
    if (text.starts_with('-')) {
        plain = "-";
        text.remove_prefix(1);
    }
    const auto dot = text.find('.');
    const std::string_view whole = text.substr(0, dot);
    if (!wellGrouped(whole) || std::any_of(whole.begin(), whole.end(), [](char c) {
            return c != ',' && !std::isdigit(static_cast<unsigned char>(c));
        }))
        return std::nullopt;
    for (char c : whole)
        if (c != ',')
            plain += c;
    if (dot != std::string_view::npos) {
        const std::string_view fraction = text.substr(dot + 1);
        if (fraction.empty() || !std::all_of(fraction.begin(), fraction.end(), [](char c) {
                return std::isdigit(static_cast<unsigned char>(c));
            }))
            return std::nullopt;
        plain += "." + std::string(fraction);
    }
    double value = 0;
    const auto [stop, ec] = std::from_chars(plain.data(), plain.data() + plain.size(), value, std::chars_format::fixed);
    if (ec != std::errc() || stop != plain.data() + plain.size() || !std::isfinite(value))
        return std::nullopt;
    return value;
}

ImportSummary importCsv(const ImportOptions& options)
{
    try {
        // The commit names its targets by their folder: "." must be a folder with a name.
        ImportOptions o = options;
        o.out = fs::absolute(options.out);
        return importFiles(o);
    } catch (const fs::filesystem_error& e) {
        throw ImportError(e.what());
    } catch (const FileTooLarge& e) {
        throw ImportError(e.what());
    }
}

namespace {

// What an update finds of the market it adds to, read with the market held: the sound parts of
// kospi.lst and code.lst (a damaged end is cut away, with a note; dates that go back stop it).
struct StoredMarket
{
    std::string kospiBytes;         // kospi.lst's sound records, as stored
    std::vector<IndexRecord> kospi; // the same, read
    std::string codeBytes;          // code.lst's sound entries, as stored
    std::vector<std::string> codes; // their codes
};

std::string cutNote(const char* name, const SoundPart& part)
{
    if (part.damaged())
        return format("%s의 %zu번째 레코드부터 끝까지(%zu개) 손상되어 잘라 냈습니다.", name, part.records + 1,
                      part.total - part.records);
    return format("%s 끝의 잘린 레코드(%zu바이트)를 잘라 냈습니다.", name, part.cutBytes);
}

StoredMarket readStoredMarket(const ImportOptions& o, const fs::path& prices, std::vector<std::string>& notes)
{
    StoredMarket m;
    if (auto bytes = readStoredFile(o.out / "kospi.lst", marketListLimit)) {
        IndexFile file = IndexFile::fromBytes(*bytes);
        const SoundPart part = soundPart(file);
        if (part.backwards)
            throw ImportError(backwardsMessage((o.out / "kospi.lst").lexically_normal().string(), part));
        if (part.damaged() || part.cutBytes > 0)
            notes.push_back(cutNote("kospi.lst", part));
        file.keepFirst(part.records);
        m.kospi = file.records();
        bytes->resize(part.records * indexRecordSize + crLfCount(*bytes, part.records));
        m.kospiBytes = std::move(*bytes);
    }
    if (auto bytes = readStoredFile(o.out / "code.lst", marketListLimit)) {
        const SoundPart part = soundCodeList(*bytes);
        if (part.damaged() || part.cutBytes > 0)
            notes.push_back(cutNote("code.lst", part));
        bytes->resize(part.records * codeRecordSize + crLfCount(*bytes, part.records));
        for (const auto& entry : parseCodeList(*bytes))
            m.codes.emplace_back(entryCode(entry));
        m.codeBytes = std::move(*bytes);
    }
    // The price files are where a run and the merge find them; a market without them would take
    // every stock's whole history for new.
    if (std::error_code ec; !m.kospi.empty() && !fs::is_directory(prices / "StockData", ec))
        throw ImportError((prices / "StockData").string()
                          + ": 저장된 주가 파일 폴더가 없습니다. 작업 폴더와 주가 파일(StockData/)이 다른 폴더에 "
                            "있으면 --program-dir로 StockData/가 있는 폴더를 주십시오. 아무것도 바꾸지 않았습니다.");
    return m;
}

// kospi.lst as the import leaves it, and its days.
struct IndexPart
{
    std::string bytes;
    std::vector<std::int32_t> dates; // every day kospi.lst holds, the stored ones of an update too
    Daily daily;                     // the rows read: for an update, the new days only
};

// The index in hundredths, within what kospi.lst holds.
std::int32_t indexHundredths(const ImportOptions& o, double v, const Row& r)
{
    const auto h = std::llround(v * 100);
    if (h > largestIndexHundredths) {
        const double scale = std::pow(10.0, -std::ceil(std::log10(v * 100 / largestIndexHundredths)));
        throw ImportError(where(o.index, r.line)
                          + format("지수 %.2f는 kospi.lst에 담을 수 없습니다 (9,999.99까지). "
                                   "--index-scale %g처럼 줄여서 가져오십시오.",
                                   v, scale));
    }
    if (h <= 0)
        throw ImportError(where(o.index, r.line) + "지수는 0.01 이상이어야 합니다.");
    return static_cast<std::int32_t>(h);
}

constexpr const char* reAdjusted = " 다시 계산된 자료이거나 다른 곳의 자료입니다. 새 폴더에 전체를 가져오십시오 "
                                   "(import-csv --out 새 폴더). 아무것도 바꾸지 않았습니다.";

// The export's days that kospi.lst holds must be the stored ones, to a hundredth of a point.
void compareIndex(const ImportOptions& o, const std::vector<Row>& rows, const std::vector<IndexRecord>& stored)
{
    for (const Row& r : rows) {
        const auto it = std::lower_bound(stored.begin(), stored.end(), r.date,
                                         [](const IndexRecord& s, std::int32_t d) { return s.date < d; });
        if (it == stored.end() || it->date != r.date)
            continue;
        if (std::abs(indexHundredths(o, r.close, r) - it->dayValue) > 1)
            throw ImportError(where(o.index, r.line)
                              + format("%s의 지수 종가 %.2f가 kospi.lst에 저장된 %.2f와 다릅니다.",
                                       dateText(r.date).c_str(), r.close, it->dayValue / 100.0)
                              + reAdjusted);
    }
}

IndexPart readIndex(const ImportOptions& o, const StoredMarket& stored)
{
    IndexPart index;
    index.daily = readDaily(o.index, o, false, o.indexScale);
    std::vector<Row>& rows = index.daily.rows;
    std::optional<std::int32_t> previous; // the last close, in hundredths
    // An update adds the days after the last one stored; the stored ones stay as they are, and the
    // first new day opens, when its row has no open, at the stored close.
    if (o.update && !stored.kospi.empty()) {
        compareIndex(o, rows, stored.kospi);
        index.bytes = stored.kospiBytes;
        for (const IndexRecord& r : stored.kospi)
            index.dates.push_back(r.date);
        const IndexRecord& last = stored.kospi.back();
        std::erase_if(rows, [&](const Row& r) { return r.date <= last.date; });
        previous = last.dayValue;
    }
    for (const Row& r : rows) {
        const std::int32_t close = indexHundredths(o, r.close, r);
        const std::int32_t start = r.open ? indexHundredths(o, *r.open, r) : previous.value_or(close);
        index.bytes += indexRecordBytes(r.date, start, close);
        index.dates.push_back(r.date);
        previous = close;
    }
    return index;
}

// The names file's codes and CP949 names, in file order.
std::vector<std::pair<std::string, std::string>> readNames(const fs::path& path, std::vector<std::string>& notes)
{
    std::vector<std::pair<std::string, std::string>> names;
    const auto lines = linesOf(decode(path).utf8);
    for (std::size_t n = 0; n < lines.size(); ++n) {
        if (fieldText(lines[n]).empty())
            continue;
        const auto f = split(lines[n], separatorOf(lines[n]));
        const auto code = stockCodeOf(f[0]);
        if (!code) {
            if (n == 0)
                continue; // a header
            throw ImportError(where(path, n + 1) + "종목코드는 여섯 자리(또는 A와 여섯 자리 숫자)여야 합니다 (\"" + f[0]
                              + "\").");
        }
        std::string given = f.size() > 1 ? f[1] : "";
        // A comma would split the name's column in every result file that names the stock, and a
        // control character would reach the terminal of whoever prints it.
        const auto unfit = [](char c) { return c == ',' || static_cast<unsigned char>(c) < 0x20 || c == 0x7F; };
        if (std::any_of(given.begin(), given.end(), unfit)) {
            std::replace_if(given.begin(), given.end(), unfit, ' ');
            notes.push_back(*code + ": 종목명의 쉼표나 제어 문자를 빈칸으로 바꿨습니다 (\"" + given + "\").");
        }
        std::string name;
        try {
            name = toCp949(given);
        } catch (const Cp949Error&) {
            throw ImportError(where(path, n + 1) + "종목명에 CP949로 쓸 수 없는 문자가 있습니다.");
        }
        if (name.size() > stockNameSize)
            notes.push_back(*code + ": 종목명이 20바이트를 넘어 \"" + fromCp949Lossy(cutBytes(name, stockNameSize))
                            + "\"로 줄였습니다.");
        names.emplace_back(*code, std::string(cutBytes(name, stockNameSize)));
    }
    return names;
}

// The price files of the folder by code; the other files are named in a note.
std::map<std::string, fs::path> priceFiles(const fs::path& folder, std::vector<std::string>& notes)
{
    if (!fs::is_directory(folder))
        throw ImportError(folder.string() + ": 폴더가 아닙니다.");
    std::map<std::string, fs::path> files;
    std::vector<std::string> skipped;
    for (const auto& e : fs::directory_iterator(folder)) {
        if (e.is_directory())
            continue;
        if (!isPriceFileName(e.path())) {
            skipped.push_back(e.path().filename().string());
            continue;
        }
        const auto found = stockCodeOf(e.path().stem().string());
        if (!found)
            throw ImportError(e.path().string() + ": 파일 이름은 여섯 자리 종목코드(또는 A와 여섯 자리 숫자)여야 합니다.");
        const std::string& code = *found;
        if (const auto [it, added] = files.emplace(code, e.path()); !added)
            throw ImportError(e.path().string() + ": " + it->second.filename().string()
                              + "와 같은 종목의 파일입니다. 하나만 두십시오.");
    }
    std::sort(skipped.begin(), skipped.end());
    if (!skipped.empty()) {
        std::string list;
        for (const auto& name : skipped)
            list += (list.empty() ? "" : ", ") + name;
        notes.push_back("확장자가 .csv, .txt, .tsv가 아니어서 건너뛴 파일: " + list);
    }
    return files;
}

// What the report says of one stock's rows against the index's days.
StockReport stockReport(const std::string& code, const fs::path& file, const Daily& daily,
                        const std::set<std::int32_t>& indexDays)
{
    StockReport report;
    report.code = code;
    report.file = file.filename().string();
    report.encoding = daily.encoding;
    report.turned = daily.turned;
    report.first = daily.rows.front().date;
    report.last = daily.rows.back().date;
    std::set<std::int32_t> days;
    for (const Row& r : daily.rows)
        days.insert(r.date);
    for (auto d = indexDays.lower_bound(report.first); d != indexDays.end() && *d <= report.last; ++d)
        if (!days.count(*d))
            report.missing.push_back(*d);
    for (const std::int32_t d : days)
        if (!indexDays.count(d))
            report.offIndex.push_back(d);
    return report;
}

// code.lst: the stocks in the names' order, then those without a name. An update keeps the
// stored list and adds the stocks it does not hold yet.
std::string codeList(const StoredMarket& stored, const std::vector<std::pair<std::string, std::string>>& names,
                     const std::map<std::string, StockRecords>& stocks, std::vector<std::string>& notes)
{
    std::string codes = stored.codeBytes;
    const auto isStored = [&](const std::string& code) {
        return std::find(stored.codes.begin(), stored.codes.end(), code) != stored.codes.end();
    };
    for (const auto& [code, name] : names)
        if (stocks.count(code) && !isStored(code))
            codes += codeRecordBytes(code, name);
    for (const auto& stock : stocks) {
        const std::string& code = stock.first;
        if (isStored(code))
            continue;
        if (std::none_of(names.begin(), names.end(), [&](const auto& n) { return n.first == code; })) {
            codes += codeRecordBytes(code, code);
            notes.push_back(code + ": 종목명이 없어 종목코드를 이름으로 씁니다.");
        }
    }
    return codes;
}

// The export's days that a stored price file holds must close where they closed, within a tick:
// a re-adjusted export (after a split the whole history is rewritten) would otherwise be added
// to the unadjusted days and show a crash that never happened.
void compareStock(const std::string& code, const fs::path& file, const std::vector<Row>& rows, const Stored& before)
{
    for (const Row& r : rows) {
        const auto it = std::lower_bound(before.closes.begin(), before.closes.end(), r.date,
                                         [](const auto& c, std::int32_t d) { return c.first < d; });
        if (it == before.closes.end() || it->first != r.date)
            continue;
        const std::int32_t close = price(r.close, file, r.line);
        if (std::abs(close - it->second) <= priceTick(std::max(close, it->second)))
            continue;
        throw ImportError(
            where(file, r.line)
            + format("%s %s의 종가 %s원이 저장된 주가 파일의 %s원과 다릅니다. 수정주가로 다시 받은 자료이거나 다른 "
                     "곳의 자료입니다. 수정주가 자료라면 새 폴더에 전체를 가져오십시오 (import-csv --out 새 폴더). "
                     "저장된 파일처럼 수정되지 않은 가격을 이어 가려면 수정되지 않은 자료를 받아, 그 뒤의 분할은 "
                     "--splits로 알려 주십시오. 아무것도 바꾸지 않았습니다.",
                     code.c_str(), dateText(r.date).c_str(), won(close).c_str(), won(it->second).c_str()));
    }
}

// The stocks read: their records by code, the update's blocks, what the report says of them.
struct StockPart
{
    std::map<std::string, StockRecords> stocks;
    std::string update;
    std::size_t early = 0; // rows before the first market date
};

StockPart readStocks(const ImportOptions& o, const fs::path& prices, const std::map<std::string, fs::path>& files,
                     const IndexPart& index, ImportSummary& summary)
{
    const auto splits = o.splits ? readSplits(*o.splits) : std::map<std::string, std::vector<Split>>{};
    // The stocks; one with no day in the period (for an update: after the stored ones) is left out.
    const std::set<std::int32_t> indexDays(index.dates.begin(), index.dates.end());
    StockPart part;
    for (const auto& [code, file] : files) {
        Daily daily = readDaily(file, o, true, o.multiplier);
        part.early += daily.early;
        Stored before;
        if (o.update) {
            before = stored(priceFilePath(prices, code), summary.notes);
            if (before.lastDate) {
                compareStock(code, file, daily.rows, before);
                std::erase_if(daily.rows, [&](const Row& r) { return r.date <= *before.lastDate; });
            }
        }
        if (daily.rows.empty()) {
            summary.notes.push_back(code
                                    + (o.update && before.lastDate ? ": 저장된 날 뒤의 자료가 없습니다."
                                                                   : ": 기간 안에 자료가 없어 가져오지 않았습니다."));
            continue;
        }
        const auto s = splits.find(code);
        const auto& given = s == splits.end() ? std::vector<Split>{} : s->second;
        StockRecords records = stockRecords(daily.rows, given, file, before.lastClose);
        StockReport report = stockReport(code, file, daily, indexDays);
        report.splits = splitHints(daily.rows, records, before.lastClose, given);
        summary.stockReports.push_back(std::move(report));
        summary.priceRecords += static_cast<std::int64_t>(records.numbers.size());
        if (o.update)
            part.update += updateBlockBytes(code, daily.rows.front().date, records.numbers);
        part.stocks.emplace(code, std::move(records));
    }
    return part;
}

// A price folder made for the stage goes again with a commit that does not happen (after the
// commit's staged files, which it outlives).
struct MadeFolder
{
    fs::path path;
    bool made = false;
    bool kept = false;
    ~MadeFolder()
    {
        std::error_code ec;
        if (made && !kept)
            fs::remove(path, ec); // only when it is empty
    }
};

// A full import makes a new market: an update that waits for it (and the journal and mark of a
// merge of it that stopped) no longer fits and goes with the commit, the update kept aside as
// Update.old. The block a stopped merge was writing is undone first, so that no price file the
// import does not rewrite keeps half of it.
void setAsideUpdate(const ImportOptions& o, const StockPart& part, FileTransaction& commit, ImportSummary& summary)
{
    const fs::path updatePath = o.out / updateFileName;
    // A price file changed since its block: the import may only go on when it rewrites it.
    if (const auto left = undoStoppedMerge(o.out); left && !part.stocks.count(left->stem().string()))
        throw ImportError(left->string()
                          + ": 멈춘 Update.new 반영을 되돌릴 수 없고 이 가져오기에 없는 종목이라 아무것도 바꾸지 "
                            "않았습니다. 그 주가 파일을 백업에서 되살리거나 이 종목의 자료도 함께 가져오십시오.");
    commit.stageRemoval(std::string(updateJournalFileName));
    commit.stageRemoval(std::string(mergeMarkFileName));
    if (const auto waiting = readStoredFile(updatePath, updateFileLimit)) {
        if (!commit.stage("Update.old", *waiting))
            throw ImportError((o.out / "Update.old").string()
                              + ": 쓸 수 없습니다. 폴더의 쓰기 권한과 남은 디스크 공간을 확인하세요.");
        commit.stageRemoval(std::string(updateFileName));
        summary.notes.push_back("기다리던 Update.new는 새로 가져온 시장에 맞지 않아 Update.old로 옮겼습니다 "
                                "(반영하지 않습니다).");
    }
}

// The report's line of the index and the days the stocks are set against.
struct IndexLine
{
    std::string text;
    std::optional<std::int32_t> first, last;
};

// Everything staged first and put in place together, or not at all.
void commitImport(const ImportOptions& o, const IndexPart& index, const StockPart& part, const std::string& codes,
                  const IndexLine& line, const std::optional<std::string>& dividends, ImportSummary& summary)
{
    std::error_code ec;
    MadeFolder priceFolder{priceFilePath(o.out, "000000").parent_path()};
    priceFolder.made = !fs::exists(priceFolder.path, ec);
    FileTransaction commit(o.out, std::string(importTag));
    const auto stage = [&](const fs::path& name, const std::string& bytes, LinkAtName links) {
        fs::create_directories((o.out / name).parent_path(), ec);
        if (!commit.stage(name, bytes, links))
            throw ImportError((o.out / name).string()
                              + ": 쓸 수 없습니다. 폴더의 쓰기 권한과 남은 디스크 공간을 확인하세요.");
    };
    // The market lists a user may keep elsewhere behind a link are replaced where they are.
    stage("kospi.lst", index.bytes, LinkAtName::Follow);
    stage("code.lst", codes, LinkAtName::Follow);
    if (summary.rangeTableWritten)
        stage("ksp.txt", rangeTableBytes(sampleRangeTable(kospiBandEdges)), LinkAtName::Follow);
    if (dividends)
        stage(std::string(dividendsFileName), *dividends, LinkAtName::Follow);
    if (o.update) {
        stage(std::string(updateFileName), part.update, LinkAtName::Replace);
    } else {
        setAsideUpdate(o, part, commit, summary);
        for (const auto& [code, records] : part.stocks) {
            std::string bytes;
            for (auto n : records.numbers)
                bytes += priceRecordBytes(n);
            stage(priceFilePath({}, code), bytes, LinkAtName::Follow);
        }
    }
    summary.report = reportText(o, summary, line.text, line.first, line.last);
    stage(std::string(importReportFileName), toCrLf(cp949Text(summary.report)), LinkAtName::Replace);
    if (!commit.commit())
        throw ImportError(o.out.string()
                          + ": 가져온 파일을 제자리에 둘 수 없어 아무것도 바꾸지 않았습니다. 폴더의 쓰기 권한과 "
                            "같은 이름의 폴더가 있는지 확인하세요.");
    priceFolder.kept = true;
}

void checkOptions(const ImportOptions& o)
{
    if (!(o.multiplier > 0) || !std::isfinite(o.multiplier))
        throw ImportError("--multiplier는 0보다 큰 수여야 합니다.");
    if (!(o.indexScale > 0) || !std::isfinite(o.indexScale))
        throw ImportError("--index-scale은 0보다 큰 수여야 합니다.");
    if (o.from > o.to)
        throw ImportError("--from(" + std::to_string(o.from) + ")이 --to(" + std::to_string(o.to) + ")보다 늦습니다.");
}

ImportError nothingLeft(const ImportOptions& o, const fs::path& file, std::size_t early, const char* what)
{
    if (early > 0)
        return ImportError(file.string() + ": " + what + " 자료가 모두 " + dateText(minStartDate)
                           + " 이전이라 가져올 것이 없습니다 (그 날짜들은 주가 파일에서 가격으로 읽힙니다).");
    return ImportError(file.string() + ": 가져올 " + what + " 자료가 없습니다 (기간 " + std::to_string(o.from) + "~"
                       + std::to_string(o.to) + ").");
}

// The market's folders: a full import writes its own StockData/; an update compares with the
// price files the merge will write.
MarketFolders importFolders(const ImportOptions& o)
{
    if (!o.update)
        return sameMarket(o.out, o.out);
    const fs::path fallback = o.defaultProgramDir.empty() ? o.out : fs::absolute(o.defaultProgramDir);
    return marketFolders(o.out, o.programDir ? fs::absolute(*o.programDir) : fallback, o.programDir.has_value());
}

ImportSummary importFiles(const ImportOptions& o)
{
    checkOptions(o);
    // The market is this import's before anything of it is read.
    const MarketFolders folders = importFolders(o);
    const MarketAccess market = MarketAccess::open(folders, LockMode::Exclusive, o.waitSeconds, o.waiting);
    if (!market)
        throw ImportError(o.out.string() + ": " + market.problem);
    if (std::error_code ec; o.update && fs::exists(fs::symlink_status(o.out / updateFileName, ec)))
        throw ImportError(
            (o.out / updateFileName).string()
            + ": 아직 반영되지 않은 업데이트가 있습니다. 'kestrelan-cli merge-update'로 (또는 kestrelan을 "
              "시작해) 반영한 뒤 다시 실행하십시오.");
    ImportSummary summary;
    if (!folders.note.empty())
        summary.notes.push_back(folders.note);
    const StoredMarket storedMarket = o.update ? readStoredMarket(o, folders.prices, summary.notes) : StoredMarket{};
    const IndexPart index = readIndex(o, storedMarket);
    const std::vector<Row>& indexRows = index.daily.rows;
    summary.indexDays = static_cast<int>(indexRows.size());
    if (indexRows.empty() && !o.update)
        throw nothingLeft(o, o.index, index.daily.early, "지수");
    const auto names = readNames(o.names, summary.notes);
    const auto files = priceFiles(o.prices, summary.notes);
    const StockPart part = readStocks(o, folders.prices, files, index, summary);
    if (part.stocks.empty() && !(o.update && !files.empty()))
        throw nothingLeft(o, o.prices, part.early, "주가");
    if (o.update && part.stocks.empty() && indexRows.empty())
        throw ImportError(o.out.string() + ": 저장된 자료 뒤에 더할 새 자료가 없습니다.");
    if (const std::size_t early = index.daily.early + part.early; early > 0)
        summary.notes.push_back(
            format("%s 이전의 %zu행은 뺐습니다 (주가 파일에서 그 날짜는 가격으로 읽힙니다). ",
                   dateText(minStartDate).c_str(), early)
            + (index.dates.empty() ? std::string() : "시장은 " + dateText(index.dates.front()) + "부터 시작합니다."));
    const std::string codes = codeList(storedMarket, names, part.stocks, summary.notes);
    // A market needs its range table; one that is there is the user's and stays.
    std::error_code ec;
    summary.rangeTableWritten = !fs::exists(fs::symlink_status(o.out / "ksp.txt", ec));
    summary.stocks = static_cast<int>(part.stocks.size());
    IndexLine line;
    line.text = "지수 " + o.index.filename().string() + " (" + index.daily.encoding + "): ";
    line.text += indexRows.empty()
        ? std::string("새 날 없음")
        : dates(indexRows.front().date, indexRows.back().date) + format(", %d일", summary.indexDays);
    line.first = !indexRows.empty() ? std::optional(indexRows.front().date) : std::nullopt;
    line.last = !index.dates.empty() ? std::optional(index.dates.back()) : std::nullopt;
    const std::optional<std::string> dividends
        = o.dividends ? std::optional(readDividends(*o.dividends, summary)) : std::nullopt;
    commitImport(o, index, part, codes, line, dividends, summary);
    return summary;
}

} // namespace

} // namespace kestrelan
