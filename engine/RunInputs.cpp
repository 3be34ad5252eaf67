#include "engine/RunInputs.h"

#include "engine/Calendar.h"
#include "engine/Dates.h"
#include "engine/EffectiveSettings.h"
#include "engine/EngineError.h"
#include "engine/FundPositions.h"
#include "formats/DateLst.h"
#include "formats/DividendsCsv.h"
#include "platform/core/Folders.h"
#include "platform/core/Format.h"
#include "platform/core/TextFile.h"

#include <algorithm>
#include <optional>
#include <set>

namespace kestrelan {

namespace {

constexpr const char* rangeTableUnusable = "매매범위 설정표(ksp.txt)를 읽을 수 없어 입력한 매매조건으로 실행합니다.";

std::vector<Fund> readFunds(const std::filesystem::path& path)
{
    const auto bytes = readWholeFile(path);
    return bytes ? fundsOf(readDateLst(*bytes)) : std::vector<Fund>{};
}

} // namespace

std::filesystem::path marketPriceFolder(const std::filesystem::path& workDir, const std::filesystem::path& programDir)
{
    std::error_code ec;
    return std::filesystem::is_directory(workDir / "StockData", ec) ? workDir : programDir;
}

RunData readPortfolio(const SimParams& params, const std::filesystem::path& workDir)
{
    auto items = readSimItems(workDir / "SimItem.lst");
    return readPortfolio(params, items ? std::move(*items) : std::vector<PortfolioItem>{}, workDir);
}

RunData readPortfolio(const SimParams& params, std::vector<PortfolioItem> items, const std::filesystem::path& workDir)
{
    RunData data;
    data.params = params;
    data.logEnabled = !params.yieldStats;
    if (items.empty())
        throw EngineError(StopReason::Portfolio, "SimItem.lst에 종목이 없습니다. 포트폴리오를 구성한 후 실행하세요.");
    if (items.size() > static_cast<std::size_t>(maxStocks))
        throw EngineError(StopReason::Portfolio, tooManyStocksMessage);
    data.items = std::move(items);
    auto kospi = IndexFile::load(workDir / "kospi.lst");
    if (!kospi)
        throw EngineError(StopReason::Index, "kospi.lst 파일을 읽을 수 없습니다.");
    // A damaged end is left out and said; dates that go back stop the run.
    const SoundPart sound = soundPart(*kospi);
    if (sound.backwards)
        throw EngineError(StopReason::Index, backwardsMessage("kospi.lst", sound), "kospi.lst");
    if (sound.damaged()) {
        data.notes.push_back(damageNote("kospi.lst", sound));
        kospi->keepFirst(sound.records);
    }
    if (kospi->records().empty())
        throw EngineError(StopReason::Index, "kospi.lst에 거래일 자료가 없습니다.");
    data.kospi = std::move(*kospi);
    data.totalMode = data.items.size() > 1 && data.items[1].amount == 0;
    std::vector<std::int32_t> days;
    for (const auto& r : data.kospi.records())
        days.push_back(r.date);
    data.rules = std::make_shared<const DatedRules>(loadRules(params.rules, dataFolder()), days);
    if (!data.rules->rules().isDesign())
        data.notes.push_back(rulesNote(data.rules->rules()));
    if (data.params.dividends < 0)
        data.params.dividends = dividendsByDefault(data.rules->rules().isDesign(), workDir) ? 1 : 0;
    std::error_code ec;
    if (data.params.dividends == 1 && !std::filesystem::is_regular_file(workDir / dividendsFileName, ec))
        throw EngineError(StopReason::Rules, "배당을 넣으려면 시장 폴더에 dividends.csv가 있어야 합니다 (kestrelan-cli import-csv "
                          "--dividends로 만듭니다).",
                          workDir / dividendsFileName);
    if (data.params.dividends == 1)
        data.notes.push_back(std::string("배당: dividends.csv의 배당을 배당락일 첫 매매 전에 현금에 넣습니다. ")
                             + priceIndexNote);
    return data;
}

std::string rulesNote(const MarketRules& rules)
{
    const std::string name = rules.name == rulesName::krx ? "krx (" + std::string(krxRulesFile) + ")" : rules.name;
    return "시장 규칙 " + name + ": 매도세는 결제일(매매 2거래일 뒤)의 세율, 호가단위는 그날의 표를 씁니다.";
}

void loadMarket(RunData& data, const std::filesystem::path& workDir, const std::filesystem::path& programDir,
                int fundCount, IMessageSink& messages)
{
    auto funds = readFunds(workDir / dateLstFile);
    funds.resize(std::min<std::size_t>(funds.size(), static_cast<std::size_t>(fundCount)));
    loadMarket(data, workDir, programDir, std::move(funds), messages);
}

std::vector<Fund> fundsOf(const std::vector<FundLine>& lines)
{
    std::vector<Fund> funds;
    for (const FundLine& l : lines)
        funds.push_back({l.start, l.end, indexPoints(l.startHundredths()), indexPoints(l.endHundredths())});
    return funds;
}

void loadMarket(RunData& data, const std::filesystem::path& workDir, const std::filesystem::path& programDir,
                std::vector<Fund> funds, IMessageSink& messages)
{
    // Each stock's file once, however often it appears, several at a time; a file an earlier run
    // of the same market has read is kept.
    std::vector<std::string> codes;
    for (const auto& item : data.items) {
        std::string code(entryCode(item.entry));
        if (!data.priceFiles.contains(code) && std::find(codes.begin(), codes.end(), code) == codes.end())
            codes.push_back(std::move(code));
    }
    auto files = loadPriceFiles(programDir, codes);
    for (std::size_t k = 0; k < files.size(); ++k) {
        if (!files[k])
            throw EngineError(StopReason::MissingPriceFile, missingPriceFileMessage,
                              isStockCode(codes[k]) ? priceFilePath(programDir, codes[k]) : programDir / "StockData");
        const SoundPart sound = soundPart(*files[k]);
        const std::string name = priceFilePath(programDir, codes[k]).lexically_normal().string();
        if (sound.backwards)
            throw EngineError(StopReason::PriceFile, backwardsMessage(name, sound), name);
        if (sound.damaged()) {
            data.notes.push_back(damageNote(name, sound));
            files[k]->keepFirst(static_cast<std::int32_t>(sound.records));
        }
        data.priceFiles.emplace(codes[k], std::move(*files[k]));
    }
    for (const auto& item : data.items)
        data.files.push_back(&data.priceFiles.at(std::string(entryCode(item.entry))));

    const auto table = loadRangeTable(workDir / "ksp.txt");
    data.autoSet = data.params.autoSet;
    if (data.autoSet && !(table && table->usable())) {
        messages.show(rangeTableUnusable);
        data.autoSet = false;
    }
    if (table)
        data.table = *table;

    if (data.params.dividends == 1) {
        const auto bytes = readWholeFile(workDir / dividendsFileName);
        if (!bytes)
            throw EngineError(StopReason::Rules, std::string(dividendsFileName) + " 파일을 읽을 수 없습니다.",
                              workDir / dividendsFileName);
        const auto rows = readDividendsCsv(*bytes);
        for (const auto& item : data.items) {
            std::vector<Dividend>& list = data.dividends.emplace_back();
            for (const auto& r : rows)
                if (r.code == entryCode(item.entry))
                    list.push_back({r.exDate, r.wonPerShare});
            std::sort(list.begin(), list.end(), [](const Dividend& a, const Dividend& b) { return a.date < b.date; });
        }
    }

    data.funds = std::move(funds);
    std::vector<std::int32_t> starts;
    for (const Fund& fund : data.funds)
        starts.push_back(fund.start);
    for (const PriceFile* file : data.files)
        data.fundStart.push_back(fundPositions(*file, starts));

    const auto notes = runNotes(data, loadCodeList(workDir / "code.lst"));
    if (!notes.empty()) {
        std::string text;
        for (const auto& note : notes)
            text += (text.empty() ? "" : "\n") + note;
        messages.show(text);
    }
}

std::vector<std::string> runNotes(const RunData& data, const std::optional<std::vector<std::string>>& codeList)
{
    std::vector<std::string> notes = data.notes;
    const SimParams& p = data.params;
    const CalendarMode mode = calendarMode(p);
    if (auto note = periodNote(p.startDate, p.endDate, mode, p.years, data.kospi); !note.empty())
        notes.push_back(std::move(note));

    std::set<std::string> said;
    std::vector<std::string> unlisted;
    for (std::size_t i = 0; i < data.items.size(); ++i) {
        const std::string code(entryCode(data.items[i].entry));
        if (!said.insert(code).second)
            continue;
        if (codeList && std::none_of(codeList->begin(), codeList->end(), [&](const std::string& e) {
                return entryCode(e) == code;
            }))
            unlisted.push_back(code);
    }
    for (const auto& code : unlisted)
        notes.push_back(code + " 종목이 code.lst에 없습니다 (주가 파일로 실행했습니다).");
    return notes;
}

} // namespace kestrelan
