#pragma once
// What every window works with besides its controls: the message boxes, the desktop's "open",
// the name-entry window, and the two folders. Made whole or not at all: every window gets all of
// them from the program (or a test), never a default.

#include "platform/core/Sinks.h"

#include <filesystem>
#include <utility>

namespace kestrelan {

class INameInput;

struct WindowServices
{
    WindowServices(IMessageSink& messages, IShell& shell, INameInput& names, std::filesystem::path workDir,
                   std::filesystem::path programDir)
        : messages(&messages)
        , shell(&shell)
        , names(&names)
        , workDir(std::move(workDir))
        , programDir(std::move(programDir))
    {
    }

    IMessageSink* messages;           // never null
    IShell* shell;                    // never null
    INameInput* names;                // never null
    std::filesystem::path workDir;    // the data and result files
    std::filesystem::path programDir; // StockData, the help file, the workbook builder
};

} // namespace kestrelan
