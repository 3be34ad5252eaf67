// The settings form, driven through its controls by ID, offscreen.

#include "Recorders.h"
#include "TempDir.h"
#include "engine/MarketData.h"
#include "mainform/CRangeTableDlg.h"
#include "mainform/CSimulationDlg.h"
#include "mainform/SimulationDlgIds.h"
#include "platform/qt/DialogTemplate.h"
#include "qt/QtRecorders.h"

#include <QCalendarWidget>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTest>
#include <QTreeWidget>

using namespace kestrelan;

class SimulationDlgTest : public QObject
{
    Q_OBJECT

    struct Form
    {
        Form()
        {
            dir.write("kospi.lst", indexRecordBytes(20050311, 90000, 91000) + indexRecordBytes(20050314, 91000, 92000));
            dir.write("ksp.txt", "1000\t0\t30\t60\t130\t20\t70\t120\t10\t80\t115\r\n"
                                 "500\t1000\t40\t50\t140\t30\t60\t130\t20\t70\t125\r\n"
                                 "0\t500\t50\t40\t150\t40\t50\t140\t30\t60\t135\r\n");
            services.messages = &messages;
            services.shell = &shell;
            services.names = &names;
            services.workDir = dir.path();
            services.programDir = dir.path();
            dialog = std::make_unique<CSimulationDlg>(services);
        }
        template <class W>
        W* get(int id)
        {
            return control<W>(*dialog, id);
        }
        QString amount() { return get<QLineEdit>(ids::investAmount)->text(); }
        QString shown() { return get<QLabel>(ids::amountText)->text(); }
        void typeAmount(const QString& text) { get<QLineEdit>(ids::investAmount)->setText(text); }
        QDate date(int id) { return get<QDateEdit>(id)->date(); }
        bool enabled(int id) { return dialog->findChild<QWidget*>(QString::number(id))->isEnabled(); }

        test::TempDir dir;
        test::RecordingSink messages;
        test::RecordingShell shell;
        test::ScriptedNames names;
        FormServices services;
        std::unique_ptr<CSimulationDlg> dialog;
    };

private slots:
    void defaultsAfterStartUp()
    {
        Form f;
        QCOMPARE(f.date(ids::startDate), QDate(2003, 3, 1));
        QCOMPARE(f.date(ids::endDate), QDate(2005, 2, 28));
        QCOMPARE(f.amount(), QString("100000000"));
        QCOMPARE(f.shown(), QString("1억원"));
        QCOMPARE(f.get<QComboBox>(ids::investModeCombo)->currentText(), QString("종목당"));
        QCOMPARE(f.get<QComboBox>(ids::investModeCombo)->count(), 3);
        QVERIFY(f.get<QCheckBox>(ids::autoSet)->isChecked());
        QVERIFY(f.get<QCheckBox>(ids::includeTax)->isChecked());
        QVERIFY(!f.get<QCheckBox>(ids::yieldStats)->isChecked());
        QVERIFY(f.get<QRadioButton>(ids::riskStable)->isChecked());
        QVERIFY(f.get<QRadioButton>(ids::cadenceThrice)->isChecked());
        QCOMPARE(f.get<QLineEdit>(ids::commissionPct)->text(), QString("0.2"));
        QCOMPARE(f.get<QLineEdit>(ids::rangeHighPct)->text(), QString("150"));
        QCOMPARE(f.get<QLineEdit>(ids::years)->text(), QString("1"));
        QVERIFY(f.messages.shown.empty());
    }

    void amountDisplay_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("amount");
        QTest::addColumn<QString>("display");
        QTest::newRow("above the limit") << "2500000000" << "2000000000" << "20억원";
        QTest::newRow("below ten thousand") << "9999" << "9999" << "원";
        QTest::newRow("ten thousand") << "10000" << "10000" << "1만원";
        QTest::newRow("a hundred million") << "100000000" << "100000000" << "1억원";
        QTest::newRow("a hundred million and ten thousand") << "100010000" << "100010000" << "1억1만원";
        QTest::newRow("twelve hundred million and more") << "1205000000" << "1205000000" << "12억500만원";
        QTest::newRow("blanks around") << " 150000000 " << "150000000" << "1억5000만원";
    }
    void amountDisplay()
    {
        QFETCH(QString, typed);
        QFETCH(QString, amount);
        QFETCH(QString, display);
        Form f;
        f.typeAmount(typed);
        QCOMPARE(f.amount(), amount);
        QCOMPARE(f.shown(), display);
        QVERIFY(f.messages.shown.empty());
    }

    void clearedAmountPromptsAndKeepsThePrevious()
    {
        Form f;
        f.typeAmount("150000000");
        f.typeAmount("");
        QCOMPARE(f.messages.shown, std::vector<std::string>{"양의 정수를 입력하십시오."});
        QCOMPARE(f.amount(), QString("150000000"));
        QCOMPARE(f.shown(), QString("1억5000만원"));
        f.typeAmount("-5");
        QCOMPARE(f.messages.shown.size(), 2u);
    }

    void shareCountMode()
    {
        Form f;
        f.get<QComboBox>(ids::investModeCombo)->setCurrentIndex(2);
        QCOMPARE(f.amount(), QString("10000"));
        QCOMPARE(f.shown(), QString("주"));
        f.typeAmount("2500000000");
        QCOMPARE(f.amount(), QString("2500000000")); // no limit on shares
        QCOMPARE(f.shown(), QString("주"));
        f.get<QComboBox>(ids::investModeCombo)->setCurrentIndex(1);
        QCOMPARE(f.amount(), QString("100000000"));
        QCOMPARE(f.shown(), QString("1억원"));
    }

    void autoSetEnablesBandsOrProfiles()
    {
        Form f;
        const int bands[] = {ids::rangeLowPct, ids::rangeHighPct, ids::initialBuyPct};
        const int profiles[] = {ids::riskAggressive, ids::riskStable, ids::riskConservative};
        // At opening the template's state holds: all six disabled though auto-set is on.
        for (int id : bands)
            QVERIFY(!f.enabled(id));
        for (int id : profiles)
            QVERIFY(!f.enabled(id));
        f.get<QCheckBox>(ids::autoSet)->click();
        for (int id : bands)
            QVERIFY(f.enabled(id));
        for (int id : profiles)
            QVERIFY(!f.enabled(id));
        f.get<QCheckBox>(ids::autoSet)->click();
        for (int id : bands)
            QVERIFY(!f.enabled(id));
        for (int id : profiles)
            QVERIFY(f.enabled(id));
    }

    void yieldStatisticsSetsTheSeriesPeriod()
    {
        Form f;
        f.get<QDateEdit>(ids::endDate)->setDate(QDate(2004, 6, 30));
        QVERIFY(!f.enabled(ids::years));
        f.get<QCheckBox>(ids::yieldStats)->click();
        QCOMPARE(f.date(ids::startDate), QDate(2000, 1, 1));
        QCOMPARE(f.date(ids::endDate), QDate(2005, 2, 28));
        for (int id : {ids::cadenceThrice, ids::cadenceMonthly, ids::cadenceDaily, ids::years})
            QVERIFY(f.enabled(id));
        f.get<QDateEdit>(ids::endDate)->setDate(QDate(2004, 6, 30));
        f.get<QCheckBox>(ids::yieldStats)->click();
        QCOMPARE(f.date(ids::startDate), QDate(2003, 3, 1));
        QCOMPARE(f.date(ids::endDate), QDate(2004, 6, 30)); // the end is kept
        QVERIFY(!f.enabled(ids::cadenceDaily));
    }

    void datesSnapWhenTheCalendarCloses()
    {
        Form f;
        auto* start = f.get<QDateEdit>(ids::startDate);
        start->setDate(QDate(1995, 6, 1)); // typed: not clamped yet
        QCOMPARE(f.date(ids::startDate), QDate(1995, 6, 1));
        QWidget* popup = start->calendarWidget()->window();
        popup->show();
        popup->hide();
        QCOMPARE(f.date(ids::startDate), QDate(1996, 1, 1));

        auto* end = f.get<QDateEdit>(ids::endDate);
        end->setDate(QDate(2005, 3, 10));
        end->calendarWidget()->window()->show();
        end->calendarWidget()->window()->hide();
        QCOMPARE(f.date(ids::endDate), QDate(2005, 2, 28));
    }

    void parsePromptsStopTheRead_data()
    {
        QTest::addColumn<int>("id");
        QTest::addColumn<QString>("prompt");
        QTest::newRow("margin") << ids::marginPct << "정수를 입력하십시오.";
        QTest::newRow("second condition") << ids::secondPct << "정수를 입력하십시오.";
        QTest::newRow("commission") << ids::commissionPct << "숫자를 입력하십시오.";
    }
    void parsePromptsStopTheRead()
    {
        QFETCH(int, id);
        QFETCH(QString, prompt);
        Form f;
        f.dialog->show();
        f.get<QLineEdit>(id)->setText("1x");
        f.get<QLineEdit>(ids::initialBuyPct)->setText("77");
        QVERIFY(!f.dialog->readForm());
        QCOMPARE(QString::fromStdString(f.messages.shown.back()), prompt);
        QCOMPARE(f.dialog->focusWidget(), f.get<QLineEdit>(id));
        if (id != ids::commissionPct)
            QCOMPARE(f.dialog->initialBuyPct, 50); // after the failed control: not read
    }

    void enterMovesTheFocusAndNeverSimulates()
    {
        Form f;
        f.dialog->show();
        QVERIFY(QTest::qWaitForWindowExposed(f.dialog.get()));
        QSignalSpy pressed(f.get<QPushButton>(ids::simulate), &QPushButton::clicked);
        auto* margin = f.get<QLineEdit>(ids::marginPct);
        margin->setFocus();
        QTest::keyClick(margin, Qt::Key_Return);
        QVERIFY(!margin->hasFocus());
        QTest::keyClick(f.dialog->focusWidget(), Qt::Key_Enter);
        QCOMPARE(pressed.count(), 0);
        QVERIFY(f.dialog->isVisible());
    }

    void helpOpensTheHelpFileBesideTheProgram()
    {
        Form f;
        f.get<QPushButton>(ids::help)->click();
        QCOMPARE(f.shell.opened.size(), 1u);
        QCOMPARE(QString::fromStdString(f.shell.opened[0]), QString::fromStdString((f.dir / "Kestrelan.chm").string()));
    }

    void missingIndexFileFallsBackToToday()
    {
        test::TempDir empty;
        test::RecordingSink messages;
        test::RecordingShell shell;
        FormServices s;
        s.messages = &messages;
        s.shell = &shell;
        s.workDir = empty.path();
        CSimulationDlg dialog(s);
        QCOMPARE(messages.shown.size(), 1u);
        const QDate end = control<QDateEdit>(dialog, ids::endDate)->date();
        QCOMPARE(end.addDays(1).day(), 1);
        QVERIFY(end < QDate::currentDate());
    }

    void rangeTableWindowShowsTheChosenProfile()
    {
        Form f;
        CRangeTableDlg table(f.dir / "ksp.txt", 2);
        auto* view = control<QTreeWidget>(table, 1116);
        QCOMPARE(view->topLevelItemCount(), 3);
        QCOMPARE(view->topLevelItem(0)->text(1), QString("1000 이상"));
        QCOMPARE(view->topLevelItem(1)->text(1), QString("500 ~ 1000"));
        QCOMPARE(view->topLevelItem(2)->text(1), QString("500 이하"));
        QCOMPARE(view->topLevelItem(1)->text(2), QString("20%"));
        QCOMPARE(view->topLevelItem(1)->text(3), QString("70% ~ 125%"));
        QCOMPARE(view->columnWidth(0), 0);
        CRangeTableDlg missing(f.dir / "none.txt", 0);
        QCOMPARE(control<QTreeWidget>(missing, 1116)->topLevelItemCount(), 0);
    }

    void controlsSitAtTheirDialogUnits()
    {
        Form f;
        const DialogUnits units(f.dialog->font());
        QCOMPARE(f.get<QPushButton>(ids::simulate)->geometry(), units.toPixels(QRect(16, 336, 202, 26)));
        QCOMPARE(f.dialog->width(), units.x(231));
        QCOMPARE(f.dialog->height(), units.y(370));
        QCOMPARE(f.dialog->windowTitle(), QString("Kestrelan 펀드 시뮬레이션"));
    }
};

QTEST_MAIN(SimulationDlgTest)
#include "SimulationDlgTest.moc"
