#include "support/TempDir.h"

#include <fstream>
#include <iterator>
#include <stdexcept>
#include <stdlib.h>

namespace kestrelan::test {

TempDir::TempDir()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "kestrelan-test-XXXXXX").string();
    if (!mkdtemp(pattern.data()))
        throw std::runtime_error("cannot create a temporary folder");
    dir = pattern;
}

TempDir::~TempDir()
{
    std::error_code ec;
    std::filesystem::permissions(dir, std::filesystem::perms::owner_all, std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(dir, ec);
}

void TempDir::write(std::string_view name, std::string_view bytes) const
{
    const auto path = dir / name;
    std::filesystem::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out)
        throw std::runtime_error("cannot write " + path.string());
}

std::map<std::string, std::string> TempDir::files() const
{
    std::map<std::string, std::string> all;
    for (const auto& e : std::filesystem::recursive_directory_iterator(dir))
        if (e.is_regular_file()) {
            const std::string name = std::filesystem::relative(e.path(), dir).string();
            all[name] = read(name);
        }
    return all;
}

std::string TempDir::read(std::string_view name) const
{
    std::ifstream in(dir / name, std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot read " + (dir / name).string());
    return std::string(std::istreambuf_iterator<char>(in), {});
}

} // namespace kestrelan::test
