#include "support/GoldenCases.h"

namespace kestrelan::test {

std::filesystem::path goldenExpected(const std::string& caseName)
{
    return std::filesystem::path(KESTRELAN_SOURCE_DIR) / "tests/golden/cases" / caseName / "expected";
}

std::filesystem::path goldenImport() { return std::filesystem::path(KESTRELAN_SOURCE_DIR) / "tests/golden/import"; }

void copyGoldenResults(const std::string& caseName, const std::filesystem::path& dir, bool withTrades)
{
    const auto expected = goldenExpected(caseName);
    for (const char* f :
         {"result.csv", "result.txt", "trade.csv", "closing.csv", "gen.csv", "stats.csv", "settings.csv", "summary.csv"})
        if (std::filesystem::exists(expected / f) && (withTrades || std::string(f) != "trade.csv"))
            std::filesystem::copy_file(expected / f, dir / f);
}

} // namespace kestrelan::test
