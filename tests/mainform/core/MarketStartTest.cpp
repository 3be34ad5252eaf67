// The desktop program started outside a market's folder: ~/Kestrelan, and a market made in it as
// the user chooses.

#include "mainform/core/MarketStart.h"

#include "support/Recorders.h"
#include "support/TempDir.h"

#include <deque>
#include <gtest/gtest.h>

using namespace kestrelan;

namespace {

// The user's answers, in order; Quit once they run out.
struct ScriptedQuestions : IMarketStartUi
{
    MarketStartChoice choose(const std::filesystem::path& folder) override
    {
        asked.push_back(folder);
        if (choices.empty())
            return MarketStartChoice::Quit;
        const auto choice = choices.front();
        choices.pop_front();
        return choice;
    }
    std::optional<CsvFiles> pickCsvFiles() override
    {
        const auto picked = files.front();
        files.pop_front();
        return picked;
    }
    std::deque<MarketStartChoice> choices;
    std::deque<std::optional<CsvFiles>> files;
    std::vector<std::filesystem::path> asked;
};

} // namespace

TEST(MarketStartTest, AFolderWithAMarketIsTakenAsItIs)
{
    test::TempDir current, home;
    current.write("kospi.lst", "");
    ScriptedQuestions ui;
    test::RecordingSink messages;
    EXPECT_EQ(desktopWorkingFolder(current.path(), home / "Kestrelan", ui, messages), current.path());
    EXPECT_TRUE(ui.asked.empty());

    // Started from the menu (in the home folder) with ~/Kestrelan holding a market: no question.
    home.write("Kestrelan/kospi.lst", "");
    EXPECT_EQ(desktopWorkingFolder(home.path(), home / "Kestrelan", ui, messages), home / "Kestrelan");
    EXPECT_TRUE(ui.asked.empty());
}

TEST(MarketStartTest, TheUsersChoices)
{
    test::TempDir inputs;
    inputs.write("prices/111110.csv", "Date,Close\n2004-01-05,10000\n2004-01-06,10100\n");
    inputs.write("index.csv", "Date,Close\n2004-01-05,800\n2004-01-06,801\n");
    inputs.write("names.csv", "111110,ONE\n");
    inputs.write("bad.csv", "Date,Close\n2004-01-05,800\n2004-01-05,801\n");
    const CsvFiles good{inputs / "prices", inputs / "index.csv", inputs / "names.csv"};
    const CsvFiles bad{inputs / "prices", inputs / "bad.csv", inputs / "names.csv"};
    using C = MarketStartChoice;
    struct Row
    {
        const char* name;
        std::deque<C> choices;
        std::deque<std::optional<CsvFiles>> files;
        bool market;              // the folder holds a market afterwards
        std::size_t questions;    // times the user was asked
        std::vector<const char*> said; // a piece of each message shown, in order
        const char* before = nullptr; // a file the folder holds beforehand
    };
    // case | choices | files picked | market made | questions | messages
    const Row rows[] = {
        {"quit at once", {}, {}, false, 1, {}},
        {"the sample market", {C::Sample}, {}, true, 1, {}},
        {"an import", {C::ImportCsv}, {good}, true, 1, {"1개 종목, 2일의 시장"}},
        {"an import cancelled, then quit", {C::ImportCsv}, {std::nullopt}, false, 2, {}},
        {"a bad index file, asked again", {C::ImportCsv, C::Sample}, {bad}, true, 2, {"bad.csv"}},
        {"no sample over a user's code.lst", {C::Sample, C::ImportCsv}, {good}, true, 2,
         {"표본 시장을 쓰지 않았습니다", "1개 종목"}, "code.lst"},
    };
    for (const auto& row : rows) {
        test::TempDir home;
        const auto folder = home / "Kestrelan";
        if (row.before)
            home.write(std::string("Kestrelan/") + row.before, "mine");
        ScriptedQuestions ui;
        ui.choices = row.choices;
        ui.files = row.files;
        test::RecordingSink messages;
        const auto chosen = desktopWorkingFolder(home.path(), folder, ui, messages);
        EXPECT_EQ(chosen.has_value(), row.market) << row.name;
        EXPECT_EQ(holdsMarket(folder), row.market) << row.name;
        if (chosen)
            EXPECT_EQ(*chosen, folder) << row.name;
        EXPECT_EQ(ui.asked.size(), row.questions) << row.name;
        ASSERT_EQ(messages.shown.size(), row.said.size()) << row.name;
        for (std::size_t i = 0; i < row.said.size(); ++i)
            EXPECT_NE(messages.shown[i].find(row.said[i]), std::string::npos) << row.name << ": " << messages.shown[i];
    }
}
