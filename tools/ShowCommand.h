#pragma once
// `kestrelan-cli show`: the results of the run in the current folder, as the results window
// shows them (the fund table of a series or the totals and stock tables of a single fund), with
// the period and the settings above them and the series summary or the risk figures below;
// as aligned text, CSV or JSON (UTF-8).

#include "formats/SettingsCsv.h"
#include "results/core/SummaryTables.h"

#include <filesystem>
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
    std::string period; // "YYYY-MM-DD ~ YYYY-MM-DD"
    std::vector<SettingLine> settings;
    std::vector<ShownTable> tables;
};

/// The results in `dir` (result.csv must be there).
ShownResults shownResults(const std::filesystem::path& dir, IMessageSink& messages);

std::string showText(const ShownResults& results);
/// A table as aligned UTF-8 text, a Hangul syllable two columns wide.
std::string textTable(const ListTable& table);
std::string showCsv(const ShownResults& results);
std::string showJson(const ShownResults& results);

/// The tables of the results window as aligned UTF-8 text: the fund table of a fund series, or
/// the totals row and the stock table of a single fund.
std::string showTables(ResultKind kind, const SummaryTables& tables);

CommandSpec showCommandSpec();
/// `kestrelan-cli show [--format text|csv|json]`; returns the exit status.
int showCommand(const OptionValues& values, std::ostream& out, std::ostream& err);

} // namespace kestrelan
