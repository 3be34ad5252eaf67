#pragma once
// What every window works with besides its controls: the message boxes, the desktop's "open",
// the name-entry window, and the two folders.

#include "platform/core/Sinks.h"

#include <filesystem>

namespace kestrelan {

class INameInput;

struct WindowServices
{
    IMessageSink* messages = nullptr;
    IShell* shell = nullptr;
    INameInput* names = nullptr;
    std::filesystem::path workDir = ".";    // the data and result files
    std::filesystem::path programDir = "."; // StockData, the help file, the workbook builder
};

} // namespace kestrelan
