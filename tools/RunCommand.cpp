#include "tools/RunCommand.h"

#include "engine/Dates.h"
#include "engine/MarketData.h"
#include "engine/Portfolio.h"
#include "platform/core/Folders.h"
#include "tools/Terminal.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <stdexcept>

namespace kestrelan {

const char* const runUsage
    = "usage: kestrelan-cli run [options]    (in the folder of kospi.lst, SimItem.lst and ksp.txt)\n"
      "  --program-dir DIR     folder holding StockData/ (default: the program's folder)\n"
      "  --stocks CODE,...     write SimItem.lst from code.lst entries (else use the existing one)\n"
      "  --amount N            amount for --stocks (default 100000000; 10000 in share mode)\n"
      "  --invest-mode 0|1|2   per stock, total, share count (default 0)\n"
      "  --start YYYYMMDD --end YYYYMMDD   (default: the 24 months before kospi.lst's last month;\n"
      "                        with --yield-stats 1 from 20000101)\n"
      "  --cadence 0|1|2       funds three times a month, monthly, daily (default 0)\n"
      "  --years N             length of each fund, 0 for half a year (default 1)\n"
      "  --margin N --second N --range-low N --range-high N --initial N   percent (10 10 50 150 50)\n"
      "  --commission X        percent (default 0.2)\n"
      "  --auto-set 0|1        conditions from ksp.txt per fund (default 1)\n"
      "  --risk 0|1|2          aggressive, stable, conservative (default 1)\n"
      "  --yield-stats 0|1     a series of funds instead of one (default 0)\n"
      "  --include-tax 0|1     sales tax of 0.3 % (default 1)\n"
      "Set KESTRELAN_THREADS to limit the workers of a fund series.\n";

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

std::int32_t date(const std::string& name, const std::string& text)
{
    const auto d = static_cast<std::int32_t>(integer(name, text, 19000101, 99991231));
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
            o.amount = integer(name, value, 0, 2147483647);
        else if (name == "--invest-mode")
            p.investMode = static_cast<std::int32_t>(integer(name, value, 0, 2));
        else if (name == "--start")
            start = date(name, value);
        else if (name == "--end")
            end = date(name, value);
        else if (name == "--cadence")
            p.fundCadence = static_cast<std::int32_t>(integer(name, value, 0, 2));
        else if (name == "--years")
            p.years = static_cast<std::int32_t>(integer(name, value, 0, 100));
        else if (name == "--margin")
            p.marginPct = static_cast<std::int32_t>(integer(name, value, -99, 10000));
        else if (name == "--second")
            p.secondPct = static_cast<std::int32_t>(integer(name, value, -10000, 10000));
        else if (name == "--range-low")
            p.rangeLowPct = static_cast<std::int32_t>(integer(name, value, -10000, 10000));
        else if (name == "--range-high")
            p.rangeHighPct = static_cast<std::int32_t>(integer(name, value, -10000, 10000));
        else if (name == "--initial")
            p.initialBuyPct = static_cast<std::int32_t>(integer(name, value, -10000, 10000));
        else if (name == "--commission") {
            char* stop = nullptr;
            p.commissionPct = std::strtod(value.c_str(), &stop);
            if (value.empty() || *stop != '\0')
                throw std::invalid_argument("--commission: 숫자를 입력하십시오 (" + value + ")");
        } else if (name == "--auto-set")
            p.autoSet = static_cast<std::int32_t>(integer(name, value, 0, 1));
        else if (name == "--risk")
            p.riskProfile = static_cast<std::int32_t>(integer(name, value, 0, 2));
        else if (name == "--yield-stats")
            p.yieldStats = static_cast<std::int32_t>(integer(name, value, 0, 1));
        else if (name == "--include-tax")
            p.includeTax = static_cast<std::int32_t>(integer(name, value, 0, 1));
        else
            throw std::invalid_argument("알 수 없는 옵션입니다: " + name);
    }
    if (p.marginPct == 0)
        throw std::invalid_argument("매매차익 조건을 입력하세요.");
    if (!start || !end) {
        const auto last = readLastIndexDate(workDir / "kospi.lst");
        if (!last)
            throw std::invalid_argument(
                "kospi.lst 파일을 읽을 수 없어 기본 기간을 정할 수 없습니다. --start와 --end를 입력하십시오.");
        const Period period = defaultPeriod(*last);
        p.startDate = start.value_or(p.yieldStats ? 20000101 : period.startDate);
        p.endDate = end.value_or(period.endDate);
    } else {
        p.startDate = *start;
        p.endDate = *end;
    }
    if (o.amount < 0)
        o.amount = p.investMode == 2 ? 10000 : 100000000;
    if (p.investMode != 2)
        o.amount = std::min<std::int64_t>(o.amount, 2000000000); // as the form clamps won amounts
    return o;
}

int runCommand(const std::vector<std::string>& args)
{
    if (!args.empty() && (args[0] == "--help" || args[0] == "-h")) {
        std::fputs(runUsage, stdout);
        return 0;
    }
    const auto workDir = workingFolder();
    RunOptions options;
    try {
        options = parseRunOptions(args, workDir, programFolder());
    } catch (const std::invalid_argument& e) {
        std::fprintf(stderr, "%s\n%s", e.what(), runUsage);
        return 2;
    }
    if (!options.stocks.empty()) {
        if (options.stocks.size() > static_cast<std::size_t>(maxStocks)) {
            std::fputs("시뮬레이션은 50종목까지 가능합니다.\n", stderr);
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
        if (!writeSimItems(workDir, entries, options.params.investMode, options.amount)) {
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
