#pragma once
// The result files the golden cases expect, as inputs for the readers of results.

#include "support/TempDir.h"

#include <filesystem>
#include <string>

namespace kestrelan::test {

/// The folder of the files a golden case expects (tests/golden/cases/<case>/expected).
std::filesystem::path goldenExpected(const std::string& caseName);

/// The golden import: tests/golden/import with its input/ CSV files and the expected/ market.
std::filesystem::path goldenImport();

/// Copies the result files a golden case expects (result.csv, result.txt, trade.csv, closing.csv,
/// gen.csv, those it has) into `dir`; trade.csv only `withTrades`.
void copyGoldenResults(const std::string& caseName, const std::filesystem::path& dir, bool withTrades = true);

/// A temporary folder holding the result files a golden case expects.
struct GoldenResults
{
    explicit GoldenResults(const std::string& caseName, bool withTrades = true)
    {
        copyGoldenResults(caseName, dir.path(), withTrades);
    }
    TempDir dir;
};

} // namespace kestrelan::test
