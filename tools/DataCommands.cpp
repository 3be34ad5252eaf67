#include "tools/DataCommands.h"

#include "engine/MarketAccess.h"
#include "engine/MarketData.h"
#include "engine/MarketUpdate.h"
#include "engine/Portfolio.h"
#include "engine/SimParams.h"
#include "platform/core/FolderLock.h"
#include "platform/core/Folders.h"
#include "platform/core/Format.h"
#include "tools/ImportCsv.h"
#include "tools/MinuteMarket.h"
#include "tools/RunCommand.h"
#include "tools/SampleMarket.h"
#include "tools/Terminal.h"

#include <cstdio>
#include <ostream>

namespace kestrelan {

namespace {

// Years from 1900 on, as the dates of the command line.
constexpr std::int64_t firstYear = 1900, lastYear = 9999;

// "A:B", the first and the last year of the minute market.
std::pair<std::int32_t, std::int32_t> yearSpan(const OptionValues& values, const std::string& text)
{
    const auto colon = text.find(':');
    const auto first = wholeInteger(std::string_view(text).substr(0, colon));
    const auto last
        = colon == std::string::npos ? std::nullopt : wholeInteger(std::string_view(text).substr(colon + 1));
    if (!first || !last || *first < firstYear || *last > lastYear)
        throw values.error("--years",
                           format("%lld부터 %lld까지의 두 해를 A:B로 입력하십시오 (%s)",
                                  static_cast<long long>(firstYear), static_cast<long long>(lastYear), text.c_str()));
    if (*first > *last)
        throw values.error("--years", "앞의 해가 뒤의 해보다 늦습니다 (" + text + ")");
    return {static_cast<std::int32_t>(*first), static_cast<std::int32_t>(*last)};
}

// Five stocks of the sample market, so that `kestrelan-cli run` runs on a new sample market at
// once; a portfolio already in the folder stays.
void writeSamplePortfolio(const std::filesystem::path& dir)
{
    std::error_code ec;
    if (std::filesystem::exists(dir / "SimItem.lst", ec))
        return;
    std::vector<std::string> entries;
    for (const auto& entry : loadCodeList(dir / "code.lst").value_or(std::vector<std::string>{}))
        for (const char* code : {"005930", "000660", "035420", "016360", "053800"})
            if (entryCode(entry) == code)
                entries.push_back(entry);
    const InvestMode mode = SimParams().investMode;
    if (!writeSimItems(dir, entries, static_cast<int>(mode), defaultAmountFor(mode)))
        throw std::runtime_error((dir / "SimItem.lst").string() + " 파일을 쓸 수 없습니다.");
}

} // namespace

CommandSpec sampleDataCommandSpec()
{
    const MinuteMarketShape shape;
    return {
        "sample-data",
        "정해진 표본 시장 데이터(kospi.lst, code.lst, ksp.txt, StockData/*.real)와 다섯 종목의 포트폴리오"
        "(SimItem.lst, 이미 있으면 그대로)를 DIR에 씁니다",
        {
            {"DIR", "DIR", "시장 데이터를 쓸 폴더 (없으면 만듭니다)", true},
            {"--minutes", "", "분 단위 시세의 시장을 씁니다 (측정과 비교 시험용)"},
            {"--stocks", "N", format("--minutes의 종목 수 (기본값 %d, %d까지)", shape.stocks, maxMinuteStocks)},
            {"--years", "A:B",
             format("--minutes의 기간, A년부터 B년까지 (기본값 %d:%d)", shape.firstDay / 10000, shape.lastDay / 10000)},
            {"--ticks", "N", format("--minutes의 하루 시세 수 (기본값 %d, %d까지)", shape.ticksPerDay, maxTicksPerDay)},
            {"--force", "", "DIR에 이미 있는 시장 데이터를 덮어씁니다"},
        },
        "",
    };
}

int sampleDataCommand(const OptionValues& values, std::ostream& out, std::ostream& err)
{
    const auto dir = *values.path("DIR");
    const bool minutes = values.has("--minutes");
    MinuteMarketShape shape;
    if (minutes) {
        shape.stocks = static_cast<int>(values.integer("--stocks", 1, maxMinuteStocks).value_or(shape.stocks));
        shape.ticksPerDay = static_cast<int>(values.integer("--ticks", 1, maxTicksPerDay).value_or(shape.ticksPerDay));
        if (const auto years = values.text("--years")) {
            const auto [first, last] = yearSpan(values, *years);
            shape.firstDay = first * 10000 + 101;
            shape.lastDay = last * 10000 + 1231;
        }
    } else {
        for (const char* option : {"--stocks", "--years", "--ticks"})
            if (values.has(option))
                throw values.error(option, "--minutes와 함께 입력하십시오.");
    }
    // A user's market is never written over by a generated one unless asked for.
    if (holdsMarketFiles(dir) && !values.has("--force")) {
        err << dir.string()
            << "에 이미 시장 데이터(kospi.lst, code.lst 또는 StockData)가 있어 쓰지 않았습니다. 덮어쓰려면 --force를 "
               "붙이십시오.\n";
        return exitFailed;
    }
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    // The folder's market is written: no run of another working folder reads its price files meanwhile.
    const MarketAccess market = MarketAccess::open(sameMarket(dir, dir), LockMode::Exclusive);
    if (!market) {
        err << market.problem << '\n';
        return exitFailed;
    }
    if (!minutes) {
        const auto summary = writeSampleMarket(dir);
        writeSamplePortfolio(dir);
        out << format("%s: %d trading days, %d stocks, %lld price records\n", dir.c_str(), summary.tradingDays,
                      summary.stocks, static_cast<long long>(summary.priceRecords));
        return exitDone;
    }
    const auto summary = writeMinuteMarket(dir, shape);
    out << format("%s: %d trading days, %d stocks, %lld price records, %lld bytes, mean daily range %.2f %%\n",
                  dir.c_str(), summary.tradingDays, summary.stocks, static_cast<long long>(summary.priceRecords),
                  static_cast<long long>(summary.bytes), summary.meanDailyRangePct);
    return exitDone;
}

CommandSpec importCsvCommandSpec()
{
    return {
        "import-csv",
        "일별 시세 CSV 파일로 시장 데이터 파일(kospi.lst, code.lst, StockData/*.real)을 만들고 "
        "import-report.txt에 보고서를 씁니다",
        {
            {"--prices", "DIR", "종목마다 <종목코드>.csv(.txt, .tsv)가 있는 폴더 (UTF-8 또는 CP949)", true},
            {"--index", "FILE", "지수 CSV (날짜, 종가, 있으면 시가)", true},
            {"--names", "FILE", "종목코드,종목명 CSV (UTF-8 또는 CP949)", true},
            {"--out", "DIR", "시장 데이터 파일을 쓸 폴더", true},
            {"--multiplier", "X", "가격에 곱할 수 (기본값 1)"},
            {"--index-scale", "X", "지수에 곱할 수: 9,999.99포인트를 넘는 지수는 0.1 등으로 줄입니다 (기본값 1)"},
            {"--from", "YYYYMMDD", "이날부터 (YYYYMMDD 또는 YYYY-MM-DD)"},
            {"--to", "YYYYMMDD", "이날까지 (YYYYMMDD 또는 YYYY-MM-DD)"},
            {"--splits", "FILE", "종목코드,날짜,비율 CSV: 수정되지 않은 가격의 분할"},
            {"--dividends", "FILE",
             "종목코드,배당락일,주당 배당금(원) CSV: 시장의 dividends.csv로 씁니다 (있던 것은 바꿉니다)"},
            {"--update", "", "가격 파일 대신 저장된 날 뒤의 날만 Update.new에 씁니다"},
            {"--program-dir", "DIR",
             "--update: 비교하고 merge-update가 쓸 StockData/가 있는 폴더 (기본값: --out 폴더에 StockData/가 "
             "있으면 그 폴더, 없으면 프로그램의 폴더)"},
        },
        "",
    };
}

int importCsvCommand(const OptionValues& values, std::ostream& out, std::ostream& err)
{
    ImportOptions o;
    o.prices = *values.path("--prices");
    o.index = *values.path("--index");
    o.names = *values.path("--names");
    o.out = *values.path("--out");
    for (auto [option, target] : {std::pair{"--multiplier", &o.multiplier}, {"--index-scale", &o.indexScale}}) {
        *target = values.decimal(option).value_or(*target);
        if (!(*target > 0))
            throw values.error(option, "0보다 큰 수를 입력하십시오 (" + *values.text(option) + ")");
    }
    o.from = values.date("--from").value_or(o.from);
    o.to = values.date("--to").value_or(o.to);
    o.splits = values.path("--splits");
    o.dividends = values.path("--dividends");
    o.update = values.has("--update");
    o.programDir = values.path("--program-dir");
    if (o.programDir && !o.update)
        throw values.error("--program-dir",
                           "--update와 함께 입력하십시오 (전체 가져오기는 --out 폴더에 StockData/를 씁니다).");
    o.defaultProgramDir = programFolder();
    o.waitSeconds = marketWaitSeconds;
    o.waiting = [] { std::fprintf(stderr, "%s\n", marketWaitMessage); };
    try {
        const auto summary = importCsv(o);
        out << summary.report << '\n';
        out << format("%s: %d stocks, %lld price records, %d index days%s\n",
                      std::filesystem::absolute(o.out).lexically_normal().c_str(), summary.stocks,
                      static_cast<long long>(summary.priceRecords), summary.indexDays,
                      o.update ? " (Update.new written: kestrelan-cli merge-update)" : "");
        return exitDone;
    } catch (const ImportError& e) {
        err << e.what() << '\n';
        return exitFailed;
    }
}

CommandSpec mergeUpdateCommandSpec()
{
    return {
        "merge-update",
        "현재 폴더의 Update.new(import-csv --update가 쓴 새 날)를 주가 파일에 반영합니다. kestrelan이 시작할 때 "
        "하는 것과 같습니다",
        {
            {"--program-dir", "DIR", "StockData/가 있는 폴더 (기본값: 현재 폴더에 StockData/가 있으면 현재 폴더, 없으면 프로그램의 폴더)"},
        },
        "반영하지 못한 자료는 Update.rej에 남고, 멈춘 반영은 다음에 이어서 합니다.",
    };
}

int mergeUpdateCommand(const OptionValues& values, const std::filesystem::path& workDir,
                       const std::filesystem::path& defaultProgramDir, std::ostream& out, IMessageSink& messages)
{
    const auto given = values.path("--program-dir");
    const MarketFolders folders = marketFolders(workDir, given.value_or(defaultProgramDir), given.has_value());
    // The market held before anything is read: an import a kill interrupted is finished or undone
    // first, so that the update it wrote is merged too.
    const MarketAccess market = MarketAccess::open(folders, LockMode::Exclusive, marketWaitSeconds,
                                                   [] { std::fprintf(stderr, "%s\n", marketWaitMessage); });
    if (!market) {
        messages.show(market.problem);
        return exitFailed;
    }
    std::error_code ec;
    const auto codeSize = std::filesystem::file_size(workDir / "code.lst", ec);
    const int listedCount = ec ? 0 : static_cast<int>(codeSize / codeRecordSize);
    TerminalProgress progress;
    const UpdateOutcome outcome = mergeUpdate(workDir, folders.prices, listedCount, progress, messages);
    if (!outcome.present) {
        out << (workDir / updateFileName).string() << ": 반영할 Update.new가 없습니다.\n";
        return exitDone;
    }
    // A merge that stopped has said why; what it did before the stop still counts.
    if (outcome.merged > 0 || !(outcome.stopped || outcome.kept))
        out << format("%d개 종목의 새 자료를 %s에 반영했습니다.\n", outcome.merged,
                      (folders.prices / "StockData").c_str());
    return outcome.stopped || outcome.kept ? exitFailed : exitDone;
}

} // namespace kestrelan
