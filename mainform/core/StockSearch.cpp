#include "mainform/core/StockSearch.h"

#include "engine/MarketData.h"
#include "platform/core/Text.h"

#include <algorithm>

namespace kestrelan {

namespace {

std::string nameOf(const std::string& entry) { return std::string(trimRight(entryName(entry), " ")); }

} // namespace

SearchStep searchStocks(const std::string& text, const std::vector<std::string>& stocks, bool stockSelected)
{
    if (text.empty())
        return {};
    if (text.back() == ' ' && stockSelected)
        return {SearchStep::AddSelected, -1, {}};
    const bool code = text[0] >= '0' && text[0] <= '9';
    if (code && text.size() > 6)
        return {SearchStep::CutToSix, -1, text.substr(0, 6)};
    auto select = [&](auto matches) -> SearchStep {
        const auto it = std::find_if(stocks.begin(), stocks.end(), matches);
        if (it == stocks.end())
            return {};
        return {SearchStep::Select, static_cast<int>(it - stocks.begin()), {}};
    };
    if (code && text.size() == 6) {
        if (auto s = select([&](const std::string& e) { return e.compare(0, 6, text) == 0; });
            s.kind != SearchStep::Nothing)
            return s;
    }
    if (!code) {
        if (auto s = select([&](const std::string& e) { return nameOf(e) == text; }); s.kind != SearchStep::Nothing)
            return s;
    }
    const std::size_t from = code ? 0 : 7;
    return select([&](const std::string& e) {
        return e.size() >= from + text.size() && e.compare(from, text.size(), text) == 0;
    });
}

} // namespace kestrelan
