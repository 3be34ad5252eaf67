#include "tools/CommandLine.h"
#include "support/CommandLineRun.h"
#include "support/TempDir.h"
#include "tools/ProgramSpecs.h"
#include "tools/RunCommand.h"

#include <sstream>

#include <gtest/gtest.h>

using namespace kestrelan;
using test::commandLine;

namespace {

std::string shown(const std::vector<std::string>& args)
{
    std::string text;
    for (const auto& a : args)
        text += " " + a;
    return text;
}

} // namespace

// Help for the program and each command, and the version: status 0, the text on stdout.
TEST(CommandLineTest, HelpAndVersion)
{
    struct Row
    {
        std::vector<std::string> args;
        std::string shows;
    };
    const Row rows[] = {
        {{"--help"}, "사용법: kestrelan-cli [옵션] 명령"},
        {{"-h"}, "import-csv"},
        {{"run", "--help"}, "사용법: kestrelan-cli run [옵션]"},
        {{"run", "--help"}, "매매차익 % (기본값 10)"},       // the defaults of SimParams
        {{"run", "--margin", "2x", "-h"}, "--commission X"}, // help before any value is read
        {{"show", "--help"}, "사용법: kestrelan-cli show"},
        {{"sample-data", "--help"}, "사용법: kestrelan-cli sample-data [옵션] DIR"},
        {{"import-csv", "--help"}, "--prices DIR"},
        {{"import-csv", "--help"}, "--index-scale X"},
        {{"merge-update", "--help"}, "사용법: kestrelan-cli merge-update [옵션]"},
        {{"--version"}, "kestrelan-cli " KESTRELAN_VERSION "\n"},
    };
    for (const Row& row : rows) {
        const test::CliOutcome o = commandLine(row.args);
        EXPECT_EQ(o.status, exitDone) << shown(row.args);
        EXPECT_NE(o.out.find(row.shows), std::string::npos) << shown(row.args) << "\n" << o.out;
        EXPECT_EQ(o.err, "") << shown(row.args);
    }
    EXPECT_FALSE(std::filesystem::exists("--help")); // sample-data --help made no folder
}

// Every usage error: status 2, the option or argument named on stderr, then where help is.
TEST(CommandLineTest, UsageErrorsNameTheirOption)
{
    const std::vector<std::string> import
        = {"import-csv", "--prices", "p", "--index", "i", "--names", "n", "--out", "o"};
    const auto importWith = [&](std::vector<std::string> more) {
        more.insert(more.begin(), import.begin(), import.end());
        return more;
    };
    struct Row
    {
        std::vector<std::string> args;
        std::string says;
    };
    const Row rows[] = {
        // numbers, all of them
        {{"run", "--margin", "2x"}, "--margin: -99 이상 10000 이하의 정수를"},
        {{"run", "--stocks", "005930", "--amount", "1,300"}, "--amount: "},
        {{"run", "--years", "1e3"}, "--years: "},
        {{"run", "--commission", "2x"}, "--commission: 숫자를"},
        {{"run", "--commission=nan"}, "--commission: 숫자를"},
        {{"run", "--commission", "inf"}, "--commission: 숫자를"},
        {importWith({"--multiplier", "2x"}), "--multiplier: 숫자를"},
        {importWith({"--multiplier", "0"}), "--multiplier: 0보다 큰"},
        {importWith({"--index-scale", "-1"}), "--index-scale: 0보다 큰"},
        // empty and missing values
        {{"run", "--margin="}, "--margin: 값을 입력하십시오"},
        {{"run", "--margin", ""}, "--margin: 값을 입력하십시오"},
        {{"run", "--stocks", "--margin", "5"}, "--stocks: 값을 입력하십시오"},
        // dates
        {{"run", "--start", "20230231"}, "--start: 없는 날짜입니다"},
        {{"run", "--end", "2023-13-01"}, "--end: 없는 날짜입니다"},
        {{"run", "--start", "2023/01/02"}, "--start: 날짜는 YYYYMMDD 또는 YYYY-MM-DD로"},
        {importWith({"--from", "20230229"}), "--from: 없는 날짜입니다"},
        // an option given twice, in either form
        {{"run", "--margin", "5", "--margin=6"}, "--margin: 한 번만"},
        {importWith({"--update", "--update"}), "--update: 한 번만"},
        {importWith({"--update=no"}), "--update: 값을 받지 않는"},
        // required options and arguments
        {{}, "명령을 입력하십시오"},
        {{"sample-data"}, "꼭 입력해야 합니다: DIR"},
        {{"import-csv", "--prices", "p", "--names", "n"}, "꼭 입력해야 합니다: --index, --out"},
        // never an option for a folder
        {{"sample-data", "--", "--help"}, "DIR: 옵션처럼 보이는 값은"},
        {{"import-csv", "--prices", "p", "--index", "i", "--names", "n", "--out=-o"}, "--out: 옵션처럼"},
        // unknown options, commands and arguments
        {{"run", "--bogus", "1"}, "알 수 없는 옵션입니다: --bogus"},
        {{"run", "--version"}, "알 수 없는 옵션입니다: --version"},
        {{"sample-data", "-x"}, "알 수 없는 옵션입니다: -x"},
        {{"bogus"}, "알 수 없는 명령입니다: bogus"},
        {{"show", "extra"}, "필요 없는 인수입니다: extra"},
        {{"merge-update", "extra"}, "필요 없는 인수입니다: extra"},
        // the minute market's options
        {{"sample-data", "d", "--stocks", "5"}, "--stocks: --minutes와 함께"},
        {{"sample-data", "--minutes", "d", "--years", "2020:2001"}, "--years: 앞의 해가"},
        {{"sample-data", "--minutes", "d", "--years", "2020"}, "--years: 1900부터"},
        {{"sample-data", "--minutes", "d", "--ticks", "0"}, "--ticks: 1 이상 23400 이하"},
    };
    for (const Row& row : rows) {
        const test::CliOutcome o = commandLine(row.args);
        EXPECT_EQ(o.status, exitUsage) << shown(row.args);
        EXPECT_EQ(o.out, "") << shown(row.args);
        EXPECT_NE(o.err.find(row.says), std::string::npos) << shown(row.args) << "\n" << o.err;
        EXPECT_NE(o.err.find("--help'로 사용법을"), std::string::npos) << shown(row.args) << "\n" << o.err;
    }
    EXPECT_FALSE(std::filesystem::exists("d"));
    EXPECT_FALSE(std::filesystem::exists("o"));
}

// --opt=value and --opt value, both date forms, negative numbers, a leap day.
TEST(CommandLineTest, ValuesInEitherForm)
{
    test::TempDir dir;
    const RunOptions o = parseRunOptions(
        {"--margin=-5", "--second", "-20", "--start=2004-02-29", "--end", "20040310", "--commission", "0.15"},
        dir.path(), "/prog");
    EXPECT_EQ(o.params.marginPct, -5);
    EXPECT_EQ(o.params.secondPct, -20);
    EXPECT_EQ(o.params.startDate, 20040229);
    EXPECT_EQ(o.params.endDate, 20040310);
    EXPECT_DOUBLE_EQ(o.params.commissionPct, 0.15);

    // The import takes both date forms and fails only at its missing input (status 1, not 2).
    const test::CliOutcome import = commandLine(
        {"import-csv", "--prices", (dir / "none").string(), "--index", (dir / "none.csv").string(), "--names",
         (dir / "names.csv").string(), "--out=" + (dir / "out").string(), "--from=2004-01-05", "--to", "20041231"});
    EXPECT_EQ(import.status, exitFailed) << import.err;

    // The names of an argument that takes several come in the order typed.
    const ParsedCommandLine merge = parseCommandLine({{"sweep-merge", "", {{"FILES", "FILE...", "", true, true}}, ""}},
                                                     {"sweep-merge", "b.csv", "a.csv", "c.csv"});
    EXPECT_EQ(merge.values.paths("FILES"), (std::vector<std::filesystem::path>{"b.csv", "a.csv", "c.csv"}));
}

// The desktop program's own command line, read by the same rules as kestrelan-cli's: each
// answer or refusal comes before any window.
TEST(CommandLineTest, ProgramsWithoutCommands)
{
    const test::TempDir results;
    const std::string folder = results.path().string();
    struct Row
    {
        std::vector<std::string> args;
        int status;
        std::string says; // on stdout for status 0 with output, else on stderr; for a request, its folder
    };
    // arguments | status | what is said
    const Row rows[] = {
        {{}, exitDone, ""},
        {{"--results"}, exitDone, ""},
        {{"--results", folder}, exitDone, folder},
        {{folder, "--results"}, exitDone, folder},
        {{"--help"}, exitDone, "--results"},
        {{"--version"}, exitDone, "kestrelan " KESTRELAN_VERSION},
        {{"--results", "--results"}, exitUsage, "--results: 한 번만 입력하십시오."},
        {{"--results=x"}, exitUsage, "--results: 값을 받지 않는 옵션입니다"},
        {{"--bogus"}, exitUsage, "알 수 없는 옵션입니다: --bogus"},
        {{folder}, exitUsage, "DIR: --results와 함께만 씁니다."},
        {{"--results", folder + "/none"}, exitUsage, "DIR: 폴더가 없습니다"},
        {{"--results", folder, "other"}, exitUsage, "필요 없는 인수입니다: other"},
    };
    for (const auto& row : rows) {
        std::ostringstream out, err;
        int status = -1;
        const auto request = readDesktopCommandLine(row.args, out, err, status);
        EXPECT_EQ(request.has_value(), row.status == exitDone && out.str().empty()) << shown(row.args);
        if (request) {
            EXPECT_EQ(request->resultsOnly, !row.args.empty()) << shown(row.args);
            EXPECT_EQ(request->resultFolder.string(), row.says) << shown(row.args);
            continue;
        }
        EXPECT_EQ(status, row.status) << shown(row.args);
        const std::string said = row.status == exitDone ? out.str() : err.str();
        EXPECT_NE(said.find(row.says), std::string::npos) << shown(row.args) << ": " << said;
        if (row.status == exitUsage)
            EXPECT_NE(said.find("'kestrelan --help'"), std::string::npos) << said;
    }
}
