#include "tools/ImportCsv.h"
#include "engine/CSimEngine.h"
#include "engine/MarketData.h"
#include "engine/MarketUpdate.h"
#include "engine/Portfolio.h"
#include "engine/RangeTable.h"
#include "platform/core/Cp949.h"
#include "platform/core/Format.h"
#include "platform/core/TextFile.h"
#include "support/Faults.h"
#include "support/GoldenCases.h"
#include "support/PriceBuilder.h"
#include "support/Recorders.h"
#include "support/SmallMarket.h"
#include "support/TempDir.h"

#include <functional>
#include <future>
#include <sys/stat.h>
#include <thread>

#include <gtest/gtest.h>

using namespace kestrelan;

using test::records;

namespace {

// Input CSV files in one folder, the market in another.
struct Import
{
    Import()
    {
        in.write("prices/005930.csv",
                 "Date,Open,High,Low,Close,Volume\n"
                 "2005-03-02,10000,10400,9800,10200,1000\n"
                 "2005-03-03,10200,10300,9600,9700,1000\n"
                 "2005-03-04,9700,9700,9700,9700,0\n");
        in.write("prices/000660.csv", "Date\tClose\n20050302\t4997.4\n20050303\t5003\n20050304\t5100\n");
        in.write("index.csv", "Date,Open,Close\n2005/03/02,900.5,905.25\n2005/03/03,,910\n2005/03/04,911,912.34\n");
        in.write("names.csv", "code,name\n005930,가람전자\n000660,대한민국첨단소재산업주식회사\n");
        options.prices = in / "prices";
        options.index = in / "index.csv";
        options.names = in / "names.csv";
        options.out = out.path();
    }
    ImportSummary run() { return importCsv(options); }
    test::TempDir in;
    test::TempDir out;
    ImportOptions options;
};

} // namespace

TEST(ImportCsvTest, RoundTripsToExactRecords)
{
    Import im;
    const auto summary = im.run();
    EXPECT_EQ(summary.stocks, 2);
    EXPECT_EQ(summary.indexDays, 3);
    // Day 1: the open as base; path open, nearer extreme (high: 400 away vs low 200 -> low first), other, close.
    EXPECT_EQ(im.out.read("StockData/005930.real"),
              records({20050302, 10000, 10000, 9800, 10400, 10200, 20050303, 10200, 10200, 10300, 9600, 9700, 20050304,
                       9700, 9700}));
    // Close only, on the tick: 4,997.4 -> 4,995; 5,003 -> 5,000.
    EXPECT_EQ(im.out.read("StockData/000660.real"),
              records({20050302, 4995, 4995, 20050303, 4995, 5000, 20050304, 5000, 5100}));
    EXPECT_EQ(im.out.read("kospi.lst"),
              indexRecordBytes(20050302, 90050, 90525) + indexRecordBytes(20050303, 90525, 91000)
                  + indexRecordBytes(20050304, 91100, 91234));
    EXPECT_EQ(im.out.read("code.lst"),
              codeRecordBytes("005930", toCp949("가람전자"))
                  + codeRecordBytes("000660", toCp949("대한민국첨단소재산업")));
    ASSERT_EQ(summary.notes.size(), 1u);
    EXPECT_NE(summary.notes[0].find("000660"), std::string::npos);
}

TEST(ImportCsvTest, IntradayPathOrder)
{
    struct Row
    {
        const char* name;
        std::optional<std::int32_t> open, high, low;
        std::int32_t close;
        std::vector<std::int32_t> path;
    };
    // case | open | high | low | close | values of the day
    const Row rows[] = {
        {"high nearer", 100, 105, 90, 95, {100, 105, 90, 95}},
        {"low nearer", 100, 120, 98, 110, {100, 98, 120, 110}},
        {"repeats dropped", 100, 100, 100, 100, {100}},
        {"open is the high", 100, 100, 90, 95, {100, 90, 95}},
        {"close only", std::nullopt, std::nullopt, std::nullopt, 95, {95}},
        {"open and close", 100, std::nullopt, std::nullopt, 95, {100, 95}},
    };
    for (const auto& row : rows)
        EXPECT_EQ(intradayPath(row.open, row.high, row.low, row.close), row.path) << row.name;
}

TEST(ImportCsvTest, TicksAndDates)
{
    struct Row
    {
        double price;
        std::int32_t rounded;
    };
    // price | nearest tick of its band
    const Row rows[] = {{4997.4, 4995}, {4997.5, 5000},   {5004.9, 5000},   {5005, 5010}, {49970, 49950},
                        {49980, 50000}, {123456, 123500}, {987654, 988000}, {3.0, 5}};
    for (const auto& row : rows)
        EXPECT_EQ(roundToTick(row.price), row.rounded) << row.price;
    // The forms of exporters: dashes, slashes, dots, digits alone, a time of day after them.
    for (const char* good : {"2005-03-02", "2005/03/02", "20050302", "2005.03.02", "2005-03-02 00:00:00",
                             "2005-03-02T15:30:00+09:00", "2005.03.02 15:30"})
        EXPECT_EQ(parseCsvDate(good), 20050302) << good;
    for (const char* bad : {"2005-3-2", "05-03-02", "2005-13-01", "2005-03/02", "", "2005030", "2020-02-31",
                            "2005-03-02 noon", "2005-03-02 "})
        EXPECT_EQ(parseCsvDate(bad), std::nullopt) << bad;
}

TEST(ImportCsvTest, SplitDayBaseAndPeriodLimits)
{
    Import im;
    im.in.write("prices/035420.csv", "Date,Close\n2005-03-02,50000\n2005-03-03,10100\n2005-03-04,10200\n");
    im.in.write("splits.csv", "code,date,ratio\n035420,2005-03-03,5\n");
    im.options.splits = im.in / "splits.csv";
    im.options.from = 20050303;
    im.run();
    // From 2005-03-03 on: its base is the first day's close (the period starts there).
    EXPECT_EQ(im.out.read("StockData/035420.real"), records({20050303, 10100, 10100, 20050304, 10100, 10200}));
    im.options.from = 0;
    im.run();
    EXPECT_EQ(im.out.read("StockData/035420.real"),
              records({20050302, 50000, 50000, 20050303, 10000, 10100, 20050304, 10100, 10200}));
}

TEST(ImportCsvTest, NewestFirstFilesAreTurnedRound)
{
    Import im;
    im.in.write("prices/000660.csv", "Date,Close\n2005-03-04,5100\n2005-03-03,5000\n2005-03-02,4995\n");
    im.run();
    EXPECT_EQ(im.out.read("StockData/000660.real"),
              records({20050302, 4995, 4995, 20050303, 4995, 5000, 20050304, 5000, 5100}));
    // A day the index does not have is named in the report, as a missing day is.
    im.in.write("prices/000660.csv", "Date,Close\n2005-03-05,5100\n2005-03-04,5100\n2005-03-02,4995\n");
    const auto report = im.run().report;
    EXPECT_NE(report.find("빠진 날 1일 (2005-03-03), 지수에 없는 날 1일 (2005-03-05)"), std::string::npos) << report;
}

// An import and the merge of an update give the market one import of every day gives, whether
// the update's export holds every day or only the new ones (the first new day then opens at the
// stored close, and the index at the stored index close).
TEST(ImportCsvTest, UpdateBlocksMergeIntoTheFullImport)
{
    Import full;
    full.run();
    for (const bool onlyNewDays : {false, true}) {
        Import part;
        part.options.to = 20050302;
        part.run();
        part.options.to = 99991231;
        part.options.update = true;
        if (onlyNewDays) {
            part.in.write("prices/005930.csv",
                          "Date,Open,High,Low,Close,Volume\n"
                          "2005-03-03,10200,10300,9600,9700,1000\n"
                          "2005-03-04,9700,9700,9700,9700,0\n");
            part.in.write("prices/000660.csv", "Date\tClose\n20050303\t5003\n20050304\t5100\n");
            part.in.write("index.csv", "Date,Open,Close\n2005/03/03,,910\n2005/03/04,911,912.34\n");
        }
        part.run();
        EXPECT_TRUE(part.out.exists("Update.new"));
        EXPECT_THROW(part.run(), ImportError); // an update is still waiting
        test::RecordingSink messages;
        test::RecordingProgress progress;
        const auto merged = mergeUpdate(part.out.path(), part.out.path(), 2, progress, messages);
        EXPECT_EQ(merged.merged, 2);
        EXPECT_TRUE(messages.shown.empty());
        for (const char* f : {"StockData/005930.real", "StockData/000660.real", "kospi.lst", "code.lst"})
            EXPECT_EQ(part.out.read(f), full.out.read(f)) << f << (onlyNewDays ? ", only the new days" : "");
    }
}

TEST(ImportCsvTest, BadInputNamesTheLineAndLeavesTheTargetAlone)
{
    struct Row
    {
        const char* name;
        const char* file;
        std::string bytes;
        const char* where;
    };
    // case | file replaced | its content | the place the message names
    const Row rows[] = {
        {"unparsable date", "prices/005930.csv", "Date,Close\n2005-03-02,100\n2005-3-3,100\n", "005930.csv:3:"},
        {"unparsable price", "prices/005930.csv", "Date,Close\n2005-03-02,abc\n", "005930.csv:2:"},
        {"dates out of order", "prices/005930.csv", "Date,Close\n2005-03-02,100\n2005-03-04,100\n2005-03-03,100\n",
         "005930.csv:4:"},
        {"duplicate dates", "prices/005930.csv", "Date,Close\n2005-03-02,100\n2005-03-02,101\n", "005930.csv:3:"},
        // Newest first, one day twice: the duplicated line is named, not the line after the first.
        {"a duplicate in a file newest first", "prices/005930.csv",
         "Date,Close\n2005-03-07,100\n2005-03-04,100\n2005-03-03,100\n2005-03-03,101\n2005-03-02,100\n",
         "005930.csv:4: 같은 날짜가 두 번 있습니다 (2005-03-03, 5번째 줄과 같음)"},
        {"price beyond the record", "prices/005930.csv", "Date,Close\n2005-03-02,19000000\n", "005930.csv:2:"},
        {"no close column", "index.csv", "Date,Open\n2005-03-02,900\n", "index.csv:1:"},
        {"index too large", "index.csv", "Date,Close\n2005-03-02,12000\n", "index.csv:2:"},
        {"bad code in the names", "names.csv", "code,name\n12345,x\n", "names.csv:2:"},
        // A number is read whole or not at all: never 27 won from "27,860", never 500,000 from "50000,0".
        {"a thousands separator without quotes", "prices/005930.csv", "Date,Close\n1990-12-31,27,860\n",
         "005930.csv:2:"},
        {"a comma that separates no thousands", "prices/005930.csv", "Date,Close\n2005-03-02,\"50000,0\"\n",
         "005930.csv:2:"},
        {"a hexadecimal price", "prices/005930.csv", "Date,Close\n2005-03-02,0x10\n", "005930.csv:2:"},
        {"a day the calendar does not have", "prices/005930.csv", "Date,Close\n2020-02-31,100\n", "005930.csv:2:"},
        {"bytes neither UTF-8 nor CP949", "prices/005930.csv", "Date,Close\n2005-03-02,100\xff\n", "005930.csv:2:"},
    };
    for (const auto& row : rows) {
        Import im;
        im.out.write("kospi.lst", "the old market");
        im.in.write(row.file, row.bytes);
        try {
            im.run();
            ADD_FAILURE() << row.name << ": no error";
        } catch (const ImportError& e) {
            EXPECT_NE(std::string(e.what()).find(row.where), std::string::npos) << row.name << ": " << e.what();
        }
        EXPECT_EQ(im.out.read("kospi.lst"), "the old market") << row.name;
        EXPECT_FALSE(im.out.exists("StockData")) << row.name;
        std::size_t entries = 0;
        for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(im.out.path()))
            ++entries;
        EXPECT_EQ(entries, 1u) << row.name; // no scratch folder left
    }
}

TEST(ImportCsvTest, AnUpdateAddsAndDropsNothing)
{
    Import im;
    im.run();
    const std::string codes = im.out.read("code.lst"), kospi = im.out.read("kospi.lst");
    // One new day for one of the two stocks (the export holds the stored days too).
    std::filesystem::remove(im.in / "prices/000660.csv");
    im.in.write("prices/005930.csv",
                "Date,Close\n2005-03-02,10200\n2005-03-03,9700\n2005-03-04,9700\n2005-03-07,9800\n");
    im.in.write("index.csv", "Date,Close\n2005-03-07,915\n");
    im.options.update = true;
    // What a merge killed after removing the update it merged leaves: its journal belongs to
    // that update, not to the new one.
    im.out.write("Update.jnl", "pending 0 1 14 28 00 /elsewhere/005930.real\n");
    const auto summary = im.run();
    EXPECT_FALSE(im.out.exists("Update.jnl"));
    EXPECT_EQ(summary.indexDays, 1);
    EXPECT_EQ(im.out.read("code.lst"), codes);
    EXPECT_EQ(im.out.read("kospi.lst"), kospi + indexRecordBytes(20050307, 91234, 91500));
    EXPECT_EQ(im.out.read("Update.new"),
              updateBlockBytes("005930", 20050307, std::vector<std::int32_t>{20050307, 9700, 9800}));
}

TEST(ImportCsvTest, ASelectionOfNothingChangesNothing)
{
    struct Row
    {
        const char* name;
        std::function<void(Import&)> setUp;
        const char* message; // a part of the error
    };
    // case | what the import is given | part of the message
    const Row rows[] = {
        {"--from after --to", [](Import& im) { im.options.from = 20050304, im.options.to = 20050302; }, "--from"},
        {"a period after the data", [](Import& im) { im.options.from = 20060101; }, "지수 자료가 없습니다"},
        {"an index with a header only", [](Import& im) { im.in.write("index.csv", "Date,Close\n"); },
         "지수 자료가 없습니다"},
        {"price files with a header only",
         [](Import& im) {
             im.in.write("prices/005930.csv", "Date,Close\n");
             im.in.write("prices/000660.csv", "Date,Close\r\n\r\n");
         },
         "주가 자료가 없습니다"},
        {"a price file of a carriage return", [](Import& im) { im.in.write("prices/005930.csv", "\r"); },
         "005930.csv:1:"},
        {"rows before 1996 only: the rules would read their dates as prices",
         [](Import& im) { im.in.write("index.csv", "Date,Close\n1995-12-28,880\n"); }, "1996-01-01 이전"},
        {"an empty price folder",
         [](Import& im) {
             std::filesystem::remove(im.in / "prices/005930.csv");
             std::filesystem::remove(im.in / "prices/000660.csv");
         },
         "주가 자료가 없습니다"},
    };
    for (const auto& row : rows) {
        Import im;
        im.out.write("kospi.lst", "the old market");
        row.setUp(im);
        try {
            im.run();
            ADD_FAILURE() << row.name << ": no error";
        } catch (const ImportError& e) {
            EXPECT_NE(std::string(e.what()).find(row.message), std::string::npos) << row.name << ": " << e.what();
        }
        EXPECT_EQ(im.out.read("kospi.lst"), "the old market") << row.name;
        EXPECT_FALSE(im.out.exists("code.lst")) << row.name;
    }
}

TEST(ImportCsvTest, ACommitIsWholeOrNothingAlsoAcrossAKill)
{
    Import old;
    old.in.write("prices/005930.csv", "Date,Close\n2005-03-02,500\n");
    old.run();
    const auto copyOld = [&](Import& im) {
        std::filesystem::copy(old.out.path(), im.out.path(), std::filesystem::copy_options::recursive);
    };
    Import fresh;
    copyOld(fresh);
    fresh.run();
    const auto before = old.out.files(), after = fresh.out.files();

    int kills = 0;
    for (int n = 1;; ++n) {
        Import im;
        copyOld(im);
        std::string point;
        if (!test::killedAtPoint(
                n, [&] { im.run(); }, &point))
            break;
        ++kills;
        recoverMarketFiles(im.out.path()); // what the next run, import, merge or start does first
        const auto now = im.out.files();
        EXPECT_TRUE(now == before || now == after) << "killed at " << point;
    }
    EXPECT_GE(kills, 6);

    // A target that cannot take every file takes none.
    Import blocked;
    copyOld(blocked);
    std::filesystem::remove(blocked.out / "code.lst");
    std::filesystem::create_directory(blocked.out / "code.lst");
    EXPECT_THROW(blocked.run(), ImportError);
    EXPECT_EQ(blocked.out.read("kospi.lst"), old.out.read("kospi.lst"));
    EXPECT_EQ(blocked.out.read("StockData/005930.real"), old.out.read("StockData/005930.real"));

    Import readOnly;
    copyOld(readOnly);
    ::chmod(readOnly.out.path().c_str(), 0777);
    ::chmod(readOnly.out.path().c_str(), 0777);
    ::chmod(readOnly.in.path().c_str(), 0755);
    ::chmod((readOnly.out / "StockData").c_str(), 0555);
    for (const char* f : {"kospi.lst", "code.lst"})
        ::chmod((readOnly.out / f).c_str(), 0666);
    const int status = test::asOrdinaryUser([&] {
        try {
            readOnly.run();
            return 0;
        } catch (const ImportError&) {
            return 1;
        }
    });
    ::chmod((readOnly.out / "StockData").c_str(), 0755);
    EXPECT_EQ(status, 1);
    EXPECT_EQ(readOnly.out.files(), before);
}

TEST(ImportCsvTest, ImportOnAFullDiskLeavesTheMarket)
{
    test::SmallMarket m;
    test::SmallDisk disk(m.dir.path());
    if (!disk.usable)
        GTEST_SKIP() << "this machine does not let the test mount a small tmpfs";
    test::TempDir in;
    std::string prices = "Date,Close\n";
    for (int d = 1; d <= 28; ++d)
        prices += format("2004-02-%02d,%d\n", d, 1000 + d * 5);
    in.write("prices/111110.csv", prices);
    in.write("index.csv", "Date,Close\n2004-01-05,800\n");
    in.write("names.csv", "111110,ONE\n");
    ImportOptions o;
    o.prices = in / "prices";
    o.index = in / "index.csv";
    o.names = in / "names.csv";
    o.out = disk.mountPoint;
    EXPECT_THROW(importCsv(o), ImportError);
    EXPECT_EQ(readWholeFile(disk.mountPoint / "StockData/111110.real"), test::SmallMarket::prices(10000));
    EXPECT_EQ(readWholeFile(disk.mountPoint / "kospi.lst"), m.dir.read("kospi.lst"));
}

// The headers of Korean exports, and a file name in any letter case; two files of one stock are
// refused rather than one of them taken.
// A quoted name may hold a comma; written as it is, it would split the name's column of every
// result line of the stock.
TEST(ImportCsvTest, ACommaInANameBecomesABlank)
{
    Import im;
    im.in.write("names.csv", "code,name\n005930,\"가람, 전자\"\n000660\t한빛,소재\n");
    const auto summary = im.run();
    EXPECT_EQ(im.out.read("code.lst"),
              codeRecordBytes("005930", toCp949("가람  전자")) + codeRecordBytes("000660", toCp949("한빛 소재")));
    ASSERT_EQ(summary.notes.size(), 2u);
    EXPECT_NE(summary.notes[0].find("쉼표"), std::string::npos);
}

TEST(ImportCsvTest, HeadersAndFileNamesOfExports)
{
    Import im;
    std::filesystem::remove(im.in / "prices/000660.csv");
    im.in.write("prices/000660.Tsv", "날짜\t현재가\n20050302\t5000\n");
    im.in.write("prices/035420.txt", "일자,Price,거래량\n2005-03-02 00:00:00,50000,\"1,000\"\n");
    im.run();
    EXPECT_EQ(im.out.read("StockData/000660.real"), records({20050302, 5000, 5000}));
    EXPECT_EQ(im.out.read("StockData/035420.real"), records({20050302, 50000, 50000}));

    im.in.write("prices/035420.csv", "Date,Close\n2005-03-02,100\n");
    EXPECT_THROW(im.run(), ImportError);
    std::filesystem::remove(im.in / "prices/035420.csv");

    // The brokers' HTS codes: A and six digits, in a file name, in the names and in the splits.
    std::filesystem::remove(im.in / "prices/035420.txt");
    std::filesystem::remove(im.in / "prices/005930.csv");
    im.in.write("prices/A005930.csv", "Date,Close\n2005-03-02,5000\n2005-03-03,10000\n");
    im.in.write("names.csv", "code,name\nA005930,\"가람\x1b전자\"\n000660,한빛\n");
    im.in.write("splits.csv", "A005930,2005-03-03,0.5\n");
    im.options.splits = im.in / "splits.csv";
    const auto summary = im.run();
    EXPECT_EQ(im.out.read("StockData/005930.real"), records({20050302, 5000, 5000, 20050303, 10000, 10000}));
    EXPECT_EQ(im.out.read("code.lst").substr(0, 28), codeRecordBytes("005930", toCp949("가람 전자")));
    ASSERT_FALSE(summary.notes.empty());
    EXPECT_NE(summary.notes[0].find("제어 문자"), std::string::npos) << summary.notes[0];
}

TEST(ImportCsvTest, NumbersAndIndexScale)
{
    struct Row
    {
        const char* text;
        std::optional<double> value;
    };
    // text | value read, or none
    const Row rows[]
        = {{"27,860", 27860},         {"1,234,567.5", 1234567.5}, {"4997.4", 4997.4},     {"-5", -5},
           {"50000,0", std::nullopt}, {"1,23", std::nullopt},     {",123", std::nullopt}, {"0x10", std::nullopt},
           {"1e3", std::nullopt},     {"inf", std::nullopt},      {"", std::nullopt},     {"+5", std::nullopt},
           {"5.", std::nullopt}};
    for (const auto& row : rows)
        EXPECT_EQ(parseCsvNumber(row.text), row.value) << row.text;

    // An index beyond what kospi.lst holds is refused with the scale that fits it, and taken so.
    Import im;
    im.in.write("index.csv", "Date,Close\n2005-03-02,\"12,345.67\"\n");
    try {
        im.run();
        ADD_FAILURE() << "an index of 12,345.67 was taken";
    } catch (const ImportError& e) {
        EXPECT_NE(std::string(e.what()).find("--index-scale 0.1"), std::string::npos) << e.what();
    }
    im.options.indexScale = 0.1;
    im.run();
    EXPECT_EQ(im.out.read("kospi.lst"), indexRecordBytes(20050302, 123457, 123457));
}

// The range table: the sample one where the target has none, the user's own kept.
TEST(ImportCsvTest, AUsersRangeTableStays)
{
    Import im;
    EXPECT_TRUE(im.run().rangeTableWritten);
    EXPECT_TRUE(loadRangeTable(im.out / "ksp.txt")->usable());
    im.out.write("ksp.txt", "the user's table");
    EXPECT_FALSE(im.run().rangeTableWritten);
    EXPECT_EQ(im.out.read("ksp.txt"), "the user's table");
}

// A broker's CP949 export written newest first, a data service's TAB file with a day missing and
// an unadjusted halving, and a split that --splits names: the market worked out in the folder's
// README, byte for byte.
TEST(ImportCsvTest, GoldenImport)
{
    const auto golden = test::goldenImport();
    test::TempDir out;
    ImportOptions o;
    o.prices = golden / "input/prices";
    o.index = golden / "input/index.csv";
    o.names = golden / "input/names.csv";
    o.splits = golden / "input/splits.csv";
    o.out = out.path();
    importCsv(o);
    std::map<std::string, std::string> expected;
    for (const auto& e : std::filesystem::recursive_directory_iterator(golden / "expected"))
        if (e.is_regular_file())
            expected[e.path().lexically_relative(golden / "expected").string()] = *readWholeFile(e.path());
    const auto written = out.files();
    EXPECT_EQ(written.size(), expected.size());
    for (const auto& [name, bytes] : expected) {
        const auto it = written.find(name);
        ASSERT_NE(it, written.end()) << name;
        EXPECT_EQ(it->second, bytes) << name;
    }
}

// The market may go into the current folder ("--out ."), and an import that cannot be put in
// place leaves no price folder it made behind.
TEST(ImportCsvTest, TheCurrentFolderAsTheTarget)
{
    Import im;
    const auto before = std::filesystem::current_path();
    std::filesystem::current_path(im.out.path());
    im.options.out = ".";
    EXPECT_NO_THROW(im.run());
    std::filesystem::current_path(before);
    EXPECT_EQ(im.out.read("StockData/000660.real"),
              records({20050302, 4995, 4995, 20050303, 4995, 5000, 20050304, 5000, 5100}));

    Import blocked;
    std::filesystem::create_directory(blocked.out / "code.lst");
    EXPECT_THROW(blocked.run(), ImportError);
    EXPECT_FALSE(blocked.out.exists("StockData"));
}

namespace {

// A market imported up to 2005-03-02 and an update of the export of every day, and the market
// one import of every day makes.
struct Update
{
    Update()
    {
        full.run();
        im.options.to = 20050302;
        im.run();
        im.options.to = 99991231;
        im.options.update = true;
    }
    std::map<std::string, std::string> market(const test::TempDir& dir) const
    {
        std::map<std::string, std::string> files;
        for (const char* f : {"kospi.lst", "code.lst", "StockData/005930.real", "StockData/000660.real"})
            files[f] = dir.read(f);
        return files;
    }
    UpdateOutcome merge(const std::filesystem::path& work, const std::filesystem::path& prices)
    {
        test::RecordingProgress progress;
        return mergeUpdate(work, prices, 2, progress, messages);
    }
    Import full, im;
    test::RecordingSink messages;
};

std::string what(const std::function<void()>& step)
{
    try {
        step();
    } catch (const ImportError& e) {
        return e.what();
    }
    return {};
}

} // namespace

// Two updates of one market at once: the second waits for the first (held at its lock by a
// pipe), then finds its update waiting and says what to do; the first one's new stock keeps its
// days.
TEST(ImportCsvTest, TwoUpdatesAtOnceWaitAndNeitherIsLost)
{
    Update u;
    u.im.in.write("prices/035720.csv", "Date,Close\n2005-03-03,30000\n2005-03-04,31000\n");
    u.im.in.write("names.csv", "code,name\n035720,NEW\n");
    test::PausedAt first("market:open", [&] { u.im.run(); });
    ASSERT_TRUE(first.reached);
    std::promise<void> waiting;
    std::string second;
    std::thread other([&] {
        Import im2 = {};
        im2.options.update = true;
        im2.options.out = u.im.out.path();
        im2.options.waitSeconds = 60;
        im2.options.waiting = [&] { waiting.set_value(); };
        second = what([&] { importCsv(im2.options); });
    });
    waiting.get_future().wait();
    EXPECT_EQ(first.release(), 0);
    other.join();
    EXPECT_NE(second.find("merge-update"), std::string::npos) << second;
    EXPECT_NE(u.im.out.read("code.lst").find("035720"), std::string::npos);
    EXPECT_EQ(u.merge(u.im.out.path(), u.im.out.path()).merged, 3);
    EXPECT_TRUE(u.im.out.exists("StockData/035720.real"));
}

// What a crash leaves at the end of a stored file is cut away with a note, never added after;
// dates that go back (an update appended twice) stop the update with the file and the record.
TEST(ImportCsvTest, AnUpdateNeverAddsPastADamagedEnd)
{
    struct Row
    {
        const char* name;
        const char* file;
        std::string tail; // added to the stored file
        bool stops;
        const char* text; // the report's note, or the message that stops the update
    };
    const std::string nul(42, '\0');
    // case | stored file | its end | the update stops | the note or the message
    const Row rows[] = {
        {"kospi.lst ends in NUL bytes", "kospi.lst", nul, false, "kospi.lst의 2번째 레코드부터"},
        {"kospi.lst ends in a cut record", "kospi.lst", "2005030", false, "잘린 레코드"},
        {"code.lst ends in NUL bytes", "code.lst", nul + nul, false, "code.lst의 3번째 레코드부터"},
        {"a price file ends in NUL bytes", "StockData/005930.real", nul, false, "merge-update가 잘라 냅니다"},
        {"kospi.lst holds its day twice", "kospi.lst", indexRecordBytes(20050302, 90050, 90525), true,
         "kospi.lst의 2번째 레코드"},
        {"a price file holds its day twice", "StockData/005930.real",
         records({20050302, 10000, 10000, 9800, 10400, 10200}), true, "005930.real의 7번째 레코드"},
    };
    for (const auto& row : rows) {
        Update u;
        u.im.out.write(row.file, u.im.out.read(row.file) + row.tail);
        const auto before = u.im.out.files();
        if (row.stops) {
            const std::string message = what([&] { u.im.run(); });
            EXPECT_NE(message.find(row.text), std::string::npos) << row.name << ": " << message;
            EXPECT_EQ(u.im.out.files(), before) << row.name;
            continue;
        }
        const auto summary = u.im.run();
        EXPECT_NE(summary.report.find(row.text), std::string::npos) << row.name << ": " << summary.report;
        u.merge(u.im.out.path(), u.im.out.path());
        EXPECT_EQ(u.market(u.im.out), u.market(u.full.out)) << row.name;
    }
}

// A kill at every step of an update's commit: the next run either runs on the market as it was
// or refuses while the update waits, and the next merge leaves the market as before or as one
// import of every day makes it.
TEST(ImportCsvTest, AKilledUpdateIsWholeOrNoneAtTheNextRunAndMerge)
{
    Update probe;
    const auto old = probe.market(probe.im.out);
    const auto whole = probe.market(probe.full.out);
    int kills = 0;
    for (int n = 1;; ++n) {
        Update u;
        std::string point;
        if (!test::killedAtPoint(
                n, [&] { u.im.run(); }, &point))
            break;
        ++kills;
        RunContext c;
        c.workDir = c.programDir = u.im.out.path();
        c.messages = &u.messages;
        writeSimItems(u.im.out.path(), {std::string("005930 X") + std::string(19, ' ')}, 0, 10000000);
        SimParams p;
        p.startDate = 20050301;
        p.endDate = 20050331;
        const RunStatus status = CSimEngine(c).runSimulation(p).status;
        const bool updated = u.im.out.read("kospi.lst") == whole.at("kospi.lst");
        EXPECT_EQ(status, updated ? runStopped : runFinished) << "killed at " << point;
        EXPECT_EQ(u.im.out.exists("Update.new"), updated) << "killed at " << point;
        u.merge(u.im.out.path(), u.im.out.path());
        const auto now = u.market(u.im.out);
        EXPECT_TRUE(now == old || now == whole) << "killed at " << point;
    }
    EXPECT_GE(kills, 8);
}

// A working folder beside the program folder: the update compares with the price files the merge
// writes (--program-dir), and refuses to take a market without them for a new one.
TEST(ImportCsvTest, AnUpdateBesideTheProgramFolderUsesItsPriceFiles)
{
    Update u;
    test::TempDir work;
    for (const char* f : {"kospi.lst", "code.lst", "ksp.txt"})
        std::filesystem::copy_file(u.im.out / f, work / f);
    u.im.options.out = work.path();
    const std::string refused = what([&] { u.im.run(); });
    EXPECT_NE(refused.find("--program-dir"), std::string::npos) << refused;
    EXPECT_FALSE(work.exists("Update.new"));
    u.im.options.programDir = u.im.out.path();
    u.im.run();
    EXPECT_EQ(u.merge(work.path(), u.im.out.path()).merged, 2);
    for (const char* f : {"StockData/005930.real", "StockData/000660.real"})
        EXPECT_EQ(u.im.out.read(f), u.full.out.read(f)) << f;
    EXPECT_EQ(work.read("kospi.lst"), u.full.out.read("kospi.lst"));
}

// An export whose stored days differ from the stored ones (a re-adjusted history after a split, a
// different source) stops the update before it writes anything, naming the day and both values;
// a tick of difference is rounding.
TEST(ImportCsvTest, AReAdjustedExportIsRefused)
{
    struct Row
    {
        const char* name;
        const char* file;
        std::string bytes;
        const char* message; // nullptr: taken
    };
    // case | file of the update | its content | part of the message
    const Row rows[] = {
        {"a split re-adjusted the history", "prices/005930.csv",
         "Date,Close\n2005-03-02,5100\n2005-03-03,4850\n2005-03-04,4850\n", "005930 2005-03-02의 종가 5,100원"},
        {"another index", "index.csv", "Date,Close\n2005/03/02,999\n2005/03/03,910\n", "905.25"},
        {"a tick apart", "prices/005930.csv", "Date,Close\n2005-03-02,10250\n2005-03-03,9700\n", nullptr},
    };
    for (const auto& row : rows) {
        Update u;
        u.im.in.write(row.file, row.bytes);
        const auto before = u.im.out.files();
        const std::string message = what([&] { u.im.run(); });
        if (!row.message) {
            EXPECT_EQ(message, "") << row.name;
            continue;
        }
        EXPECT_NE(message.find(row.message), std::string::npos) << row.name << ": " << message;
        EXPECT_NE(message.find("새 폴더"), std::string::npos) << row.name << ": " << message;
        EXPECT_EQ(u.im.out.files(), before) << row.name;
    }
}

// A full import makes a new market: an update waiting for the old one, and the journal of its
// merge that stopped, go aside with the commit, and the report says so.
TEST(ImportCsvTest, AFullImportSetsAWaitingUpdateAside)
{
    Update u;
    u.im.run();
    const std::string waiting = u.im.out.read("Update.new");
    u.im.out.write("Update.jnl", "stopped 1 0\n");
    u.im.options.update = false;
    const auto summary = u.im.run();
    EXPECT_NE(summary.report.find("Update.old"), std::string::npos) << summary.report;
    EXPECT_FALSE(u.im.out.exists("Update.new"));
    EXPECT_FALSE(u.im.out.exists("Update.jnl"));
    EXPECT_EQ(u.im.out.read("Update.old"), waiting);
    EXPECT_EQ(u.market(u.im.out), u.market(u.full.out));
    EXPECT_FALSE(u.merge(u.im.out.path(), u.im.out.path()).present);
}
