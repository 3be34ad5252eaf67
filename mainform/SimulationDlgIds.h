#pragma once
// The settings form's template and control IDs (each control's objectName is its ID).

namespace kestrelan::simulationIds {

constexpr int dialog = 102; // resources/dialogs/102.dlg

constexpr int investModeCombo = 1122;
constexpr int investAmount = 1015;
constexpr int amountText = 1075;
constexpr int help = 1121;
constexpr int groupCombo = 1112;
constexpr int registerGroup = 1123;
constexpr int deleteGroup = 1003;
constexpr int stockList = 1116;
constexpr int addStock = 1124;
constexpr int removeStock = 1125;
constexpr int portfolioList = 1117;
constexpr int searchText = 1002;
constexpr int clearPortfolio = 1126;
constexpr int compareConditions = 1160; // in the room beside the stock search
constexpr int rangeLowPct = 1016;
constexpr int rangeHighPct = 1017;
constexpr int initialBuyPct = 1020;
constexpr int autoSet = 1021;
constexpr int showRangeTable = 1127;
constexpr int riskAggressive = 1088;
constexpr int riskStable = 1089;
constexpr int riskConservative = 1090;
constexpr int marginPct = 1018;
constexpr int secondPct = 1019;
constexpr int commissionPct = 1099;
constexpr int includeTax = 1074;
constexpr int startDate = 1119;
constexpr int endDate = 1120;
constexpr int yieldStats = 1094;
constexpr int cadenceThrice = 1010;
constexpr int cadenceMonthly = 1102;
constexpr int cadenceDaily = 1103;
constexpr int years = 1004;
constexpr int simulate = 1076;
constexpr int rulesCombo = 1150;
constexpr int rulesFile = 1151;
constexpr int dividends = 1152;

} // namespace kestrelan::simulationIds
