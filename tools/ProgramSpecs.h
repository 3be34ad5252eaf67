#pragma once
// The command lines of the desktop program and of the workbook builder, for their --help and
// their manual pages (kestrelan-cli's are in CommandLine.h). Without Qt, so that the manual pages
// are made from the same text the programs print.

#include "tools/CommandLine.h"

namespace kestrelan {

/// kestrelan: the settings form, or the results window with --results.
CommandSpec desktopProgramSpec();
/// What kestrelan's command line asks for: the form, or the results window alone on the result
/// files of a folder (empty: the current one).
struct DesktopRequest
{
    bool resultsOnly = false;
    std::filesystem::path resultFolder;
};
/// Reads kestrelan's command line as readProgramCommandLine does; a DIR without --results, or
/// one that is no folder, is refused (exit status 2). nullopt: `status` is the program's exit.
std::optional<DesktopRequest> readDesktopCommandLine(const std::vector<std::string>& args, std::ostream& out,
                                                    std::ostream& err, int& status);

/// kestrelan-workbook: the workbook the results window's export opens.
CommandSpec workbookProgramSpec();

} // namespace kestrelan
