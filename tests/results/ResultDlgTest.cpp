// The results window on the golden result files of each kind, offscreen.

#include "platform/core/Cp949.h"
#include "platform/qt/DialogTemplate.h"
#include "results/CPastRunsDlg.h"
#include "results/CResultDlg.h"
#include "results/CTChart.h"
#include "results/ResultDlgIds.h"
#include "support/GoldenCases.h"
#include "support/QtRecorders.h"
#include "support/Recorders.h"
#include "support/TempDir.h"

#include <QCategoryAxis>
#include <QChart>
#include <QComboBox>
#include <QGraphicsScene>
#include <QGraphicsTextItem>
#include <QLegend>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <QValueAxis>
#include <QXYSeries>
#include <algorithm>
#include <functional>

#include "formats/ResultCsv.h"
#include "formats/Settings.h"
#include "platform/core/Format.h"
#include "platform/core/TextFile.h"

using namespace kestrelan;

namespace {

// A day's date text of a synthetic result, one a day from 2001-01-01 (28 days a month).
std::string dayText(int i) { return format("%04d-%02d-%02d", 2001 + i / 336, 1 + i / 28 % 12, 1 + i % 28); }

// result.csv of a single fund over `days` days (or of a fund series, one fund a line), its
// yields running from `low` to `high` (ratios) and the index the other way.
std::string resultCsv(int days, double low, double high, bool series = false)
{
    std::string out = resultCsvHeader();
    for (int i = 0; i < days; ++i) {
        const double t = days > 1 ? static_cast<double>(i) / (days - 1) : 0;
        const std::string start = series ? dayText(i) : dayText(0);
        const std::string end = series ? dayText(i + 250) : dayText(i);
        ResultCsvRow r;
        r.startDate = start;
        r.endDate = end;
        r.invest = 100000000;
        r.fundYield = low + (high - low) * t;
        r.kospiYield = high - (high - low) * t;
        r.value = r.invest * (1 + r.fundYield);
        r.stockValue = r.value / 2;
        r.gain = r.invest * r.fundYield / 3;
        out += resultCsvLine(r);
    }
    return toCrLf(out);
}

// The texts the chart's scene shows that Qt cut for want of room.
QStringList cutTexts(CTChart* chart)
{
    QStringList cut;
    for (QGraphicsItem* item : chart->chart()->scene()->items())
        if (auto* text = dynamic_cast<QGraphicsTextItem*>(item); text && text->isVisible())
            if (text->toPlainText().contains("...") || text->toPlainText().contains(QChar(0x2026)))
                cut << text->toPlainText();
    return cut;
}

QValueAxis* valueAxis(CTChart* chart, Qt::Alignment side)
{
    for (QAbstractAxis* a : chart->chart()->axes())
        if (a->alignment() == side && a->isVisible())
            if (auto* values = qobject_cast<QValueAxis*>(a))
                return values;
    return nullptr;
}

// The colour a drawn point shows: its own, else its series'.
QColor pointColour(CTChart* chart, int series, int index)
{
    auto* s = qobject_cast<QXYSeries*>(chart->chart()->series()[series]);
    const auto own = s->pointConfiguration(index);
    if (const auto c = own.find(QXYSeries::PointConfiguration::Color); c != own.end())
        return c->value<QColor>();
    return s->color();
}

} // namespace

class ResultDlgTest : public QObject
{
    Q_OBJECT

    struct Window
    {
        Window(const std::string& goldenCase, bool withTrades = true)
            : Window([&](const test::TempDir& d) { test::copyGoldenResults(goldenCase, d.path(), withTrades); })
        {
        }
        // The result files `write` puts into the folder; the workbooks go to `workbooks` (~/SimResult
        // when empty).
        explicit Window(const std::function<void(const test::TempDir&)>& write, std::filesystem::path workbooks = {})
        {
            write(dir);
            const ResultServices s(WindowServices(messages, shell, names, dir.path(), KESTRELAN_WORKBOOK_DIR),
                                   home / "fname.tmp", workbooks.empty() ? home / "SimResult" : workbooks);
            dialog = std::make_unique<CResultDlg>(s);
            dialog->groupName = "tmp";
            dialog->start();
        }
        bool shown(QWidget* w) { return w->isVisibleTo(dialog.get()); }
        void choose(int view)
        {
            const int views[]
                = {resultIds::summaryView, resultIds::yieldView, resultIds::stockView, resultIds::statsView};
            control<QRadioButton>(*dialog, views[view])->click();
        }
        QRadioButton* stockView() { return control<QRadioButton>(*dialog, resultIds::stockView); }

        test::TempDir dir;
        test::TempDir home;
        test::RecordingSink messages;
        test::RecordingShell shell;
        test::ScriptedNames names;
        std::unique_ptr<CResultDlg> dialog;
    };

private Q_SLOTS:
    void fundSeries()
    {
        Window w("flat-series-monthly");
        CResultDlg& d = *w.dialog;
        QCOMPARE(d.resultKind, ResultKind::FundSeries);
        QVERIFY(w.shown(d.mainList));
        QCOMPARE(d.mainList->geometry(), QRect(20, 50, 760, 355));
        QCOMPARE(d.mainList->topLevelItemCount(), 2);
        QVERIFY(!w.shown(d.summaryList));
        QVERIFY(!w.shown(d.stockRowList));
        QVERIFY(!w.stockView()->isEnabled());
        QVERIFY(!d.stockCombo->isEnabled());
        w.choose(1);
        QVERIFY(w.shown(d.seriesChart));
        QVERIFY(!w.shown(d.yieldChart));
        QVERIFY(!w.shown(d.mainList));
        QCOMPARE(d.seriesChart->pointCount(0), 2);
        w.choose(0);
        QVERIFY(!w.shown(d.seriesChart));
        QVERIFY(w.shown(d.mainList));
    }

    // The fourth view: the series summary and a histogram of the funds' yields beside the index's,
    // or a single fund's risk figures and its fall below its peak.
    void statisticsView()
    {
        Window series("sample-series-monthly-total");
        series.choose(3);
        CResultDlg& s = *series.dialog;
        QVERIFY(series.shown(s.statsList));
        QVERIFY(series.shown(s.histogramChart));
        QVERIFY(!series.shown(s.mainList));
        QCOMPARE(s.statsList->topLevelItem(0)->text(0), QString("펀드 수"));
        QCOMPARE(s.statsList->topLevelItem(0)->text(1), QString::number(s.mainList->topLevelItemCount()));
        QVERIFY(s.histogramChart->pointCount(0) > 2);
        QCOMPARE(s.histogramChart->pointCount(0), s.histogramChart->pointCount(1)); // one bin grid for both

        // A series of one stock sets its funds against the stock held, and names it, with the KOSPI beside.
        Window held("sample-series-one-stock-split");
        held.choose(3);
        CResultDlg& h = *held.dialog;
        QCOMPARE(h.mainList->headerItem()->text(2), QString("종목 보유"));
        QCOMPARE(h.statsList->headerItem()->text(2), QString("종목 보유"));
        QCOMPARE(h.statsList->headerItem()->text(4), QString("KOSPI"));

        Window single("worked-single-amount");
        single.choose(3);
        CResultDlg& d = *single.dialog;
        QVERIFY(single.shown(d.statsList));
        QVERIFY(single.shown(d.underwaterChart));
        QVERIFY(!single.shown(d.histogramChart));
        QVERIFY(!single.shown(d.summaryList));
        QCOMPARE(d.statsList->topLevelItem(2)->text(0), QString("최대낙폭"));
        QCOMPARE(d.statsList->topLevelItem(2)->text(1), QString("0.10%"));
        QCOMPARE(d.underwaterChart->pointCount(0), 3);
        // Below them the fund's months and the index's, a gain red and a loss blue.
        QVERIFY(single.shown(d.monthlyList));
        QVERIFY(!series.shown(s.monthlyList));
        QCOMPARE(d.monthlyList->topLevelItemCount(), 2);
        QCOMPARE(d.monthlyList->headerItem()->text(13), QString("연간"));
        for (int r = 0; r < 2; ++r) {
            const QTreeWidgetItem* year = d.monthlyList->topLevelItem(r);
            const double v = year->text(13).toDouble();
            const QColor shade = year->background(13).color();
            QVERIFY(v == 0 || (v > 0 ? shade.red() > shade.blue() : shade.blue() > shade.red()));
        }
        single.choose(0);
        QVERIFY(!single.shown(d.monthlyList));
        QVERIFY(!single.shown(d.statsList));
        QVERIFY(single.shown(d.summaryList));
    }

    void singleFundWithoutTrades()
    {
        Window w("worked-single-amount", false);
        CResultDlg& d = *w.dialog;
        QCOMPARE(d.resultKind, ResultKind::SingleFund);
        QVERIFY(w.shown(d.summaryList));
        QVERIFY(w.shown(d.mainList));
        QVERIFY(!w.stockView()->isEnabled());
        w.choose(1);
        QVERIFY(w.shown(d.summaryList));
        QVERIFY(w.shown(d.yieldChart));
        QVERIFY(!w.shown(d.mainList));
        QCOMPARE(d.yieldChart->pointCount(2), 3);
        QCOMPARE(d.yieldChart->categoryLabels().first(), QString("04-01-02"));
    }

    void singleFundTradedStockView()
    {
        Window w("sample-single-delisted");
        CResultDlg& d = *w.dialog;
        QCOMPARE(d.resultKind, ResultKind::SingleFundTraded);
        QCOMPARE(d.stockCombo->count(), 3);
        QCOMPARE(d.stockCombo->currentIndex(), -1);
        w.choose(2);
        QVERIFY(w.shown(d.stockChart));
        QVERIFY(w.shown(d.stockRowList));
        QVERIFY(!w.shown(d.summaryList));
        QVERIFY(!w.shown(d.mainList));
        QVERIFY(d.stockCombo->isEnabled());
        QCOMPARE(d.stockCombo->currentIndex(), 0);
        QCOMPARE(d.stockRowList->topLevelItem(0)->text(0), d.mainList->topLevelItem(0)->text(0));
        // The first stock's data ended: fewer price points than days.
        QVERIFY(d.stockChart->pointCount(0) < d.tables().rowCount);
        d.stockCombo->setCurrentIndex(2);
        Q_EMIT d.stockCombo->activated(2);
        QCOMPARE(d.stockRowList->topLevelItem(0)->text(0), d.mainList->topLevelItem(2)->text(0));
        QCOMPARE(d.stockChart->pointCount(0), d.tables().rowCount);
        w.choose(0);
        w.choose(2);
        QCOMPARE(d.stockCombo->currentIndex(), 2); // the stock chosen last
    }

    void neitherEnterNorEscapeCloses()
    {
        Window w("worked-single-amount");
        w.dialog->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.dialog.get()));
        QTest::keyClick(w.dialog.get(), Qt::Key_Escape);
        QTest::keyClick(w.dialog->focusWidget() ? w.dialog->focusWidget() : w.dialog.get(), Qt::Key_Return);
        QVERIFY(w.dialog->isVisible());
    }

    void exportWritesTheHandoffAndOpensTheWorkbook()
    {
        Window w("worked-single-amount");
        w.dialog->groupName = "성장주";
        w.dialog->stockCount = 3;
        w.names.answers = {QString("성장주")};
        control<QPushButton>(*w.dialog, resultIds::exportSummary)->click();
        QCOMPARE(w.names.prompts.back(), QString("저장할 엑셀파일 이름 지정"));
        QCOMPARE(w.names.proposals.back(), QString("성장주"));
        const std::string expected = std::string(KESTRELAN_WORKBOOK_DIR) + "/" + toCp949("성장주") + "\r\n3\r\n";
        QCOMPARE(w.home.read("fname.tmp"), expected);
        QVERIFY2(w.messages.shown.empty(), w.messages.shown.empty() ? "" : w.messages.shown[0].c_str());
        QCOMPARE(w.shell.opened.size(), 1u);
        QCOMPARE(QString::fromStdString(w.shell.opened[0]),
                 QString::fromStdString((w.home / "SimResult" / "성장주.xlsx").string()));
        // A second export keeps the first workbook.
        w.names.answers = {QString("성장주")};
        control<QPushButton>(*w.dialog, resultIds::exportSummary)->click();
        QVERIFY(w.home.exists("SimResult/성장주 (2).xlsx"));
        QVERIFY(w.home.exists("SimResult/성장주.xlsx"));
    }

    void exportCancelWritesNothingAndAnEmptyNameOpensNothing()
    {
        Window w("worked-single-amount");
        w.names.answers = {QString()};
        control<QPushButton>(*w.dialog, resultIds::exportSummary)->click();
        QVERIFY(!w.home.exists("fname.tmp"));
        w.names.answers = {QString("")};
        control<QPushButton>(*w.dialog, resultIds::exportSummary)->click();
        QCOMPARE(w.home.read("fname.tmp"), std::string(KESTRELAN_WORKBOOK_DIR) + "/\r\n0\r\n");
        QVERIFY(w.shell.opened.empty());
    }

    void noResultFilesLeaveEmptyAxes()
    {
        test::TempDir empty;
        test::RecordingSink messages;
        test::RecordingShell shell;
        test::ScriptedNames names;
        CResultDlg d(ResultServices(WindowServices(messages, shell, names, empty.path(), empty.path()),
                                    empty / "fname.tmp", empty / "SimResult"));
        d.start();
        QCOMPARE(d.resultKind, ResultKind::SingleFund);
        QCOMPARE(d.yieldChart->axisMinimum(CTChart::Left), 0.0);
        QCOMPARE(d.yieldChart->axisMaximum(CTChart::Left), 10.0);
        QCOMPARE(messages.shown.size(), 1u); // no result.csv: refused like a damaged one
    }

    // Without result.csv, or without a fund in it, the other files of the folder (an older run's
    // totals and risk figures) are not shown, and nothing is exported.
    void aMissingOrEmptyResultIsRefused_data()
    {
        QTest::addColumn<QString>("result"); // what result.csv holds; "-": no file
        QTest::newRow("no result.csv") << "-";
        QTest::newRow("an empty file") << "";
        QTest::newRow("the header alone") << QString::fromStdString(toCrLf(resultCsvHeader()));
    }
    void aMissingOrEmptyResultIsRefused()
    {
        QFETCH(QString, result);
        Window w([&](const test::TempDir& d) {
            test::copyGoldenResults("sample-single-delisted", d.path());
            std::filesystem::remove(d / "result.csv");
            if (result != "-")
                d.write("result.csv", result.toStdString());
        });
        QCOMPARE(w.messages.shown.size(), 1u);
        QVERIFY2(w.messages.shown[0].find("result.csv") != std::string::npos, w.messages.shown[0].c_str());
        QCOMPARE(w.dialog->summaryList->topLevelItemCount(), 0);
        QCOMPARE(w.dialog->statsList->topLevelItemCount(), 0);
        auto* exportButton = control<QPushButton>(*w.dialog, resultIds::exportSummary);
        QVERIFY(!exportButton->isEnabled());
        w.names.answers = {QString("결과")};
        w.dialog->exportSummary();
        QVERIFY(w.names.prompts.empty() && !w.home.exists("fname.tmp"));
    }

    // An axis of many increments keeps its range and increment and shows every second, fifth ...
    // label, each whole; a minor grid line still marks every increment.
    void axisLabelsStayReadable()
    {
        Window single([](const test::TempDir& d) { d.write("result.csv", resultCsv(700, -0.45, 3.0)); });
        Window series([](const test::TempDir& d) { d.write("result.csv", resultCsv(80, -0.95, 3.4, true)); });
        for (auto [w, view] : {std::pair{&single, 1}, std::pair{&series, 1}}) {
            w->dialog->show();
            QVERIFY(QTest::qWaitForWindowExposed(w->dialog.get()));
            w->choose(view);
            QApplication::processEvents();
        }
        CTChart* yield = single.dialog->yieldChart;
        for (CTChart* chart : {yield, series.dialog->seriesChart})
            QVERIFY2(cutTexts(chart).isEmpty(), qPrintable(cutTexts(chart).join(" | ")));
        QCOMPARE(yield->axisMinimum(CTChart::Left), -50.0);
        QCOMPARE(yield->axisMaximum(CTChart::Left), 310.0);
        QValueAxis* left = valueAxis(yield, Qt::AlignLeft);
        QVERIFY(left->tickInterval() > 10 && std::fmod(left->tickInterval(), 10) == 0);
        QCOMPARE(left->minorTickCount(), static_cast<int>(left->tickInterval() / 10) - 1);
        QCOMPARE(std::fmod(left->tickAnchor(), left->tickInterval()), 0.0); // a label on 0
    }

    // A single fund of one day has one line, as a series of one fund has: settings.csv tells them
    // apart, and its lines draw their one point.
    void aOneDayFundIsASingleFundAndDrawsItsDay()
    {
        Window w([](const test::TempDir& d) {
            d.write("result.csv", resultCsv(1, 0.02, 0.02));
            d.write("settings.csv", "setting,value\r\nyield_stats," + std::string(setting::yieldStats.word(0)) + "\r\n");
        });
        QCOMPARE(w.dialog->resultKind, ResultKind::SingleFund);
        w.choose(1);
        auto* yield = qobject_cast<QXYSeries*>(w.dialog->yieldChart->chart()->series()[2]);
        QCOMPARE(yield->count(), 1);
        QVERIFY(yield->pointsVisible());
    }

    void pointColoursWinOverTheirSeries()
    {
        Window series("flat-series-monthly");
        QCOMPARE(pointColour(series.dialog->seriesChart, 0, 0), QColor(Qt::blue));      // the funds
        QCOMPARE(pointColour(series.dialog->seriesChart, 2, 0), QColor(Qt::black));     // the zero line
        QCOMPARE(pointColour(series.dialog->seriesChart, 1, 0), QColor(Qt::darkGreen)); // the trend: its series'
        Window single("sample-single-delisted");
        CTChart* yield = single.dialog->yieldChart;
        const QColor paleYellow(255, 255, 120);
        const QColor expected[] = {paleYellow, Qt::black, Qt::red, Qt::blue}; // share, KOSPI, yield, profit
        for (int s = 0; s < 4; ++s)
            QCOMPARE(pointColour(yield, s, 0), expected[s]);
        single.choose(2);
        QCOMPARE(pointColour(single.dialog->stockChart, 0, 0), QColor(Qt::black)); // the price line
    }

    void chartDetails()
    {
        Window w("sample-single-delisted");
        w.choose(2);
        CTChart* stock = w.dialog->stockChart;
        QVERIFY(stock->axisMinimum(CTChart::Bottom) <= -0.5); // the first day's marks lie inside the plot
        QCOMPARE(stock->chart()->legend()->markerShape(), QLegend::MarkerShapeFromSeries); // the buys' triangle
        QVERIFY(!valueAxis(w.dialog->yieldChart, Qt::AlignRight)->isLineVisible());
    }

    // A result file with a line its writer could not have written: one message naming the file and
    // the line, and nothing of the result shown.
    void damagedResultFilesShowNothing_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("line"); // added after the file's last
        QTest::newRow("result.csv cut in a line") << "result.csv"
                                                  << "2004-01-05,2004-01";
        QTest::newRow("gen.csv with a field too many") << "gen.csv"
                                                       << "005930,ABC,1,1,1,1,1,1,7\r\n";
        QTest::newRow("closing.csv with a price that is no number") << "closing.csv"
                                                                    << "2004-01-05,12a\r\n";
        QTest::newRow("trade.csv with random bytes") << "trade.csv"
                                                     << "\x8e\xff\x01,\x7f\r\n";
    }
    void damagedResultFilesShowNothing()
    {
        QFETCH(QString, file);
        QFETCH(QString, line);
        const std::string name = file.toStdString();
        std::size_t number = 0;
        Window w([&](const test::TempDir& d) {
            test::copyGoldenResults("sample-single-delisted", d.path());
            const std::string bytes = d.read(name);
            number = static_cast<std::size_t>(std::count(bytes.begin(), bytes.end(), '\n')) + 1;
            d.write(name, bytes + line.toLatin1().toStdString());
        });
        CResultDlg& d = *w.dialog;
        QCOMPARE(w.messages.shown.size(), 1u);
        const QString said = QString::fromStdString(w.messages.shown[0]);
        QVERIFY2(said.contains(file) && said.contains(QString("%1번째 줄").arg(number)), qPrintable(said));
        QCOMPARE(d.mainList->topLevelItemCount(), 0);
        QCOMPARE(d.summaryList->topLevelItemCount(), 0);
        QCOMPARE(d.stockCombo->count(), 0);
        QVERIFY(!w.stockView()->isEnabled());
        w.choose(1);
        QCOMPARE(d.yieldChart->pointCount(2), 0);
        QCOMPARE(d.statsList->topLevelItemCount(), 0);
        QCOMPARE(d.underwaterChart->pointCount(0), 0);
        // Nor exported: the workbook would mix the cut period with the whole run's totals.
        QVERIFY(!control<QPushButton>(d, resultIds::exportSummary)->isEnabled());
        d.exportSummary();
        QVERIFY(w.names.prompts.empty() && !w.home.exists("fname.tmp"));
    }

    // Opened on the result files alone (kestrelan --results), the export hands over the
    // portfolio's stock count as the form does: a stock given twice counts twice (settings.csv),
    // though result.txt names it once.
    void exportAloneHandsOverTheStocksOfTheResult()
    {
        Window w([](const test::TempDir& d) {
            test::copyGoldenResults("sample-single-delisted", d.path());
            std::string settings = d.read("settings.csv");
            settings.replace(settings.find("stocks,3"), 8, "stocks,4");
            d.write("settings.csv", settings);
        });
        w.dialog->takeNamesFromResultFiles();
        w.names.answers = {QString("결과")};
        control<QPushButton>(*w.dialog, resultIds::exportSummary)->click();
        QCOMPARE(w.names.proposals.back(), QString("tmp"));
        QCOMPARE(w.home.read("fname.tmp"), std::string(KESTRELAN_WORKBOOK_DIR) + "/" + toCp949("결과") + "\r\n4\r\n");
    }

    // The runs kept in history/: newest first, one reopened in a results window of its own, two
    // side by side; a folder without a whole run is not listed.
    void pastRunsReopenAndSitSideBySide()
    {
        Window w([](const test::TempDir& d) {
            test::copyGoldenResults("worked-single-amount", d.path());
            for (const char* run : {"000001", "000002"}) {
                std::filesystem::create_directories(d / "history" / run);
                test::copyGoldenResults(run[5] == '1' ? "worked-single-amount" : "sample-series-monthly-total",
                                        d / "history" / run);
            }
            std::filesystem::create_directories(d / "history/000003"); // a run killed before its commit
        });
        control<QPushButton>(*w.dialog, resultIds::pastRuns)->click();
        CPastRunsDlg* past = w.dialog->pastRunsWindow.get();
        QVERIFY(past);
        QCOMPARE(past->runList->topLevelItemCount(), 2);
        QCOMPARE(past->runList->topLevelItem(0)->text(0), QString("2"));
        QCOMPARE(past->runList->topLevelItem(0)->text(2), QString("수익률 통계"));
        QVERIFY(past->openButton->isEnabled() && !past->compareButton->isEnabled());

        past->runList->topLevelItem(1)->setSelected(true);
        QVERIFY(!past->openButton->isEnabled() && past->compareButton->isEnabled());
        past->compareButton->click();
        QVERIFY(past->comparison);
        const auto sides = past->comparison->findChildren<QTreeWidget*>("figures");
        QCOMPARE(sides.size(), 2);
        for (QTreeWidget* side : sides)
            QVERIFY(side->topLevelItemCount() > 3);
        QCOMPARE(past->comparison->findChildren<QTreeWidget*>("totals").size(), 1); // the single fund's

        past->runList->topLevelItem(0)->setSelected(false);
        ResultKind reopened = ResultKind::FundSeries;
        QTimer::singleShot(0, [&reopened] {
            auto* window = qobject_cast<CResultDlg*>(QApplication::activeModalWidget());
            if (window) {
                reopened = window->resultKind;
                window->done(0);
            }
        });
        past->openButton->click();
        QCOMPARE(reopened, ResultKind::SingleFundTraded);
    }

    void exportProblemsAreSaidInKorean()
    {
        test::TempDir blocker;
        blocker.write("file", "not a folder");
        Window w([](const test::TempDir& d) { test::copyGoldenResults("worked-single-amount", d.path()); },
                 blocker / "file" / "SimResult");
        w.names.answers = {QString("가치주")};
        control<QPushButton>(*w.dialog, resultIds::exportSummary)->click();
        QCOMPARE(w.messages.shown.size(), 1u);
        const QString said = QString::fromStdString(w.messages.shown[0]);
        QVERIFY2(said.startsWith("엑셀 파일을 만들 수 없습니다. 엑셀 파일을 둘 폴더(") && !said.contains("cannot")
                     && !said.contains("error"),
                 qPrintable(said));
        QVERIFY(w.shell.opened.empty());

        // The desktop cannot open the workbook: where it is.
        Window opened("worked-single-amount");
        opened.shell.opens = false;
        opened.names.answers = {QString("가치주")};
        control<QPushButton>(*opened.dialog, resultIds::exportSummary)->click();
        QCOMPARE(opened.messages.shown.size(), 1u);
        const std::string where = (opened.home / "SimResult" / "가치주.xlsx").string();
        QVERIFY2(opened.messages.shown[0].find(where) != std::string::npos, opened.messages.shown[0].c_str());

        // The hand-off file cannot be written: one message, and no builder run on a stale one.
        Window stuck("worked-single-amount");
        std::filesystem::create_directory(stuck.home / "fname.tmp");
        stuck.names.answers = {QString("가치주")};
        control<QPushButton>(*stuck.dialog, resultIds::exportSummary)->click();
        QCOMPARE(stuck.messages.shown.size(), 1u);
        QVERIFY(stuck.messages.shown[0].find("fname.tmp") != std::string::npos);
        QVERIFY(!stuck.home.exists("SimResult/가치주.xlsx"));
    }
};

QTEST_MAIN(ResultDlgTest)
#include "ResultDlgTest.moc"
