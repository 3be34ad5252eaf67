#pragma once
// dividends.csv, the market's cash dividends beside kospi.lst (import-csv --dividends writes it):
// a header, then one line a dividend, "code,ex_date,won_per_share" (a six-digit code, the ex-date
// YYYY-MM-DD, whole won a share), by code and date. CR LF line ends, as every file the program
// writes.

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace kestrelan {

inline constexpr std::string_view dividendsFileName = "dividends.csv";

/// Whether a run not told about dividends pays them: under rules other than the default ones
/// (`designRules` false), when the market in `workDir` has dividends.csv.
bool dividendsByDefault(bool designRules, const std::filesystem::path& workDir);

/// What a result with dividends paid into the cash says beside its figures.
inline constexpr const char* priceIndexNote
    = "배당을 받은 펀드입니다. KOSPI는 배당이 들어가지 않은 가격지수라 지수수익률과 곧바로 견줄 수 없습니다.";

struct DividendRow
{
    std::string code;
    std::int32_t exDate = 0;
    std::int32_t wonPerShare = 0;

    bool operator==(const DividendRow&) const = default;
};

/// The file's text ("\n" line ends) of rows in the order given.
std::string dividendsCsvText(const std::vector<DividendRow>& rows);
/// The rows of the file's bytes; a line that does not read is left out.
std::vector<DividendRow> readDividendsCsv(std::string_view bytes);

} // namespace kestrelan
