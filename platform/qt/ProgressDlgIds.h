#pragma once
// The progress window's template and control IDs.

namespace kestrelan::progressIds {

constexpr int dialog = 133; // resources/dialogs/133.dlg
constexpr int status = 1098;
constexpr int bar = 1097;

} // namespace kestrelan::progressIds
