#include "mainform/core/FormLogic.h"

namespace kestrelan {

std::string amountText(std::uint32_t a)
{
    if (a < 10000)
        return "원";
    if (a < 100000000)
        return std::to_string(a / 10000) + "만원";
    const std::uint32_t e = a / 100000000;
    const std::uint32_t m = (a - e * 100000000) / 10000;
    if (m > 0)
        return std::to_string(e) + "억" + std::to_string(m) + "만원";
    return std::to_string(e) + "억원";
}

AutoSetEnables autoSetEnables(std::int32_t autoSet) { return {autoSet == 0, autoSet != 0}; }

} // namespace kestrelan
