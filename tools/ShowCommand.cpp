#include "tools/ShowCommand.h"

#include "formats/DividendsCsv.h"
#include "formats/ResultCsv.h"
#include "formats/ResultSet.h"
#include "formats/RunHistory.h"
#include "formats/Settings.h"
#include "formats/StatsCsv.h"
#include "platform/core/Cp949.h"
#include "platform/core/FolderLock.h"
#include "platform/core/Folders.h"
#include "platform/core/Format.h"
#include "platform/core/Text.h"
#include "platform/core/TextFile.h"
#include "results/core/PastRuns.h"
#include "results/core/SeriesSummary.h"
#include "tools/CommandLine.h"
#include "tools/Terminal.h"

#include <algorithm>
#include <cstdio>

namespace kestrelan {

namespace {

// Terminal columns of a text: a Hangul syllable takes two, as it takes two bytes in CP949.
std::size_t columns(const std::string& utf8)
{
    try {
        return toCp949(utf8).size();
    } catch (const Cp949Error&) {
        return utf8.size();
    }
}

std::string table(const ListTable& t);

} // namespace

std::string textTable(const ListTable& t) { return table(t); }

namespace {

// A cell as the terminal may show it: control characters (a name as code.lst holds it may carry
// them) become "?".
std::string printable(const std::string& cell)
{
    std::string out = cell;
    for (char& c : out)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            c = '?';
    return out;
}

std::string table(const ListTable& input)
{
    ListTable t = input;
    for (auto& row : t.rows)
        for (auto& cell : row)
            cell = printable(cell);
    std::vector<std::size_t> width(t.columns.size(), 0);
    for (std::size_t c = 0; c < t.columns.size(); ++c) {
        width[c] = columns(t.columns[c].heading);
        for (const auto& row : t.rows)
            if (c < row.size())
                width[c] = std::max(width[c], columns(row[c]));
    }
    auto line = [&](const std::vector<std::string>& cells) {
        std::string out;
        for (std::size_t c = 0; c < width.size(); ++c) {
            const std::string cell = c < cells.size() ? cells[c] : std::string();
            const std::string pad(width[c] - std::min(width[c], columns(cell)), ' ');
            out += c == 0 ? cell + pad : "  " + pad + cell;
        }
        return std::string(trimRight(out, " ")) + "\n";
    };
    std::vector<std::string> headings;
    for (const auto& c : t.columns)
        headings.push_back(c.heading);
    std::string out = line(headings);
    for (const auto& row : t.rows)
        out += line(row);
    return out;
}

} // namespace

std::string showTables(ResultKind kind, const SummaryTables& tables)
{
    std::string out = std::string(tableUnits) + "\n\n";
    if (kind == ResultKind::FundSeries)
        return out + table(tables.mainList);
    return out + table(tables.summaryList) + "\n" + table(tables.mainList);
}

ShownResults shownResults(const std::filesystem::path& dir, IMessageSink& messages)
{
    ShownResults shown;
    const ResultKind kind = classifyResult(dir);
    const SummaryTables tables = fillSummaryTables(kind, dir, messages);
    const std::string resultBytes = readWholeFile(dir / resultCsvFile).value_or(std::string());
    const auto results = readResultCsv(resultBytes);
    const Statistics statistics = loadStatistics(kind, dir);
    shown.settings = readSettingsCsv(readWholeFile(dir / settingsCsvFile).value_or(std::string()));
    if (!results.empty()) {
        shown.start = std::string(results.front().startDate);
        shown.end = std::string(results.back().endDate.substr(0, 10));
    }
    shown.series = kind == ResultKind::FundSeries;
    if (shown.series)
        shown.summary = loadSeriesSummary(dir);
    readLines(readWholeFile(dir / statsCsvFile).value_or(std::string()), [&](const FieldLine& line) {
        if (!line.complete)
            return false;
        std::vector<std::string> fields(line.fields.begin(), line.fields.end());
        if (line.number == 0)
            shown.fundColumns = std::move(fields);
        else
            shown.funds.push_back(std::move(fields));
        return true;
    });
    if (kind == ResultKind::FundSeries) {
        shown.tables.push_back(ShownTable{"펀드별 결과 (" + std::string(tableUnits) + ")", tables.mainList});
        if (!statistics.table.rows.empty())
            shown.tables.push_back(ShownTable{seriesSummaryTitle, statistics.table});
    } else {
        shown.tables.push_back(ShownTable{"펀드 합계 (" + std::string(tableUnits) + ")", tables.summaryList});
        shown.tables.push_back(ShownTable{"종목별 결과 (" + std::string(tableUnits) + ")", tables.mainList});
        if (!statistics.table.rows.empty())
            shown.tables.push_back(ShownTable{riskTableTitle, statistics.table});
        if (!statistics.monthly.rows.empty())
            shown.tables.push_back(ShownTable{monthlyTableTitle, statistics.monthly});
    }
    return shown;
}

std::string showText(const ShownResults& r)
{
    std::string out;
    if (!r.start.empty())
        out += "기간: " + r.start + " ~ " + r.end + "\n";
    for (const auto& s : r.settings)
        out += settingLabel(s.name) + ": " + settingValueText(s.name, s.value) + "\n";
    if (std::any_of(r.settings.begin(), r.settings.end(),
                    [](const SettingLine& s) { return s.name == "dividends" && s.value == "on"; }))
        out += std::string(priceIndexNote) + "\n";
    for (const auto& t : r.tables)
        out += "\n" + t.title + "\n" + table(t.table);
    return out;
}

namespace {

std::string csvField(const std::string& text)
{
    if (text.find_first_of(",\"\n\r") == std::string::npos)
        return text;
    std::string quoted = "\"";
    for (char c : text)
        quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
    return quoted + "\"";
}

std::string csvLine(const std::vector<std::string>& cells)
{
    std::string line;
    for (std::size_t i = 0; i < cells.size(); ++i)
        line += (i ? "," : "") + csvField(std::string(trim(cells[i], " ")));
    return line + "\n";
}

// The length of the UTF-8 sequence at `i`, or 0 where the bytes are none (a stored name may hold
// anything).
std::size_t utf8Length(const std::string& s, std::size_t i)
{
    const auto c = static_cast<unsigned char>(s[i]);
    const std::size_t n = c < 0x80 ? 1
        : c >= 0xC2 && c <= 0xDF   ? 2
        : c >= 0xE0 && c <= 0xEF   ? 3
        : c >= 0xF0 && c <= 0xF4   ? 4
                                   : 0;
    if (n == 0 || i + n > s.size())
        return 0;
    for (std::size_t k = 1; k < n; ++k)
        if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80)
            return 0;
    const auto second = static_cast<unsigned char>(s[i + 1 < s.size() ? i + 1 : i]);
    // No overlong forms, no surrogates, nothing beyond U+10FFFF.
    if ((c == 0xE0 && second < 0xA0) || (c == 0xED && second > 0x9F) || (c == 0xF0 && second < 0x90)
        || (c == 0xF4 && second > 0x8F))
        return 0;
    return n;
}

// A JSON string of valid UTF-8: a byte that begins no character becomes U+FFFD.
std::string jsonString(const std::string& text)
{
    std::string out = "\"";
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        const std::size_t n = utf8Length(text, i);
        if (n == 0) {
            out += "\\ufffd";
            ++i;
            continue;
        }
        if (c == '"' || c == '\\')
            out += std::string("\\") + static_cast<char>(c);
        else if (c < 0x20 || c == 0x7f)
            out += format("\\u%04x", c);
        else
            out.append(text, i, n);
        i += n;
    }
    return out + "\"";
}

template <class Items, class Item>
std::string jsonList(const Items& items, Item item)
{
    std::string out = "[";
    for (std::size_t i = 0; i < items.size(); ++i)
        out += (i ? "," : "") + item(items[i]);
    return out + "]";
}

std::vector<std::string> headings(const ListTable& t)
{
    std::vector<std::string> h;
    for (const auto& c : t.columns)
        h.push_back(c.heading);
    return h;
}

} // namespace

std::string showCsv(const ShownResults& r)
{
    std::string out = csvLine(r.fundColumns);
    for (const auto& fund : r.funds)
        out += csvLine(fund);
    return out;
}

namespace {

// A field as JSON: a number as the file writes it, a date or a word as a string, nothing as null.
bool isJsonNumber(std::string_view t)
{
    std::size_t i = t.starts_with('-') ? 1 : 0;
    const auto digits = [&] {
        const std::size_t from = i;
        while (i < t.size() && t[i] >= '0' && t[i] <= '9')
            ++i;
        return i > from;
    };
    if (!digits())
        return false;
    if (i < t.size() && t[i] == '.') {
        ++i;
        if (!digits())
            return false;
    }
    return i == t.size();
}

std::string jsonValue(const std::string& field)
{
    if (field.empty())
        return "null";
    if (field == "on" || field == "off")
        return field == "on" ? "true" : "false";
    return isJsonNumber(field) ? field : jsonString(field);
}

std::string jsonObject(const std::vector<std::string>& names, const std::vector<std::string>& fields)
{
    std::string out = "{";
    for (std::size_t i = 0; i < names.size(); ++i)
        out += (i ? "," : "") + jsonString(names[i]) + ":" + jsonValue(i < fields.size() ? fields[i] : std::string());
    return out + "}";
}

} // namespace

std::string showJson(const ShownResults& r)
{
    const auto cells = [](const std::vector<std::string>& row) {
        return jsonList(row, [](const std::string& c) { return jsonString(std::string(trim(c, " "))); });
    };
    std::string out = "{\"kind\":" + jsonString(r.series ? "series" : "single");
    out += ",\"period\":{\"start\":" + jsonValue(r.start) + ",\"end\":" + jsonValue(r.end) + "}";
    std::vector<std::string> names, values;
    for (const auto& s : r.settings) {
        names.push_back(s.name);
        values.push_back(s.value);
    }
    out += ",\"settings\":" + jsonObject(names, values);
    out += ",\"summary\":"
        + (r.summary ? jsonObject(summaryColumnNames(), summaryFields(r.summary)) : std::string("null"));
    out += ",\"funds\":"
        + jsonList(r.funds, [&](const std::vector<std::string>& f) { return jsonObject(r.fundColumns, f); });
    out += ",\"tables\":" + jsonList(r.tables, [&](const ShownTable& t) {
               return "{\"title\":" + jsonString(t.title) + ",\"columns\":" + cells(headings(t.table))
                   + ",\"rows\":" + jsonList(t.table.rows, cells) + "}";
           });
    return out + "}\n";
}

CommandSpec showCommandSpec()
{
    return {
        "show",
        "현재 폴더의 결과를 결과 창의 표처럼 보입니다 (기간, 설정, 통계요약 또는 위험 지표와 함께)",
        {{"--format", "text|csv|json",
          "출력 형식 (기본값 text; csv: 펀드마다 stats.csv의 열, json: 설정·요약·펀드를 숫자와 ISO 날짜로; 모두 "
          "UTF-8)"},
         {"--run", "N", "history/에 남은 N번 실행의 결과 (번호는 kestrelan-cli history가 보입니다)"}},
        "",
    };
}

CommandSpec historyCommandSpec()
{
    return {
        "history",
        "history/에 남은 실행을 보입니다: 번호, 끝난 날짜와 시각, 단일 펀드 또는 수익률 통계, 종목, 기간, 주요 "
        "수치 (kestrelan-cli show --run N으로 한 실행을 봅니다)",
        {},
        "",
    };
}

namespace {

// The result files (and history/, which a run writes in the same commit) are read together
// while no run writes them; a busy folder is said on `err`.
std::optional<FolderLock> holdResultsToRead(const std::filesystem::path& workDir, std::ostream& err)
{
    recoverResults(workDir);
    auto reading = FolderLock::acquire(workDir, 0, LockMode::Shared);
    if (!reading)
        err << folderBusyMessage << '\n';
    return reading;
}

} // namespace

int showCommand(const OptionValues& values, std::ostream& out, std::ostream& err)
{
    const std::string format = values.text("--format").value_or("text");
    if (format != "text" && format != "csv" && format != "json")
        throw values.error("--format", "text, csv, json 중 하나를 입력하십시오 (" + format + ")");
    const auto run = values.integer("--run", 1, 999999999);
    const auto workDir = workingFolder();
    const auto reading = holdResultsToRead(workDir, err);
    if (!reading)
        return exitFailed;
    std::filesystem::path dir = workDir;
    if (run) {
        const auto past = pastRun(workDir, static_cast<int>(*run));
        if (!past) {
            err << *run << "번 실행이 history/에 없습니다. kestrelan-cli history로 남은 실행을 보십시오.\n";
            return exitFailed;
        }
        dir = past->folder;
    } else if (std::error_code ec; !std::filesystem::exists(dir / resultCsvFile, ec)) {
        err << resultCsvFile << "가 없습니다. 먼저 kestrelan-cli run으로 시뮬레이션을 실행하세요.\n";
        return exitFailed;
    }
    if (!readWholeFile(dir / resultCsvFile)) {
        err << resultCsvFile << "를 읽을 수 없습니다. 파일의 읽기 권한을 확인하세요.\n";
        return exitFailed;
    }
    StderrMessages messages;
    const ShownResults shown = shownResults(dir, messages);
    out << (format == "json" ? showJson(shown) : format == "csv" ? showCsv(shown) : showText(shown));
    // What a damaged line let through is shown as far as it goes, and the status says it.
    if (const auto damaged = findDamagedLine(classifyResult(dir), dir)) {
        err << damagedLineMessage(*damaged) << '\n';
        return exitFailed;
    }
    return exitDone;
}

int historyCommand(const OptionValues&, std::ostream& out, std::ostream& err)
{
    const auto workDir = workingFolder();
    const auto reading = holdResultsToRead(workDir, err);
    if (!reading)
        return exitFailed;
    const auto runs = pastRuns(workDir);
    if (runs.empty()) {
        err << "history/에 남은 실행이 없습니다. kestrelan-cli run이나 설정 창의 실행이 끝날 때마다 남습니다.\n";
        return exitFailed;
    }
    out << "수익률, KOSPI: 단일 펀드는 기간 끝의 수익률, 수익률 통계는 펀드 수익률의 중앙값 (%)\n\n"
        << table(pastRunTable(runs));
    return exitDone;
}

} // namespace kestrelan
