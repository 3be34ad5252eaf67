#pragma once
// What every fuzz target shares: a private folder where the real readers find their files, a
// message sink that answers OK, and the split of one input into several files.

#include "platform/core/Sinks.h"

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <unistd.h>
#include <vector>

namespace kestrelan::fuzz {

/// A folder for this process, emptied by clear() and removed at exit.
inline const std::filesystem::path& folder()
{
    static const std::filesystem::path dir = [] {
        std::string pattern = (std::filesystem::temp_directory_path() / "kestrelan-fuzz-XXXXXX").string();
        if (!::mkdtemp(pattern.data()))
            std::abort();
        std::atexit([] {
            std::error_code ec;
            std::filesystem::remove_all(folder(), ec);
        });
        return std::filesystem::path(pattern);
    }();
    return dir;
}

inline void clear()
{
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator(folder(), ec))
        std::filesystem::remove_all(e.path(), ec);
}

inline void write(const std::string& name, std::string_view bytes)
{
    const auto path = folder() / name;
    std::filesystem::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

/// The parts of an input separated by "@@@\n" (missing parts are empty).
inline std::vector<std::string_view> parts(const std::uint8_t* data, std::size_t size, std::size_t count)
{
    std::string_view all(reinterpret_cast<const char*>(data), size);
    std::vector<std::string_view> out;
    while (out.size() + 1 < count) {
        const auto marker = all.find("@@@\n");
        if (marker == std::string_view::npos)
            break;
        out.push_back(all.substr(0, marker));
        all.remove_prefix(marker + 4);
    }
    out.push_back(all);
    out.resize(count);
    return out;
}

struct Quiet : IMessageSink
{
    Answer show(std::string_view, Buttons) override { return Answer::Ok; }
};

} // namespace kestrelan::fuzz
