#include "engine/Fingerprint.h"

#include "platform/core/Format.h"

#include <cstdint>
#include <set>

namespace kestrelan {

namespace {

class Fnv
{
public:
    void add(std::int64_t v)
    {
        for (int i = 0; i < 8; ++i) {
            hash ^= static_cast<std::uint64_t>(v >> (8 * i)) & 0xFF;
            hash *= 0x100000001B3ull;
        }
    }
    std::string hex() const { return format("%016llx", static_cast<unsigned long long>(hash)); }

private:
    std::uint64_t hash = 0xCBF29CE484222325ull;
};

} // namespace

std::vector<std::pair<std::string, std::string>> marketFingerprints(const RunData& data)
{
    std::vector<std::pair<std::string, std::string>> prints;
    Fnv kospi;
    for (const auto& r : data.kospi.records()) {
        kospi.add(r.date);
        kospi.add(r.startValue);
        kospi.add(r.dayValue);
    }
    prints.emplace_back("kospi.lst", kospi.hex());
    if (data.autoSet) {
        Fnv table;
        for (const auto& row : data.table.rows)
            for (const auto v : row.field)
                table.add(v);
        prints.emplace_back("ksp.txt", table.hex());
    }
    std::set<std::string> done;
    for (std::size_t i = 0; i < data.items.size() && i < data.files.size(); ++i) {
        std::string code(entryCode(data.items[i].entry));
        if (!done.insert(code).second)
            continue;
        Fnv prices;
        for (const auto v : data.files[i]->values())
            prices.add(v);
        prints.emplace_back(std::move(code), prices.hex());
    }
    return prints;
}

} // namespace kestrelan
