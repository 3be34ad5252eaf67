#pragma once
// The hand-off file of the spreadsheet export (~/fname.tmp, platform/core/Folders.h): the results
// window writes it and kestrelan-workbook reads it. Line 1 is the program folder followed by the
// name the user chose for the workbook, line 2 the portfolio's stock count; CP949, CR LF. One
// rule says which names can name the workbook's file, for the window, the file and the workbook's
// --name alike.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace kestrelan {

struct Handoff
{
    std::string name; // UTF-8
    int stockCount = 0;
};

/// Whether a typed name (UTF-8) can name a file: not empty, at most 200 bytes, no "/" or control
/// characters, not "." or "..".
bool isFileName(const std::string& name);
/// What the user is told of a name isFileName refuses; nullopt for a name it takes.
std::optional<std::string> fileNameProblem(const std::string& name);

/// Writes the hand-off file in one step: `programDir`, "/", `nameCp949`, then the stock count.
bool writeHandoff(const std::filesystem::path& file, const std::filesystem::path& programDir,
                  std::string_view nameCp949, int stockCount);

/// Reads the hand-off file; the name is what follows `programDir` (or the last "/") on line 1.
/// Throws std::runtime_error for a missing file or a name that cannot be a file name.
Handoff readHandoff(const std::filesystem::path& file, const std::filesystem::path& programDir);

} // namespace kestrelan
