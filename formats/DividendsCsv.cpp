#include "formats/DividendsCsv.h"

#include "formats/FieldReader.h"
#include "platform/core/Format.h"

namespace kestrelan {

bool dividendsByDefault(bool designRules, const std::filesystem::path& workDir)
{
    std::error_code ec;
    return !designRules && std::filesystem::is_regular_file(workDir / dividendsFileName, ec);
}

std::string dividendsCsvText(const std::vector<DividendRow>& rows)
{
    std::string text = "code,ex_date,won_per_share\n";
    for (const DividendRow& r : rows)
        text += format("%s,%04d-%02d-%02d,%d\n", r.code.c_str(), r.exDate / 10000, r.exDate / 100 % 100,
                       r.exDate % 100, r.wonPerShare);
    return text;
}

std::vector<DividendRow> readDividendsCsv(std::string_view bytes)
{
    std::vector<DividendRow> rows;
    readLines(bytes, [&](const FieldLine& line) {
        if (line.number == 0 || !line.complete || line.fields.size() != 3)
            return true;
        const std::string_view date = line.fields[1];
        if (line.fields[0].size() != 6 || date.size() != 10 || date[4] != '-' || date[7] != '-')
            return true;
        const std::int32_t d = fieldInteger(std::string(date.substr(0, 4)) + std::string(date.substr(5, 2))
                                            + std::string(date.substr(8, 2)));
        const std::int32_t won = fieldInteger(line.fields[2]);
        if (d > 0 && won > 0)
            rows.push_back({std::string(line.fields[0]), d, won});
        return true;
    });
    return rows;
}

} // namespace kestrelan
