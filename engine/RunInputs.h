#pragma once
// What a run reads before its funds, checked as it is read: the portfolio (SimItem.lst) and
// kospi.lst before any result file is touched, then the price files (each loaded once, however
// often its stock appears), ksp.txt, and the funds of date.lst with where each begins in every
// price file. Once the funds start, every fund shares it read-only.

#include "engine/Calendar.h"
#include "engine/MarketData.h"
#include "engine/MarketRules.h"
#include "engine/Portfolio.h"
#include "engine/RangeTable.h"
#include "engine/SimParams.h"
#include "platform/core/Sinks.h"

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kestrelan {

/// What stops a run whose portfolio names a stock without a price file.
inline constexpr const char* missingPriceFileMessage = "주가데이터파일이 없습니다. 확인 후 실행하세요.";

/// A fund as the run reads it back from date.lst.
struct Fund
{
    std::int32_t start = 0;
    std::int32_t end = 0;
    float startIndex = 0;
    float endIndex = 0;
};

/// What every fund of a run shares.
struct RunData
{
    SimParams params;
    bool logEnabled = false; // single-fund mode: the detail files are written
    bool totalMode = false;  // one total divided among the stocks before each fund
    bool autoSet = false;    // the conditions come from ksp.txt, which is usable
    std::vector<PortfolioItem> items;
    IndexFile kospi = IndexFile::fromBytes({});
    std::map<std::string, PriceFile> priceFiles; // by stock code
    std::vector<const PriceFile*> files;         // per portfolio item
    RangeTable table;
    std::vector<Fund> funds;
    std::vector<std::vector<std::int32_t>> fundStart; // [stock][fund]: byte position where its data begins
    std::vector<std::string> notes; // said first among the run's notes: where the price files are, what was damaged
    std::shared_ptr<const DatedRules> rules; // the market's rules by day on kospi.lst's calendar
    std::vector<std::vector<Dividend>> dividends; // per portfolio item, when params.dividends is 1
};

/// What a run's notes say of rules other than the default ones (Korean, one line).
std::string rulesNote(const MarketRules& rules);

/// The folder whose StockData/ holds the price files of the market in `workDir`: `workDir` itself
/// when it has a StockData folder (a market written by sample-data or import-csv is whole in its
/// folder, wherever the programs are), else `programDir` (the programs and the market side by
/// side, or --program-dir). The default of every command and of the form.
std::filesystem::path marketPriceFolder(const std::filesystem::path& workDir, const std::filesystem::path& programDir);

/// The settings, SimItem.lst and kospi.lst from `workDir`, and the market's rules the settings
/// name (a table in the program's data folder or the user's). Throws EngineError with the message
/// that stops the run: no portfolio, more than maxStocks entries, no usable kospi.lst, dates in it
/// that go back, a table of rules that cannot be read, dividends asked for without dividends.csv.
/// params.dividends comes out as 0 or 1. A damaged end of kospi.lst is left out, with a note.
RunData readPortfolio(const SimParams& params, const std::filesystem::path& workDir);
/// The same with the portfolio given rather than read from SimItem.lst (a sweep's dry run, which
/// writes nothing).
RunData readPortfolio(const SimParams& params, std::vector<PortfolioItem> items, const std::filesystem::path& workDir);

/// The price files below programDir/StockData, ksp.txt and the first `fundCount` funds of
/// date.lst from `workDir`, with their start positions. Throws EngineError for a price file that
/// cannot be read or whose dates go back; a damaged end of one is left out, with a note. ksp.txt
/// unusable with automatic setting on is
/// said once through `messages`, and the run keeps the given conditions; then the run's notes
/// (runNotes) in one message.
void loadMarket(RunData& data, const std::filesystem::path& workDir, const std::filesystem::path& programDir,
                int fundCount, IMessageSink& messages);
/// The same with the funds given (a calendar made in memory) rather than read from date.lst.
void loadMarket(RunData& data, const std::filesystem::path& workDir, const std::filesystem::path& programDir,
                std::vector<Fund> funds, IMessageSink& messages);
/// The funds of calendar lines, exactly as date.lst gives them back.
std::vector<Fund> fundsOf(const std::vector<FundLine>& lines);

/// What a run says before its funds, so that no result looks right that is not (Korean, one
/// line each): the period against kospi.lst (periodNote) and each portfolio stock that `codeList`
/// (code.lst, when it could be read) does not hold. What the funds did with each stock (a stock
/// that sat funds out, one valued at its last price) is said after them (engine/SitOut.h). The
/// result files are the same with or without the notes.
std::vector<std::string> runNotes(const RunData& data, const std::optional<std::vector<std::string>>& codeList);

} // namespace kestrelan
