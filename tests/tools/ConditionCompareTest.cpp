// The comparison window's words for the sweep's refusals, and its heatmap's colours.

#include "tools/ConditionCompare.h"

#include <gtest/gtest.h>

namespace kestrelan {
namespace {

TEST(ConditionCompareTest, RefusalsNameTheWindowsFieldsAndNoOption)
{
    const std::pair<const char*, const char*> cases[] = {
        {"--second: A:B:간격으로 입력하십시오 (4:12)", "2차조건: A:B:간격으로 입력하십시오 (4:12)"},
        {"--range-low: 자동설정(--auto-set 1)에서는 ksp.txt가 정하므로 바꿀 수 없습니다. --auto-set 0과 함께 입력하십시오.",
         "매매범위 하한: 자동설정에서는 ksp.txt가 정하므로 바꿀 수 없습니다. 설정 창에서 자동설정을 끄고 비교하십시오."},
        {"--risk: 투자성향은 자동설정(--auto-set 1)에서만 매매조건을 고릅니다. --auto-set 0에서는 결과를 바꾸지 않습니다.",
         "투자성향: 투자성향은 자동설정에서만 매매조건을 고릅니다. 자동설정을 끄면 결과를 바꾸지 않습니다."},
        {"--judge: --choose와 --judge는 함께 입력하십시오 (고르는 기간과 판단 기간).",
         "판단 기간: 고르는 기간과 판단 기간은 함께 입력하십시오."},
        {"매매차익 입력이 잘못되었습니다.", "매매차익 입력이 잘못되었습니다."},
        {"--shard: K/N", "--shard: K/N"}, // no field of the window: as it stands
    };
    for (const auto& [said, shown] : cases)
        EXPECT_EQ(windowWords(said), shown) << said;
}

TEST(ConditionCompareTest, TheHeatmapRunsFromRedOverYellowToGreen)
{
    using RGB = std::array<int, 3>;
    const RGB red{0xF8, 0x69, 0x6B}, yellow{0xFF, 0xEB, 0x84}, green{0x63, 0xBE, 0x7B};
    struct Case
    {
        double value, low, high;
        bool lowerIsBetter;
        RGB colour;
    } const cases[] = {
        {-2.5, -2.5, 1.5, false, red},    {1.5, -2.5, 1.5, false, green}, {-0.5, -2.5, 1.5, false, yellow},
        {8.0, 8.0, 22.0, true, green},    {22.0, 8.0, 22.0, true, red},   // a fall: smaller is better
        {3.0, 3.0, 3.0, false, yellow},   // every cell the same
        {9.0, -2.5, 1.5, false, green},   // outside the range: its end
    };
    for (const auto& c : cases)
        EXPECT_EQ(heatColour(c.value, c.low, c.high, c.lowerIsBetter), c.colour) << c.value << " in " << c.low << ".." << c.high;
}

} // namespace
} // namespace kestrelan
