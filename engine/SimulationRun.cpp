// The run: checks the settings, reads the portfolio, opens the result files, builds the fund
// calendar, loads the market and replays every fund. In single-fund mode the fund is replayed day
// by day on this engine and the detail files are written; in statistics mode each fund is one
// simulated day (its end date) and the funds, independent of each other, run on all cores with
// their lines written in fund order, so the files are the same whatever the number of workers.
// Whatever stops a run is said in one message: no exception leaves it.

#include "engine/CSimEngine.h"

#include "engine/Calendar.h"
#include "engine/EffectiveSettings.h"
#include "engine/EngineError.h"
#include "engine/FundRunner.h"
#include "engine/MarketAccess.h"
#include "engine/MarketUpdate.h"
#include "engine/OrderedWorkers.h"
#include "engine/ResultLines.h"
#include "engine/RunInputs.h"
#include "engine/SitOut.h"
#include "formats/ResultSet.h"
#include "formats/RunHistory.h"
#include "formats/SummaryCsv.h"
#include "platform/core/FileTransaction.h"
#include "platform/core/FolderLock.h"

#include <algorithm>
#include <atomic>
#include <memory>
#include <mutex>
#include <new>
#include <thread>
#include <utility>

namespace kestrelan {

namespace {

constexpr const char* progressText = "시뮬레이션 진행중입니다....";
constexpr const char* outOfMemory = "메모리가 부족하여 시뮬레이션을 중단했습니다.";
constexpr const char* failedRun = "시뮬레이션 중 오류가 발생하여 중단했습니다.";

// The result files of one run in the working folder, with the engine's detail logs. The files of
// the previous run go at once; the new ones are written under staged names and put in place
// together by close(), so a run that stops or is killed leaves no result that looks finished.
class ResultFiles
{
public:
    ResultFiles(CSimEngine& engine, const std::filesystem::path& dir, bool details, bool holdColumn,
                bool dividendsColumn)
        : logs{engine}
        , transaction(dir, std::string(resultsTag))
        , dir(dir)
        , details(details)
    {
        FileTransaction::recover(dir, std::string(resultsTag));
        std::error_code ec;
        for (const auto name : resultFiles)
            std::filesystem::remove(dir / name, ec);
        open(resultCsv, dir, resultCsvFile);
        resultCsv.write(resultCsvHeader());
        open(resultTxt, dir, resultTxtFile);
        resultTxt.write(resultTxtHeader());
        open(statsCsv, dir, statsCsvFile);
        statsCsv.write(statsCsvHeader(holdColumn, dividendsColumn));
        open(settingsCsv, dir, settingsCsvFile);
        if (!details)
            open(summaryCsv, dir, summaryCsvFile);
        if (details) {
            open(logs.engine.tradeLog, dir, tradeCsvFile);
            open(logs.engine.closingLog, dir, closingCsvFile);
            open(gen, dir, genCsvFile);
        }
    }
    ResultFiles(const ResultFiles&) = delete;
    ResultFiles& operator=(const ResultFiles&) = delete;

    // Every file to the disk and into place, with the run's copy in history/ (the oldest runs
    // beyond `runsKept` go after it). A result file that lost lines on the way would be read as a
    // result: none is left instead.
    void close(int runsKept)
    {
        bool written = resultCsv.close();
        written = resultTxt.close() && written;
        written = statsCsv.close() && written;
        written = settingsCsv.close() && written;
        if (!details)
            written = summaryCsv.close() && written;
        if (details) {
            written = logs.engine.tradeLog.close() && written;
            written = logs.engine.closingLog.close() && written;
            written = gen.close() && written;
        }
        if (!written || !stageRunCopy(transaction, dir, staged) || !transaction.commit())
            throw cannotWrite("결과", dir);
        pruneRuns(dir, runsKept);
    }

    TextWriter resultCsv;
    TextWriter resultTxt;
    TextWriter statsCsv;
    TextWriter settingsCsv;
    TextWriter summaryCsv;
    TextWriter gen;

private:
    void open(TextWriter& writer, const std::filesystem::path& dir, std::string_view name)
    {
        const auto path = transaction.stagedFile(dir / name);
        if (!writer.open(path, TextWriter::Mode::CreateNew))
            throw cannotWrite(std::string(name), dir / name);
        staged.emplace_back(std::string(name), path);
    }

    // The detail logs belong to this run only: closed on every way out, a failed opening too.
    struct Logs
    {
        CSimEngine& engine;
        ~Logs()
        {
            engine.tradeLog.close();
            engine.closingLog.close();
        }
    } logs;
    FileTransaction transaction; // an uncommitted one takes its staged files with it
    std::filesystem::path dir;
    std::vector<StagedResult> staged;
    bool details;
};

struct ProgressWindow
{
    explicit ProgressWindow(IProgressSink& sink)
        : sink(sink)
    {
        sink.begin(progressText);
    }
    ~ProgressWindow() { sink.end(); }
    IProgressSink& sink;
};

// One fund day by day on the run's own engine, its lines written as they come, then gen.csv.
WalkCounts runSingleFund(CSimEngine& engine, const RunData& data, ResultFiles& files, IProgressSink& progress,
                         StockNotes& notes, std::vector<std::int32_t>& notDivided)
{
    engine.walk = engine.context.walk;
    engine.counts = {};
    FundRunner runner(engine, data, &progress);
    for (std::size_t k = 0; k < data.funds.size(); ++k) {
        FundOutput out;
        out.resultCsvFile = &files.resultCsv;
        out.resultTxtFile = &files.resultTxt;
        out.statsCsvFile = &files.statsCsv;
        out.messages.direct = engine.context.messages;
        runner.run(k, out);
        notes.add(data, k, out.outcomes);
        if (out.notDivided)
            notDivided.push_back(data.funds[k].start);
    }
    for (std::size_t i = 0; i < data.items.size(); ++i)
        if (engine.slots[i].firstVol > 0)
            files.gen.write(genCsvLine(engine.slots[i]));
    return engine.counts;
}

// The funds of a series on workers, each with an engine state of its own; their lines and
// messages come out in fund order. The summary is made of the lines and of the risk figures as
// they are in memory, before stats.csv rounds them.
WalkCounts runSeries(const RunContext& context, const RunData& data, ResultFiles& files, IProgressSink& progress,
                     StockNotes& notes, std::vector<std::int32_t>& notDivided)
{
    const std::size_t total = data.funds.size();
    std::string lines = resultCsvHeader();
    std::vector<StatsCsvRow> stats;
    const WalkCounts counts
        = runFundsInOrder(data, nullptr, context.walk, context.threads, [&](std::size_t k, const FundOutput& out) {
              for (const auto& text : out.messages.kept)
                  context.messages->show(text);
              if (out.moved)
                  progress.setPosition(static_cast<int>(100 * (k + 1) / total));
              files.resultCsv.write(out.resultCsv);
              files.resultTxt.write(out.resultTxt);
              files.statsCsv.write(out.statsCsv);
              lines += out.resultCsv;
              if (out.stats)
                  stats.push_back(*out.stats);
              notes.add(data, k, out.outcomes);
              if (out.notDivided)
                  notDivided.push_back(data.funds[k].start);
          });
    files.summaryCsv.write(summaryCsvText(summarizeSeries(readResultCsv(lines), stats, data.items.size() == 1)));
    return counts;
}

// The run from the settings to the closed files; throws what stops it.
void simulate(CSimEngine& engine, const SimParams& params, RunResult& result)
{
    const RunContext& context = engine.context;
    const auto& dir = context.workDir;
    if (const auto problem = validate(params))
        throw EngineError(*problem);
    // One writer per folder: a second run (or a merge, an import, a group change) waits its turn.
    const auto lock = FolderLock::tryAcquire(dir);
    if (!lock)
        throw EngineError(StopReason::FolderBusy, folderBusyMessage);
    // The market held for reading: an import that a kill interrupted is finished or undone
    // before its files are read, and no merge writes the price files meanwhile.
    const MarketFolders folders = marketFolders(dir, context.programDir, context.programDirGiven);
    const MarketAccess market = MarketAccess::open(folders, LockMode::Shared);
    if (!market)
        throw EngineError(StopReason::Market, market.problem);
    if (std::error_code ec; std::filesystem::exists(dir / updateFileName, ec))
        throw EngineError(StopReason::Market, updateWaitsMessage);
    // Inputs first, so that a run that cannot start leaves the previous results in place.
    RunData data = readPortfolio(params, dir);
    if (!folders.note.empty())
        data.notes.insert(data.notes.begin(), folders.note);
    const CalendarMode mode = calendarMode(params);
    // A period that holds no fund is said, and the previous results stay.
    if (calendarLines(params.startDate, params.endDate, mode, params.years, data.kospi).empty())
        throw EngineError(StopReason::NoFund, noFundMessage(params.startDate, params.endDate, mode, params.years, data.kospi));
    ResultFiles files(engine, dir, data.logEnabled, !data.logEnabled && data.items.size() == 1,
                      data.params.dividends == 1);
    files.settingsCsv.write(settingsCsvText(settingLines(data.params, data.items.size())));
    const int fundCount = buildCalendar(params.startDate, params.endDate, mode, params.years, data.kospi, dir);
    NullProgress noProgress;
    IProgressSink& progress = context.progress ? *context.progress : noProgress;
    const ProgressWindow window(progress);
    loadMarket(data, dir, folders.prices, fundCount, *context.messages);

    StockNotes notes;
    const WalkCounts counts = data.logEnabled
        ? runSingleFund(engine, data, files, progress, notes, result.fundsNotDivided)
        : runSeries(context, data, files, progress, notes, result.fundsNotDivided);
    if (context.counts)
        *context.counts += counts;
    files.close(context.runsKept);
    // What the funds did with each stock that the result files cannot show: one message after them.
    std::string said;
    for (const auto& line : notes.lines(data))
        said += (said.empty() ? "" : "\n") + line;
    if (!said.empty())
        context.messages->show(said);
}

RunResult stop(IMessageSink& messages, StopReason reason, const std::string& text, std::filesystem::path file = {},
               std::optional<Setting> setting = std::nullopt)
{
    try {
        messages.show(text);
    } catch (...) {
        // The message cannot be shown either; the status still says the run stopped.
    }
    RunResult result;
    result.status = RunStatus::Stopped;
    result.reason = reason;
    result.message = text;
    result.file = std::move(file);
    result.setting = setting;
    return result;
}

} // namespace

RunResult CSimEngine::runSimulation(const SimParams& params)
{
    IMessageSink& messages = *context.messages;
    try {
        RunResult result;
        simulate(*this, params, result);
        return result;
    } catch (const EngineError& e) {
        return stop(messages, e.reason(), e.what(), e.file(), e.setting());
    } catch (const FileTooLarge& e) {
        return stop(messages, StopReason::Failed, e.what()); // a file too large to read, said by name
    } catch (const std::bad_alloc&) {
        return stop(messages, StopReason::OutOfMemory, outOfMemory);
    } catch (const std::exception&) {
        // A price file too large to address, a text iconv cannot convert, a thread that cannot start.
        return stop(messages, StopReason::Failed, failedRun);
    } catch (...) {
        return stop(messages, StopReason::Failed, failedRun);
    }
}

} // namespace kestrelan
