#pragma once
// The workbook builder (kestrelan-workbook beside the program) run by an export and waited for,
// and the export itself as the windows that have one do it.

#include "platform/qt/WindowServices.h"

#include <QString>
#include <QStringList>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>

namespace kestrelan {

struct BuiltWorkbook
{
    std::string path;                   // the workbook the builder wrote
    std::optional<std::string> problem; // why it wrote none, in words for the user
};

/// Runs `programDir`/kestrelan-workbook with `args` and waits up to two minutes for it.
BuiltWorkbook runWorkbookBuilder(const std::filesystem::path& programDir, const QStringList& args);

/// What a window with an export works with besides its controls.
struct ExportServices : WindowServices
{
    ExportServices(const WindowServices& common, std::filesystem::path handoffFile, std::filesystem::path workbookFolder)
        : WindowServices(common)
        , handoffFile(std::move(handoffFile))
        , workbookFolder(std::move(workbookFolder))
    {
    }

    std::filesystem::path handoffFile;    // the export's hand-off file (~/fname.tmp)
    std::filesystem::path workbookFolder; // where the export's workbooks go (~/SimResult)
};

/// The export: the name asked (`proposedName` proposed), the hand-off file with the program
/// folder, that name and `stockCount`, then the workbook the builder writes from the working
/// folder's files (`builderArgs` added to its command line), opened on the desktop. Cancel writes
/// nothing; an empty name opens nothing; each failure is one message.
void exportWorkbook(const ExportServices& services, const QString& proposedName, int stockCount,
                    const QStringList& builderArgs = {});

} // namespace kestrelan
