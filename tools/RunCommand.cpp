#include "tools/RunCommand.h"

#include "engine/CSimEngine.h"
#include "engine/Dates.h"
#include "engine/MarketData.h"
#include "engine/Portfolio.h"
#include "platform/core/Folders.h"
#include "platform/core/Format.h"
#include "tools/Terminal.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <map>
#include <stdexcept>

namespace kestrelan {

std::string runUsage()
{
    const SimParams d;
    return format("usage: kestrelan-cli run [options]    (in the folder of kospi.lst, SimItem.lst and ksp.txt)\n"
                  "  --program-dir DIR     folder holding StockData/ (default: the program's folder)\n"
                  "  --stocks CODE,...     write SimItem.lst from code.lst entries (else use the existing one)\n"
                  "  --amount N            amount for --stocks (default %u; %u in share mode)\n"
                  "  --invest-mode 0|1|2   per stock, total, share count, for --stocks (default %d)\n"
                  "  --start YYYYMMDD --end YYYYMMDD   (default: the 24 months before kospi.lst's last month;\n"
                  "                        with --yield-stats 1 from %d)\n"
                  "  --cadence 0|1|2       funds three times a month, monthly, daily (default %d)\n"
                  "  --years N             length of each fund, 0 for half a year (default %d)\n"
                  "  --margin N --second N --range-low N --range-high N --initial N   percent (%d %d %d %d %d)\n"
                  "  --commission X        percent (default %g)\n"
                  "  --auto-set 0|1        conditions from ksp.txt per fund (default %d)\n"
                  "  --risk 0|1|2          aggressive, stable, conservative (default %d)\n"
                  "  --yield-stats 0|1     a series of funds instead of one (default %d)\n"
                  "  --include-tax 0|1     sales tax of %g %% (default %d)\n"
                  "Set KESTRELAN_THREADS to limit the workers of a fund series.\n",
                  defaultAmountFor(InvestMode::PerStock), defaultAmountFor(InvestMode::ShareCount),
                  static_cast<int>(d.investMode), seriesStartDate, static_cast<int>(d.fundCadence), d.years,
                  d.marginPct, d.secondPct, d.rangeLowPct, d.rangeHighPct, d.initialBuyPct, d.commissionPct, d.autoSet,
                  static_cast<int>(d.riskProfile), d.yieldStats, salesTaxRate * 100, d.includeTax);
}

namespace {

std::int64_t integer(const std::string& name, const std::string& text, std::int64_t low, std::int64_t high)
{
    std::int64_t value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || value < low || value > high)
        throw std::invalid_argument(name + ": " + std::to_string(low) + " 이상 " + std::to_string(high)
                                    + " 이하의 정수를 입력하십시오 (" + text + ")");
    return value;
}

std::int32_t percent(const std::string& name, const std::string& text, std::int32_t low = -percentLimit)
{
    return static_cast<std::int32_t>(integer(name, text, low, percentLimit));
}

// One of an enumeration's values, given by its number.
template <class E>
E choice(const std::string& name, const std::string& text, E last)
{
    return static_cast<E>(integer(name, text, 0, static_cast<std::int64_t>(last)));
}

bool flag(const std::string& name, const std::string& text) { return integer(name, text, 0, 1) != 0; }

// The option that sets a setting, for the settings check's messages.
const char* optionOf(Setting setting)
{
    switch (setting) {
    case Setting::InvestMode: return "--invest-mode";
    case Setting::FundCadence: return "--cadence";
    case Setting::Margin: return "--margin";
    case Setting::RiskProfile: return "--risk";
    }
    return "";
}

std::int32_t date(const std::string& name, const std::string& text)
{
    const auto d = static_cast<std::int32_t>(integer(name, text, minDate, maxDate));
    if (dateMonth(d) < 1 || dateMonth(d) > 12 || dateDay(d) < 1 || dateDay(d) > 31)
        throw std::invalid_argument(name + ": 날짜는 YYYYMMDD로 입력하십시오 (" + text + ")");
    return d;
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

} // namespace

RunOptions parseRunOptions(const std::vector<std::string>& args, const std::filesystem::path& workDir,
                           const std::filesystem::path& defaultProgramDir)
{
    std::map<std::string, std::string> given;
    for (std::size_t i = 0; i < args.size(); i += 2) {
        if (args[i].rfind("--", 0) != 0 || i + 1 >= args.size())
            throw std::invalid_argument("옵션 다음에 값을 입력하십시오: " + args[i]);
        given[args[i]] = args[i + 1];
    }
    RunOptions o;
    SimParams& p = o.params;
    o.programDir = defaultProgramDir;
    std::optional<std::int32_t> start, end;
    for (const auto& [name, value] : given) {
        if (name == "--program-dir")
            o.programDir = value;
        else if (name == "--stocks")
            o.stocks = splitCodes(value);
        else if (name == "--amount")
            o.amount = integer(name, value, 0, std::numeric_limits<std::int32_t>::max());
        else if (name == "--invest-mode")
            p.investMode = choice(name, value, InvestMode::ShareCount);
        else if (name == "--start")
            start = date(name, value);
        else if (name == "--end")
            end = date(name, value);
        else if (name == "--cadence")
            p.fundCadence = choice(name, value, FundCadence::Daily);
        else if (name == "--years")
            p.years = static_cast<std::int32_t>(integer(name, value, 0, maxYears));
        else if (name == "--margin")
            p.marginPct = percent(name, value, minMarginPct);
        else if (name == "--second")
            p.secondPct = percent(name, value);
        else if (name == "--range-low")
            p.rangeLowPct = percent(name, value);
        else if (name == "--range-high")
            p.rangeHighPct = percent(name, value);
        else if (name == "--initial")
            p.initialBuyPct = percent(name, value);
        else if (name == "--commission") {
            char* stop = nullptr;
            p.commissionPct = std::strtod(value.c_str(), &stop);
            if (value.empty() || *stop != '\0')
                throw std::invalid_argument("--commission: 숫자를 입력하십시오 (" + value + ")");
        } else if (name == "--auto-set")
            p.autoSet = flag(name, value);
        else if (name == "--risk")
            p.riskProfile = choice(name, value, RiskProfile::Conservative);
        else if (name == "--yield-stats")
            p.yieldStats = flag(name, value);
        else if (name == "--include-tax")
            p.includeTax = flag(name, value);
        else
            throw std::invalid_argument("알 수 없는 옵션입니다: " + name);
    }
    // Without --stocks the run reads the amounts an earlier SimItem.lst holds, written for its own
    // invest mode: a mode or an amount given here would not reach them.
    if (o.stocks.empty() && (given.count("--invest-mode") || given.count("--amount")))
        throw std::invalid_argument("--invest-mode와 --amount는 --stocks와 함께 입력하십시오. --stocks가 없으면 "
                                    "기존 SimItem.lst의 종목과 금액으로 실행합니다.");
    if (const auto problem = validate(p))
        throw std::invalid_argument(std::string(optionOf(problem->setting)) + ": " + problem->message);
    if (!start || !end) {
        const auto last = readLastIndexDate(workDir / "kospi.lst");
        if (!last)
            throw std::invalid_argument(
                "kospi.lst 파일을 읽을 수 없어 기본 기간을 정할 수 없습니다. --start와 --end를 입력하십시오.");
        const Period period = defaultPeriod(*last);
        p.startDate = start.value_or(p.yieldStats ? seriesStartDate : period.startDate);
        p.endDate = end.value_or(period.endDate);
    } else {
        p.startDate = *start;
        p.endDate = *end;
    }
    if (o.amount < 0)
        o.amount = defaultAmountFor(p.investMode);
    if (p.investMode != InvestMode::ShareCount)
        o.amount = std::min<std::int64_t>(o.amount, maxInvestAmount); // as the form cuts won amounts
    return o;
}

int runCommand(const std::vector<std::string>& args)
{
    if (!args.empty() && (args[0] == "--help" || args[0] == "-h")) {
        std::fputs(runUsage().c_str(), stdout);
        return 0;
    }
    const auto workDir = workingFolder();
    RunOptions options;
    try {
        options = parseRunOptions(args, workDir, programFolder());
    } catch (const std::invalid_argument& e) {
        std::fprintf(stderr, "%s\n%s", e.what(), runUsage().c_str());
        return 2;
    }
    if (!options.stocks.empty()) {
        if (options.stocks.size() > static_cast<std::size_t>(maxStocks)) {
            std::fprintf(stderr, "%s\n", tooManyStocksMessage);
            return 1;
        }
        const auto codes = loadCodeList(workDir / "code.lst");
        if (!codes) {
            std::fputs("code.lst 파일을 읽을 수 없습니다.\n", stderr);
            return 1;
        }
        std::vector<std::string> entries;
        for (const auto& code : options.stocks) {
            const auto it = std::find_if(codes->begin(), codes->end(),
                                         [&](const std::string& e) { return entryCode(e) == code; });
            if (it == codes->end()) {
                std::fprintf(stderr, "code.lst에 없는 종목입니다: %s\n", code.c_str());
                return 1;
            }
            entries.push_back(*it);
        }
        if (!writeSimItems(workDir, entries, static_cast<int>(options.params.investMode), options.amount)) {
            std::fputs("SimItem.lst 파일을 쓸 수 없습니다.\n", stderr);
            return 1;
        }
    }
    StderrMessages messages;
    TerminalProgress progress;
    RunContext context;
    context.workDir = workDir;
    context.programDir = options.programDir;
    context.messages = &messages;
    context.progress = &progress;
    if (const char* threads = std::getenv("KESTRELAN_THREADS"))
        context.threads = std::atoi(threads);
    CSimEngine engine(context);
    return engine.runSimulation(options.params) == runFinished ? 0 : 1;
}

} // namespace kestrelan
