// kestrelan-cli: the engine without a window.

#include "tools/ImportCsv.h"
#include "tools/RunCommand.h"
#include "tools/SampleMarket.h"
#include "tools/ShowCommand.h"

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr const char* usage
    = "usage:\n"
      "  kestrelan-cli run [options]      one simulation in the current folder (run --help)\n"
      "  kestrelan-cli show               print the result tables of the current folder\n"
      "  kestrelan-cli sample-data DIR    write a deterministic sample market into DIR\n"
      "  kestrelan-cli import-csv --prices DIR --index FILE --names FILE --out DIR\n"
      "                [--multiplier X] [--from YYYYMMDD] [--to YYYYMMDD] [--splits FILE] [--update]\n"
      "                                   build the market files from daily price CSV files\n";

int importCsvCommand(const std::vector<std::string>& args)
{
    kestrelan::ImportOptions o;
    bool prices = false, index = false, names = false, out = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--update") {
            o.update = true;
            continue;
        }
        if (i + 1 >= args.size()) {
            std::fprintf(stderr, "%s 다음에 값을 입력하십시오.\n%s", a.c_str(), usage);
            return 2;
        }
        const std::string& v = args[++i];
        if (a == "--prices")
            prices = true, o.prices = v;
        else if (a == "--index")
            index = true, o.index = v;
        else if (a == "--names")
            names = true, o.names = v;
        else if (a == "--out")
            out = true, o.out = v;
        else if (a == "--multiplier")
            o.multiplier = std::atof(v.c_str());
        else if (a == "--splits")
            o.splits = v;
        else if (a == "--from" || a == "--to") {
            const auto d = kestrelan::parseCsvDate(v);
            if (!d) {
                std::fprintf(stderr, "%s: 날짜는 YYYYMMDD로 입력하십시오 (%s)\n", a.c_str(), v.c_str());
                return 2;
            }
            (a == "--from" ? o.from : o.to) = *d;
        } else {
            std::fprintf(stderr, "알 수 없는 옵션입니다: %s\n%s", a.c_str(), usage);
            return 2;
        }
    }
    if (!prices || !index || !names || !out) {
        std::fprintf(stderr, "--prices, --index, --names, --out은 꼭 입력해야 합니다.\n%s", usage);
        return 2;
    }
    try {
        const auto summary = kestrelan::importCsv(o);
        for (const auto& note : summary.notes)
            std::fprintf(stderr, "%s\n", note.c_str());
        std::printf("%s: %d stocks, %lld price records, %d index days%s\n", o.out.c_str(), summary.stocks,
                    static_cast<long long>(summary.priceRecords), summary.indexDays,
                    o.update ? " (Update.new written)" : "");
        return 0;
    } catch (const kestrelan::ImportError& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
}

int sampleData(const std::vector<std::string>& args)
{
    if (args.size() != 1) {
        std::fputs(usage, stderr);
        return 2;
    }
    const auto summary = kestrelan::writeSampleMarket(args[0]);
    std::printf("%s: %d trading days, %d stocks, %lld price records\n", args[0].c_str(), summary.tradingDays,
                summary.stocks, static_cast<long long>(summary.priceRecords));
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fputs(usage, stderr);
        return 2;
    }
    const std::string_view command = argv[1];
    const std::vector<std::string> args(argv + 2, argv + argc);
    try {
        if (command == "sample-data")
            return sampleData(args);
        if (command == "run")
            return kestrelan::runCommand(args);
        if (command == "show")
            return kestrelan::showCommand(args);
        if (command == "import-csv")
            return importCsvCommand(args);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "kestrelan-cli: %s\n", e.what());
        return 1;
    }
    std::fprintf(stderr, "kestrelan-cli: unknown command '%.*s'\n%s", static_cast<int>(command.size()), command.data(),
                 usage);
    return 2;
}
