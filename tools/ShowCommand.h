#pragma once
// `kestrelan-cli show`: the results of the run in the current folder, as the results window
// shows them (the fund table of a series or the totals and stock tables of a single fund), with
// the period and the settings above them and the series summary or the risk figures below, as
// aligned text; or as data for other tools: the funds' risk figures as CSV, or everything as JSON
// with numbers and ISO dates (UTF-8).

#include "formats/SettingsCsv.h"
#include "formats/SummaryCsv.h"
#include "results/core/SummaryTables.h"

#include <filesystem>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace kestrelan {

class IMessageSink;
class OptionValues;
struct CommandSpec;

/// One table of the shown results, with its title.
struct ShownTable
{
    std::string title;
    ListTable table;
};

/// What `show` prints of a result folder.
struct ShownResults
{
    bool series = false;
    std::string start, end; // the funds' period, YYYY-MM-DD
    std::vector<SettingLine> settings;
    std::vector<ShownTable> tables;
    std::optional<SeriesSummary> summary; // a fund series
    /// stats.csv: its column names and each fund's fields as the file holds them.
    std::vector<std::string> fundColumns;
    std::vector<std::vector<std::string>> funds;
};

/// The results in `dir` (result.csv must be there).
ShownResults shownResults(const std::filesystem::path& dir, IMessageSink& messages);

/// The period, the settings and the tables as the results window shows them.
std::string showText(const ShownResults& results);
/// A table as aligned UTF-8 text, a Hangul syllable two columns wide; control characters of a
/// cell (a stock's name as code.lst holds it) are shown as "?".
std::string textTable(const ListTable& table);
/// The funds as one CSV with stats.csv's column names.
std::string showCsv(const ShownResults& results);
/// Data for other tools: the period and the settings (numbers, ISO dates, true/false), the
/// summary with sweep.csv's column names (a fund series; null otherwise), every fund with
/// stats.csv's columns, and the display tables under "tables".
std::string showJson(const ShownResults& results);

/// The tables of the results window as aligned UTF-8 text: the fund table of a fund series, or
/// the totals row and the stock table of a single fund.
std::string showTables(ResultKind kind, const SummaryTables& tables);

CommandSpec showCommandSpec();
/// `kestrelan-cli show [--format text|csv|json] [--run N]`: the results in the working folder, or
/// of run N in history/ as show gave them right after it; returns the exit status.
int showCommand(const OptionValues& values, std::ostream& out, std::ostream& err);

CommandSpec historyCommandSpec();
/// `kestrelan-cli history`: the runs kept in history/, newest first.
int historyCommand(const OptionValues& values, std::ostream& out, std::ostream& err);

} // namespace kestrelan
