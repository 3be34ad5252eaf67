#pragma once
// The condition-comparison window, opened from the settings form: one or two trading conditions
// as ranges or lists, a figure to rank by and optionally a choose and a judge span; the stocks,
// amount, period, cadence and years are the form's. It runs the sweep of tools/ConditionCompare
// with a progress window (the time left, cancel) and shows the best ten, the figure over the two
// settings (the heatmap) and, with spans, each combination's figure where it was chosen against
// its figure where it was judged. Double-clicking a combination puts its settings into the form;
// export hands the sweep to the workbook.

#include "platform/qt/WorkbookProcess.h"
#include "tools/ConditionCompare.h"

#include <QDialog>
#include <filesystem>
#include <functional>

class QChartView;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;
class QTreeWidget;

namespace kestrelan {

using CompareServices = ExportServices;

class CCompareDlg : public QDialog
{
    Q_OBJECT
public:
    /// Puts a combination's settings into the form.
    using UseSettings = std::function<void(const std::vector<std::pair<const SettingSpec*, std::int32_t>>&)>;

    /// `form`: the form's settings, portfolio and amount (its ranges are the window's own).
    CCompareDlg(CompareServices services, ComparisonRequest form, QString groupName, UseSettings useSettings,
                QWidget* parent = nullptr);

    QComboBox* firstSetting = nullptr;
    QComboBox* secondSetting = nullptr; // item 0: none
    QLineEdit* firstRange = nullptr;
    QLineEdit* secondRange = nullptr;
    QComboBox* rankCombo = nullptr;
    QLineEdit* chooseSpan = nullptr;
    QLineEdit* judgeSpan = nullptr;
    QPushButton* runButton = nullptr;
    QPushButton* exportButton = nullptr;
    QTreeWidget* bestList = nullptr;
    QTableWidget* heatmap = nullptr;
    QChartView* scatter = nullptr;
    QLabel* verdict = nullptr;
    QLabel* status = nullptr; // what the last double-click put into the form

    /// The request as the window's fields stand.
    ComparisonRequest request() const;
    /// The last comparison that ran.
    const Comparison& comparison() const { return last; }
    /// Told each finished combination (tests cancel from here); false cancels.
    std::function<bool(std::int64_t done, std::int64_t total)> watchCombination;

public Q_SLOTS:
    void runComparison();
    void exportSweep();

private:
    void showComparison();
    void fillBestTen();
    void fillHeatmap();
    void drawScatter();
    void useLine(const SweepLine* line);

    CompareServices services;
    ComparisonRequest form;
    QString groupName;
    UseSettings useSettings;
    Comparison last;
    ComparisonRequest ran; // the request of `last`
    std::vector<SweepLine> best;
    std::vector<std::vector<const SweepLine*>> cells;
};

} // namespace kestrelan
