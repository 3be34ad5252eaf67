// The settings, the summary's rows and the hand-off file are described once; these check that the
// descriptions hold together, so that a setting or a row added in one place reaches every reader.
#include "engine/SimParams.h"
#include "formats/Handoff.h"
#include "formats/Settings.h"
#include "formats/SummaryCsv.h"
#include "platform/core/Cp949.h"
#include "support/TempDir.h"

#include <algorithm>
#include <map>
#include <set>

#include <gtest/gtest.h>

using namespace kestrelan;

// Every line settings.csv can hold has its setting, in the order of allSettings(), and every word
// has its Korean text.
TEST(VocabularyTest, EverySettingLineIsDescribed)
{
    std::set<std::string> seen;
    for (const bool series : {false, true})
        for (const bool autoSet : {false, true}) {
            SimParams p;
            p.yieldStats = series;
            p.autoSet = autoSet;
            p.rules = series ? "krx" : "design";
            p.dividends = series ? 1 : 0;
            std::size_t last = 0;
            for (const SettingLine& line : settingLines(p, 3)) {
                const auto all = allSettings();
                const auto at = std::find_if(all.begin(), all.end(), [&](auto* s) { return s->key == line.name; });
                ASSERT_NE(at, all.end()) << line.name;
                EXPECT_GE(static_cast<std::size_t>(at - all.begin()), last) << line.name;
                last = static_cast<std::size_t>(at - all.begin());
                if (!(*at)->words.empty())
                    EXPECT_NE(settingValueText(line.name, line.value), line.value) << line.name;
                seen.insert(line.name);
            }
        }
    EXPECT_EQ(seen.size(), allSettings().size());
    std::set<std::string_view> labels;
    for (const SettingSpec* s : allSettings())
        EXPECT_TRUE(labels.insert(s->label).second) << s->label;
    EXPECT_EQ(setting::margin.phrase("10"), "매매차익 10%");
    EXPECT_EQ(setting::riskProfile.phrase("stable"), "투자성향 안정");
    EXPECT_EQ(settingLabel("initial_buy_pct"), "최초매수비율(%)");
    // A value outside the words, told with the label's own particle.
    EXPECT_EQ(setting::investMode.oneOfMessage(), "투자방식은 종목당, 총투자, 주식수 중 하나여야 합니다.");
    EXPECT_EQ(setting::fundCadence.oneOfMessage(), "운용 주기는 월3회, 월1회, 매일 중 하나여야 합니다.");
}

// Each column of summary.csv is shown in exactly one row, and each row's columns are columns.
TEST(VocabularyTest, EverySummaryColumnHasOneRow)
{
    std::map<std::string, int> shown;
    for (const SummaryRow& row : summaryRows())
        for (const auto& [subject, column] : row.cells)
            ++shown[column];
    const auto& names = summaryColumnNames();
    EXPECT_EQ(shown.size(), names.size());
    for (const auto& name : names)
        EXPECT_EQ(shown[name], 1) << name;
}

// The window writes what the workbook reads, and both go by one rule for the name.
TEST(VocabularyTest, HandoffRoundTripAndOneNameRule)
{
    test::TempDir dir;
    ASSERT_TRUE(writeHandoff(dir / "fname.tmp", "/opt/kestrelan", toCp949("가치주 2004"), 5));
    EXPECT_EQ(dir.read("fname.tmp"), "/opt/kestrelan/" + toCp949("가치주 2004") + "\r\n5\r\n");
    const Handoff h = readHandoff(dir / "fname.tmp", "/opt/kestrelan/");
    EXPECT_EQ(h.name, "가치주 2004");
    EXPECT_EQ(h.stockCount, 5);
    for (const char* name : {"a/b", ".", "..", "a\x01" "b", ""}) {
        EXPECT_TRUE(fileNameProblem(name)) << name;
        ASSERT_TRUE(writeHandoff(dir / "bad.tmp", "/opt/kestrelan", name, 1));
        EXPECT_THROW(readHandoff(dir / "bad.tmp", "/opt/kestrelan"), std::runtime_error) << name;
    }
}
