#pragma once
// The results window's template and control IDs (each control's objectName is its ID).

namespace kestrelan::resultIds {

constexpr int dialog = 134;       // resources/dialogs/134.dlg
constexpr int summaryView = 1100; // the views, one exclusive group: the summary tables
constexpr int yieldView = 1001;   // the yield chart, or the fund-series chart
constexpr int stockView = 1101;   // a stock's chart
constexpr int statsView = 1113;   // the series summary or the risk figures, with their chart
constexpr int stockCombo = 1111;
constexpr int exportSummary = 1104; // the spreadsheet export
constexpr int pastRuns = 1117;      // the runs kept in history/, below the views
constexpr int stockRowList = 1105;  // the chosen stock's row above its chart
constexpr int summaryList = 1106;   // the whole fund's row
constexpr int mainList = 1107;      // one row per stock, or per fund of a series
constexpr int yieldChart = 1108;
constexpr int stockChart = 1109;
constexpr int seriesChart = 1112;
constexpr int statsList = 1114;       // the series summary, or a single fund's risk figures
constexpr int histogramChart = 1115;  // a series: the funds' yields beside the index's
constexpr int underwaterChart = 1116; // a single fund: its fall below its peak, and the index's

} // namespace kestrelan::resultIds
