#pragma once
// The files a run leaves in the working folder. A run writes them under staged names and puts
// them in place together when it ends, so a run that stops, fails or is killed leaves no result
// that looks finished.

#include <array>
#include <filesystem>
#include <string_view>

namespace kestrelan {

constexpr std::string_view resultCsvFile = "result.csv";
constexpr std::string_view resultTxtFile = "result.txt";
constexpr std::string_view genCsvFile = "gen.csv";
constexpr std::string_view tradeCsvFile = "trade.csv";
constexpr std::string_view closingCsvFile = "closing.csv";
/// Beside the design's result files: the risk figures of every fund, and the run's settings.
constexpr std::string_view statsCsvFile = "stats.csv";
constexpr std::string_view settingsCsvFile = "settings.csv";
/// A fund series' summary (formats/SummaryCsv.h).
constexpr std::string_view summaryCsvFile = "summary.csv";
/// Not a run's result file: `kestrelan-cli sweep` writes it (results/core/SweepCsv.h), and a run
/// leaves it where it is.
constexpr std::string_view sweepCsvFile = "sweep.csv";
constexpr std::array<std::string_view, 8> resultFiles = {resultCsvFile,  resultTxtFile, genCsvFile,      tradeCsvFile,
                                                         closingCsvFile, statsCsvFile,  settingsCsvFile, summaryCsvFile};

/// The tag of the run's commit of its result files (FileTransaction).
constexpr std::string_view resultsTag = "results";

/// Finishes (or undoes) a commit of result files that a kill interrupted, unless a run holds the
/// folder now; readers call it before they read.
void recoverResults(const std::filesystem::path& dir);

} // namespace kestrelan
