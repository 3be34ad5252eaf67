#pragma once
// The settings of one run: their defaults, their limits, the default period and the one check
// that the settings form, the command line and the run itself make before a run starts.

#include "engine/TradingConditions.h"
#include "formats/Settings.h"

#include <cstdint>
#include <optional>
#include <string>

namespace kestrelan {

struct MarketRules;

/// How the amounts of SimItem.lst are meant. The values are the settings form's combo indices.
enum class InvestMode : std::int32_t
{
    PerStock = 0,  // won per stock
    Total = 1,     // one total in won, divided among the stocks before each fund
    ShareCount = 2 // shares held at the start
};

/// When the funds of a series start (statistics mode). The values are the form's radio indices.
enum class FundCadence : std::int32_t
{
    ThriceMonthly = 0,
    Monthly = 1,
    Daily = 2
};

/// Portfolio entries a run takes.
constexpr int maxStocks = 50;
/// The largest amount in won: a larger one typed into the form (or given to the command line) is
/// cut to it.
constexpr std::uint32_t maxInvestAmount = 2000000000;
/// The largest share count the form takes: a larger holding is worth more than maxInvestAmount
/// at any price, and the trading rules leave such a holding out.
constexpr std::uint32_t maxShareCount = 2000000000;
/// The amount the form opens with, and the one a change of invest mode resets to.
constexpr std::uint32_t defaultAmount = 100000000;
constexpr std::uint32_t defaultShareCount = 10000;
/// The earliest start date: an earlier one snaps to it when the start calendar closes.
constexpr std::int32_t minStartDate = 19960101;
/// Where a fund series starts by default (yield statistics switched on).
constexpr std::int32_t seriesStartDate = 20000101;

/// A commission is a percentage below this.
constexpr double maxCommissionPct = 100;

/// The default amount of an invest mode: a share count in share-count mode, won otherwise.
constexpr std::uint32_t defaultAmountFor(InvestMode mode)
{
    return mode == InvestMode::ShareCount ? defaultShareCount : defaultAmount;
}

// Ranges only the command line enforces (the form takes any number that parses).
constexpr std::int32_t maxYears = 100;
constexpr std::int32_t minMarginPct = -99;   // -100 % or less leaves no grid above the base
constexpr std::int32_t percentLimit = 10000; // the other percent settings lie within +-10000
constexpr std::int32_t minDate = 19000101;
constexpr std::int32_t maxDate = 99991231;

/// The settings of one run, with the settings form's defaults: the trading conditions (the part a
/// sweep varies per combination) and the run's own.
struct SimParams : TradingConditions
{
    InvestMode investMode = InvestMode::PerStock;
    std::int32_t startDate = 0;                           // yyyymmdd
    std::int32_t endDate = 0;                             // yyyymmdd
    FundCadence fundCadence = FundCadence::ThriceMonthly; // statistics mode only
    std::int32_t years = 1;                               // length of each fund of a series; 0 is half a year
    bool autoSet = true;     // take the range and the ratio from ksp.txt per fund
    bool yieldStats = false; // a series of funds instead of one fund day by day
    double riskFreePct = 0;  // the yearly risk-free rate of the Sharpe ratios in stats.csv
    /// The market's rules: "design" (one sales tax, one tick table), "krx" (the shipped table of
    /// the Korean market by date) or the path of a user's table of the same form.
    std::string rules = "design";
    /// Dividends from the market's dividends.csv into the cash: 1 on, 0 off, -1 on when the rules
    /// are not the default ones and the market has the file (a run resolves it to 0 or 1).
    std::int32_t dividends = -1;

    bool operator==(const SimParams&) const = default;
};

/// The setting a problem is about.
enum class Setting
{
    InvestMode,
    FundCadence,
    Margin,
    RiskProfile,
    Commission,
    Period,
    Amount
};

struct SettingProblem
{
    Setting setting;
    std::string message; // Korean, as the user sees it
};

/// The first setting a run cannot start with, or nullopt. A margin of 0 is refused; the invest
/// mode, the risk profile and (for a fund series) the cadence must be one of their values; the
/// commission is a finite percentage from 0 up to (not including) 100.
std::optional<SettingProblem> validate(const SimParams& params);

/// What one purchase and its sale cost, in percent of the amount: twice the commission, and the
/// tax at `taxRate` (a fraction of the proceeds) when it is paid.
double roundTripCostPct(const TradingConditions& params, double taxRate = salesTaxRate);
/// A note, not a refusal, when the margin is below that cost under `rules` on some day from
/// `start` to `end` (yyyymmdd): each grid trade on such a day loses money. Where the tax changes
/// within the period and the margin pays for the cheaper days only, the note says so. nullopt
/// otherwise.
std::optional<std::string> marginBelowCostsNote(const TradingConditions& params, const MarketRules& rules,
                                                std::int32_t start, std::int32_t end);

/// A start date after the end date: "시뮬레이션 기간을 확인하세요.", or nullopt.
std::optional<SettingProblem> validatePeriod(const SimParams& params);

/// An amount (won or shares) of 0 or less for the portfolio: "투자금액을 입력하세요.", or nullopt.
std::optional<SettingProblem> validateAmount(std::int64_t amount);

/// A period of yyyymmdd dates.
struct Period
{
    std::int32_t startDate;
    std::int32_t endDate;
};

/// The default period for a last KOSPI date d: the 24 whole months before d's month (20050314
/// gives 20030301 to 20050228).
Period defaultPeriod(std::int32_t lastIndexDate);

/// What a portfolio of more than maxStocks entries is told.
inline constexpr const char* tooManyStocksMessage = "시뮬레이션은 50종목까지 가능합니다.";

/// The settings as settings.csv names them, for a run of `stocks` stocks.
std::vector<SettingLine> settingLines(const SimParams& params, std::size_t stocks);

} // namespace kestrelan
