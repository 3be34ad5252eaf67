#include "platform/qt/CProgressDlg.h"

#include "platform/qt/DialogTemplate.h"
#include "platform/qt/ProgressDlgIds.h"
#include "platform/qt/QtText.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QLabel>
#include <QProgressBar>

namespace kestrelan {

CProgressDlg::CProgressDlg()
    : QDialog(nullptr, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
{
}

void CProgressDlg::create()
{
    buildDialog(*this, loadDialogSpec(progressIds::dialog));
    control<QLabel>(*this, progressIds::status)->setText(statusText);
    setModal(false);
    show();
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

QProgressBar* CProgressDlg::bar() const { return control<QProgressBar>(*this, progressIds::bar); }

void CProgressDlg::setPosition(int percent)
{
    if (auto* b = bar())
        b->setValue(percent);
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void CProgressDlg::closeEvent(QCloseEvent* event) { event->ignore(); }

void CProgressDlg::reject() { }

void QtProgress::begin(std::string_view text)
{
    dialog = std::make_unique<CProgressDlg>();
    dialog->statusText = fromUtf8(text);
    dialog->create();
}

void QtProgress::setPosition(int percent)
{
    if (dialog)
        dialog->setPosition(percent);
}

void QtProgress::end() { dialog.reset(); }

} // namespace kestrelan
