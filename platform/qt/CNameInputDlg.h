#pragma once
// The name-entry window: one line of text under a prompt, OK or Cancel. Enter presses OK.

#include <QDialog>
#include <optional>

namespace kestrelan {

class CNameInputDlg : public QDialog
{
    Q_OBJECT
public:
    explicit CNameInputDlg(QWidget* parent = nullptr);
    QString promptText;  // shown in place of the template's text
    QString enteredText; // proposed before, read back on OK only

    int exec() override;

protected:
    void accept() override;
};

/// Asks for a name; the caller's seam for tests.
class INameInput
{
public:
    virtual ~INameInput() = default;
    /// The entered text after OK, nullopt after Cancel.
    virtual std::optional<QString> ask(const QString& prompt, const QString& proposed) = 0;
};

class DialogNameInput : public INameInput
{
public:
    explicit DialogNameInput(QWidget* parent = nullptr)
        : parent(parent)
    {
    }
    std::optional<QString> ask(const QString& prompt, const QString& proposed) override;

private:
    QWidget* parent;
};

} // namespace kestrelan
