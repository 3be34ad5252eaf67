// Update.new merged exactly once: a merge stopped at a fuzzed step (as a kill would stop it)
// and started again must leave the price files and Update.rej exactly as a merge that was never
// stopped. The first byte picks the step; the rest is Update.new.

#include "FuzzSupport.h"
#include "MarketFixture.h"
#include "engine/MarketUpdate.h"
#include "platform/core/FaultPoint.h"
#include "platform/core/TextFile.h"

#include <cstdlib>
#include <map>

using namespace kestrelan;

namespace {

struct Stop
{
};

int countdown = 0;

void stopHere(const char*)
{
    if (--countdown == 0)
        throw Stop{};
}

void writeMarketAt(const std::string& dir, std::string_view update)
{
    fuzz::write(dir + "/StockData/111110.real", fuzz::marketPrices(10000));
    fuzz::write(dir + "/StockData/222220.real", fuzz::marketPrices(4000));
    fuzz::write(dir + "/Update.new", update);
}

std::map<std::string, std::string> filesOf(const std::filesystem::path& dir)
{
    std::map<std::string, std::string> files;
    for (const auto& e : std::filesystem::recursive_directory_iterator(dir))
        if (e.is_regular_file())
            files[std::filesystem::relative(e.path(), dir).string()] = readWholeFile(e.path()).value_or("?");
    return files;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 1)
        return 0;
    const std::string_view update(reinterpret_cast<const char*>(data) + 1, size - 1);
    fuzz::clear();
    writeMarketAt("whole", update);
    writeMarketAt("stopped", update);
    fuzz::Quiet quiet;
    NullProgress progress;
    const auto whole = fuzz::folder() / "whole", stopped = fuzz::folder() / "stopped";
    mergeUpdate(whole, whole, 2, progress, quiet);

    countdown = data[0] % 48 + 1;
    faultHook().store(&stopHere);
    try {
        mergeUpdate(stopped, stopped, 2, progress, quiet);
    } catch (const Stop&) {
    }
    faultHook().store(nullptr);
    mergeUpdate(stopped, stopped, 2, progress, quiet); // the next start
    if (filesOf(whole) != filesOf(stopped))
        std::abort(); // a block applied twice, or lost
    return 0;
}
