#include "platform/qt/QtSinks.h"

#include "platform/qt/QtText.h"

#include <QDesktopServices>
#include <QAbstractButton>
#include <QMessageBox>
#include <QMimeDatabase>
#include <QProcess>
#include <QUrl>

namespace kestrelan {

void koreanButtons(QMessageBox& box)
{
    if (QAbstractButton* ok = box.button(QMessageBox::Ok))
        ok->setText("확인");
    if (QAbstractButton* cancel = box.button(QMessageBox::Cancel))
        cancel->setText("취소");
}

IMessageSink::Answer QtMessageSink::show(std::string_view text, Buttons buttons)
{
    QMessageBox box(parent);
    box.setWindowTitle("Kestrelan");
    box.setText(fromUtf8(text));
    if (buttons == Buttons::OkCancel) {
        box.setIcon(QMessageBox::Question);
        box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
    } else {
        box.setIcon(QMessageBox::Warning);
        box.setStandardButtons(QMessageBox::Ok);
    }
    koreanButtons(box);
    return box.exec() == QMessageBox::Ok ? Answer::Ok : Answer::Cancel;
}

bool QtShell::hasViewerFor(const std::string& path)
{
    const QString type = QMimeDatabase().mimeTypeForFile(QString::fromStdString(path)).name();
    QProcess query;
    query.start("xdg-mime", {"query", "default", type});
    if (!query.waitForFinished(5000) || query.exitStatus() != QProcess::NormalExit)
        return true; // no way to ask: let the desktop try
    return !query.readAllStandardOutput().trimmed().isEmpty();
}

bool QtShell::open(const std::string& path)
{
    return QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(path)));
}

} // namespace kestrelan
