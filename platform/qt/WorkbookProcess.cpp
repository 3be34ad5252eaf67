#include "platform/qt/WorkbookProcess.h"

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

} // namespace kestrelan
