#include "tools/ImportCsv.h"

#include "engine/MarketData.h"
#include "engine/MarketUpdate.h"
#include "engine/TickRound.h"
#include "platform/core/Cp949.h"
#include "platform/core/FileTransaction.h"
#include "platform/core/FolderLock.h"
#include "platform/core/Format.h"
#include "platform/core/Text.h"
#include "platform/core/TextFile.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <span>
#include <unistd.h>

namespace kestrelan {

namespace {

struct Row
{
    std::int32_t date = 0;
    std::optional<double> open, high, low;
    double close = 0;
    std::size_t line = 0;
};

std::string lower(std::string s)
{
    for (char& c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

// The blanks around a CSV field.
constexpr std::string_view csvBlanks = " \t\r\n";

// A field's text: without the blanks around it and without one pair of enclosing quotes. A line
// whose text is empty is a blank line.
std::string fieldText(std::string_view raw)
{
    std::string_view s = trim(raw, csvBlanks);
    if (s.size() >= 2 && s.front() == '"' && s.back() == '"')
        s = s.substr(1, s.size() - 2);
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

std::vector<std::string> fileLines(const std::filesystem::path& path)
{
    const auto bytes = readWholeFile(path);
    if (!bytes)
        throw ImportError(path.string() + ": 파일을 읽을 수 없습니다.");
    std::vector<std::string> lines;
    std::size_t start = 0;
    std::string_view text(*bytes);
    if (text.substr(0, 3) == "\xEF\xBB\xBF")
        start = 3; // a byte-order mark
    while (start < text.size()) {
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

std::optional<double> parseNumber(std::string text)
{
    text.erase(std::remove(text.begin(), text.end(), ','), text.end());
    if (text.empty())
        return std::nullopt;
    char* end = nullptr;
    const double v = std::strtod(text.c_str(), &end);
    if (end != text.c_str() + text.size() || !std::isfinite(v))
        return std::nullopt;
    return v;
}

// The rows of a daily CSV: ascending dates (a file written newest first is turned round),
// limited to the period.
std::vector<Row> readDaily(const std::filesystem::path& path, const ImportOptions& o, bool withExtremes, double scale)
{
    const auto lines = fileLines(path);
    if (lines.empty())
        throw ImportError(path.string() + ": 빈 파일입니다.");
    const char sep = lines[0].find('\t') != std::string::npos ? '\t' : ',';
    const auto header = split(lines[0], sep);
    std::map<std::string, std::size_t> column;
    for (std::size_t i = 0; i < header.size(); ++i) {
        const std::string h = lower(header[i]);
        const std::map<std::string, std::string> aliases = {
            {"date", "date"},  {"날짜", "date"},   {"일자", "date"},    {"open", "open"}, {"시가", "open"},
            {"high", "high"},  {"고가", "high"},   {"low", "low"},      {"저가", "low"},  {"close", "close"},
            {"종가", "close"}, {"price", "close"}, {"현재가", "close"},
        };
        if (auto a = aliases.find(h); a != aliases.end() && !column.count(a->second))
            column[a->second] = i;
    }
    if (!column.count("date") || !column.count("close"))
        throw ImportError(path.string() + ":1: 머리줄에 Date와 Close 열이 있어야 합니다.");
    auto field = [&](const std::vector<std::string>& f, const char* name) -> std::optional<std::string> {
        const auto c = column.find(name);
        if (c == column.end() || c->second >= f.size())
            return std::nullopt;
        return f[c->second];
    };
    std::vector<Row> rows;
    for (std::size_t n = 1; n < lines.size(); ++n) {
        if (fieldText(lines[n]).empty())
            continue;
        const auto f = split(lines[n], sep);
        const std::string where = path.string() + ":" + std::to_string(n + 1) + ": ";
        Row r;
        r.line = n + 1;
        const auto date = parseCsvDate(field(f, "date").value_or(""));
        if (!date)
            throw ImportError(where + "날짜를 읽을 수 없습니다 (\"" + field(f, "date").value_or("") + "\").");
        r.date = *date;
        const auto close = parseNumber(field(f, "close").value_or(""));
        if (!close || *close <= 0)
            throw ImportError(where + "종가를 읽을 수 없습니다 (\"" + field(f, "close").value_or("") + "\").");
        r.close = *close * scale;
        for (auto [name, target] : {std::pair{"open", &r.open}, {"high", &r.high}, {"low", &r.low}}) {
            if (!withExtremes && std::string(name) != "open")
                continue;
            const auto text = field(f, name);
            if (!text || text->empty())
                continue;
            const auto v = parseNumber(*text);
            if (!v || *v <= 0)
                throw ImportError(where + name + " 값을 읽을 수 없습니다 (\"" + *text + "\").");
            *target = *v * scale;
        }
        rows.push_back(r);
    }
    const bool descending = rows.size() > 1
        && std::adjacent_find(rows.begin(), rows.end(), [](const Row& a, const Row& b) { return a.date <= b.date; })
            == rows.end();
    if (descending)
        std::reverse(rows.begin(), rows.end());
    for (std::size_t i = 1; i < rows.size(); ++i) {
        const std::string where = path.string() + ":" + std::to_string(rows[i].line) + ": ";
        if (rows[i].date == rows[i - 1].date)
            throw ImportError(where + "같은 날짜가 두 번 있습니다 (" + std::to_string(rows[i].date) + ").");
        if (rows[i].date < rows[i - 1].date)
            throw ImportError(where + "날짜 순서가 맞지 않습니다 (" + std::to_string(rows[i].date) + ").");
    }
    std::erase_if(rows, [&](const Row& r) { return r.date < o.from || r.date > o.to; });
    return rows;
}

std::int32_t price(double value, const std::filesystem::path& file, std::size_t line)
{
    const std::int32_t p = value < 2e9 ? roundToTick(value) : 0;
    if (p <= 0 || p >= firstDateValue)
        throw ImportError(file.string() + ":" + std::to_string(line) + ": 가격 " + format("%.2f", value)
                          + "원은 주가 레코드에 담을 수 없습니다 (1원 이상 19,000,000원 미만).");
    return p;
}

struct Split
{
    std::int32_t date;
    double ratio;
};

std::map<std::string, std::vector<Split>> readSplits(const std::filesystem::path& path)
{
    std::map<std::string, std::vector<Split>> splits;
    const auto lines = fileLines(path);
    for (std::size_t n = 0; n < lines.size(); ++n) {
        if (fieldText(lines[n]).empty())
            continue;
        const auto f = split(lines[n], lines[n].find('\t') != std::string::npos ? '\t' : ',');
        const std::string where = path.string() + ":" + std::to_string(n + 1) + ": ";
        const auto date = f.size() >= 3 ? parseCsvDate(f[1]) : std::nullopt;
        const auto ratio = f.size() >= 3 ? parseNumber(f[2]) : std::nullopt;
        if (!date || !ratio || *ratio <= 0) {
            if (n == 0)
                continue; // a header
            throw ImportError(where + "분할 정보는 종목코드,날짜,비율이어야 합니다.");
        }
        splits[f[0]].push_back({*date, *ratio});
    }
    return splits;
}

// The records of one stock's days, and the index of the first record of each day.
struct StockRecords
{
    std::vector<std::int32_t> numbers;
    std::vector<std::pair<std::int32_t, std::size_t>> dayStarts; // date, record index
};

StockRecords stockRecords(const std::vector<Row>& rows, const std::vector<Split>& splits,
                          const std::filesystem::path& file)
{
    StockRecords out;
    std::optional<std::int32_t> previousClose;
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
        out.dayStarts.emplace_back(r.date, out.numbers.size());
        out.numbers.push_back(r.date);
        out.numbers.push_back(base);
        for (auto v : intradayPath(open, opt(r.high), opt(r.low), close))
            out.numbers.push_back(v);
        previousClose = close;
    }
    return out;
}

// The last date record of a stored price file, or nullopt when there is none.
std::optional<std::int32_t> lastStoredDate(const std::filesystem::path& file)
{
    const auto prices = PriceFile::load(file);
    if (!prices)
        return std::nullopt;
    for (std::int32_t i = prices->recordCount(); i-- > 0;)
        if (prices->value(i) >= firstDateValue)
            return prices->value(i);
    return std::nullopt;
}

std::string updateBlock(const std::string& code, const StockRecords& r, std::optional<std::int32_t> after)
{
    auto from = std::find_if(r.dayStarts.begin(), r.dayStarts.end(),
                             [&](const auto& d) { return !after || d.first > *after; });
    if (from == r.dayStarts.end())
        return {};
    return updateBlockBytes(code, from->first, std::span(r.numbers).subspan(from->second));
}

} // namespace

ImportSummary importFiles(const ImportOptions& o);

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
    std::string digits;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c >= '0' && c <= '9')
            digits.push_back(c);
        else if (!((c == '-' || c == '/') && (i == 4 || i == 7)))
            return std::nullopt;
    }
    const bool separated = text.size() == 10 && text[4] == text[7] && (text[4] == '-' || text[4] == '/');
    if (digits.size() != 8 || !(separated || text.size() == 8))
        return std::nullopt;
    const std::int32_t d = atoiText(digits);
    const int m = d / 100 % 100, day = d % 100;
    if (d < 19000101 || m < 1 || m > 12 || day < 1 || day > 31)
        return std::nullopt;
    return d;
}

ImportSummary importCsv(const ImportOptions& o)
{
    try {
        return importFiles(o);
    } catch (const std::filesystem::filesystem_error& e) {
        throw ImportError(e.what());
    }
}

ImportSummary importFiles(const ImportOptions& o)
{
    ImportSummary summary;
    if (!(o.multiplier > 0) || !std::isfinite(o.multiplier))
        throw ImportError("--multiplier는 0보다 큰 수여야 합니다.");
    if (o.from > o.to)
        throw ImportError("--from(" + std::to_string(o.from) + ")이 --to(" + std::to_string(o.to) + ")보다 늦습니다.");

    // The index.
    if (o.update && std::filesystem::exists(o.out / updateFileName))
        throw ImportError(
            (o.out / updateFileName).string()
            + ": 아직 반영되지 않은 업데이트가 있습니다. 프로그램을 한 번 시작해 반영한 뒤 다시 실행하세요.");
    auto indexRows = readDaily(o.index, o, false, 1.0);
    // An update adds the days after the last one stored; the stored ones stay as they are.
    std::string kospi;
    std::optional<double> previous;
    if (o.update) {
        if (const auto stored = IndexFile::load(o.out / "kospi.lst"); stored && !stored->records().empty()) {
            kospi = *readWholeFile(o.out / "kospi.lst");
            kospi.resize(stored->records().size() * indexRecordSize + crLfCount(kospi, stored->records().size()));
            const IndexRecord& last = stored->records().back();
            std::erase_if(indexRows, [&](const Row& r) { return r.date <= last.date; });
            previous = indexPoints(last.dayValue);
        }
    }
    for (const Row& r : indexRows) {
        const double start = r.open.value_or(previous.value_or(r.close));
        const auto hundredths = [&](double v) {
            const auto h = static_cast<std::int64_t>(std::llround(v * 100));
            if (h <= 0 || h > 999999)
                throw ImportError(o.index.string() + ":" + std::to_string(r.line)
                                  + ": 지수는 0.01 이상 9999.99 이하여야 합니다.");
            return static_cast<std::int32_t>(h);
        };
        kospi += indexRecordBytes(r.date, hundredths(start), hundredths(r.close));
        previous = r.close;
    }
    summary.indexDays = static_cast<int>(indexRows.size());
    if (indexRows.empty() && !o.update)
        throw ImportError(o.index.string() + ": 가져올 지수 자료가 없습니다 (기간 " + std::to_string(o.from) + "~"
                          + std::to_string(o.to) + ").");

    // The names, in file order.
    std::vector<std::pair<std::string, std::string>> names; // code, CP949 name
    const auto nameLines = fileLines(o.names);
    for (std::size_t n = 0; n < nameLines.size(); ++n) {
        if (fieldText(nameLines[n]).empty())
            continue;
        const auto f = split(nameLines[n], nameLines[n].find('\t') != std::string::npos ? '\t' : ',');
        const std::string where = o.names.string() + ":" + std::to_string(n + 1) + ": ";
        if (!isStockCode(f[0])) {
            if (n == 0)
                continue; // a header
            throw ImportError(where + "종목코드는 여섯 자리여야 합니다 (\"" + f[0] + "\").");
        }
        std::string name;
        try {
            name = toCp949(f.size() > 1 ? f[1] : "");
        } catch (const Cp949Error&) {
            throw ImportError(where + "종목명에 CP949로 쓸 수 없는 문자가 있습니다.");
        }
        if (name.size() > stockNameSize)
            summary.notes.push_back(f[0] + ": 종목명이 20바이트를 넘어 \""
                                    + fromCp949Lossy(cutBytes(name, stockNameSize)) + "\"로 줄였습니다.");
        names.emplace_back(f[0], std::string(cutBytes(name, stockNameSize)));
    }

    // The price files; a stock with no day in the period is left out.
    const auto splits = o.splits ? readSplits(*o.splits) : std::map<std::string, std::vector<Split>>{};
    std::map<std::string, StockRecords> stocks;
    if (!std::filesystem::is_directory(o.prices))
        throw ImportError(o.prices.string() + ": 폴더가 아닙니다.");
    for (const auto& e : std::filesystem::directory_iterator(o.prices)) {
        if (e.path().extension() != ".csv")
            continue;
        const std::string code = e.path().stem().string();
        if (!isStockCode(code))
            throw ImportError(e.path().string() + ": 파일 이름은 여섯 자리 종목코드여야 합니다.");
        const auto rows = readDaily(e.path(), o, true, o.multiplier);
        if (rows.empty()) {
            summary.notes.push_back(code + ": 기간 안에 자료가 없어 가져오지 않았습니다.");
            continue;
        }
        const auto s = splits.find(code);
        stocks[code] = stockRecords(rows, s == splits.end() ? std::vector<Split>{} : s->second, e.path());
    }
    if (stocks.empty())
        throw ImportError(o.prices.string()
                          + ": 가져올 주가 자료가 없습니다 (기간 안에 자료가 있는 <종목코드>.csv 파일이 "
                            "없습니다).");

    // code.lst: the stocks in the names' order, then those without a name. An update keeps the
    // stored list and adds the stocks it does not hold yet.
    std::vector<std::string> stored;
    std::string codes;
    if (o.update) {
        if (auto list = loadCodeList(o.out / "code.lst")) {
            codes = *readWholeFile(o.out / "code.lst");
            codes.resize(list->size() * codeRecordSize + crLfCount(codes, list->size()));
            for (const auto& entry : *list)
                stored.emplace_back(entryCode(entry));
        }
    }
    const auto isStored
        = [&](const std::string& code) { return std::find(stored.begin(), stored.end(), code) != stored.end(); };
    for (const auto& [code, name] : names)
        if (stocks.count(code) && !isStored(code))
            codes += codeRecordBytes(code, name);
    for (const auto& stock : stocks) {
        const std::string& code = stock.first;
        if (isStored(code))
            continue;
        if (std::none_of(names.begin(), names.end(), [&](const auto& n) { return n.first == code; })) {
            codes += codeRecordBytes(code, code);
            summary.notes.push_back(code + ": 종목명이 없어 종목코드를 이름으로 씁니다.");
        }
    }

    // Everything is staged first and put in place together, or not at all.
    const auto lock = FolderLock::tryAcquire(o.out);
    if (!lock)
        throw ImportError(o.out.string() + ": " + folderBusyMessage);
    FileTransaction::recover(o.out, std::string(importTag));
    FileTransaction commit(o.out, std::string(importTag));
    const auto stage = [&](const std::filesystem::path& name, const std::string& bytes) {
        std::error_code ec;
        std::filesystem::create_directories((o.out / name).parent_path(), ec);
        if (!commit.stage(name, bytes))
            throw ImportError((o.out / name).string()
                              + ": 쓸 수 없습니다. 폴더의 쓰기 권한과 남은 디스크 공간을 확인하세요.");
    };
    stage("kospi.lst", kospi);
    stage("code.lst", codes);
    std::string update;
    std::int64_t newDays = 0;
    for (const auto& [code, records] : stocks) {
        summary.priceRecords += static_cast<std::int64_t>(records.numbers.size());
        if (o.update) {
            const std::string block = updateBlock(code, records, lastStoredDate(priceFilePath(o.out, code)));
            newDays += block.empty() ? 0 : 1;
            update += block;
            continue;
        }
        std::string bytes;
        for (auto n : records.numbers)
            bytes += priceRecordBytes(n);
        stage(priceFilePath({}, code), bytes);
    }
    if (o.update) {
        if (newDays == 0 && indexRows.empty())
            throw ImportError(o.out.string() + ": 저장된 자료 뒤에 더할 새 자료가 없습니다.");
        stage(std::string(updateFileName), update);
    }
    if (!commit.checkTargets() || !commit.commit())
        throw ImportError(o.out.string()
                          + ": 가져온 파일을 제자리에 둘 수 없어 아무것도 바꾸지 않았습니다. 폴더의 쓰기 권한과 "
                            "같은 이름의 폴더가 있는지 확인하세요.");
    summary.stocks = static_cast<int>(stocks.size());
    return summary;
}

} // namespace kestrelan
