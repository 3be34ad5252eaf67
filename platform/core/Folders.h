#pragma once
// The folders the program works with: its own folder (the running executable's, where the
// price files and the helper programs live), the working folder (the data and result files), and
// its fixed places in the user's home folder.

#include <filesystem>

namespace kestrelan {

/// Folder of the running executable.
std::filesystem::path programFolder();
/// The process's current folder.
std::filesystem::path workingFolder();
/// The user's home folder ($HOME, else the password database).
std::filesystem::path homeFolder();
/// ~/SimResult: made at every start of the form; the spreadsheet export writes its workbooks there.
std::filesystem::path simResultFolder();
/// ~/fname.tmp: the spreadsheet export's hand-off file (the program folder, the name, the stock count).
std::filesystem::path handoffFile();

} // namespace kestrelan
