#include "tools/ShowCommand.h"

#include "platform/core/Cp949.h"
#include "platform/core/Folders.h"
#include "platform/core/Text.h"
#include "tools/Terminal.h"

#include <algorithm>
#include <cstdio>

namespace kestrelan {

namespace {

// Terminal columns of a text: a Hangul syllable takes two, as it takes two bytes in CP949.
std::size_t columns(const std::string& utf8)
{
    try {
        return toCp949(utf8).size();
    } catch (const Cp949Error&) {
        return utf8.size();
    }
}

std::string table(const ListTable& t)
{
    std::vector<std::size_t> width(t.columns.size(), 0);
    for (std::size_t c = 0; c < t.columns.size(); ++c) {
        width[c] = columns(t.columns[c].heading);
        for (const auto& row : t.rows)
            if (c < row.size())
                width[c] = std::max(width[c], columns(row[c]));
    }
    auto line = [&](const std::vector<std::string>& cells) {
        std::string out;
        for (std::size_t c = 0; c < width.size(); ++c) {
            const std::string cell = c < cells.size() ? cells[c] : std::string();
            const std::string pad(width[c] - std::min(width[c], columns(cell)), ' ');
            out += c == 0 ? cell + pad : "  " + pad + cell;
        }
        return std::string(trimRight(out, " ")) + "\n";
    };
    std::vector<std::string> headings;
    for (const auto& c : t.columns)
        headings.push_back(c.heading);
    std::string out = line(headings);
    for (const auto& row : t.rows)
        out += line(row);
    return out;
}

} // namespace

std::string showTables(ResultKind kind, const SummaryTables& tables)
{
    std::string out = "단위: 천원, %\n\n";
    if (kind == ResultKind::FundSeries)
        return out + table(tables.mainList);
    return out + table(tables.summaryList) + "\n" + table(tables.mainList);
}

int showCommand(const std::vector<std::string>& args)
{
    if (!args.empty()) {
        std::fputs("usage: kestrelan-cli show    (in the folder of the result files)\n", stderr);
        return 2;
    }
    const auto dir = workingFolder();
    if (!std::filesystem::exists(dir / "result.csv")) {
        std::fputs("result.csv가 없습니다. 먼저 kestrelan-cli run으로 시뮬레이션을 실행하세요.\n", stderr);
        return 1;
    }
    StderrMessages messages;
    const ResultKind kind = classifyResult(dir);
    const std::string text = showTables(kind, fillSummaryTables(kind, dir, messages));
    std::fputs(text.c_str(), stdout);
    return 0;
}

} // namespace kestrelan
