#include "results/core/PastRuns.h"

#include "formats/ResultCsv.h"
#include "formats/ResultSet.h"
#include "formats/ResultTxt.h"
#include "formats/Settings.h"
#include "formats/SettingsCsv.h"
#include "platform/core/Cp949.h"
#include "platform/core/Format.h"
#include "platform/core/Text.h"
#include "platform/core/TextFile.h"
#include "results/core/SeriesSummary.h"

#include <ctime>

namespace kestrelan {

namespace {

std::string valueOf(const std::vector<SettingLine>& settings, const SettingSpec& spec)
{
    for (const auto& s : settings)
        if (s.name == spec.key)
            return s.value;
    return {};
}

std::string percent(double value) { return format("%.1f%%", value); }

std::string finishedText(std::time_t t)
{
    std::tm local{};
    if (t == 0 || !localtime_r(&t, &local))
        return "-";
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M", &local);
    return text;
}

// The first stock the run names and how many more its portfolio had: "삼성전자 외 2".
std::string stocksText(const std::filesystem::path& folder, const std::vector<SettingLine>& settings)
{
    const int count = parseIntField(valueOf(settings, setting::stocks)).value_or(0);
    const std::string bytes = readWholeFile(folder / resultTxtFile).value_or(std::string());
    std::string first;
    for (const ResultTxtRow& r : readResultTxt(bytes)) {
        if (!r.extent.complete || r.name.empty())
            continue;
        first = fromCp949Lossy(trimRight(r.name, " "));
        break;
    }
    if (first.empty())
        return format("%d종목", count);
    return count > 1 ? format("%s 외 %d", first.c_str(), count - 1) : first;
}

} // namespace

ListTable pastRunTable(const std::vector<PastRun>& runs)
{
    ListTable t;
    t.columns = {{"번호", 50},  {"끝난 시각", 120}, {"종류", 80},  {"종목", 140},
                 {"기간", 170}, {"수익률", 70},     {"KOSPI", 70}, {"펀드 수", 60}, {"KOSPI보다 높은 펀드", 130}};
    for (auto run = runs.rbegin(); run != runs.rend(); ++run) {
        const auto settings = readSettingsCsv(readWholeFile(run->folder / settingsCsvFile).value_or(std::string()));
        const bool series = valueOf(settings, setting::yieldStats) == setting::yieldStats.word(1);
        std::vector<std::string> row{std::to_string(run->number), finishedText(run->finished),
                                     series ? "수익률 통계" : "단일 펀드", stocksText(run->folder, settings),
                                     valueOf(settings, setting::startDate) + " ~ " + valueOf(settings, setting::endDate)};
        if (series) {
            if (const auto summary = loadSeriesSummary(run->folder))
                row.insert(row.end(), {percent(summary->fund.median), percent(summary->index.median),
                                       std::to_string(summary->funds), percent(summary->beatShare)});
        } else {
            const auto bytes = readWholeFile(run->folder / resultCsvFile).value_or(std::string());
            const auto lines = readResultCsv(bytes);
            if (!lines.empty())
                row.insert(row.end(), {percent(lines.back().fundYield * 100), percent(lines.back().kospiYield * 100),
                                       "1", "-"});
        }
        row.resize(t.columns.size(), "-");
        t.rows.push_back(std::move(row));
    }
    return t;
}

} // namespace kestrelan
