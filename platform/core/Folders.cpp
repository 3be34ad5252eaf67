#include "platform/core/Folders.h"

#include <cstdlib>
#include <pwd.h>
#include <unistd.h>

namespace kestrelan {

std::filesystem::path programFolder()
{
    std::error_code ec;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec)
        return workingFolder();
    return exe.parent_path();
}

std::filesystem::path dataFolderOf(const std::filesystem::path& programDir)
{
    std::error_code ec;
    auto shared = (programDir / ".." / "share" / "kestrelan").lexically_normal();
    return std::filesystem::is_directory(shared, ec) ? shared : programDir;
}

std::filesystem::path dataFolder() { return dataFolderOf(programFolder()); }

std::filesystem::path workingFolder()
{
    std::error_code ec;
    auto here = std::filesystem::current_path(ec);
    return ec ? std::filesystem::path(".") : here;
}

std::filesystem::path homeFolder()
{
    if (const char* home = std::getenv("HOME"); home && *home)
        return home;
    if (const passwd* pw = getpwuid(getuid()); pw && pw->pw_dir)
        return pw->pw_dir;
    return workingFolder();
}

std::filesystem::path marketHomeFolder() { return homeFolder() / "Kestrelan"; }

std::filesystem::path simResultFolder() { return homeFolder() / "SimResult"; }

std::filesystem::path handoffFile() { return homeFolder() / "fname.tmp"; }

} // namespace kestrelan
