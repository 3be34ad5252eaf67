#pragma once
// SimItem.lst, the portfolio handed from the settings form to the run: one 40-byte line per
// stock, the 27-byte stock entry, the amount in "%11d", and CR LF. The amount is won per stock,
// the share count, or (total-amount mode) the total on the first line and 0 on the others.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace kestrelan {

constexpr std::int32_t simItemLineSize = 40;
/// The largest SimItem.lst a run reads: far more than 50 lines.
constexpr std::size_t simItemFileLimit = 1 << 20;

struct PortfolioItem
{
    std::string entry; // the 27-byte stock entry
    std::int32_t amount = 0;
};

/// The bytes of SimItem.lst for the entries in list order. With investMode 1 the amount goes on
/// the first line and 0 on the others; otherwise every line carries it. nullopt for an amount
/// the run would not read back (beyond 32 bits): it is refused, never wrapped.
std::optional<std::string> simItemBytes(const std::vector<std::string>& entries, int investMode, std::int64_t amount);

/// Writes SimItem.lst into `dir`; false when it cannot be written or the amount is refused.
bool writeSimItems(const std::filesystem::path& dir, const std::vector<std::string>& entries, int investMode,
                   std::int64_t amount);

/// Reads SimItem.lst as the run does: low-level text-mode reads of 40 bytes until a read returns
/// nothing, the first 27 characters the entry and characters 28-38 the amount. A last piece too
/// short to hold an amount is not a line. nullopt when the file cannot be opened.
std::optional<std::vector<PortfolioItem>> readSimItems(const std::filesystem::path& path);
std::vector<PortfolioItem> parseSimItems(std::string bytes);

} // namespace kestrelan
