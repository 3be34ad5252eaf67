#pragma once
// The trading range table window's template and control IDs.

namespace kestrelan::rangeTableIds {

constexpr int dialog = 200; // resources/dialogs/200.dlg
constexpr int table = 1116;

} // namespace kestrelan::rangeTableIds
