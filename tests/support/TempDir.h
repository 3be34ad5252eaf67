#pragma once

#include <filesystem>
#include <map>
#include <string>
#include <string_view>

namespace kestrelan::test {

/// A fresh folder under the system's temporary folder, removed with everything in it.
class TempDir
{
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return dir; }
    std::filesystem::path operator/(std::string_view name) const { return dir / name; }

    void write(std::string_view name, std::string_view bytes) const;
    std::string read(std::string_view name) const;
    bool exists(std::string_view name) const { return std::filesystem::exists(dir / name); }
    /// Every file below the folder by its path inside it, with its bytes: what a change left,
    /// its litter (a stage, a journal) included.
    std::map<std::string, std::string> files() const;

private:
    std::filesystem::path dir;
};

} // namespace kestrelan::test
