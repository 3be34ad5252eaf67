#pragma once
// Stocks as code.lst lists them, for the tests of what is built from its entries.

#include "engine/MarketData.h"
#include "platform/core/Cp949.h"

#include <string>
#include <vector>

namespace kestrelan::test {

/// A code.lst entry: the code, a blank and the name in CP949 padded to its width.
inline std::string codeEntry(const char* code, const char* name)
{
    return codeRecordBytes(code, toCp949(name)).substr(0, stockEntrySize);
}

/// Five stocks whose names begin alike: 005930 가람전자, 005935 가람전자우, 000660 나래반도체,
/// 005940 가람 (a prefix of the first two) and 035420 라온인터넷.
inline const std::vector<std::string>& fiveStocks()
{
    static const std::vector<std::string> stocks = {
        codeEntry("005930", "가람전자"), codeEntry("005935", "가람전자우"), codeEntry("000660", "나래반도체"),
        codeEntry("005940", "가람"),     codeEntry("035420", "라온인터넷"),
    };
    return stocks;
}

} // namespace kestrelan::test
