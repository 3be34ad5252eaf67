#include "mainform/core/FormLogic.h"

#include <gtest/gtest.h>

using namespace kestrelan;

TEST(FormLogicTest, AmountTextInKoreanUnits)
{
    const struct
    {
        std::uint32_t amount;
        const char* text;
    } cases[] = {
        {0, "원"},
        {9999, "원"},
        {12345, "1만원"},
        {99999999, "9999만원"},
        {150000000, "1억5000만원"},
        {2000000000, "20억원"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(amountText(c.amount), c.text) << c.amount;
}
