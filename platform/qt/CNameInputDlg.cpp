#include "platform/qt/CNameInputDlg.h"

#include "platform/qt/DialogTemplate.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace kestrelan {

CNameInputDlg::CNameInputDlg(QWidget* parent)
    : QDialog(parent)
{
    buildDialog(*this, loadDialogSpec(129));
    connect(control<QPushButton>(*this, 1), &QPushButton::clicked, this, &CNameInputDlg::accept);
    connect(control<QPushButton>(*this, 2), &QPushButton::clicked, this, &CNameInputDlg::reject);
    control<QPushButton>(*this, 1)->setAutoDefault(true);
}

int CNameInputDlg::exec()
{
    control<QLineEdit>(*this, 1110)->setText(enteredText);
    control<QLabel>(*this, 1125)->setText(promptText);
    control<QLineEdit>(*this, 1110)->setFocus();
    return QDialog::exec();
}

void CNameInputDlg::accept()
{
    enteredText = control<QLineEdit>(*this, 1110)->text();
    promptText = control<QLabel>(*this, 1125)->text();
    QDialog::accept();
}

std::optional<QString> DialogNameInput::ask(const QString& prompt, const QString& proposed)
{
    CNameInputDlg dialog(parent);
    dialog.promptText = prompt;
    dialog.enteredText = proposed;
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.enteredText;
}

} // namespace kestrelan
