#pragma once
// The results window: reads the run's result files, decides which kind of result they hold, and
// shows the summary tables, the yield chart (or the fund-series chart) and a stock's chart.

#include "platform/core/Sinks.h"
#include "platform/qt/WorkbookProcess.h"
#include "results/core/SummaryTables.h"

#include <QDialog>
#include <QString>
#include <filesystem>
#include <memory>
#include <utility>

class QComboBox;
class QTreeWidget;

namespace kestrelan {

class CPastRunsDlg;
class CTChart;
class INameInput;
struct Statistics;

using ResultServices = ExportServices;

class CResultDlg : public QDialog
{
    Q_OBJECT
public:
    explicit CResultDlg(ResultServices services, QWidget* parent = nullptr);
    ~CResultDlg() override;

    QString groupName;
    int stockCount = 0;

    /// For a window opened on the result files alone, not by the form: the group "tmp" and the
    /// number of stocks the files name.
    void takeNamesFromResultFiles();

    /// Loads the files and shows the summary view (run by exec, callable alone for tests).
    void start();
    int exec() override;

    ResultKind resultKind = ResultKind::FundSeries;
    int viewChoice = 0;
    /// The window refused the result files (damaged, missing, empty, or a run holds them): it
    /// shows empty tables and exports nothing.
    bool refused = false;
    const SummaryTables& tables() const { return loaded; }

    QComboBox* stockCombo = nullptr;
    QTreeWidget* summaryList = nullptr;
    QTreeWidget* stockRowList = nullptr;
    QTreeWidget* mainList = nullptr;
    CTChart* yieldChart = nullptr;
    CTChart* stockChart = nullptr;
    CTChart* seriesChart = nullptr;
    QTreeWidget* statsList = nullptr;
    CTChart* histogramChart = nullptr;
    CTChart* underwaterChart = nullptr;
    QTreeWidget* monthlyList = nullptr; // a single fund: its months and the index's, coloured by sign

    /// The working folder whose history/ the past-runs list shows (a reopened run's window keeps
    /// its opener's).
    std::filesystem::path runsFolder;
    /// The list of past runs, once opened.
    std::unique_ptr<CPastRunsDlg> pastRunsWindow;

public Q_SLOTS:
    void switchView();
    void exportSummary();
    void showPastRuns();

private Q_SLOTS:
    void onStockSelected();

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void classifyResult();
    void fillSummaryTables();
    void fillLists();
    void drawYieldChart();
    void drawSeriesChart();
    void fillStatistics(const Statistics& st);
    void drawStockChart(int stock);
    CTChart* placeChart(int id, bool categories);

    ResultServices services;
    SummaryTables loaded;
};

} // namespace kestrelan
