#include "results/CResultDlg.h"

#include "formats/ResultSet.h"
#include "platform/core/FolderLock.h"
#include "platform/core/TextFile.h"
#include "platform/qt/DialogTemplate.h"
#include "platform/qt/EnterAsTab.h"
#include "platform/qt/QtText.h"
#include "resources/AppIcon.h"
#include "results/CPastRunsDlg.h"
#include "results/CTChart.h"
#include "results/ResultDlgIds.h"
#include "results/core/ChartData.h"
#include "results/core/MonthlyReturns.h"
#include "results/core/SeriesSummary.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeWidget>

namespace kestrelan {

namespace {

// Where the charts lie: all three on one rectangle below the one-row lists.
constexpr int chartLeft = 20, chartWidth = 770, chartTop = 83, chartHeight = 330;
// The main list of a fund series takes the place of the one-row list and the charts.
const QRect seriesListRect(20, 50, 760, 355);
// The statistics view: its table on the left, its chart on the right; a single fund's table and
// chart above its months.
const QRect statsListRect(20, 50, 400, 355);
constexpr int statsChartLeft = 430, statsChartWidth = 360;
constexpr int singleStatsHeight = 200;
const QRect monthlyListRect(20, 50 + singleStatsHeight + 5, 770, 355 - singleStatsHeight - 5);

// A point's own colour (0x00BBGGRR), or an invalid colour for its series'.
QColor fromColourRef(std::optional<std::uint32_t> colour)
{
    if (!colour)
        return {};
    const std::uint32_t c = *colour;
    return QColor(static_cast<int>(c & 0xFF), static_cast<int>((c >> 8) & 0xFF), static_cast<int>((c >> 16) & 0xFF));
}

void setColumns(QTreeWidget* list, const std::vector<Column>& columns)
{
    QStringList headings;
    for (const auto& c : columns)
        headings << fromUtf8(c.heading);
    list->setColumnCount(static_cast<int>(columns.size()));
    list->setHeaderLabels(headings);
    for (int i = 0; i < static_cast<int>(columns.size()); ++i) {
        list->setColumnWidth(i, columns[static_cast<std::size_t>(i)].width);
        list->headerItem()->setTextAlignment(i, i == 0 ? Qt::AlignLeft : Qt::AlignRight);
    }
}

void fillList(QTreeWidget* list, const ListTable& table)
{
    setColumns(list, table.columns);
    for (const auto& row : table.rows) {
        auto* item = new QTreeWidgetItem(list);
        for (int c = 0; c < static_cast<int>(row.size()); ++c) {
            item->setText(c, fromUtf8(row[static_cast<std::size_t>(c)]));
            item->setTextAlignment(c, (c == 0 ? Qt::AlignLeft : Qt::AlignRight) | Qt::AlignVCenter);
        }
    }
}

// The months of a single fund: a gain red, a loss blue, as the market's boards show them.
void colourBySign(QTreeWidget* list)
{
    for (int r = 0; r < list->topLevelItemCount(); ++r) {
        QTreeWidgetItem* item = list->topLevelItem(r);
        for (int c = 1; c < list->columnCount(); ++c)
            if (const int sign = monthlyCellSign(item->text(c).toStdString()); sign != 0)
                item->setBackground(c, sign > 0 ? QColor(255, 214, 214) : QColor(214, 226, 255));
    }
}

void plot(CTChart* chart, int series, const std::vector<ChartPoint>& points, bool categories)
{
    for (const auto& p : points) {
        if (!p.y)
            chart->addEmptyPoint(series, fromUtf8(p.label));
        else if (categories)
            chart->addPoint(series, *p.y, fromUtf8(p.label), fromColourRef(p.colour));
        else
            chart->addXY(series, p.x, *p.y, fromUtf8(p.label), fromColourRef(p.colour));
    }
}

} // namespace

CResultDlg::CResultDlg(ResultServices s, QWidget* parent)
    : QDialog(parent)
    , services(std::move(s))
{
    buildDialog(*this, loadDialogSpec(resultIds::dialog));
    setWindowIcon(applicationIcon());
    setMinimumSize(std::max(width(), chartLeft + chartWidth + 20), std::max(height(), chartTop + chartHeight + 10));
    setMaximumSize(minimumSize());
    stockCombo = control<QComboBox>(*this, resultIds::stockCombo);
    summaryList = control<QTreeWidget>(*this, resultIds::summaryList);
    stockRowList = control<QTreeWidget>(*this, resultIds::stockRowList);
    mainList = control<QTreeWidget>(*this, resultIds::mainList);
    // The lists span the window (its columns are wider in this font than in the template's);
    // the one-row lists are as tall as their header and one row.
    const int margin = mainList->x();
    for (QTreeWidget* list : {summaryList, stockRowList, mainList}) {
        list->setSelectionMode(QAbstractItemView::SingleSelection);
        list->setGeometry(margin, list->y(), width() - 2 * margin, list->height());
    }
    for (QTreeWidget* list : {summaryList, stockRowList}) {
        list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        list->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        const int rowHeight = list->fontMetrics().height() + 6;
        list->setFixedHeight(list->header()->sizeHint().height() + rowHeight + 2 * list->frameWidth());
    }
    // Below the views, the runs kept.
    auto* pastRunsButton = control<QPushButton>(*this, resultIds::pastRuns);
    pastRunsButton->move(width() - margin - pastRunsButton->width(), pastRunsButton->y());
    mainList->setGeometry(margin, summaryList->geometry().bottom() + 6, width() - 2 * margin,
                          pastRunsButton->y() - summaryList->geometry().bottom() - 12);
    stockChart = placeChart(resultIds::stockChart, true);
    yieldChart = placeChart(resultIds::yieldChart, true);
    seriesChart = placeChart(resultIds::seriesChart, false);
    statsList = control<QTreeWidget>(*this, resultIds::statsList);
    statsList->setGeometry(statsListRect);
    histogramChart = placeChart(resultIds::histogramChart, false);
    underwaterChart = placeChart(resultIds::underwaterChart, true);
    for (CTChart* chart : {histogramChart, underwaterChart})
        chart->setLayout(statsChartLeft, statsChartWidth, statsListRect.top(), statsListRect.height());
    histogramChart->addSeries({"펀드", CTChart::Kind::Line, Qt::blue, 2});
    histogramChart->addSeries({"KOSPI", CTChart::Kind::Line, Qt::black, 1});
    histogramChart->setAxisTitle(CTChart::Bottom, "수익률(%)");
    histogramChart->setAxisTitle(CTChart::Left, "펀드 수");
    underwaterChart->addSeries({"펀드", CTChart::Kind::Line, Qt::blue, 2});
    underwaterChart->addSeries({"KOSPI", CTChart::Kind::Line, Qt::black, 1});
    underwaterChart->setAxisTitle(CTChart::Left, "고점 대비(%)");
    underwaterChart->setLayout(statsChartLeft, statsChartWidth, statsListRect.top(), singleStatsHeight);
    monthlyList = new QTreeWidget(this);
    monthlyList->setObjectName("monthlyList");
    monthlyList->setRootIsDecorated(false);
    monthlyList->setGeometry(monthlyListRect);
    monthlyList->hide();

    yieldChart->addSeries({"편입비", CTChart::Kind::Line, QColor(255, 255, 120), 3, true});
    yieldChart->addSeries({"KOSPI", CTChart::Kind::Line, QColor(0, 0, 128), 1});
    yieldChart->addSeries({"수익률", CTChart::Kind::Line, Qt::red, 3});
    yieldChart->addSeries({"매매차익", CTChart::Kind::Line, Qt::blue, 1});
    yieldChart->setAxisTitle(CTChart::Left, "%");
    yieldChart->showRightAxis("주식편입비(%)");

    stockChart->addSeries({"주가", CTChart::Kind::Line, Qt::red, 1});
    stockChart->addSeries({"매수", CTChart::Kind::Points, Qt::red, 1, false, CTChart::Marker::Triangle, 9});
    stockChart->addSeries({"매도", CTChart::Kind::Points, Qt::blue, 1, false, CTChart::Marker::Square, 8});

    seriesChart->addSeries({"수익률", CTChart::Kind::Points, Qt::red, 1, false, CTChart::Marker::Circle, 6});
    seriesChart->addSeries({"추세", CTChart::Kind::Line, Qt::darkGreen, 1});
    seriesChart->addSeries({"", CTChart::Kind::Line, QColor(230, 200, 0), 1});
    seriesChart->addSeries({"", CTChart::Kind::Line, Qt::blue, 2});
    seriesChart->setAxisTitle(CTChart::Bottom, "지수수익률(%)");
    seriesChart->setAxisTitle(CTChart::Left, "수익률(%)");
    seriesChart->setLegendVisible(false);

    auto* views = control<QRadioButton>(*this, resultIds::summaryView)->group();
    connect(views, &QButtonGroup::buttonClicked, this, &CResultDlg::switchView);
    connect(stockCombo, &QComboBox::activated, this, &CResultDlg::onStockSelected);
    connect(control<QPushButton>(*this, resultIds::exportSummary), &QPushButton::clicked, this,
            &CResultDlg::exportSummary);
    connect(pastRunsButton, &QPushButton::clicked, this, &CResultDlg::showPastRuns);
    runsFolder = services.workDir;
    EnterAsTab::install(*this);
}

CResultDlg::~CResultDlg() = default;

CTChart* CResultDlg::placeChart(int id, bool categories)
{
    QWidget* placeholder = control<QWidget>(*this, id);
    auto* chart = new CTChart(categories, this);
    chart->setObjectName(QString::number(id));
    delete placeholder;
    chart->setLayout(chartLeft, chartWidth, chartTop, chartHeight);
    chart->hide();
    return chart;
}

int CResultDlg::exec()
{
    start();
    return QDialog::exec();
}

void CResultDlg::start()
{
    control<QRadioButton>(*this, resultIds::summaryView)->setChecked(true);
    viewChoice = 0;
    stockCombo->setEnabled(false);
    switchView();
    classifyResult();
}

void CResultDlg::takeNamesFromResultFiles()
{
    groupName = "tmp";
    stockCount = resultStockCount(services.workDir);
}

void CResultDlg::classifyResult()
{
    // The result files are read together while no run writes them (a run holds the folder
    // exclusively), a run killed while it put them in place finished or undone first.
    recoverResults(services.workDir);
    const auto reading = FolderLock::acquire(services.workDir, 0, LockMode::Shared);
    resultKind = kestrelan::classifyResult(services.workDir);
    // A damaged, missing or empty result file shows nothing rather than a part of a result (or
    // another run's totals), its statistics neither, and exports nothing.
    const auto refusal = reading ? resultFilesRefusal(resultKind, services.workDir) : std::nullopt;
    refused = !reading || refusal;
    control<QPushButton>(*this, resultIds::exportSummary)->setEnabled(!refused);
    if (refused) {
        services.messages->show(reading ? *refusal : std::string(folderBusyMessage));
        loaded = emptySummaryTables(resultKind);
        fillLists();
        control<QRadioButton>(*this, resultIds::stockView)->setEnabled(false); // no stock to show
        fillStatistics(emptyStatistics(resultKind));
    } else {
        fillSummaryTables();
        fillStatistics(loadStatistics(resultKind, services.workDir));
    }
    summaryList->show();
    switch (resultKind) {
    case ResultKind::FundSeries:
        mainList->setGeometry(seriesListRect);
        summaryList->hide();
        drawSeriesChart();
        control<QRadioButton>(*this, resultIds::stockView)->setEnabled(false);
        break;
    case ResultKind::SingleFund:
        control<QRadioButton>(*this, resultIds::stockView)->setEnabled(false);
        drawYieldChart();
        break;
    case ResultKind::SingleFundTraded: drawYieldChart(); break;
    }
}

void CResultDlg::fillSummaryTables()
{
    loaded = kestrelan::fillSummaryTables(resultKind, services.workDir, *services.messages);
    // A series of one stock is measured against the stock held, and says so.
    histogramChart->setSeriesTitle(
        1, fromUtf8(std::string(subjectHeading(loaded.stockHeld ? SummarySubject::Hold : SummarySubject::Index, false))));
    seriesChart->setAxisTitle(CTChart::Bottom, fromUtf8(benchmarkYieldLabel(loaded.stockHeld) + "(%)"));
    fillLists();
}

void CResultDlg::fillLists()
{
    fillList(mainList, loaded.mainList);
    if (resultKind != ResultKind::FundSeries) {
        fillList(summaryList, loaded.summaryList);
        fillList(stockRowList, loaded.stockRowList);
        for (const auto& name : loaded.stockCombo)
            stockCombo->addItem(fromUtf8(name));
        stockCombo->setCurrentIndex(-1);
    }
}

void CResultDlg::switchView()
{
    viewChoice = control<QRadioButton>(*this, resultIds::summaryView)
                     ->group()
                     ->buttons()
                     .indexOf(control<QRadioButton>(*this, resultIds::summaryView)->group()->checkedButton());
    const bool series = resultKind == ResultKind::FundSeries;
    if (viewChoice == 2) {
        const int chosen = stockCombo->currentIndex();
        drawStockChart(chosen < 0 ? 0 : chosen);
        if (chosen < 0)
            stockCombo->setCurrentIndex(0);
    }
    mainList->setVisible(viewChoice == 0);
    if (!series)
        summaryList->setVisible(viewChoice != 2);
    stockRowList->setVisible(viewChoice == 2);
    if (!series)
        yieldChart->setVisible(viewChoice == 1);
    else
        yieldChart->hide();
    if (series && viewChoice == 1)
        seriesChart->show();
    else if (viewChoice != 1)
        seriesChart->hide();
    stockChart->setVisible(viewChoice == 2);
    statsList->setVisible(viewChoice == 3);
    histogramChart->setVisible(viewChoice == 3 && series);
    underwaterChart->setVisible(viewChoice == 3 && !series);
    statsList->setGeometry(series ? statsListRect
                                  : statsListRect.adjusted(0, 0, 0, singleStatsHeight - statsListRect.height()));
    monthlyList->setVisible(viewChoice == 3 && !series);
    if (!series && viewChoice == 3)
        summaryList->hide();
    stockCombo->setEnabled(viewChoice == 2);
    if (viewChoice == 2)
        stockCombo->setFocus();
}

// The series summary and its histogram, or a single fund's risk figures and its fall below its
// peak; a result without stats.csv (an older run) shows the summary it can make without it.
void CResultDlg::fillStatistics(const Statistics& st)
{
    fillList(statsList, st.table);
    if (resultKind == ResultKind::FundSeries) {
        const HistogramData d = histogramData(loaded);
        plot(histogramChart, 0, d.series[0], false);
        plot(histogramChart, 1, d.series[1], false);
        for (const auto [axis, range] : {std::pair{CTChart::Left, d.left}, std::pair{CTChart::Bottom, d.bottom}}) {
            histogramChart->setAutomatic(axis, false);
            histogramChart->setIncrement(axis, range.increment);
            histogramChart->setMaximum(axis, range.maximum);
            histogramChart->setMinimum(axis, range.minimum);
        }
        histogramChart->refresh();
        return;
    }
    monthlyList->clear();
    fillList(monthlyList, st.monthly);
    colourBySign(monthlyList);
    plot(underwaterChart, 0, st.underwater.series[0], true);
    plot(underwaterChart, 1, st.underwater.series[1], true);
    underwaterChart->setIncrement(CTChart::Left, st.underwater.left.increment);
    underwaterChart->setMaximum(CTChart::Left, st.underwater.left.maximum);
    underwaterChart->setMinimum(CTChart::Left, st.underwater.left.minimum);
    underwaterChart->refresh();
}

void CResultDlg::onStockSelected() { drawStockChart(stockCombo->currentIndex()); }

void CResultDlg::drawYieldChart()
{
    const YieldChartData d = yieldChartData(loaded);
    for (int s = 0; s < 4; ++s)
        plot(yieldChart, s, d.series[static_cast<std::size_t>(s)], true);
    yieldChart->setAutomatic(CTChart::Right, false);
    yieldChart->setIncrement(CTChart::Right, d.right.increment);
    yieldChart->setMinimum(CTChart::Left, 0);
    yieldChart->setIncrement(CTChart::Left, d.left.increment);
    yieldChart->setMaximum(CTChart::Left, d.left.maximum);
    yieldChart->setMinimum(CTChart::Left, d.left.minimum);
    yieldChart->setMaximum(CTChart::Right, d.right.maximum);
    yieldChart->setMinimum(CTChart::Right, d.right.minimum);
    yieldChart->refresh();
}

void CResultDlg::drawSeriesChart()
{
    const SeriesChartData d = seriesChartData(loaded);
    plot(seriesChart, 0, d.funds, false);
    plot(seriesChart, 1, d.trend, false);
    plot(seriesChart, 2, d.zeroLine, false);
    plot(seriesChart, 3, d.curveFit, false);
    seriesChart->setAutomatic(CTChart::Left, false);
    seriesChart->setAutomatic(CTChart::Bottom, false);
    seriesChart->setIncrement(CTChart::Left, d.left.increment);
    seriesChart->setIncrement(CTChart::Bottom, d.bottom.increment);
    seriesChart->setMaximum(CTChart::Left, d.left.maximum);
    seriesChart->setMinimum(CTChart::Left, d.left.minimum);
    seriesChart->setMaximum(CTChart::Bottom, d.bottom.maximum);
    seriesChart->setMinimum(CTChart::Bottom, d.bottom.minimum);
    seriesChart->refresh();
}

void CResultDlg::drawStockChart(int stock)
{
    if (stock < 0)
        return;
    if (auto* row = mainList->topLevelItem(stock)) {
        auto* target = stockRowList->topLevelItem(0);
        for (int c = 0; c < 8 && target; ++c) {
            target->setText(c, row->text(c));
            target->setTextAlignment(c, Qt::Alignment(row->textAlignment(c)));
        }
    }
    const std::string tradeLog = readWholeFile(services.workDir / tradeCsvFile).value_or(std::string());
    const StockChartData d = stockChartData(loaded, static_cast<std::size_t>(stock), tradeLog);
    stockChart->clearAll();
    stockChart->setMinimum(CTChart::Left, 0);
    stockChart->setIncrement(CTChart::Left, d.left.increment);
    stockChart->setMaximum(CTChart::Left, d.left.maximum);
    stockChart->setMinimum(CTChart::Left, d.left.minimum);
    plot(stockChart, 0, d.price, true);
    plot(stockChart, 1, d.buys, true);
    plot(stockChart, 2, d.sells, true);
    stockChart->refresh();
}

// The export: the name (proposed from the group), the hand-off file with the program folder
// and that name and the stock count, then the workbook the builder writes from the result files,
// opened on the desktop. Cancel writes nothing; an empty name opens nothing.
void CResultDlg::exportSummary()
{
    if (refused)
        return; // the button is disabled: the files the window refused are not exported either
    exportWorkbook(services, groupName, stockCount);
}

// The runs kept in history/ of the working folder; one reopens in a results window of its own,
// whose own list is of the same working folder.
void CResultDlg::showPastRuns()
{
    ResultServices kept = services;
    kept.workDir = runsFolder;
    pastRunsWindow = std::make_unique<CPastRunsDlg>(kept, [this](const std::filesystem::path& folder) {
        ResultServices past = services;
        past.workDir = folder;
        CResultDlg window(past, pastRunsWindow.get());
        window.runsFolder = runsFolder;
        window.takeNamesFromResultFiles();
        window.setWindowTitle(windowTitle() + " - " + QString::fromStdString(folder.filename().string()) + "번 실행");
        window.exec();
    }, this);
    pastRunsWindow->open();
}

void CResultDlg::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape) {
        event->accept(); // only the close box closes the window
        return;
    }
    QDialog::keyPressEvent(event);
}

} // namespace kestrelan
