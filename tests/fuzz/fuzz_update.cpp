// Update.new merged into a small market's price files.

#include "FuzzSupport.h"
#include "MarketFixture.h"
#include "engine/MarketUpdate.h"

using namespace kestrelan;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::clear();
    fuzz::writeMarket();
    fuzz::write("Update.new", std::string_view(reinterpret_cast<const char*>(data), size));
    fuzz::Quiet quiet;
    NullProgress progress;
    mergeUpdate(fuzz::folder(), fuzz::folder(), 2, progress, quiet);
    return 0;
}
