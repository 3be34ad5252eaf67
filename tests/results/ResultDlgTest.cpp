// The results window on the golden result files of each kind, offscreen.

#include "platform/core/Cp949.h"
#include "platform/qt/DialogTemplate.h"
#include "results/CResultDlg.h"
#include "results/CTChart.h"
#include "results/ResultDlgIds.h"
#include "support/GoldenCases.h"
#include "support/QtRecorders.h"
#include "support/Recorders.h"
#include "support/TempDir.h"

#include <QComboBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTreeWidget>

using namespace kestrelan;

class ResultDlgTest : public QObject
{
    Q_OBJECT

    struct Window
    {
        Window(const std::string& goldenCase, bool withTrades = true)
        {
            test::copyGoldenResults(goldenCase, dir.path(), withTrades);
            const ResultServices s(WindowServices(messages, shell, names, dir.path(), KESTRELAN_WORKBOOK_DIR),
                                   home / "fname.tmp", home / "SimResult");
            dialog = std::make_unique<CResultDlg>(s);
            dialog->groupName = "tmp";
            dialog->start();
        }
        bool shown(QWidget* w) { return w->isVisibleTo(dialog.get()); }
        void choose(int view)
        {
            const int views[] = {resultIds::summaryView, resultIds::yieldView, resultIds::stockView};
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
        QVERIFY(messages.shown.empty());
    }
};

QTEST_MAIN(ResultDlgTest)
#include "ResultDlgTest.moc"
