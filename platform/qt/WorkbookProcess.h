#pragma once
// The workbook builder (kestrelan-workbook beside the program) run by an export and waited for.

#include <QStringList>
#include <filesystem>
#include <optional>
#include <string>

namespace kestrelan {

struct BuiltWorkbook
{
    std::string path;                   // the workbook the builder wrote
    std::optional<std::string> problem; // why it wrote none, in words for the user
};

/// Runs `programDir`/kestrelan-workbook with `args` and waits up to two minutes for it.
BuiltWorkbook runWorkbookBuilder(const std::filesystem::path& programDir, const QStringList& args);

} // namespace kestrelan
