#pragma once
// The two folders the program works with: its own folder (the running executable's, where the
// price files and the helper programs live) and the working folder (the data and result files).

#include <filesystem>

namespace kestrelan {

/// Folder of the running executable.
std::filesystem::path programFolder();
/// The process's current folder.
std::filesystem::path workingFolder();
/// The user's home folder ($HOME, else the password database).
std::filesystem::path homeFolder();

} // namespace kestrelan
