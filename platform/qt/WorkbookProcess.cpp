#include "platform/qt/WorkbookProcess.h"

#include "formats/Handoff.h"
#include "platform/qt/CNameInputDlg.h"
#include "platform/qt/QtText.h"

#include <QProcess>

namespace kestrelan {

BuiltWorkbook runWorkbookBuilder(const std::filesystem::path& programDir, const QStringList& args)
{
    QProcess builder;
    builder.start(QString::fromStdString((programDir / "kestrelan-workbook").string()), args);
    constexpr int limitMs = 120000;
    if (!builder.waitForStarted(limitMs))
        return {{}, "kestrelan-workbook을 찾을 수 없거나 실행할 수 없습니다."};
    if (!builder.waitForFinished(limitMs)) {
        builder.kill();
        builder.waitForFinished(5000);
        return {{}, "kestrelan-workbook이 2분 안에 끝나지 않아 중단했습니다."};
    }
    if (builder.exitStatus() != QProcess::NormalExit)
        return {{}, "kestrelan-workbook이 비정상적으로 끝났습니다."};
    if (builder.exitCode() != 0) {
        const QString said = QString::fromUtf8(builder.readAllStandardError()).trimmed();
        return {{}, said.isEmpty() ? std::string("kestrelan-workbook이 오류로 끝났습니다.") : said.toStdString()};
    }
    return {QString::fromUtf8(builder.readAllStandardOutput()).trimmed().toStdString(), std::nullopt};
}

void exportWorkbook(const ExportServices& services, const QString& proposedName, int stockCount,
                    const QStringList& builderArgs)
{
    const auto typed = services.names->ask("저장할 엑셀파일 이름 지정", proposedName);
    if (!typed)
        return;
    const auto name = qstringToCp949(*typed);
    if (!name) {
        services.messages->show("파일 이름에 쓸 수 없는 문자가 있습니다.");
        return;
    }
    const auto& handoff = services.handoffFile;
    if (!writeHandoff(handoff, services.programDir, *name, stockCount)) {
        services.messages->show("엑셀 전달 파일(" + handoff.string() + ")을 쓸 수 없습니다.");
        return; // one message: the builder would only fail on the missing hand-off file again
    }
    if (typed->isEmpty())
        return;
    if (const auto problem = fileNameProblem(typed->toStdString())) {
        services.messages->show(*problem);
        return;
    }
    const BuiltWorkbook built = runWorkbookBuilder(
        services.programDir, QStringList{"--handoff", QString::fromStdString(handoff.string()), "--results",
                                         QString::fromStdString(services.workDir.string()), "--out",
                                         QString::fromStdString(services.workbookFolder.string())}
                                 + builderArgs);
    if (built.problem) {
        services.messages->show("엑셀 파일을 만들 수 없습니다. " + *built.problem);
        return;
    }
    if (!services.shell->open(built.path))
        services.messages->show("엑셀 파일을 열 수 없습니다. 파일은 " + built.path + " 에 있습니다.");
}

} // namespace kestrelan
