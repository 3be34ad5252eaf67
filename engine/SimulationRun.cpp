// The run: reads the portfolio, builds the fund calendar, opens the price files and replays
// every fund, writing the result files. In single-fund mode the fund is replayed day by day and
// the detail files are written; in statistics mode each fund is one simulated day (its end date)
// and the funds, independent of each other, run on all cores with their lines written in fund
// order, so the files are the same whatever the number of workers.

#include "engine/CSimEngine.h"

#include "engine/Calendar.h"
#include "engine/Dates.h"
#include "engine/EngineError.h"
#include "engine/Portfolio.h"
#include "engine/RangeTable.h"
#include "engine/ResultLines.h"
#include "engine/TotalDivision.h"
#include "platform/core/Format.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <condition_variable>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

namespace kestrelan {

namespace {

constexpr const char* missingPriceFile = "주가데이터파일이 없습니다. 확인 후 실행하세요.";
constexpr const char* rangeTableUnusable = "매매범위 설정표(ksp.txt)를 읽을 수 없어 입력한 매매조건으로 실행합니다.";
constexpr const char* progressText = "시뮬레이션 진행중입니다....";

// A fund as the run reads it back from date.lst.
struct Fund
{
    std::int32_t start = 0;
    std::int32_t end = 0;
    float startIndex = 0;
    float endIndex = 0;
};

std::vector<Fund> readFunds(const std::filesystem::path& path)
{
    std::vector<Fund> funds;
    auto reader = TextReader::open(path);
    if (!reader)
        return funds;
    forEachRecord(*reader, fundLineSize - 1, [&](const std::string& line) {
        const std::string_view v(line);
        funds.push_back({atoiField(v.substr(0, 8)), atoiField(v.substr(14, 8)), indexPoints(atoiField(v.substr(8, 6))),
                         indexPoints(atoiField(v.substr(22, 6)))});
    });
    return funds;
}

// Stock codes name files below StockData: only letters and digits may reach the path.
bool safeCode(std::string_view code)
{
    return !code.empty()
        && std::all_of(code.begin(), code.end(), [](char c) { return std::isalnum(static_cast<unsigned char>(c)); });
}

// Where each fund's data begins in a price file: the first record at or after the fund's start,
// searched forward from the previous fund's position. A stock without data on or after a start
// gets 0 for that fund; once a record beyond the last start is reached, the later funds share
// its position.
std::vector<std::int32_t> fundPositions(const PriceFile& file, const std::vector<Fund>& funds, std::int32_t lastStart)
{
    const std::int32_t count = file.recordCount();
    std::vector<std::int32_t> pos(funds.size(), 0);
    std::int32_t lastRead = 0;
    bool exhaustedFromStart = false; // a search from record 0 found nothing: later starts won't either
    for (std::size_t k = 0; k < funds.size(); ++k) {
        if (exhaustedFromStart)
            break;
        std::int32_t i = k > 0 ? pos[k - 1] / priceRecordSize : 0;
        const std::int32_t from = i;
        for (; i < count; ++i) {
            lastRead = file.value(i);
            if (lastRead >= funds[k].start)
                break;
        }
        if (i < count) {
            pos[k] = i * priceRecordSize;
        } else if (from == 0) {
            exhaustedFromStart = true;
        }
        if (lastRead > lastStart) {
            std::fill(pos.begin() + static_cast<std::ptrdiff_t>(k) + 1, pos.end(), pos[k]);
            break;
        }
    }
    return pos;
}

// Shows messages at once, or keeps them for the thread that shows them in fund order.
class FundMessages : public IMessageSink
{
public:
    explicit FundMessages(IMessageSink* direct)
        : direct(direct)
    {
    }
    Answer show(std::string_view text, Buttons buttons) override
    {
        if (direct)
            return direct->show(text, buttons);
        kept.emplace_back(text);
        return Answer::Ok;
    }
    IMessageSink* direct;
    std::vector<std::string> kept;
};

// The result lines of one fund: written straight to the files, or kept in fund order.
struct FundOutput
{
    TextWriter* resultCsvFile = nullptr;
    TextWriter* resultTxtFile = nullptr;
    std::string resultCsv;
    std::string resultTxt;
    FundMessages messages{nullptr};
    bool moved = false; // the fund got past the division and moves the progress bar

    void csv(const std::string& line)
    {
        if (resultCsvFile)
            resultCsvFile->write(line);
        else
            resultCsv += line;
    }
    void txt(const std::string& line)
    {
        if (resultTxtFile)
            resultTxtFile->write(line);
        else
            resultTxt += line;
    }
};

// What every fund of a run shares, read-only once the funds start.
struct RunData
{
    SimParams params;
    double commission = 0;
    bool logEnabled = false;
    bool totalMode = false;
    bool autoSet = false;
    std::vector<PortfolioItem> items;
    std::vector<const PriceFile*> files;
    std::vector<std::vector<std::int32_t>> dayPos; // [stock][fund]
    std::vector<Fund> funds;
    const IndexFile* kospi = nullptr;
    RangeTable table;
    IProgressSink* progress = nullptr;
};

enum InitState : int
{
    sitsOut = -1,
    trading = 0,
    pending = 1,
    dataEnded = 2
};

class FundRunner
{
public:
    FundRunner(CSimEngine& engine, RunData& data)
        : engine(engine)
        , data(data)
    {
    }

    void run(std::size_t k, FundOutput& out);

    std::int64_t recordsWalked = 0; // by the rebalancing of every fund this runner ran

private:
    void fillSlot(std::size_t i, const Fund& fund, const SimParams& p, double ratio, std::int32_t amount);
    void runDay(std::size_t k, const Fund& fund, std::int32_t day, const std::string& startText,
                const std::string& dayText, const SimParams& p, double ratio, FundOutput& out, DaySums& sums);

    CSimEngine& engine;
    RunData& data;
    std::vector<std::int32_t> amounts;
    std::vector<int> initState;
};

void FundRunner::fillSlot(std::size_t i, const Fund& fund, const SimParams& p, double ratio, std::int32_t amount)
{
    StockSlot& s = engine.slots[i];
    const std::int32_t level = s.level;
    const std::int32_t startSold = s.startSold;
    s = StockSlot{};
    std::memset(s.itemText, 0, sizeof s.itemText);
    std::memcpy(s.itemText, data.items[i].entry.data(), std::min<std::size_t>(data.items[i].entry.size(), 27));
    s.sDate = fund.start;
    s.eDate = fund.end;
    s.sKospi = fund.startIndex;
    s.eKospi = fund.endIndex;
    s.rangeHighPct = p.rangeHighPct;
    s.rangeLowPct = p.rangeLowPct;
    s.marginPct = p.marginPct;
    s.secondPct = p.secondPct;
    s.initRatio = ratio;
    s.invest = amount;
    s.startSold = startSold;
    s.level = level;
    s.mult = 1.0;
}

void FundRunner::runDay(std::size_t k, const Fund& fund, std::int32_t day, const std::string& startText,
                        const std::string& dayText, const SimParams& p, double ratio, FundOutput& out, DaySums& sums)
{
    sums = DaySums{};
    const bool log = data.logEnabled;
    if (log)
        engine.closingLog.write(dayText);
    for (std::size_t i = 0; i < data.items.size(); ++i) {
        const int stock = static_cast<int>(i);
        if (initState[i] == pending) {
            fillSlot(i, fund, p, ratio, amounts[i]);
            initState[i]
                = engine.initialPurchase(p.investMode, stock, data.dayPos[i][k], log, data.commission, p.includeTax);
        }
        if (initState[i] == trading) {
            const std::int32_t pos = data.dayPos[i][k];
            const std::int32_t next
                = engine.rebalance(p.investMode, stock, day, pos, p.includeTax, log, data.commission);
            recordsWalked
                += (next == endOfData ? data.files[i]->recordCount() : next / priceRecordSize) - pos / priceRecordSize;
            if (next == endOfData)
                initState[i] = dataEnded;
            else
                data.dayPos[i][k] = next;
        } else if (initState[i] == dataEnded && log) {
            engine.closingLog.write(","); // no price: the columns stay aligned with gen.csv
        }
        StockSlot& s = engine.slots[i];
        if (s.firstVol > 0) {
            const double held = static_cast<double>(static_cast<std::int64_t>(s.shares) + s.shares2) * s.last;
            s.value = held + s.cash;
            sums.investSum += s.invest;
            sums.initialSum += static_cast<double>(static_cast<std::int64_t>(s.initial) * s.firstVol);
            sums.stockValueSum += held;
            sums.valueSum += s.value;
            sums.tradeSum += s.totBuy + s.totSell;
            sums.gainSum += s.gain;
            out.txt(resultTxtLine(s, startText, dayText));
        }
    }
}

void FundRunner::run(std::size_t k, FundOutput& out)
{
    const Fund& fund = data.funds[k];
    const std::size_t n = data.items.size();
    SimParams p = data.params;
    p.startDate = fund.start;
    p.endDate = fund.end;
    if (data.autoSet) {
        const RangeRow& row = data.table.rows[selectRangeRow(data.table, fund.startIndex)];
        const int profile = static_cast<int>(p.riskProfile);
        p.initialBuyPct = row.initialBuyPct(profile);
        p.rangeLowPct = row.rangeLowPct(profile);
        p.rangeHighPct = row.rangeHighPct(profile);
    }
    double ratio = p.initialBuyPct * 0.01;

    amounts.resize(n);
    for (std::size_t i = 0; i < n; ++i)
        amounts[i] = data.items[i].amount;
    if (data.totalMode) {
        std::vector<std::int32_t> positions(n);
        for (std::size_t i = 0; i < n; ++i)
            positions[i] = data.dayPos[i][k];
        const auto divided
            = divideTotal(fund.start, data.items[0].amount, ratio, data.files, positions, amounts, out.messages);
        if (!divided)
            return;
        ratio = *divided;
    }
    out.moved = true;

    const std::string startText = dateText(fund.start);
    const std::string endText = dateText(fund.end);
    std::vector<std::int32_t> days;
    std::vector<float> dayIndex;
    if (data.logEnabled) {
        for (const auto& r : data.kospi->records()) {
            if (r.date < fund.start)
                continue;
            if (r.date > fund.end)
                break;
            days.push_back(r.date);
            dayIndex.push_back(indexPoints(r.dayValue));
        }
    } else {
        days.push_back(fund.end);
    }

    initState.assign(n, pending);
    std::fill(engine.stockStarted.begin(), engine.stockStarted.end(), 0);
    DaySums sums;
    for (std::size_t d = 0; d < days.size(); ++d) {
        const std::string dayText = dateText(days[d]);
        if (data.logEnabled && data.progress)
            data.progress->setPosition(static_cast<int>(100 * (d + 1) / days.size()));
        runDay(k, fund, days[d], startText, dayText, p, ratio, out, sums);
        if (data.logEnabled) {
            engine.closingLog.write("\n");
            out.csv(resultCsvLine(startText, dayText, fund.startIndex, dayIndex[d], sums,
                                  indexYield(dayIndex[d], fund.startIndex)));
        }
    }

    if (!data.logEnabled && sums.initialSum > 0) {
        double kospiYield = indexYield(fund.endIndex, fund.startIndex);
        if (n == 1) {
            // A single stock is measured against its own price, adjusted for splits.
            const StockSlot& s = engine.slots[0];
            kospiYield = s.last / (s.initial / s.mult) - 1;
        }
        out.csv(resultCsvLine(startText, endText, fund.startIndex, fund.endIndex, sums, kospiYield));
    }
    for (std::size_t i = 0; i < n; ++i)
        if (engine.slots[i].firstVol > 0)
            out.txt(resultTxtLine(engine.slots[i], startText, endText));
}

int workerCount(int requested, std::size_t funds)
{
    int threads = requested > 0 ? requested : static_cast<int>(std::thread::hardware_concurrency());
    threads = std::max(threads, 1);
    return static_cast<int>(
        std::min<std::size_t>(static_cast<std::size_t>(threads), std::max<std::size_t>(funds / 4, 1)));
}

// The result files of one run, opened in the working folder.
struct ResultFiles
{
    TextWriter resultCsv;
    TextWriter resultTxt;
    TextWriter gen;
};

} // namespace

int CSimEngine::runSimulation(const SimParams& params)
{
    IMessageSink& messages = *context.messages;
    NullProgress noProgress;
    IProgressSink& progress = context.progress ? *context.progress : noProgress;
    const auto& dir = context.workDir;
    auto stop = [&](const std::string& text) {
        messages.show(text);
        return runStopped;
    };

    RunData data;
    data.params = params;
    data.commission = params.commissionPct * 0.01;
    data.logEnabled = !params.yieldStats;
    if (const auto problem = validate(params))
        return stop(problem->message);

    // Inputs first, so that a run that cannot start leaves the previous results in place.
    auto items = readSimItems(dir / "SimItem.lst");
    if (!items || items->empty())
        return stop("SimItem.lst에 종목이 없습니다. 포트폴리오를 구성한 후 실행하세요.");
    if (items->size() > static_cast<std::size_t>(maxStocks))
        return stop(tooManyStocksMessage);
    data.items = std::move(*items);
    const auto kospi = IndexFile::load(dir / "kospi.lst");
    if (!kospi)
        return stop("kospi.lst 파일을 읽을 수 없습니다.");
    if (kospi->records().empty())
        return stop("kospi.lst에 거래일 자료가 없습니다.");
    data.kospi = &*kospi;
    const std::size_t n = data.items.size();
    data.totalMode = n > 1 && data.items[1].amount == 0;

    // The detail logs belong to this run only: closed on every way out.
    struct CloseLogs
    {
        CSimEngine& e;
        ~CloseLogs()
        {
            e.tradeLog.close();
            e.closingLog.close();
        }
    } closeLogs{*this};

    try {
        std::error_code ec;
        for (const char* name : {"closing.csv", "trade.csv", "gen.csv"})
            std::filesystem::remove(dir / name, ec);
        ResultFiles files;
        if (!files.resultCsv.open(dir / "result.csv"))
            throw cannotWrite("result.csv");
        files.resultCsv.write(resultCsvHeader());
        if (!files.resultTxt.open(dir / "result.txt"))
            throw cannotWrite("result.txt");
        files.resultTxt.write(resultTxtHeader());
        if (data.logEnabled) {
            if (!tradeLog.open(dir / "trade.csv"))
                throw cannotWrite("trade.csv");
            if (!closingLog.open(dir / "closing.csv"))
                throw cannotWrite("closing.csv");
            if (!files.gen.open(dir / "gen.csv"))
                throw cannotWrite("gen.csv");
        }

        const int fundCount
            = buildCalendar(params.startDate, params.endDate,
                            data.logEnabled ? CalendarMode::SingleFund
                                            : static_cast<CalendarMode>(static_cast<int>(params.fundCadence)),
                            params.years, *kospi, dir);
        progress.begin(progressText);
        struct EndProgress
        {
            IProgressSink& p;
            ~EndProgress() { p.end(); }
        } endProgress{progress};

        // Each price file is loaded once, however often its stock appears.
        std::map<std::string, PriceFile> loaded;
        for (const auto& item : data.items) {
            const std::string code(entryCode(item.entry));
            auto it = loaded.find(code);
            if (it == loaded.end()) {
                std::optional<PriceFile> file;
                if (safeCode(code))
                    file = PriceFile::load(context.programDir / "StockData" / (code + ".real"));
                if (!file)
                    return stop(missingPriceFile);
                it = loaded.emplace(code, std::move(*file)).first;
            }
            data.files.push_back(&it->second);
        }
        for (std::size_t i = 0; i < n; ++i)
            priceFile[i] = data.files[i];

        const auto table = loadRangeTable(dir / "ksp.txt");
        data.autoSet = params.autoSet;
        if (data.autoSet && !(table && table->usable())) {
            messages.show(rangeTableUnusable);
            data.autoSet = false;
        }
        if (table)
            data.table = *table;

        data.funds = readFunds(dir / "date.lst");
        data.funds.resize(std::min<std::size_t>(data.funds.size(), static_cast<std::size_t>(fundCount)));
        data.progress = &progress;
        if (!data.funds.empty()) {
            const std::int32_t lastStart = data.funds.back().start;
            for (const PriceFile* file : data.files)
                data.dayPos.push_back(fundPositions(*file, data.funds, lastStart));
        }

        const std::size_t fundTotal = data.funds.size();
        if (data.logEnabled) {
            FundRunner runner(*this, data);
            for (std::size_t k = 0; k < fundTotal; ++k) {
                FundOutput out;
                out.resultCsvFile = &files.resultCsv;
                out.resultTxtFile = &files.resultTxt;
                out.messages.direct = &messages;
                runner.run(k, out);
            }
            if (context.recordsWalked)
                *context.recordsWalked += runner.recordsWalked;
            for (std::size_t i = 0; i < n; ++i)
                if (slots[i].firstVol > 0)
                    files.gen.write(genCsvLine(slots[i]));
        } else {
            // Funds run on workers; their lines and messages come out in fund order.
            const int threads = workerCount(context.threads, fundTotal);
            std::vector<FundOutput> outputs(fundTotal);
            std::vector<char> done(fundTotal, 0);
            std::mutex mutex;
            std::condition_variable ready;
            std::atomic<std::size_t> next{0};
            std::vector<std::unique_ptr<CSimEngine>> engines;
            std::atomic<std::int64_t> walked{0};
            auto work = [&](CSimEngine& engine) {
                FundRunner runner(engine, data);
                for (std::size_t k = next++; k < fundTotal; k = next++) {
                    runner.run(k, outputs[k]);
                    std::lock_guard lock(mutex);
                    done[k] = 1;
                    ready.notify_all();
                }
                walked += runner.recordsWalked;
            };
            std::vector<std::thread> workers;
            for (int t = 0; t < threads; ++t) {
                engines.push_back(std::make_unique<CSimEngine>());
                engines.back()->priceFile = priceFile;
                workers.emplace_back(work, std::ref(*engines.back()));
            }
            for (std::size_t k = 0; k < fundTotal; ++k) {
                {
                    std::unique_lock lock(mutex);
                    ready.wait(lock, [&] { return done[k] != 0; });
                }
                FundOutput& out = outputs[k];
                for (const auto& text : out.messages.kept)
                    messages.show(text);
                if (out.moved)
                    progress.setPosition(static_cast<int>(100 * (k + 1) / fundTotal));
                files.resultCsv.write(out.resultCsv);
                files.resultTxt.write(out.resultTxt);
                out = FundOutput{};
            }
            for (auto& w : workers)
                w.join();
            if (context.recordsWalked)
                *context.recordsWalked += walked;
        }

        bool written = files.resultCsv.close();
        written = files.resultTxt.close() && written;
        if (data.logEnabled) {
            written = tradeLog.close() && written;
            written = closingLog.close() && written;
            written = files.gen.close() && written;
        }
        if (!written) {
            // A result file that lost lines on the way to the disk would be read as a result:
            // none is left instead.
            std::error_code removeError;
            for (const char* name : {"result.csv", "result.txt", "trade.csv", "closing.csv", "gen.csv"})
                std::filesystem::remove(dir / name, removeError);
            throw cannotWrite("결과");
        }
    } catch (const EngineError& e) {
        return stop(e.what());
    }
    return runFinished;
}

} // namespace kestrelan
