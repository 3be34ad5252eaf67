#include "tools/ShowCommand.h"

#include "formats/ResultCsv.h"
#include "formats/ResultSet.h"
#include "formats/StatsCsv.h"
#include "platform/core/Cp949.h"
#include "platform/core/Folders.h"
#include "platform/core/Format.h"
#include "platform/core/Text.h"
#include "platform/core/TextFile.h"
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

std::string table(const ListTable& t)
{
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
    std::string out = "단위: 천원, %\n\n";
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
    if (!results.empty())
        shown.period = std::string(results.front().startDate) + " ~ " + std::string(results.back().endDate);
    if (kind == ResultKind::FundSeries) {
        shown.tables.push_back(ShownTable{"펀드별 결과 (단위: 천원, %)", tables.mainList});
        if (!statistics.table.rows.empty())
            shown.tables.push_back(ShownTable{"통계요약", statistics.table});
    } else {
        shown.tables.push_back(ShownTable{"펀드 합계 (단위: 천원, %)", tables.summaryList});
        shown.tables.push_back(ShownTable{"종목별 결과 (단위: 천원, %)", tables.mainList});
        if (!statistics.table.rows.empty())
            shown.tables.push_back(ShownTable{"위험 지표", statistics.table});
    }
    return shown;
}

std::string showText(const ShownResults& r)
{
    std::string out;
    if (!r.period.empty())
        out += "기간: " + r.period + "\n";
    for (const auto& s : r.settings)
        out += settingLabel(s.name) + ": " + settingValueText(s.name, s.value) + "\n";
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

std::string jsonString(const std::string& text)
{
    std::string out = "\"";
    for (const unsigned char c : text) {
        if (c == '"' || c == '\\')
            out += std::string("\\") + static_cast<char>(c);
        else if (c < 0x20)
            out += format("\\u%04x", c);
        else
            out += static_cast<char>(c);
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
    std::string out = csvLine({"setting", "value"});
    out += csvLine({"period", r.period});
    for (const auto& s : r.settings)
        out += csvLine({s.name, s.value});
    for (const auto& t : r.tables) {
        out += "\n" + csvLine({t.title}) + csvLine(headings(t.table));
        for (const auto& row : t.table.rows)
            out += csvLine(row);
    }
    return out;
}

std::string showJson(const ShownResults& r)
{
    const auto cells = [](const std::vector<std::string>& row) {
        return jsonList(row, [](const std::string& c) { return jsonString(std::string(trim(c, " "))); });
    };
    std::string out = "{\"period\":" + jsonString(r.period) + ",\"settings\":{";
    for (std::size_t i = 0; i < r.settings.size(); ++i)
        out += (i ? "," : "") + jsonString(r.settings[i].name) + ":" + jsonString(r.settings[i].value);
    out += "},\"tables\":" + jsonList(r.tables, [&](const ShownTable& t) {
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
        {{"--format", "text|csv|json", "출력 형식 (기본값 text, 모두 UTF-8)"}},
        "",
    };
}

int showCommand(const OptionValues& values, std::ostream& out, std::ostream& err)
{
    const std::string format = values.text("--format").value_or("text");
    if (format != "text" && format != "csv" && format != "json")
        throw values.error("--format", "text, csv, json 중 하나를 입력하십시오 (" + format + ")");
    const auto dir = workingFolder();
    if (!std::filesystem::exists(dir / resultCsvFile)) {
        err << "result.csv가 없습니다. 먼저 kestrelan-cli run으로 시뮬레이션을 실행하세요.\n";
        return exitFailed;
    }
    StderrMessages messages;
    const ShownResults shown = shownResults(dir, messages);
    out << (format == "json" ? showJson(shown) : format == "csv" ? showCsv(shown) : showText(shown));
    return exitDone;
}

} // namespace kestrelan
