#pragma once
// The folders the program works with: its own folder (the running executable's, where the
// price files and the helper programs live), its data folder (the help, the tables it ships), the
// working folder (the data and result files), and its fixed places in the user's home folder.

#include <filesystem>

namespace kestrelan {

/// Folder of the running executable.
std::filesystem::path programFolder();
/// The folder of the files the program ships besides its programs (the help, tables such as
/// rules-krx.csv) for a program in `programDir`: `programDir`/../share/kestrelan where that exists
/// (installed under a prefix such as /usr: /usr/bin and /usr/share/kestrelan; the build tree keeps
/// build/share/kestrelan), else `programDir` itself (installed into one folder, side by side).
std::filesystem::path dataFolderOf(const std::filesystem::path& programDir);
/// dataFolderOf(programFolder()).
std::filesystem::path dataFolder();
/// The process's current folder.
std::filesystem::path workingFolder();
/// The user's home folder ($HOME, else the password database).
std::filesystem::path homeFolder();
/// ~/Kestrelan: the desktop program's working folder when it is started outside a market's folder
/// (from the desktop's menu).
std::filesystem::path marketHomeFolder();
/// ~/SimResult: made at every start of the form; the spreadsheet export writes its workbooks there.
std::filesystem::path simResultFolder();
/// ~/fname.tmp: the spreadsheet export's hand-off file (the program folder, the name, the stock count).
std::filesystem::path handoffFile();

} // namespace kestrelan
