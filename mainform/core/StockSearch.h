#pragma once
// The search field of the portfolio area: a code search when the text begins with a digit, a
// name search otherwise; exact matches first, then prefixes. Comparisons are on CP949 bytes.

#include <optional>
#include <string>
#include <vector>

namespace kestrelan {

struct SearchStep
{
    enum Kind
    {
        Nothing,     // leave everything as it is
        Select,      // select stock `index` in the stock list
        CutToSix,    // put `text` (the first 6 bytes) back into the field
        AddSelected, // a trailing blank: add the selected stock and empty the field
    };
    Kind kind = Nothing;
    int index = -1;
    std::string text;
};

/// What to do for the search text (CP949, leading white space already removed) over the stock
/// list's entries, given whether a stock is selected.
SearchStep searchStocks(const std::string& text, const std::vector<std::string>& stocks, bool stockSelected);

} // namespace kestrelan
