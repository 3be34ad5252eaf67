#include "platform/qt/CNameInputDlg.h"

#include "platform/qt/DialogTemplate.h"
#include "platform/qt/NameInputDlgIds.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace kestrelan {

CNameInputDlg::CNameInputDlg(QWidget* parent)
    : QDialog(parent)
{
    buildDialog(*this, loadDialogSpec(nameInputIds::dialog));
    connect(control<QPushButton>(*this, nameInputIds::ok), &QPushButton::clicked, this, &CNameInputDlg::accept);
    connect(control<QPushButton>(*this, nameInputIds::cancel), &QPushButton::clicked, this, &CNameInputDlg::reject);
    control<QPushButton>(*this, nameInputIds::ok)->setAutoDefault(true);
}

int CNameInputDlg::exec()
{
    control<QLineEdit>(*this, nameInputIds::name)->setText(enteredText);
    control<QLabel>(*this, nameInputIds::prompt)->setText(promptText);
    control<QLineEdit>(*this, nameInputIds::name)->setFocus();
    return QDialog::exec();
}

void CNameInputDlg::accept()
{
    enteredText = control<QLineEdit>(*this, nameInputIds::name)->text();
    promptText = control<QLabel>(*this, nameInputIds::prompt)->text();
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
