#include "formats/DateLst.h"

#include "platform/core/Format.h"
#include "platform/core/TextFile.h"

namespace kestrelan {

std::int32_t FundLine::startHundredths() const { return atoiField(startText); }

std::int32_t FundLine::endHundredths() const { return atoiField(endText); }

std::string dateLstLine(const FundLine& line)
{
    return format("%d%s%d%s\n", line.start, line.startText.c_str(), line.end, line.endText.c_str());
}

std::vector<FundLine> readDateLst(std::string_view bytes)
{
    std::vector<FundLine> lines;
    TextReader reader{std::string(bytes)};
    forEachRecord(reader, fundLineSize - 1, [&](const std::string& record) {
        const std::string_view v(record);
        lines.push_back({atoiField(v.substr(0, 8)), std::string(v.substr(8, 6)), atoiField(v.substr(14, 8)),
                         std::string(v.substr(22, 6))});
    });
    return lines;
}

} // namespace kestrelan
