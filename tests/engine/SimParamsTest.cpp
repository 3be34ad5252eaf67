#include "engine/SimParams.h"

#include <cmath>
#include <gtest/gtest.h>

using namespace kestrelan;

TEST(SimParamsTest, ValidateFirstProblemWithItsSettingOrNone)
{
    struct Row
    {
        const char* name;
        void (*change)(SimParams&);
        std::optional<Setting> problem;
    };
    const Row rows[] = {
        {"the defaults", [](SimParams&) {}, std::nullopt},
        {"margin 0", [](SimParams& p) { p.marginPct = 0; }, Setting::Margin},
        {"a negative margin runs", [](SimParams& p) { p.marginPct = -150; }, std::nullopt},
        {"invest mode 3", [](SimParams& p) { p.investMode = static_cast<InvestMode>(3); }, Setting::InvestMode},
        {"invest mode -1", [](SimParams& p) { p.investMode = static_cast<InvestMode>(-1); }, Setting::InvestMode},
        {"a single fund ignores the cadence", [](SimParams& p) { p.fundCadence = static_cast<FundCadence>(-1); },
         std::nullopt},
        {"a series needs one",
         [](SimParams& p) {
             p.yieldStats = true;
             p.fundCadence = static_cast<FundCadence>(-1);
         },
         Setting::FundCadence},
        {"risk profile 3", [](SimParams& p) { p.riskProfile = static_cast<RiskProfile>(3); }, Setting::RiskProfile},
        {"margin before the others",
         [](SimParams& p) {
             p.marginPct = 0;
             p.riskProfile = static_cast<RiskProfile>(3);
         },
         Setting::Margin},
        // The form takes any number that parses: none of these stops a run.
        {"form values outside the usual ranges",
         [](SimParams& p) {
             p.years = 0;
             p.startDate = 20050101;
             p.endDate = 20040101;
             p.rangeLowPct = -5;
             p.initialBuyPct = 250;
         },
         std::nullopt},
        {"a commission of nothing", [](SimParams& p) { p.commissionPct = 0; }, std::nullopt},
        {"a negative commission", [](SimParams& p) { p.commissionPct = -1; }, Setting::Commission},
        {"a commission of everything", [](SimParams& p) { p.commissionPct = 100; }, Setting::Commission},
        {"a commission beyond any number", [](SimParams& p) { p.commissionPct = 1e308; }, Setting::Commission},
        {"a commission that is no number", [](SimParams& p) { p.commissionPct = std::nan(""); }, Setting::Commission},
    };
    for (const auto& row : rows) {
        SimParams p;
        row.change(p);
        const auto problem = validate(p);
        ASSERT_EQ(problem.has_value(), row.problem.has_value()) << row.name;
        if (problem) {
            EXPECT_EQ(problem->setting, *row.problem) << row.name;
            EXPECT_FALSE(problem->message.empty()) << row.name;
        }
    }
    SimParams zero;
    zero.marginPct = 0;
    EXPECT_EQ(validate(zero)->message, "매매차익 입력이 잘못되었습니다."); // the form's message
}

TEST(SimParamsTest, PeriodAndAmountThatGiveNoResult)
{
    SimParams p;
    p.startDate = p.endDate = 20040105; // one day is a period
    EXPECT_FALSE(validatePeriod(p));
    p.startDate = 20040106;
    ASSERT_TRUE(validatePeriod(p));
    EXPECT_EQ(validatePeriod(p)->setting, Setting::Period);
    EXPECT_EQ(validatePeriod(p)->message, "시뮬레이션 기간을 확인하세요.");
    EXPECT_FALSE(validateAmount(1));
    ASSERT_TRUE(validateAmount(0));
    EXPECT_EQ(validateAmount(0)->message, "투자금액을 입력하세요.");
    EXPECT_TRUE(validateAmount(-5));
}

TEST(SimParamsTest, DefaultPeriodTwentyFourWholeMonthsBeforeTheLastMonth)
{
    struct Row
    {
        std::int32_t last, start, end;
    };
    // last KOSPI date | default start | default end
    const Row rows[] = {
        {20050314, 20030301, 20050228}, {20050115, 20030101, 20041231}, {20040310, 20020301, 20040229},
        {20061229, 20041201, 20061130}, {20050101, 20030101, 20041231},
    };
    for (const auto& row : rows) {
        const Period p = defaultPeriod(row.last);
        EXPECT_EQ(p.startDate, row.start) << row.last;
        EXPECT_EQ(p.endDate, row.end) << row.last;
    }
}
