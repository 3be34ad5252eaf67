// kestrelan-cli: the engine without a window.

#include "tools/RunCommand.h"
#include "tools/SampleMarket.h"
#include "tools/ShowCommand.h"

#include <cstdio>
#include <exception>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr const char* usage =
    "usage:\n"
    "  kestrelan-cli run [options]      one simulation in the current folder (run --help)\n"
    "  kestrelan-cli show               print the result tables of the current folder\n"
    "  kestrelan-cli sample-data DIR    write a deterministic sample market into DIR\n";

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
    } catch (const std::exception& e) {
        std::fprintf(stderr, "kestrelan-cli: %s\n", e.what());
        return 1;
    }
    std::fprintf(stderr, "kestrelan-cli: unknown command '%.*s'\n%s", static_cast<int>(command.size()), command.data(),
                 usage);
    return 2;
}
