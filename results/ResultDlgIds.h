#pragma once
// The results window's template and control IDs (each control's objectName is its ID).

namespace kestrelan::resultIds {

constexpr int dialog = 134;       // resources/dialogs/134.dlg
constexpr int summaryView = 1100; // the views, one exclusive group: the summary tables
constexpr int yieldView = 1001;   // the yield chart, or the fund-series chart
constexpr int stockView = 1101;   // a stock's chart
constexpr int stockCombo = 1111;
constexpr int exportSummary = 1104; // the spreadsheet export
constexpr int stockRowList = 1105;  // the chosen stock's row above its chart
constexpr int summaryList = 1106;   // the whole fund's row
constexpr int mainList = 1107;      // one row per stock, or per fund of a series
constexpr int yieldChart = 1108;
constexpr int stockChart = 1109;
constexpr int seriesChart = 1112;

} // namespace kestrelan::resultIds
