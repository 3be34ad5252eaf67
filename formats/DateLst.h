#pragma once
// date.lst, the funds of a run: one 30-byte line per fund, "%d%s%d%s" and CR LF: the start
// date, the 6-character index text of the fund's first trading day, the end date (its last
// trading day) and that day's index text. The index texts hold hundredths of a point.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kestrelan {

/// The funds of the last run, in the working folder.
constexpr std::string_view dateLstFile = "date.lst";

constexpr std::int32_t fundLineSize = 30;

struct FundLine
{
    std::int32_t start = 0;
    std::string startText;
    std::int32_t end = 0;
    std::string endText;

    /// The index levels of the texts, in hundredths of a point (atoi of the text up to a NUL).
    std::int32_t startHundredths() const;
    std::int32_t endHundredths() const;
};

/// The text of one line (before the CR LF translation).
std::string dateLstLine(const FundLine& line);

/// The lines of date.lst's bytes, read as records of 29 text-mode characters (the line and its
/// CR LF read as "\n"); a short last record is not a line. The dates are the values of their
/// 8 characters.
std::vector<FundLine> readDateLst(std::string_view bytes);

} // namespace kestrelan
