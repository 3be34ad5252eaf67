#include "mainform/core/FormLogic.h"

namespace kestrelan {

namespace {

constexpr std::uint32_t man = 10000;     // 만
constexpr std::uint32_t eok = 100000000; // 억

} // namespace

std::string amountText(std::uint32_t a)
{
    if (a < man)
        return "원";
    if (a < eok)
        return std::to_string(a / man) + "만원";
    const std::uint32_t e = a / eok;
    const std::uint32_t m = (a - e * eok) / man;
    if (m > 0)
        return std::to_string(e) + "억" + std::to_string(m) + "만원";
    return std::to_string(e) + "억원";
}

AutoSetEnables autoSetEnables(std::int32_t autoSet) { return {autoSet == 0, autoSet != 0}; }

} // namespace kestrelan
