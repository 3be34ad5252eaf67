#include "engine/Portfolio.h"

#include "engine/MarketData.h"
#include "platform/core/Cp949.h"
#include "platform/core/Format.h"
#include "platform/core/TextFile.h"

#include <limits>

namespace kestrelan {

std::optional<std::string> simItemBytes(const std::vector<std::string>& entries, int investMode, std::int64_t amount)
{
    if (amount > std::numeric_limits<std::int32_t>::max() || amount < std::numeric_limits<std::int32_t>::min())
        return std::nullopt;
    std::string text;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const std::int64_t value = investMode == 1 && i > 0 ? 0 : amount;
        text += padBytes(entries[i], stockEntrySize);
        text += format("%11d\n", static_cast<int>(value));
    }
    return toCrLf(text);
}

bool writeSimItems(const std::filesystem::path& dir, const std::vector<std::string>& entries, int investMode,
                   std::int64_t amount)
{
    const auto bytes = simItemBytes(entries, investMode, amount);
    return bytes && replaceFileAtomically(dir / "SimItem.lst", *bytes);
}

std::vector<PortfolioItem> parseSimItems(std::string bytes)
{
    std::vector<PortfolioItem> items;
    TextReader reader(std::move(bytes));
    for (;;) {
        const std::string line = reader.readRaw(simItemLineSize);
        if (line.empty())
            break;
        if (line.size() <= static_cast<std::size_t>(stockEntrySize))
            continue; // a truncated last line without its amount
        PortfolioItem item;
        item.entry = line.substr(0, stockEntrySize);
        if (const auto nul = item.entry.find('\0'); nul != std::string::npos)
            item.entry.resize(nul);
        item.amount = atoiField(std::string_view(line).substr(stockEntrySize, 11));
        items.push_back(std::move(item));
    }
    return items;
}

std::optional<std::vector<PortfolioItem>> readSimItems(const std::filesystem::path& path)
{
    auto bytes = readWholeFile(path, simItemFileLimit);
    if (!bytes)
        return std::nullopt;
    return parseSimItems(std::move(*bytes));
}

} // namespace kestrelan
