#pragma once
// The progress window: a line of text and a bar from 0 to 100, shown while long work runs on
// the user-interface thread. It has no close box and ignores close requests, so its owner is
// the only one that ever releases it.

#include "platform/core/Sinks.h"

#include <QDialog>
#include <memory>

class QLabel;
class QProgressBar;

namespace kestrelan {

class CProgressDlg : public QDialog
{
    Q_OBJECT
public:
    CProgressDlg();
    /// Set before create(): the text shown in place of the template's.
    QString statusText;
    /// Builds the window and shows it at once (modeless).
    void create();
    void setPosition(int percent);
    QProgressBar* bar() const;

protected:
    void closeEvent(QCloseEvent* event) override;
    void reject() override;
};

/// The progress window as the engine and the data update see it. While the owner's work blocks
/// the thread, every bar move lets the window paint but takes no user input.
class QtProgress : public IProgressSink
{
public:
    void begin(std::string_view text) override;
    void setPosition(int percent) override;
    void end() override;
    CProgressDlg* window() const { return dialog.get(); }

private:
    std::unique_ptr<CProgressDlg> dialog;
};

} // namespace kestrelan
