#pragma once

#include <filesystem>
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

private:
    std::filesystem::path dir;
};

} // namespace kestrelan::test
