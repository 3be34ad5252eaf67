// One market, one lock: where a run finds its price files, and two working folders on one
// program folder's price files, each with a second process held at its lock by a pipe.

#include "engine/MarketAccess.h"
#include "engine/CSimEngine.h"
#include "engine/MarketData.h"
#include "engine/MarketUpdate.h"
#include "support/Faults.h"
#include "support/Recorders.h"
#include "support/SmallMarket.h"
#include "support/TempDir.h"

#include <future>
#include <gtest/gtest.h>
#include <thread>

using namespace kestrelan;
namespace fs = std::filesystem;

namespace {

// The small market's price files in a program folder, and two working folders beside it whose
// kospi.lst already holds a fifth day that the update of folder A brings to the price files.
struct SharedPrices
{
    SharedPrices()
    {
        for (const test::TempDir* work : {&a, &b}) {
            for (const char* f : {"ksp.txt", "SimItem.lst"})
                fs::copy_file(program / f, *work / f);
            work->write("kospi.lst", program.read("kospi.lst") + indexRecordBytes(20040109, 80100, 80200));
        }
        a.write("Update.new",
                updateBlockBytes("111110", 20040109, std::vector<std::int32_t>{20040109, 10300, 9000})
                    + updateBlockBytes("222220", 20040109, std::vector<std::int32_t>{20040109, 5300, 4000}));
    }
    RunStatus run(const fs::path& work)
    {
        RunContext c;
        c.workDir = work;
        c.programDir = program.path();
        c.messages = &messages;
        SimParams p;
        p.startDate = 20040101;
        p.endDate = 20040131;
        p.autoSet = 0;
        return CSimEngine(c).runSimulation(p).status;
    }
    UpdateOutcome merge(const fs::path& work)
    {
        test::RecordingProgress progress;
        return mergeUpdate(work, program.path(), 2, progress, messages);
    }
    test::SmallMarket market;
    const test::TempDir& program = market.dir;
    test::TempDir a, b;
    test::RecordingSink messages;
};

// B's result once A's update is in, made on a market of its own.
std::string mergedResult()
{
    SharedPrices s;
    EXPECT_EQ(s.merge(s.a.path()).merged, 2);
    EXPECT_EQ(s.run(s.b.path()), runFinished);
    return s.b.read("result.csv");
}

} // namespace

TEST(MarketAccessTest, WhereARunFindsItsPriceFiles)
{
    test::TempDir program, own, beside;
    program.write("StockData/111110.real", "");
    own.write("StockData/111110.real", "");
    struct Row
    {
        const char* name;
        fs::path work, programDir;
        bool given;
        fs::path prices;
        bool said;
    };
    // case | working folder | program folder or --program-dir | given | price files from | a note
    const Row rows[] = {
        {"one folder", program.path(), program.path(), false, program.path(), false},
        {"a working folder beside the program folder", beside.path(), program.path(), false, program.path(), false},
        {"beside, --program-dir", beside.path(), program.path(), true, program.path(), false},
        {"a market of its own (import-csv --out)", own.path(), program.path(), false, own.path(), true},
        {"a market of its own, no other price files", own.path(), beside.path(), false, own.path(), false},
        {"a market of its own, --program-dir", own.path(), program.path(), true, program.path(), true},
    };
    for (const auto& row : rows) {
        const MarketFolders f = marketFolders(row.work, row.programDir, row.given);
        EXPECT_EQ(f.prices, row.prices) << row.name;
        EXPECT_EQ(!f.note.empty(), row.said) << row.name << ": " << f.note;
    }
}

// A market made by import-csv --out beside another market with the same codes: a run without
// --program-dir reads its own price files, and says so once.
TEST(MarketAccessTest, AMarketOfItsOwnRunsOnItsOwnPriceFiles)
{
    test::SmallMarket own, other;
    other.dir.write("StockData/111110.real", test::SmallMarket::prices(20000));
    const auto resultOn = [&](const fs::path& programDir, bool given) {
        RunContext c;
        c.workDir = own.dir.path();
        c.programDir = programDir;
        c.programDirGiven = given;
        c.messages = &own.messages;
        SimParams p;
        p.startDate = 20040101;
        p.endDate = 20040131;
        p.autoSet = 0;
        own.messages.shown.clear();
        EXPECT_EQ(CSimEngine(c).runSimulation(p).status, runFinished);
        return own.dir.read("result.csv");
    };
    const std::string alone = resultOn(own.dir.path(), false);
    EXPECT_TRUE(own.messages.shown.empty());
    EXPECT_EQ(resultOn(other.dir.path(), false), alone);
    ASSERT_EQ(own.messages.shown.size(), 1u);
    EXPECT_NE(own.messages.shown[0].find("작업 폴더의 StockData/"), std::string::npos) << own.messages.shown[0];
    EXPECT_NE(resultOn(other.dir.path(), true), alone); // given: the other market's, said too
    EXPECT_NE(own.messages.shown[0].find("--program-dir"), std::string::npos) << own.messages.shown[0];
}

// A merge in folder A, held half way by a second process: a run in folder B on the same price
// files does not start without waiting, a reader that waits goes on once the merge has ended,
// and B's run then sees all of the update, never half of it.
TEST(MarketAccessTest, TwoWorkingFoldersWaitForEachOthersWrites)
{
    const std::string expected = mergedResult();
    SharedPrices s;
    test::PausedAt mergeInA("merge:applied", [&] { s.merge(s.a.path()); });
    ASSERT_TRUE(mergeInA.reached);

    EXPECT_EQ(s.run(s.b.path()), runStopped);
    ASSERT_EQ(s.messages.shown.size(), 1u);
    EXPECT_EQ(s.messages.shown[0], folderBusyMessage);
    EXPECT_FALSE(s.b.exists("result.csv"));
    EXPECT_FALSE(MarketAccess::open(marketFolders(s.b.path(), s.program.path(), true), LockMode::Exclusive));

    std::promise<void> waiting;
    std::thread reader([&] {
        const MarketAccess m = MarketAccess::open(marketFolders(s.b.path(), s.program.path(), true), LockMode::Shared,
                                                  60, [&] { waiting.set_value(); });
        EXPECT_TRUE(m) << m.problem;
    });
    waiting.get_future().wait(); // the reader waits for the merge
    EXPECT_EQ(mergeInA.release(), 0);
    reader.join();
    EXPECT_FALSE(s.a.exists("Update.new"));
    EXPECT_EQ(s.run(s.b.path()), runFinished);
    EXPECT_EQ(s.b.read("result.csv"), expected);
}

// A merge of folder A killed with a block half written: folder B neither runs on the price files
// nor merges into them until A's merge has gone on, and says where to go on.
TEST(MarketAccessTest, AnotherFoldersStoppedMergeStopsEveryStepUntilItGoesOn)
{
    const std::string expected = mergedResult();
    int n = 1;
    for (std::string point; point != "merge:journal"; ++n) {
        SharedPrices probe;
        ASSERT_TRUE(test::killedAtPoint(
            n, [&] { probe.merge(probe.a.path()); }, &point));
    }
    SharedPrices s;
    ASSERT_TRUE(test::killedAtPoint(n - 1, [&] { s.merge(s.a.path()); }));
    ASSERT_TRUE(s.program.exists(std::string(mergeMarkFileName)));
    s.b.write("Update.new", updateBlockBytes("111110", 20040109, std::vector<std::int32_t>{20040109, 10300}));

    EXPECT_EQ(s.run(s.b.path()), runStopped);
    EXPECT_TRUE(s.merge(s.b.path()).kept);
    ASSERT_EQ(s.messages.shown.size(), 2u);
    for (const auto& message : s.messages.shown) {
        EXPECT_NE(message.find(s.a.path().string()), std::string::npos) << message;
        EXPECT_NE(message.find("merge-update"), std::string::npos) << message;
    }
    fs::remove(s.b / "Update.new");
    EXPECT_EQ(s.merge(s.a.path()).merged, 2);
    EXPECT_FALSE(s.program.exists(std::string(mergeMarkFileName)));
    EXPECT_EQ(s.run(s.b.path()), runFinished);
    EXPECT_EQ(s.b.read("result.csv"), expected);
}
