#include "tools/workbook/WorkbookBuilder.h"

#include "formats/DateText.h"
#include "formats/DividendsCsv.h"
#include "formats/ResultSet.h"
#include "formats/Settings.h"
#include "formats/SettingsCsv.h"
#include "formats/StatsCsv.h"
#include "platform/core/Format.h"
#include "results/core/MonthlyReturns.h"
#include "results/core/SeriesSummary.h"
#include "results/core/SweepCsv.h"
#include "results/core/SweepRanks.h"

#include "formats/GenCsv.h"
#include "formats/ResultCsv.h"
#include "formats/TradeCsv.h"
#include "platform/core/Cp949.h"
#include "platform/core/Text.h"
#include "platform/core/TextFile.h"
#include "results/core/StockTotals.h"
#include "results/core/SummaryTables.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <set>
#include <stdexcept>
#include <unistd.h>
#include <vector>
#include <xlsxwriter.h>

namespace kestrelan {

namespace {

// What the user is told of an error of the workbook library: Korean, with its number.
std::string libraryError(const char* what, lxw_error e)
{
    return std::string(what) + " (libxlsxwriter 오류 " + std::to_string(static_cast<int>(e))
        + "). 폴더의 쓰기 권한과 남은 디스크 공간을 확인하세요.";
}

// A result file's bytes; empty when it cannot be read.
std::string fileBytes(const std::filesystem::path& path) { return readWholeFile(path).value_or(std::string()); }

// Rows of whole lines: a cut last line is left out, and so is a line short of `last`.
template <class Row, class Column>
std::vector<Row> wholeRows(std::vector<Row> rows, Column last)
{
    std::erase_if(rows, [&](const Row& r) { return !r.extent.complete || !r.has(last); });
    return rows;
}

// A text of the files (CP949) as a cell shows it: UTF-8, without the blanks the name field pads with.
std::string text(std::string_view cp949) { return std::string(trimRight(fromCp949Lossy(cp949), " ")); }

std::optional<lxw_datetime> date(std::string_view text)
{
    const std::string t(text);
    int y = 0, m = 0, d = 0;
    if (std::sscanf(t.c_str(), "%d-%d-%d", &y, &m, &d) != 3 || y < 1900 || m < 1 || m > 12 || d < 1 || d > 31)
        return std::nullopt;
    return lxw_datetime{y, m, d, 0, 0, 0};
}

// A sheet being written row by row.
class Sheet
{
public:
    Sheet(lxw_worksheet* sheet, lxw_format* bold)
        : sheet(sheet)
        , bold(bold)
    {
    }
    void headings(int row, const std::vector<const char*>& titles)
    {
        for (std::size_t c = 0; c < titles.size(); ++c)
            check(
                worksheet_write_string(sheet, static_cast<lxw_row_t>(row), static_cast<lxw_col_t>(c), titles[c], bold));
    }
    void columnHeadings(int row, const std::vector<Column>& columns)
    {
        for (std::size_t c = 0; c < columns.size(); ++c)
            string(row, static_cast<int>(c), columns[c].heading, bold);
    }
    void string(int row, int col, const std::string& s, lxw_format* f = nullptr)
    {
        check(worksheet_write_string(sheet, static_cast<lxw_row_t>(row), static_cast<lxw_col_t>(col), s.c_str(), f));
    }
    void value(int row, int col, double v, lxw_format* f = nullptr)
    {
        check(worksheet_write_number(sheet, static_cast<lxw_row_t>(row), static_cast<lxw_col_t>(col), v, f));
    }
    void day(int row, int col, std::string_view t, lxw_format* dateFormat)
    {
        if (auto d = date(t))
            check(worksheet_write_datetime(sheet, static_cast<lxw_row_t>(row), static_cast<lxw_col_t>(col), &*d,
                                           dateFormat));
        else
            string(row, col, std::string(t));
    }
    void widths(const std::vector<double>& w)
    {
        for (std::size_t c = 0; c < w.size(); ++c)
            worksheet_set_column(sheet, static_cast<lxw_col_t>(c), static_cast<lxw_col_t>(c), w[c], nullptr);
    }
    lxw_worksheet* raw() const { return sheet; }

private:
    static void check(lxw_error e)
    {
        if (e != LXW_NO_ERROR)
            throw std::runtime_error(libraryError("엑셀 파일에 내용을 쓸 수 없습니다", e));
    }
    lxw_worksheet* sheet;
    lxw_format* bold;
};

struct Formats
{
    lxw_format* bold;
    lxw_format* thousands; // thousands of won
    lxw_format* won;
    lxw_format* percent;
    lxw_format* day;
};

Formats makeFormats(lxw_workbook* book)
{
    Formats f{};
    f.bold = workbook_add_format(book);
    format_set_bold(f.bold);
    f.thousands = workbook_add_format(book);
    format_set_num_format(f.thousands, "#,##0");
    f.won = workbook_add_format(book);
    format_set_num_format(f.won, "#,##0");
    f.percent = workbook_add_format(book);
    format_set_num_format(f.percent, "0.0%");
    f.day = workbook_add_format(book);
    format_set_num_format(f.day, "yyyy-mm-dd");
    return f;
}

// The summary sheet with its title, the export's name and the portfolio's stock count.
Sheet summarySheet(lxw_workbook* book, const Formats& f, const Handoff& h, const char* title)
{
    Sheet summary(workbook_add_worksheet(book, "요약"), f.bold);
    summary.string(0, 0, title, f.bold);
    summary.string(1, 0, "이름");
    summary.string(1, 1, h.name);
    summary.string(2, 0, "종목수(포트폴리오)");
    summary.value(2, 1, h.stockCount);
    return summary;
}

void lineSeries(lxw_chart* chart, const char* sheet, int col, int rows, const char* name)
{
    lxw_chart_series* s = chart_add_series(chart, nullptr, nullptr);
    chart_series_set_categories(s, sheet, 1, 0, static_cast<lxw_row_t>(rows), 0);
    chart_series_set_values(s, sheet, 1, static_cast<lxw_col_t>(col), static_cast<lxw_row_t>(rows),
                            static_cast<lxw_col_t>(col));
    chart_series_set_name(s, name);
}

// The summary of a fund series from `row` down, as every display shows it (summaryRows): the
// headings of the subjects, then a row a figure.
void seriesSummaryRows(Sheet& sheet, const Formats& f, const SeriesSummary& s, int row)
{
    const bool hold = s.hold.has_value();
    const SummaryFieldTexts fields(s);
    const auto subjects = summarySubjects(hold);
    sheet.string(row, 0, "", f.bold);
    for (std::size_t c = 0; c < subjects.size(); ++c)
        sheet.string(row, static_cast<int>(c + 1), std::string(subjectHeading(subjects[c], hold)), f.bold);
    ++row;
    for (const SummaryRow& r : summaryRows()) {
        if (r.holdOnly && !hold)
            continue;
        sheet.string(row, 0, r.labelFor(hold));
        for (std::size_t c = 0; c < subjects.size(); ++c) {
            const std::string* column = r.column(subjects[c]);
            const std::string& field = column ? fields[*column] : std::string();
            const int col = static_cast<int>(c + 1);
            if (field.empty())
                continue;
            if (r.kind == FigureKind::Date)
                sheet.string(row, col, field);
            else if (r.kind == FigureKind::Percent)
                sheet.value(row, col, fieldNumber(field) / 100, f.percent);
            else
                sheet.value(row, col, fieldNumber(field));
        }
        ++row;
    }
}

// A single fund's risk figures beside the index's, as every display shows them (riskRows).
void riskSheet(lxw_workbook* book, const Formats& f, const StatsCsvRow& r)
{
    Sheet sheet(workbook_add_worksheet(book, riskTableTitle), f.bold);
    sheet.headings(0, {"", "펀드", "KOSPI"});
    int row = 1;
    std::string yearly;
    for (const RiskRow& risk : riskRows()) {
        sheet.string(row, 0, risk.label);
        int col = 1;
        for (const bool fund : {true, false}) {
            if (const std::optional<double> v = riskValue(risk, r, fund)) {
                if (risk.kind == RiskKind::Percent)
                    sheet.value(row, col, *v / 100, f.percent);
                else if (risk.kind == RiskKind::Date)
                    sheet.day(row, col, dateText(static_cast<std::int32_t>(*v)), f.day);
                else if (risk.kind == RiskKind::Won)
                    sheet.value(row, col, *v, f.won);
                else
                    sheet.value(row, col, *v);
            }
            ++col;
        }
        if (risk.yearly)
            yearly += (yearly.empty() ? "" : ", ") + std::string(risk.label);
        ++row;
    }
    if (r.fund.days > 0 && r.fund.days < shortPeriodDays)
        sheet.string(row + 1, 0,
                     format("%s는 %d일뿐인 값을 1년으로 늘린 것입니다 (%d일 미만).", yearly.c_str(), r.fund.days,
                            shortPeriodDays));
    sheet.widths({18, 14, 14});
}

// A single fund's months and the index's, a row each a year, as the results window shows them.
void monthlySheet(lxw_workbook* book, const Formats& f, const std::filesystem::path& dir)
{
    const std::string bytes = fileBytes(dir / resultCsvFile); // the rows' texts view into it
    auto results = readResultCsv(bytes);
    std::erase_if(results, [](const ResultCsvRow& r) { return !r.extent.complete; });
    const auto years = monthlyReturns(results);
    Sheet sheet(workbook_add_worksheet(book, "월별 수익률"), f.bold);
    const ListTable table = monthlyTable(years);
    sheet.columnHeadings(0, table.columns);
    int row = 1;
    for (const MonthlyYear& y : years) {
        for (const bool fund : {true, false}) {
            sheet.string(row, 0, table.rows[static_cast<std::size_t>(row - 1)][0]);
            const auto& months = fund ? y.fund : y.index;
            for (std::size_t m = 0; m < months.size(); ++m)
                if (months[m])
                    sheet.value(row, static_cast<int>(m) + 1, *months[m] / 100, f.percent);
            if (const auto& whole = fund ? y.fundYear : y.indexYear)
                sheet.value(row, 13, *whole / 100, f.percent);
            ++row;
        }
    }
    std::vector<double> widths(14, 8);
    widths[0] = 12;
    sheet.widths(widths);
}

void chooseAndJudge(lxw_workbook* book, const Formats& f, const SweepFile& file, const SweepLayout& layout);

// sweep.csv as a table with the settings that make its sweep, and two of its settings against
// each other with a figure in each cell, coloured by the spreadsheet's own scale: the best value
// over the other settings. A sweep.csv that cannot be read gives a sheet that says so.
void sweepSheets(lxw_workbook* book, const Formats& f, const std::string& bytes, const SweepChoice& choice)
{
    Sheet all(workbook_add_worksheet(book, "조합"), f.bold);
    const SweepCsvRead read = readSweepCsv(bytes);
    if (!read.file) {
        all.string(0, 0, format("sweep.csv의 %zu번째 줄을 읽을 수 없어 조합을 싣지 않았습니다: %s", read.badLine,
                                read.problem.c_str()));
        return;
    }
    std::vector<std::string> names;
    std::vector<std::vector<std::string>> rows;
    const SweepLayout layout = sweepLayout(read.file->identity);
    std::string table = sweepCsvHeader(layout);
    for (const auto& line : read.file->lines)
        table += sweepCsvLine(line, layout);
    readLines(table, [&](const FieldLine& line) {
        std::vector<std::string> fields(line.fields.begin(), line.fields.end());
        if (line.number == 0)
            names = fields;
        else
            rows.push_back(fields);
        return true;
    });
    const auto column = [&](const std::string& name) -> std::optional<std::size_t> {
        const auto it = std::find(names.begin(), names.end(), name);
        return it == names.end() ? std::nullopt : std::optional<std::size_t>(it - names.begin());
    };
    for (std::size_t c = 0; c < names.size(); ++c)
        all.string(0, static_cast<int>(c), names[c], f.bold);
    for (std::size_t r = 0; r < rows.size(); ++r)
        for (std::size_t c = 0; c < rows[r].size(); ++c) {
            const std::string& cell = rows[r][c];
            if (cell.empty())
                continue;
            if (cell.size() == 10 && cell[4] == '-')
                all.string(static_cast<int>(r + 1), static_cast<int>(c), cell);
            else
                all.value(static_cast<int>(r + 1), static_cast<int>(c), fieldNumber(cell));
        }
    worksheet_freeze_panes(all.raw(), 1, 1);

    Sheet about(workbook_add_worksheet(book, "조합 설정"), f.bold);
    about.headings(0, {"설정", "값"});
    int line = 1;
    const SweepIdentity& id = read.file->identity;
    for (const auto& s : id.settings) {
        about.string(line, 0, s.name);
        about.string(line++, 1, s.value);
    }
    about.string(line, 0, "combinations");
    about.value(line++, 1, static_cast<double>(id.combinations));
    std::string parts;
    for (const auto k : id.shards.parts)
        parts += (parts.empty() ? "" : ",") + std::to_string(k);
    about.string(line, 0, "shard");
    about.string(line, 1, parts + "/" + std::to_string(id.shards.of));
    about.widths({18, 40});

    // The two settings: the chosen ones, else the first two that take more than one value.
    std::vector<std::string> varied;
    for (const SettingSpec* s : sweepSettings)
        if (const auto c = column(std::string(s->key))) {
            std::set<std::string> values;
            for (const auto& r : rows)
                values.insert(*c < r.size() ? r[*c] : std::string());
            if (values.size() > 1)
                varied.emplace_back(s->key);
        }
    const std::string xName = !choice.x.empty() ? choice.x : varied.size() > 0 ? varied[0] : std::string(sweepSettings[0]->key);
    const std::string yName = !choice.y.empty() ? choice.y : varied.size() > 1 ? varied[1] : std::string(sweepSettings[1]->key);
    const auto x = column(xName), y = column(yName), figure = column(choice.figure);
    if (!x || !y || !figure)
        throw std::runtime_error("sweep.csv에 " + (!x ? xName : !y ? yName : choice.figure) + " 열이 없습니다.");
    const bool lowerIsBetter = choice.figure.find("drawdown") != std::string::npos;
    std::map<double, std::map<double, double>> cells; // y -> x -> best figure
    std::set<double> xs;
    const auto window = column("window");
    for (const auto& r : rows) {
        if (*figure >= r.size() || r[*figure].empty())
            continue;
        if (window && r[*window] != "0") // a walk: the whole period
            continue;
        const double xv = fieldNumber(r[*x]), yv = fieldNumber(r[*y]), v = fieldNumber(r[*figure]);
        xs.insert(xv);
        auto [it, added] = cells[yv].emplace(xv, v);
        if (!added)
            it->second = lowerIsBetter ? std::min(it->second, v) : std::max(it->second, v);
    }
    Sheet map(workbook_add_worksheet(book, "조합비교"), f.bold);
    map.string(0, 0, choice.figure + " (" + yName + " / " + xName + ")", f.bold);
    int col = 1;
    for (const double xv : xs)
        map.value(1, col++, xv, f.bold);
    int row = 2;
    for (const auto& [yv, line] : cells) {
        map.value(row, 0, yv, f.bold);
        col = 1;
        for (const double xv : xs) {
            if (const auto it = line.find(xv); it != line.end())
                map.value(row, col, it->second);
            ++col;
        }
        ++row;
    }
    if (row > 2 && !xs.empty()) {
        lxw_conditional_format scale{};
        scale.type = LXW_CONDITIONAL_3_COLOR_SCALE;
        scale.min_color = lowerIsBetter ? 0x63BE7B : 0xF8696B; // red for the worst, green for the best
        scale.mid_color = 0xFFEB84;
        scale.max_color = lowerIsBetter ? 0xF8696B : 0x63BE7B;
        worksheet_conditional_format_range(map.raw(), 2, 1, static_cast<lxw_row_t>(row - 1),
                                           static_cast<lxw_col_t>(xs.size()), &scale);
    }
    if (layout.judged && !layout.figure.empty())
        chooseAndJudge(book, f, *read.file, layout);
}

// A sweep with a judge span: each combination's figure where it was chosen against its figure
// where it was judged, as a table and a scatter chart (a cloud along the diagonal: the choice
// carries over). A walk's points are its windows', a series each.
void chooseAndJudge(lxw_workbook* book, const Formats& f, const SweepFile& file, const SweepLayout& layout)
{
    Sheet sheet(workbook_add_worksheet(book, "고르기와 판단"), f.bold);
    const std::string figure = layout.figure;
    sheet.string(0, 0, "window", f.bold);
    sheet.string(0, 1, "combination", f.bold);
    sheet.string(0, 2, figure, f.bold);
    sheet.string(0, 3, "judge_" + figure, f.bold);
    std::vector<const SweepLine*> points;
    for (const auto& l : file.lines)
        if ((layout.walk ? l.window > 0 : l.window == 0) && summaryFigure(l.summary, figure)
            && summaryFigure(l.judge, figure))
            points.push_back(&l);
    std::stable_sort(points.begin(), points.end(), [](const SweepLine* a, const SweepLine* b) { return a->window < b->window; });
    std::vector<std::pair<std::int32_t, std::pair<int, int>>> series; // window -> first and last row
    int row = 1;
    for (const SweepLine* l : points) {
        sheet.value(row, 0, l->window);
        sheet.value(row, 1, static_cast<double>(l->combination));
        sheet.value(row, 2, *summaryFigure(l->summary, figure));
        sheet.value(row, 3, *summaryFigure(l->judge, figure));
        if (series.empty() || series.back().first != l->window)
            series.push_back({l->window, {row, row}});
        series.back().second.second = row;
        ++row;
    }
    sheet.widths({10, 12, 16, 22});
    worksheet_freeze_panes(sheet.raw(), 1, 0);
    if (points.empty())
        return;
    lxw_chart* chart = workbook_add_chart(book, LXW_CHART_SCATTER);
    for (const auto& [window, rows] : series) {
        lxw_chart_series* s = chart_add_series(chart, nullptr, nullptr);
        chart_series_set_categories(s, "고르기와 판단", static_cast<lxw_row_t>(rows.first), 2,
                                    static_cast<lxw_row_t>(rows.second), 2);
        chart_series_set_values(s, "고르기와 판단", static_cast<lxw_row_t>(rows.first), 3,
                                static_cast<lxw_row_t>(rows.second), 3);
        const std::string name = layout.walk ? format("창 %d", window) : std::string("조합");
        chart_series_set_name(s, name.c_str());
        chart_series_set_marker_type(s, LXW_CHART_MARKER_CIRCLE);
    }
    chart_title_set_name(chart, (figure + ": 고른 기간과 판단 기간").c_str());
    chart_axis_set_name(chart->x_axis, ("고른 기간의 " + figure).c_str());
    chart_axis_set_name(chart->y_axis, ("판단 기간의 " + figure).c_str());
    chart_axis_set_label_position(chart->x_axis, LXW_CHART_AXIS_LABEL_POSITION_LOW);
    chart_axis_set_label_position(chart->y_axis, LXW_CHART_AXIS_LABEL_POSITION_LOW);
    chart_legend_set_position(chart, layout.walk ? LXW_CHART_LEGEND_RIGHT : LXW_CHART_LEGEND_NONE);
    lxw_chart_options place{};
    place.x_scale = 1.8;
    place.y_scale = 1.8;
    worksheet_insert_chart_opt(sheet.raw(), 1, 5, chart, &place);
}

// A CSV the program wrote with "#" lines above its column names (walkforward.csv) as a sheet:
// numbers as numbers, the rest as text.
void csvSheet(lxw_workbook* book, const Formats& f, const char* name, const std::string& bytes)
{
    Sheet sheet(workbook_add_worksheet(book, name), f.bold);
    std::string table;
    for (std::size_t start = 0; start < bytes.size();) {
        const auto end = std::min(bytes.find('\n', start), bytes.size());
        if (bytes[start] != '#')
            table.append(bytes, start, end - start + 1);
        start = end + 1;
    }
    readLines(table, [&](const FieldLine& line) {
        for (std::size_t c = 0; c < line.fields.size(); ++c) {
            const auto cell = std::string(line.fields[c]);
            const int r = static_cast<int>(line.number), col = static_cast<int>(c);
            if (line.number == 0)
                sheet.string(r, col, cell, f.bold);
            else if (!cell.empty() && isNumberText(cell))
                sheet.value(r, col, fieldNumber(cell));
            else if (!cell.empty())
                sheet.string(r, col, cell);
        }
        return true;
    });
    worksheet_freeze_panes(sheet.raw(), 1, 0);
}

void singleFund(lxw_workbook* book, const Formats& f, const Handoff& h, const std::filesystem::path& dir)
{
    const std::string resultBytes = fileBytes(dir / resultCsvFile);
    const std::string stockBytes = fileBytes(dir / genCsvFile);
    auto results = readResultCsv(resultBytes);
    std::erase_if(results, [](const ResultCsvRow& r) { return !r.extent.complete; });
    const auto stocks = wholeRows(readGenCsv(stockBytes), GenCsvColumn::Gain);
    const StockTotals totals = stockTotals(readGenCsv(stockBytes));

    Sheet summary = summarySheet(book, f, h, "시뮬레이션 결과 요약");
    if (!results.empty() && results.front().has(ResultCsvColumn::EndDate)) {
        summary.string(3, 0, "기간");
        summary.string(3, 1, std::string(results.front().startDate) + " ~ " + std::string(results.back().endDate));
    }
    summary.string(4, 0, tableUnits);
    summary.columnHeadings(5, totalColumns());
    summary.value(6, 0, totals.count);
    summary.value(6, 1, totals.invest, f.thousands);
    summary.value(6, 2, totals.value, f.thousands);
    if (!results.empty() && results.back().has(ResultCsvColumn::Gain))
        summary.value(6, 3, results.back().kospiYield, f.percent);
    if (totals.invest != 0) {
        summary.value(6, 4, totals.value / totals.invest - 1, f.percent);
        summary.value(6, 6, totals.gain / totals.invest, f.percent);
    }
    summary.value(6, 5, totals.gain, f.thousands);
    summary.widths({18, 14, 14, 12, 12, 14, 12});

    Sheet table(workbook_add_worksheet(book, "종목별"), f.bold);
    // The window's stock table between the code and the trading gain.
    std::vector<Column> columns = {{"종목코드", 0}};
    columns.insert(columns.end(), stockColumns().begin(), stockColumns().end());
    columns.push_back(fundColumns(false).back());
    table.columnHeadings(0, columns);
    int row = 1;
    for (const GenCsvRow& s : stocks) {
        table.string(row, 0, std::string(s.code));
        table.string(row, 1, text(s.name));
        if (s.invest != 0)
            table.value(row, 2, stockTotal(s).value / s.invest - 1, f.percent);
        if (s.startPrice != 0)
            table.value(row, 3, static_cast<double>(s.lastPrice) / s.startPrice - 1, f.percent);
        table.value(row, 4, s.lastPrice, f.won);
        table.value(row, 5, s.startPrice, f.won);
        table.value(row, 6, s.invest, f.thousands);
        table.value(row, 7, s.cash, f.thousands);
        table.value(row, 8, s.shares, f.won);
        table.value(row, 9, s.gain, f.thousands);
        ++row;
    }
    table.widths({10, 20, 12, 12, 12, 12, 14, 14, 12, 12});
    worksheet_freeze_panes(table.raw(), 1, 0);

    Sheet days(workbook_add_worksheet(book, "일별"), f.bold);
    days.headings(0, {"날짜", "KOSPI수익률", "수익률", "매매차익률", "주식편입비"});
    row = 1;
    for (const ResultCsvRow& r : results) {
        if (!r.has(ResultCsvColumn::Gain))
            continue;
        days.day(row, 0, r.endDate, f.day);
        days.value(row, 1, r.kospiYield, f.percent);
        days.value(row, 2, r.fundYield, f.percent);
        days.value(row, 3, r.invest != 0 ? r.gain / r.invest : 0, f.percent);
        days.value(row, 4, r.value != 0 ? r.stockValue / r.value : 0, f.percent);
        ++row;
    }
    days.widths({12, 12, 12, 12, 12});
    worksheet_freeze_panes(days.raw(), 1, 0);
    if (row > 1) {
        lxw_chart* chart = workbook_add_chart(book, LXW_CHART_LINE);
        lineSeries(chart, "일별", 2, row - 1, "수익률");
        lineSeries(chart, "일별", 1, row - 1, "KOSPI");
        chart_title_set_name(chart, "수익률과 KOSPI");
        chart_axis_set_num_format(chart->y_axis, "0%");
        chart_axis_set_num_format(chart->x_axis, "yy-mm-dd");
        chart_axis_set_label_position(chart->x_axis, LXW_CHART_AXIS_LABEL_POSITION_LOW);
        chart_legend_set_position(chart, LXW_CHART_LEGEND_TOP);
        lxw_chart_options place{};
        place.x_scale = 2.2;
        place.y_scale = 1.6;
        worksheet_insert_chart_opt(days.raw(), 1, 6, chart, &place);
    }
}

// The market's rules of a run under rules other than the default ones, as settings.csv names
// them; nothing for the default rules.
void rulesSheet(lxw_workbook* book, const Formats& f, const std::filesystem::path& dir)
{
    std::vector<SettingLine> lines;
    bool dividends = false;
    for (const auto& s : readSettingsCsv(fileBytes(dir / settingsCsvFile)))
        if (s.name == setting::rules.key || s.name == setting::dividends.key) {
            lines.push_back(s);
            dividends = dividends || (s.name == setting::dividends.key && s.value == "on");
        }
    if (lines.empty())
        return;
    Sheet sheet(workbook_add_worksheet(book, "시장 규칙"), f.bold);
    sheet.headings(0, {"설정", "값"});
    int row = 1;
    for (const auto& s : lines) {
        sheet.string(row, 0, settingLabel(s.name));
        sheet.string(row++, 1, settingValueText(s.name, s.value));
    }
    if (dividends)
        sheet.string(row + 1, 0, priceIndexNote);
    sheet.widths({16, 40});
}

void fundSeries(lxw_workbook* book, const Formats& f, const Handoff& h, const std::filesystem::path& dir)
{
    const std::string resultBytes = fileBytes(dir / resultCsvFile);
    const auto results = wholeRows(readResultCsv(resultBytes), ResultCsvColumn::Gain);
    Sheet summary = summarySheet(book, f, h, "수익률 통계 요약");
    if (const auto s = loadSeriesSummary(dir))
        seriesSummaryRows(summary, f, *s, 3);
    summary.widths({24, 16, 16, 16, 16, 16});

    Sheet table(workbook_add_worksheet(book, "펀드별"), f.bold);
    // A series of one stock: the index column holds the stock held.
    const bool held = isOneStockSeries(dir);
    table.columnHeadings(0, fundColumns(held));
    int row = 1;
    for (const ResultCsvRow& r : results) {
        table.day(row, 0, r.startDate, f.day);
        table.day(row, 1, r.endDate, f.day);
        table.value(row, 2, r.kospiYield, f.percent);
        table.value(row, 3, r.fundYield, f.percent);
        table.value(row, 4, r.invest != 0 ? r.gain / r.invest : 0, f.percent);
        table.value(row, 5, r.invest * 0.001, f.thousands);
        table.value(row, 6, r.value * 0.001, f.thousands);
        table.value(row, 7, r.gain * 0.001, f.thousands);
        ++row;
    }
    table.widths({12, 12, 12, 12, 12, 14, 14, 14});
    worksheet_freeze_panes(table.raw(), 1, 0);
    if (row > 1) {
        lxw_chart* chart = workbook_add_chart(book, LXW_CHART_SCATTER);
        lxw_chart_series* s = chart_add_series(chart, nullptr, nullptr);
        chart_series_set_categories(s, "펀드별", 1, 2, static_cast<lxw_row_t>(row - 1), 2);
        chart_series_set_values(s, "펀드별", 1, 3, static_cast<lxw_row_t>(row - 1), 3);
        chart_series_set_name(s, "수익률");
        chart_series_set_marker_type(s, LXW_CHART_MARKER_CIRCLE);
        chart_title_set_name(chart, ("펀드 수익률과 " + benchmarkYieldLabel(held)).c_str());
        chart_axis_set_name(chart->x_axis, benchmarkYieldLabel(held).c_str());
        chart_axis_set_name(chart->y_axis, "수익률");
        chart_axis_set_num_format(chart->x_axis, "0%");
        chart_axis_set_num_format(chart->y_axis, "0%");
        chart_axis_set_label_position(chart->x_axis, LXW_CHART_AXIS_LABEL_POSITION_LOW);
        chart_axis_set_label_position(chart->y_axis, LXW_CHART_AXIS_LABEL_POSITION_LOW);
        chart_legend_set_position(chart, LXW_CHART_LEGEND_NONE);
        lxw_chart_options place{};
        place.x_scale = 1.8;
        place.y_scale = 1.8;
        worksheet_insert_chart_opt(table.raw(), 1, 9, chart, &place);
    }
}

void tradeLog(lxw_workbook* book, const Formats& f, const std::filesystem::path& dir)
{
    const std::string bytes = fileBytes(dir / tradeCsvFile);
    Sheet sheet(workbook_add_worksheet(book, "매매내역"), f.bold);
    sheet.headings(0, {"날짜", "종목코드", "종목명", "구분", "수량", "평균가격", "금액", "수수료", "세금"});
    int row = 1;
    for (const TradeCsvRow& t : wholeRows(readTradeCsv(bytes), TradeCsvColumn::Tax)) {
        sheet.day(row, 0, t.date, f.day);
        sheet.string(row, 1, std::string(t.code));
        sheet.string(row, 2, text(t.name));
        sheet.string(row, 3, t.kind ? text(tradeKindText(*t.kind)) : std::string());
        sheet.value(row, 4, t.shares, f.won);
        sheet.value(row, 5, t.price);
        sheet.value(row, 6, t.amount, f.won);
        sheet.value(row, 7, t.commission, f.won);
        sheet.value(row, 8, t.tax, f.won);
        ++row;
    }
    sheet.widths({12, 10, 20, 8, 10, 14, 14, 10, 10});
    worksheet_freeze_panes(sheet.raw(), 1, 0);
}

} // namespace

std::filesystem::path freeWorkbookPath(const std::filesystem::path& folder, const std::string& name)
{
    std::filesystem::path path = folder / (name + ".xlsx");
    for (int n = 2; std::filesystem::exists(path); ++n)
        path = folder / (name + " (" + std::to_string(n) + ").xlsx");
    return path;
}

std::filesystem::path buildWorkbook(const Handoff& h, const std::filesystem::path& resultsDir,
                                    const std::filesystem::path& outDir, const SweepChoice& sweepChoice)
{
    std::error_code made;
    std::filesystem::create_directories(outDir, made);
    if (made)
        throw std::runtime_error("엑셀 파일을 둘 폴더(" + outDir.string() + ")를 만들 수 없습니다.");
    const auto scratch = outDir / (".kestrelan-" + std::to_string(::getpid()) + ".xlsx.tmp");
    lxw_workbook_options options{};
    options.constant_memory = LXW_FALSE;
    lxw_workbook* book = workbook_new_opt(scratch.c_str(), &options);
    if (!book)
        throw std::runtime_error("엑셀 파일을 만들 수 없습니다: " + scratch.string()
                                 + ". 폴더의 쓰기 권한과 남은 디스크 공간을 확인하세요.");
    try {
        const Formats f = makeFormats(book);
        const ResultKind kind = classifyResult(resultsDir);
        if (kind == ResultKind::FundSeries)
            fundSeries(book, f, h, resultsDir);
        else
            singleFund(book, f, h, resultsDir);
        if (std::filesystem::exists(resultsDir / tradeCsvFile))
            tradeLog(book, f, resultsDir);
        rulesSheet(book, f, resultsDir);
        if (kind != ResultKind::FundSeries)
            if (const auto stats = readStatsCsv(fileBytes(resultsDir / statsCsvFile)); !stats.empty())
                riskSheet(book, f, stats.front());
        if (kind != ResultKind::FundSeries)
            monthlySheet(book, f, resultsDir);
        if (const auto sweep = readWholeFile(resultsDir / sweepCsvFile))
            sweepSheets(book, f, *sweep, sweepChoice);
        if (const auto walk = readWholeFile(resultsDir / "walkforward.csv"))
            csvSheet(book, f, "창", textModeBytes(*walk));
        if (const auto walk = readWholeFile(resultsDir / "walkforward-summary.csv"))
            csvSheet(book, f, "표본 밖", textModeBytes(*walk));
    } catch (...) {
        workbook_close(book);
        std::filesystem::remove(scratch);
        throw;
    }
    if (const lxw_error e = workbook_close(book); e != LXW_NO_ERROR) {
        std::filesystem::remove(scratch);
        throw std::runtime_error(libraryError("엑셀 파일을 쓸 수 없습니다", e));
    }
    // A hard link never replaces an existing file: if another export took the name meanwhile,
    // the next free one is tried.
    for (int attempt = 0; attempt < 100; ++attempt) {
        const auto target = freeWorkbookPath(outDir, h.name);
        if (::link(scratch.c_str(), target.c_str()) == 0) {
            std::filesystem::remove(scratch);
            return target;
        }
        if (errno != EEXIST)
            break;
    }
    std::filesystem::remove(scratch);
    throw std::runtime_error("엑셀 파일을 " + outDir.string() + " 폴더에 둘 수 없습니다.");
}

} // namespace kestrelan
