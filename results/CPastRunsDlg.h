#pragma once
// The runs kept in history/, reached from the results window: a list to reopen any of them in a
// results window of its own, and two of them side by side (their summary tables next to each
// other).

#include "formats/RunHistory.h"
#include "results/CResultDlg.h"

#include <QDialog>
#include <filesystem>
#include <functional>
#include <vector>

class QPushButton;
class QTreeWidget;

namespace kestrelan {

class CPastRunsDlg : public QDialog
{
    Q_OBJECT
public:
    /// Shows the results window on a kept run's folder.
    using OpenRun = std::function<void(const std::filesystem::path& folder)>;

    CPastRunsDlg(ResultServices services, OpenRun openRun, QWidget* parent = nullptr);

    /// The list as history/ holds it now, newest first.
    void refresh();

    QTreeWidget* runList = nullptr;
    QPushButton* openButton = nullptr;
    QPushButton* compareButton = nullptr;
    /// The last side-by-side view (for tests); owned by this window.
    QDialog* comparison = nullptr;

public Q_SLOTS:
    void openChosen();
    void compareChosen();

private:
    std::vector<PastRun> chosen() const;
    void choiceChanged();

    ResultServices services;
    OpenRun openRun;
    std::vector<PastRun> runs; // oldest first, as pastRuns gives them
};

} // namespace kestrelan
