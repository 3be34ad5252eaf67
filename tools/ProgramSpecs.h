#pragma once
// The command lines of the desktop program and of the workbook builder, for their --help and
// their manual pages (kestrelan-cli's are in CommandLine.h). Without Qt, so that the manual pages
// are made from the same text the programs print.

#include "tools/CommandLine.h"

namespace kestrelan {

/// kestrelan: the settings form, or the results window with --results.
CommandSpec desktopProgramSpec();
/// kestrelan-workbook: the workbook the results window's export opens.
CommandSpec workbookProgramSpec();

} // namespace kestrelan
