#pragma once
// The desktop's questions when it starts without a market (mainform/core/MarketStart.h): a message
// box with the three choices, then the file windows for an import.

#include "mainform/core/MarketStart.h"

namespace kestrelan {

class MarketStartWindow : public IMarketStartUi
{
public:
    MarketStartChoice choose(const std::filesystem::path& folder) override;
    std::optional<CsvFiles> pickCsvFiles() override;
};

} // namespace kestrelan
