#pragma once
// The name-entry window's template and control IDs.

namespace kestrelan::nameInputIds {

constexpr int dialog = 129; // resources/dialogs/129.dlg
constexpr int prompt = 1125;
constexpr int name = 1110;
constexpr int ok = 1;
constexpr int cancel = 2;

} // namespace kestrelan::nameInputIds
