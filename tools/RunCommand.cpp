#include "tools/RunCommand.h"

#include "engine/CSimEngine.h"
#include "engine/Dates.h"
#include "engine/EffectiveSettings.h"
#include "engine/EngineError.h"
#include "engine/MarketData.h"
#include "engine/MarketRules.h"
#include "engine/MarketUpdate.h"
#include "engine/Portfolio.h"
#include "engine/RunInputs.h"
#include "formats/ResultCsv.h"
#include "formats/ResultSet.h"
#include "formats/StatsCsv.h"
#include "platform/core/FolderLock.h"
#include "platform/core/Folders.h"
#include "platform/core/Format.h"
#include "platform/core/TextFile.h"
#include "results/core/SeriesSummary.h"
#include "results/core/SweepCsv.h"
#include "tools/ShowCommand.h"
#include "tools/Terminal.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <limits>
#include <optional>

namespace kestrelan {

CommandSpec runCommandSpec()
{
    const SimParams d;
    const auto percent = [](const char* what, std::int32_t value) { return format("%s %% (기본값 %d)", what, value); };
    const auto choice
        = [](const char* what, auto value) { return format("%s (기본값 %d)", what, static_cast<int>(value)); };
    return {
        "run",
        "현재 폴더(kospi.lst, SimItem.lst, ksp.txt가 있는 폴더)에서 시뮬레이션 버튼처럼 한 번 실행하고 결과 "
        "파일을 씁니다",
        {
            {"--program-dir", "DIR", "StockData/가 있는 폴더 (기본값: 현재 폴더에 StockData/가 있으면 현재 폴더, 없으면 프로그램의 폴더)"},
            {"--stocks", "CODE,...", "code.lst의 종목으로 SimItem.lst를 씁니다 (없으면 기존 SimItem.lst)"},
            {"--amount", "N",
             format("--stocks의 투자금액 (기본값 %u원, 주식수 방식은 %u주; %u원까지)",
                    defaultAmountFor(InvestMode::PerStock), defaultAmountFor(InvestMode::ShareCount), maxInvestAmount)},
            {"--invest-mode", "0|1|2", choice(("--stocks의 투자 방식: " + setting::investMode.wordsText()).c_str(), d.investMode)},
            {"--start", "YYYYMMDD",
             format("시작일, YYYYMMDD 또는 YYYY-MM-DD (기본값: kospi.lst의 마지막 달 앞 24개월;\n"
                    "--yield-stats 1이면 %s부터; %s보다 이르면 그날부터)",
                    dateText(seriesStartDate).c_str(), dateText(minStartDate).c_str())},
            {"--end", "YYYYMMDD", "종료일 (기본값: kospi.lst의 마지막 달 앞 달의 말일)"},
            {"--cadence", "0|1|2", choice(("수익률 통계의 펀드 시작: " + setting::fundCadence.wordsText()).c_str(), d.fundCadence)},
            {"--years", "N", format("각 펀드의 운용 연수, 0은 반년 (기본값 %d, %d까지)", d.years, maxYears)},
            {"--margin", "N", percent("매매차익", d.marginPct)},
            {"--second", "N", percent("2차조건", d.secondPct)},
            {"--range-low", "N", percent("매매범위 하단, 시작 가격의", d.rangeLowPct)},
            {"--range-high", "N", percent("매매범위 상단, 시작 가격의", d.rangeHighPct)},
            {"--initial", "N", percent("최초매수비율", d.initialBuyPct)},
            {"--commission", "X", format("수수료 %% (기본값 %g)", d.commissionPct)},
            {"--risk-free", "X", format("stats.csv 샤프지수의 무위험수익률, 연 %% (기본값 %g)", d.riskFreePct)},
            {"--auto-set", "0|1", choice("자동설정: 펀드마다 ksp.txt에서 매매조건을 정합니다", d.autoSet)},
            {"--risk", "0|1|2", choice(("자동설정의 성향: " + setting::riskProfile.wordsText()).c_str(), d.riskProfile)},
            {"--yield-stats", "0|1", choice("수익률 통계: 한 펀드 대신 펀드를 여러 번 시작합니다", d.yieldStats)},
            {"--include-tax", "0|1",
             format("세금포함: 매도마다 %g %%의 세금 (기본값 %d)", salesTaxRate * 100, d.includeTax)},
            {"--rules", "design|krx|FILE",
             "시장 규칙 (기본값 design): design은 매도세 0.3 %와 한 호가단위표, krx는 날짜별 한국 시장 규칙\n"
             "(매도세는 결제일의 세율, 호가단위는 그날의 표; 프로그램 데이터 폴더의 rules-krx.csv), FILE은 같은 "
             "형식의 사용자 표"},
            {"--dividends", "0|1",
             "배당: 시장의 dividends.csv의 배당을 배당락일에 현금에 넣습니다 (기본값: design이 아닌 규칙에서 "
             "dividends.csv가 있으면 1)"},
            {"--keep", "N",
             format("history/에 남길 실행의 수: 가장 오래된 실행부터 지웁니다, 가장 새 실행은 늘 남깁니다 (기본값 %d)",
                    defaultRunsKept)},
        },
        "KESTRELAN_THREADS 환경 변수로 수익률 통계의 작업 스레드 수를 제한할 수 있습니다.",
    };
}

namespace {

std::int32_t percentOr(const OptionValues& values, const char* option, std::int32_t fallback,
                       std::int32_t low = -percentLimit)
{
    return static_cast<std::int32_t>(values.integer(option, low, percentLimit).value_or(fallback));
}

// One of an enumeration's values, given by its number.
template <class E>
E choiceOr(const OptionValues& values, const char* option, E fallback, E last)
{
    return static_cast<E>(
        values.integer(option, 0, static_cast<std::int64_t>(last)).value_or(static_cast<int>(fallback)));
}

bool flagOr(const OptionValues& values, const char* option, bool fallback)
{
    return values.integer(option, 0, 1).value_or(fallback) != 0;
}

// The option that sets a setting, for the settings check's messages.
const char* optionOf(Setting setting)
{
    switch (setting) {
    case Setting::InvestMode: return "--invest-mode";
    case Setting::FundCadence: return "--cadence";
    case Setting::Margin: return "--margin";
    case Setting::RiskProfile: return "--risk";
    case Setting::Commission: return "--commission";
    case Setting::Period: return "--start";
    case Setting::Amount: return "--amount";
    }
    return "";
}

std::vector<std::string> splitCodes(const std::string& text)
{
    std::vector<std::string> codes;
    std::size_t start = 0;
    while (start <= text.size()) {
        const auto comma = text.find(',', start);
        const auto code = text.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        if (!code.empty())
            codes.push_back(code);
        if (comma == std::string::npos)
            break;
        start = comma + 1;
    }
    return codes;
}

// A file as the user would type it: relative to the working folder when it lies below it.
std::string shownPath(const std::filesystem::path& file, const std::filesystem::path& workDir)
{
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::path full = fs::absolute(file, ec).lexically_normal();
    const fs::path relative = full.lexically_relative(fs::absolute(workDir, ec).lexically_normal());
    return (!relative.empty() && *relative.begin() != ".." ? relative : full).string();
}

} // namespace

RunOptions readRunOptions(const OptionValues& values, const std::filesystem::path& workDir,
                          const std::filesystem::path& defaultProgramDir)
{
    RunOptions o;
    SimParams& p = o.params;
    o.programDir = values.path("--program-dir").value_or(defaultProgramDir);
    o.programDirGiven = values.has("--program-dir");
    o.runsKept = static_cast<int>(values.integer("--keep", 1, maxRunsKept).value_or(defaultRunsKept));
    o.stocks = splitCodes(values.text("--stocks").value_or(""));
    o.amount = values.integer("--amount", 0, std::numeric_limits<std::int64_t>::max()).value_or(-1);
    p.investMode = choiceOr(values, "--invest-mode", p.investMode, InvestMode::ShareCount);
    const auto start = values.date("--start");
    const auto end = values.date("--end");
    p.fundCadence = choiceOr(values, "--cadence", p.fundCadence, FundCadence::Daily);
    p.years = static_cast<std::int32_t>(values.integer("--years", 0, maxYears).value_or(p.years));
    p.marginPct = percentOr(values, "--margin", p.marginPct, minMarginPct);
    p.secondPct = percentOr(values, "--second", p.secondPct);
    p.rangeLowPct = percentOr(values, "--range-low", p.rangeLowPct);
    p.rangeHighPct = percentOr(values, "--range-high", p.rangeHighPct);
    p.initialBuyPct = percentOr(values, "--initial", p.initialBuyPct);
    p.commissionPct = values.decimal("--commission").value_or(p.commissionPct);
    p.riskFreePct = values.decimal("--risk-free").value_or(p.riskFreePct);
    if (p.riskFreePct <= -100 || p.riskFreePct >= 100)
        throw values.error("--risk-free", "-100보다 크고 100보다 작은 수를 입력하십시오.");
    p.autoSet = flagOr(values, "--auto-set", p.autoSet);
    p.riskProfile = choiceOr(values, "--risk", p.riskProfile, RiskProfile::Conservative);
    p.yieldStats = flagOr(values, "--yield-stats", p.yieldStats);
    p.includeTax = flagOr(values, "--include-tax", p.includeTax);
    p.rules = values.text("--rules").value_or(p.rules);
    if (p.rules.empty())
        throw values.error("--rules", "design, krx 또는 규칙 파일을 입력하십시오.");
    if (values.has("--dividends"))
        p.dividends = flagOr(values, "--dividends", false) ? 1 : 0;
    // Without --stocks the run reads the amounts an earlier SimItem.lst holds, written for its own
    // invest mode: a mode or an amount given here would not reach them.
    if (o.stocks.empty() && (values.has("--invest-mode") || values.has("--amount")))
        throw UsageError(
            "--invest-mode와 --amount는 --stocks와 함께 입력하십시오. --stocks가 없으면 기존 SimItem.lst의 "
            "종목과 금액으로 실행합니다.",
            values.command());
    if (const auto problem = validate(p))
        throw values.error(optionOf(problem->setting), problem->message);
    // A condition that the automatic setting replaces (or, without it, the risk profile) is said
    // not to be used, rather than taken in silence.
    std::string unused;
    for (const SettingSpec* s : {&setting::rangeLow, &setting::rangeHigh, &setting::initialBuy, &setting::riskProfile})
        if (values.has(s->option) && !sweepSettingUsed(*s, p.autoSet))
            unused += (unused.empty() ? "" : ", ") + std::string(s->option);
    if (!unused.empty())
        o.notes.push_back((p.autoSet ? "자동설정(--auto-set 1)에서는 펀드마다 ksp.txt가 매매범위와 최초매수비율을 "
                                       "정하므로 쓰지 않았습니다: "
                                     : "자동설정 없이(--auto-set 0)는 투자성향이 매매조건을 고르지 않으므로 쓰지 "
                                       "않았습니다: ")
                          + unused);
    std::optional<std::int32_t> last;
    if (!start || !end) {
        std::string problem;
        last = readLastIndexDate(workDir / "kospi.lst", &problem);
        if (!problem.empty())
            o.notes.push_back(problem);
        if (!last)
            throw UsageError(
                "kospi.lst 파일을 읽을 수 없어 기본 기간을 정할 수 없습니다. --start와 --end를 입력하십시오.",
                values.command());
    }
    p.startDate = start.value_or(0);
    p.endDate = end.value_or(0);
    const EffectiveSettings effective = effectiveSettings(p, last);
    p = effective.params;
    if (effective.startCut)
        o.notes.push_back("--start " + dateText(*effective.startCut) + "은 가장 이른 시작일 " + dateText(minStartDate)
                          + "로 바꿨습니다.");
    if (const auto problem = validatePeriod(p))
        throw values.error(optionOf(problem->setting), problem->message);
    if (o.amount < 0)
        o.amount = defaultAmountFor(p.investMode);
    // The form cuts a larger amount it is typed; a command line says so rather than run another.
    const std::uint32_t limit = effective.amountLimit;
    if (o.amount > limit)
        throw values.error("--amount", format("%s까지 입력하십시오 (%lld)",
                                              p.investMode == InvestMode::ShareCount ? "2,000,000,000주"
                                                                                    : "2,000,000,000원",
                                              static_cast<long long>(o.amount)));
    if (const auto problem = validateAmount(o.amount); problem && !o.stocks.empty())
        throw values.error(optionOf(problem->setting), problem->message);
    // The note goes by the rules' taxes; rules that do not read are refused by the run itself.
    try {
        if (const auto note = marginBelowCostsNote(p, loadRules(p.rules, dataFolder()), p.startDate, p.endDate))
            o.notes.push_back(*note);
    } catch (const EngineError&) {
    }
    return o;
}

RunOptions parseRunOptions(const std::vector<std::string>& args, const std::filesystem::path& workDir,
                           const std::filesystem::path& defaultProgramDir)
{
    std::vector<std::string> line = {"run"};
    line.insert(line.end(), args.begin(), args.end());
    const ParsedCommandLine parsed = parseCommandLine({runCommandSpec()}, line);
    if (parsed.request != ParsedCommandLine::Request::Command)
        throw UsageError("--help: 설정이 아닙니다.", "run");
    return readRunOptions(parsed.values, workDir, defaultProgramDir);
}

std::optional<int> prepareRun(const RunOptions& options, const std::filesystem::path& workDir, std::ostream& err)
{
    for (const auto& note : options.notes)
        err << note << '\n';
    // New days waiting in Update.new: kospi.lst holds them already, the price files not yet.
    if (std::error_code ec; std::filesystem::exists(workDir / updateFileName, ec)) {
        err << pendingUpdateMessage << '\n';
        return exitFailed;
    }
    if (options.stocks.empty())
        return std::nullopt;
    if (options.stocks.size() > static_cast<std::size_t>(maxStocks)) {
        err << tooManyStocksMessage << '\n';
        return exitFailed;
    }
    const auto codes = loadCodeList(workDir / "code.lst");
    if (!codes) {
        err << "code.lst 파일을 읽을 수 없습니다.\n";
        return exitFailed;
    }
    std::vector<std::string> entries;
    for (const auto& code : options.stocks) {
        const auto it
            = std::find_if(codes->begin(), codes->end(), [&](const std::string& e) { return entryCode(e) == code; });
        if (it == codes->end()) {
            err << "code.lst에 없는 종목입니다: " << code << '\n';
            return exitFailed;
        }
        entries.push_back(*it);
    }
    if (!writeSimItems(workDir, entries, static_cast<int>(options.params.investMode), options.amount)) {
        err << "SimItem.lst 파일을 쓸 수 없습니다.\n";
        return exitFailed;
    }
    return std::nullopt;
}

RunContext runContext(const RunOptions& options, const std::filesystem::path& workDir, IMessageSink& messages)
{
    RunContext context;
    context.workDir = workDir;
    context.programDir = options.programDir;
    context.programDirGiven = options.programDirGiven;
    context.messages = &messages;
    context.runsKept = options.runsKept;
    if (const char* threads = std::getenv("KESTRELAN_THREADS"))
        context.threads = std::atoi(threads);
    return context;
}

int runCommand(const RunOptions& options, const std::filesystem::path& workDir)
{
    // The folder is this command's from SimItem.lst to the last result file.
    const auto lock = FolderLock::tryAcquire(workDir);
    if (!lock) {
        std::fprintf(stderr, "%s\n", folderBusyMessage);
        return exitFailed;
    }
    if (const auto stopped = prepareRun(options, workDir, std::cerr))
        return *stopped;
    StderrMessages messages;
    TerminalProgress progress;
    RunContext context = runContext(options, workDir, messages);
    context.progress = &progress;
    CSimEngine engine(context);
    const RunResult result = engine.runSimulation(options.params);
    // A single fund whose total could not be divided has no result (the engine said why).
    if (result.finished() && !options.params.yieldStats && !result.fundsNotDivided.empty())
        return exitFailed;
    if (result.finished()) {
        // A run ends with its summary as `show` gives it: a fund series' spread, a single fund's
        // figures against the index.
        const ResultKind kind = options.params.yieldStats ? ResultKind::FundSeries : ResultKind::SingleFund;
        const Statistics statistics = loadStatistics(kind, workDir);
        if (!statistics.table.rows.empty())
            std::fputs(("\n" + std::string(options.params.yieldStats ? seriesSummaryTitle : riskTableTitle) + "\n"
                        + textTable(statistics.table))
                           .c_str(),
                       stdout);
        return exitDone;
    }
    // The engine says a price file is missing; the command line says where it looked.
    if (result.reason == StopReason::MissingPriceFile)
        std::fprintf(stderr, "찾아본 파일: %s (StockData가 있는 폴더는 --program-dir로 줄 수 있습니다)\n",
                     shownPath(result.file, workDir).c_str());
    return exitFailed;
}

std::optional<MarketAccess> holdMarketToRead(const OptionValues& values, const std::filesystem::path& workDir,
                                             const std::filesystem::path& defaultProgramDir)
{
    const auto given = values.path("--program-dir");
    MarketAccess market = MarketAccess::open(
        marketFolders(workDir, given.value_or(defaultProgramDir), given.has_value()), LockMode::Shared,
        marketWaitSeconds, [] { std::fprintf(stderr, "%s\n", marketWaitMessage); });
    if (!market) {
        std::fprintf(stderr, "%s\n", market.problem.c_str());
        return std::nullopt;
    }
    return market;
}

int runFromCommandLine(const OptionValues& values, const std::filesystem::path& workDir,
                       const std::filesystem::path& defaultProgramDir)
{
    const auto lock = FolderLock::tryAcquire(workDir);
    if (!lock) {
        std::fprintf(stderr, "%s\n", folderBusyMessage);
        return exitFailed;
    }
    const auto market = holdMarketToRead(values, workDir, defaultProgramDir);
    if (!market)
        return exitFailed;
    return runCommand(readRunOptions(values, workDir, defaultProgramDir), workDir);
}

} // namespace kestrelan
