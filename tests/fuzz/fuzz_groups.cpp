// group.lst and item.lst: listing, loading, registering and deleting groups.

#include "FuzzSupport.h"
#include "mainform/core/Groups.h"

using namespace kestrelan;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const auto p = fuzz::parts(data, size, 3);
    fuzz::clear();
    fuzz::write("group.lst", p[0]);
    fuzz::write("item.lst", p[1]);
    const auto names = readGroupNames(fuzz::folder());
    for (const auto& name : names)
        loadGroup(fuzz::folder(), name);
    registerGroup(fuzz::folder(), std::string(p[2].substr(0, 40)), {"111110 ONE                 "});
    if (!names.empty())
        deleteGroup(fuzz::folder(), names.front());
    return 0;
}
