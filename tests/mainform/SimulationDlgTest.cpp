// The settings form, driven through its controls by ID, offscreen.

#include "engine/MarketData.h"
#include "engine/Portfolio.h"
#include "formats/DividendsCsv.h"
#include "mainform/CRangeTableDlg.h"
#include "mainform/CSimulationDlg.h"
#include "mainform/RangeTableDlgIds.h"
#include "mainform/SimulationDlgIds.h"
#include "mainform/core/Groups.h"
#include "platform/core/Cp949.h"
#include "platform/core/Format.h"
#include "platform/qt/DialogTemplate.h"
#include "results/CResultDlg.h"
#include "support/QtRecorders.h"
#include "support/Recorders.h"
#include "support/TempDir.h"
#include "tools/RunCommand.h"
#include "tools/SampleMarket.h"

#include <algorithm>
#include <map>
#include <QCalendarWidget>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
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
        explicit Form(bool sample = false)
            : services(WindowServices(messages, shell, names, dir.path(), dir.path()), progress, dir / "SimResult",
                       [this](const QString& group, int count) { opened.emplace_back(group, count); })
        {
            if (sample)
                writeSampleMarket(dir.path());
            else
                writeSmallMarket();
            dialog = std::make_unique<CSimulationDlg>(services);
        }
        void writeSmallMarket()
        {
            dir.write("kospi.lst", indexRecordBytes(20050311, 90000, 91000) + indexRecordBytes(20050314, 91000, 92000));
            std::string codes;
            for (int i = 0; i < 12; ++i)
                codes += codeRecordBytes(format("0059%02d", i), toCp949(i % 2 ? "가람전자" : "나래반도체"));
            codes += codeRecordBytes("000660", toCp949("가람"));
            dir.write("code.lst", codes);
            dir.write("ksp.txt",
                      "1000\t0\t30\t60\t130\t20\t70\t120\t10\t80\t115\r\n"
                      "500\t1000\t40\t50\t140\t30\t60\t130\t20\t70\t125\r\n"
                      "0\t500\t50\t40\t150\t40\t50\t140\t30\t60\t135\r\n");
        }
        template <class W>
        W* get(int id)
        {
            return control<W>(*dialog, id);
        }
        QString amount() { return get<QLineEdit>(simulationIds::investAmount)->text(); }
        QString shown() { return get<QLabel>(simulationIds::amountText)->text(); }
        void typeAmount(const QString& text) { get<QLineEdit>(simulationIds::investAmount)->setText(text); }
        QDate date(int id) { return get<QDateEdit>(id)->date(); }
        bool enabled(int id) { return get<QWidget>(id)->isEnabled(); }

        void select(int row) { dialog->stockList->setCurrentRow(row); }
        void add(int row)
        {
            select(row);
            get<QPushButton>(simulationIds::addStock)->click();
        }
        QStringList portfolio()
        {
            QStringList out;
            for (int i = 0; i < dialog->portfolioList->count(); ++i)
                out << dialog->portfolioList->item(i)->text();
            return out;
        }
        void type(const QString& text) { get<QLineEdit>(simulationIds::searchText)->setText(text); }

        test::TempDir dir;
        test::RecordingSink messages;
        test::RecordingShell shell;
        test::ScriptedNames names;
        test::RecordingProgress progress;
        FormServices services;
        std::vector<std::pair<QString, int>> opened;
        std::unique_ptr<CSimulationDlg> dialog;
    };

private Q_SLOTS:
    void defaultsAfterStartUp()
    {
        Form f;
        QCOMPARE(f.date(simulationIds::startDate), QDate(2003, 3, 1));
        QCOMPARE(f.date(simulationIds::endDate), QDate(2005, 2, 28));
        QCOMPARE(f.amount(), QString("100000000"));
        QCOMPARE(f.shown(), QString("1억원"));
        QCOMPARE(f.get<QComboBox>(simulationIds::investModeCombo)->currentText(), QString("종목당"));
        QCOMPARE(f.get<QComboBox>(simulationIds::investModeCombo)->count(), 3);
        QVERIFY(f.get<QCheckBox>(simulationIds::autoSet)->isChecked());
        QVERIFY(f.get<QCheckBox>(simulationIds::includeTax)->isChecked());
        QVERIFY(!f.get<QCheckBox>(simulationIds::yieldStats)->isChecked());
        QVERIFY(f.get<QRadioButton>(simulationIds::riskStable)->isChecked());
        QVERIFY(f.get<QRadioButton>(simulationIds::cadenceThrice)->isChecked());
        QCOMPARE(f.get<QLineEdit>(simulationIds::commissionPct)->text(), QString("0.2"));
        QCOMPARE(f.get<QLineEdit>(simulationIds::rangeHighPct)->text(), QString("150"));
        QCOMPARE(f.get<QLineEdit>(simulationIds::years)->text(), QString("1"));
        QVERIFY(f.messages.shown.empty());
    }

    void defaultsAreTheRunsAndTheCommandLines()
    {
        Form f;
        const SimParams form = f.dialog->settings();
        const RunOptions cli = parseRunOptions({}, f.dir.path(), f.dir.path());
        QVERIFY(form == cli.params); // the dates too: the same kospi.lst, the same default period
        SimParams undated = form;
        undated.startDate = undated.endDate = 0;
        QVERIFY(undated == SimParams{});
        QCOMPARE(static_cast<std::int64_t>(f.dialog->investAmount), cli.amount);
    }

    void amountDisplay_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("amount");
        QTest::addColumn<QString>("display");
        QTest::newRow("above the limit") << "2500000000"
                                         << "2000000000"
                                         << "20억원";
        QTest::newRow("below ten thousand") << "9999"
                                            << "9999"
                                            << "원";
        QTest::newRow("ten thousand") << "10000"
                                      << "10000"
                                      << "1만원";
        QTest::newRow("a hundred million") << "100000000"
                                           << "100000000"
                                           << "1억원";
        QTest::newRow("a hundred million and ten thousand") << "100010000"
                                                            << "100010000"
                                                            << "1억1만원";
        QTest::newRow("twelve hundred million and more") << "1205000000"
                                                         << "1205000000"
                                                         << "12억500만원";
        QTest::newRow("blanks around") << " 150000000 "
                                       << "150000000"
                                       << "1억5000만원";
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
        f.get<QComboBox>(simulationIds::investModeCombo)->setCurrentIndex(2);
        QCOMPARE(f.amount(), QString("10000"));
        QCOMPARE(f.shown(), QString("주"));
        f.typeAmount("2500000000");
        QCOMPARE(f.amount(), QString("2500000000")); // no limit on shares
        QCOMPARE(f.shown(), QString("주"));
        f.get<QComboBox>(simulationIds::investModeCombo)->setCurrentIndex(1);
        QCOMPARE(f.amount(), QString("100000000"));
        QCOMPARE(f.shown(), QString("1억원"));
    }

    void autoSetEnablesBandsOrProfiles()
    {
        Form f;
        const int bands[] = {simulationIds::rangeLowPct, simulationIds::rangeHighPct, simulationIds::initialBuyPct};
        const int profiles[]
            = {simulationIds::riskAggressive, simulationIds::riskStable, simulationIds::riskConservative};
        // At opening the template's state holds: all six disabled though auto-set is on.
        for (int id : bands)
            QVERIFY(!f.enabled(id));
        for (int id : profiles)
            QVERIFY(!f.enabled(id));
        f.get<QCheckBox>(simulationIds::autoSet)->click();
        for (int id : bands)
            QVERIFY(f.enabled(id));
        for (int id : profiles)
            QVERIFY(!f.enabled(id));
        f.get<QCheckBox>(simulationIds::autoSet)->click();
        for (int id : bands)
            QVERIFY(!f.enabled(id));
        for (int id : profiles)
            QVERIFY(f.enabled(id));
    }

    void yieldStatisticsSetsTheSeriesPeriod()
    {
        Form f;
        f.get<QDateEdit>(simulationIds::endDate)->setDate(QDate(2004, 6, 30));
        QVERIFY(!f.enabled(simulationIds::years));
        f.get<QCheckBox>(simulationIds::yieldStats)->click();
        QCOMPARE(f.date(simulationIds::startDate), QDate(2000, 1, 1));
        QCOMPARE(f.date(simulationIds::endDate), QDate(2005, 2, 28));
        for (int id : {simulationIds::cadenceThrice, simulationIds::cadenceMonthly, simulationIds::cadenceDaily,
                       simulationIds::years})
            QVERIFY(f.enabled(id));
        f.get<QDateEdit>(simulationIds::endDate)->setDate(QDate(2004, 6, 30));
        f.get<QCheckBox>(simulationIds::yieldStats)->click();
        QCOMPARE(f.date(simulationIds::startDate), QDate(2003, 3, 1));
        QCOMPARE(f.date(simulationIds::endDate), QDate(2004, 6, 30)); // the end is kept
        QVERIFY(!f.enabled(simulationIds::cadenceDaily));
    }

    void datesSnapWhenTheCalendarCloses()
    {
        Form f;
        auto* start = f.get<QDateEdit>(simulationIds::startDate);
        start->setDate(QDate(1995, 6, 1)); // typed: not clamped yet
        QCOMPARE(f.date(simulationIds::startDate), QDate(1995, 6, 1));
        QWidget* popup = start->calendarWidget()->window();
        popup->show();
        popup->hide();
        QCOMPARE(f.date(simulationIds::startDate), QDate(1996, 1, 1));

        auto* end = f.get<QDateEdit>(simulationIds::endDate);
        end->setDate(QDate(2005, 3, 10));
        end->calendarWidget()->window()->show();
        end->calendarWidget()->window()->hide();
        QCOMPARE(f.date(simulationIds::endDate), QDate(2005, 2, 28));
    }

    void parsePromptsStopTheRead_data()
    {
        QTest::addColumn<int>("id");
        QTest::addColumn<QString>("prompt");
        QTest::newRow("margin") << simulationIds::marginPct << "정수를 입력하십시오.";
        QTest::newRow("second condition") << simulationIds::secondPct << "정수를 입력하십시오.";
        QTest::newRow("commission") << simulationIds::commissionPct << "숫자를 입력하십시오.";
    }
    void parsePromptsStopTheRead()
    {
        QFETCH(int, id);
        QFETCH(QString, prompt);
        Form f;
        f.dialog->show();
        f.get<QLineEdit>(id)->setText("1x");
        f.get<QLineEdit>(simulationIds::initialBuyPct)->setText("77");
        QVERIFY(!f.dialog->readForm());
        QCOMPARE(QString::fromStdString(f.messages.shown.back()), prompt);
        QCOMPARE(f.dialog->focusWidget(), f.get<QLineEdit>(id));
        if (id != simulationIds::commissionPct)
            QCOMPARE(f.dialog->initialBuyPct, 50); // after the failed control: not read
    }

    void enterMovesTheFocusAndNeverSimulates()
    {
        Form f;
        f.dialog->show();
        QVERIFY(QTest::qWaitForWindowExposed(f.dialog.get()));
        QSignalSpy pressed(f.get<QPushButton>(simulationIds::simulate), &QPushButton::clicked);
        auto* margin = f.get<QLineEdit>(simulationIds::marginPct);
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
        f.get<QPushButton>(simulationIds::help)->click();
        QCOMPARE(f.shell.opened.size(), 1u);
        QCOMPARE(QString::fromStdString(f.shell.opened[0]), QString::fromStdString((f.dir / "Kestrelan.chm").string()));
        f.shell.viewers = false; // no CHM viewer on this desktop: the pages instead
        f.get<QPushButton>(simulationIds::help)->click();
        QCOMPARE(QString::fromStdString(f.shell.opened[1]),
                 QString::fromStdString((f.dir / "help/index.html").string()));
        QVERIFY(f.messages.shown.empty());
    }

    // Where the desktop opens neither the help file nor its pages, one message says where they are.
    void helpThatDoesNotOpenSaysWhereItIs()
    {
        Form f;
        f.shell.opens = false;
        f.get<QPushButton>(simulationIds::help)->click();
        QCOMPARE(f.messages.shown.size(), 1u);
        const std::string said = f.messages.shown[0];
        QVERIFY2(said.find((f.dir / "Kestrelan.chm").string()) != std::string::npos
                     && said.find((f.dir / "help/index.html").string()) != std::string::npos,
                 said.c_str());
    }

    void missingIndexFileFallsBackToToday()
    {
        test::TempDir empty;
        test::RecordingSink messages;
        test::RecordingShell shell;
        test::ScriptedNames names;
        test::RecordingProgress progress;
        const FormServices s(WindowServices(messages, shell, names, empty.path(), empty.path()), progress,
                             empty / "SimResult", [](const QString&, int) {});
        CSimulationDlg dialog(s);
        QCOMPARE(messages.shown.size(), 1u);
        const QDate end = control<QDateEdit>(dialog, simulationIds::endDate)->date();
        QCOMPARE(end.addDays(1).day(), 1);
        QVERIFY(end < QDate::currentDate());
    }

    void rangeTableWindowShowsTheChosenProfile()
    {
        Form f;
        CRangeTableDlg table(f.dir / "ksp.txt", 2);
        auto* view = control<QTreeWidget>(table, rangeTableIds::table);
        QCOMPARE(view->topLevelItemCount(), 3);
        QCOMPARE(view->topLevelItem(0)->text(1), QString("1000 이상"));
        QCOMPARE(view->topLevelItem(1)->text(1), QString("500 ~ 1000"));
        QCOMPARE(view->topLevelItem(2)->text(1), QString("500 이하"));
        QCOMPARE(view->topLevelItem(1)->text(2), QString("20%"));
        QCOMPARE(view->topLevelItem(1)->text(3), QString("70% ~ 125%"));
        QCOMPARE(view->columnWidth(0), 0);
        CRangeTableDlg missing(f.dir / "none.txt", 0);
        QCOMPARE(control<QTreeWidget>(missing, rangeTableIds::table)->topLevelItemCount(), 0);
    }

    void controlsSitAtTheirDialogUnits()
    {
        Form f;
        const DialogUnits units(f.dialog->font());
        QCOMPARE(f.get<QPushButton>(simulationIds::simulate)->geometry(), units.toPixels(QRect(16, 336, 202, 26)));
        QCOMPARE(f.dialog->width(), units.x(231));
        QCOMPARE(f.dialog->height(), units.y(400)); // the market's rules below the button
        QCOMPARE(f.dialog->windowTitle(), QString("Kestrelan 펀드 시뮬레이션"));
    }

    void portfolioAddsAndRenumbers()
    {
        Form f;
        QCOMPARE(f.dialog->stockList->count(), 13);
        for (int row : {0, 1, 2, 3, 4})
            f.add(row);
        QCOMPARE(f.portfolio().size(), 5);
        QVERIFY(f.portfolio()[0].startsWith("01  005900 "));
        f.dialog->portfolioList->setCurrentRow(2);
        f.get<QPushButton>(simulationIds::removeStock)->click();
        const QStringList left = f.portfolio();
        QCOMPARE(left.size(), 4);
        QVERIFY(left[2].startsWith("03  005903 "));
        QVERIFY(left[3].startsWith("04  005904 "));
        for (int i = 0; i < 8; ++i)
            f.add(i % 13);
        QVERIFY(f.portfolio()[9].startsWith("10  "));
        f.get<QPushButton>(simulationIds::clearPortfolio)->click();
        QVERIFY(f.portfolio().isEmpty());
        f.add(0);
        f.dialog->portfolioList->setCurrentRow(0);
        f.get<QPushButton>(simulationIds::removeStock)->click();
        QVERIFY(f.portfolio().isEmpty());
    }

    void fiftyStocksAtMost()
    {
        Form f;
        for (int i = 0; i < 50; ++i)
            f.add(i % 13);
        QVERIFY(f.messages.shown.empty());
        f.add(0);
        QCOMPARE(f.portfolio().size(), 50);
        QCOMPARE(f.messages.shown, std::vector<std::string>{"50종목까지만 가능합니다."});
    }

    void searchSelectsAndABlankAdds()
    {
        Form f;
        f.type("0059");
        QCOMPARE(f.dialog->stockList->currentRow(), 0);
        f.type("005903");
        QCOMPARE(f.dialog->stockList->currentRow(), 3);
        f.type("0059031");
        QCOMPARE(f.get<QLineEdit>(simulationIds::searchText)->text(), QString("005903"));
        f.type("가람");
        QCOMPARE(f.dialog->stockList->currentRow(), 12); // the exact name before the prefix
        f.type("나래");
        QCOMPARE(f.dialog->stockList->currentRow(), 0);
        f.type("나래 ");
        QCOMPARE(f.portfolio().size(), 1);
        QVERIFY(f.portfolio()[0].contains("나래반도체"));
        QCOMPARE(f.get<QLineEdit>(simulationIds::searchText)->text(), QString());
    }

    void groupsRegisterLoadAndDelete()
    {
        Form f;
        f.add(0);
        f.add(3);
        f.names.answers = {QString("성장주")};
        f.get<QPushButton>(simulationIds::registerGroup)->click();
        QCOMPARE(QString::fromStdString(f.names.prompts.back().toStdString()), QString("저장할 그룹명칭 입력"));
        QCOMPARE(f.dialog->groupCombo->count(), 1);
        QCOMPARE(f.dialog->groupCombo->currentIndex(), -1);
        f.names.answers = {QString("성장주")};
        f.get<QPushButton>(simulationIds::registerGroup)->click();
        QCOMPARE(f.messages.shown.back(), std::string("동일한 이름의 그룹이 있습니다."));
        f.names.answers = {QString()}; // Cancel
        f.get<QPushButton>(simulationIds::registerGroup)->click();
        f.names.answers = {QString("아주아주긴그룹이름입니다열다섯자넘게")};
        f.get<QPushButton>(simulationIds::registerGroup)->click();
        QCOMPARE(f.dialog->groupCombo->count(), 1);

        f.get<QPushButton>(simulationIds::clearPortfolio)->click();
        f.dialog->groupCombo->setCurrentIndex(0);
        Q_EMIT f.dialog->groupCombo->activated(0);
        QCOMPARE(f.portfolio().size(), 2);
        QVERIFY(f.portfolio()[1].startsWith("02  005903"));
        QCOMPARE(f.dialog->selectedGroupName(), QString("성장주"));

        f.messages.answers = {IMessageSink::Answer::Cancel};
        f.get<QPushButton>(simulationIds::deleteGroup)->click();
        QCOMPARE(f.dialog->groupCombo->count(), 1);
        f.messages.answers = {IMessageSink::Answer::Ok};
        f.get<QPushButton>(simulationIds::deleteGroup)->click();
        QCOMPARE(f.messages.shown.back(), std::string("정말로 삭제할까요?"));
        QCOMPARE(f.dialog->groupCombo->count(), 0);
        QVERIFY(f.portfolio().isEmpty());
        QVERIFY(f.dir.exists("group.bak"));
        QCOMPARE(f.dialog->selectedGroupName(), QString("tmp"));
    }

    void simulateChecksTheFormFirst()
    {
        Form f;
        f.get<QPushButton>(simulationIds::simulate)->click();
        QCOMPARE(f.messages.shown.back(), std::string("시뮬레이션 종목을 골라주세요."));
        QVERIFY(!f.dir.exists("SimItem.lst"));
        f.add(0);
        f.get<QLineEdit>(simulationIds::marginPct)->setText("0");
        f.get<QPushButton>(simulationIds::simulate)->click();
        QCOMPARE(f.messages.shown.back(), std::string("매매차익 입력이 잘못되었습니다."));
        QVERIFY(!f.dir.exists("SimItem.lst"));
        QVERIFY(f.opened.empty());
        // A margin below a round trip's costs is a note: the run goes on.
        f.get<QLineEdit>(simulationIds::marginPct)->setText("1");
        f.get<QLineEdit>(simulationIds::commissionPct)->setText("0.5");
        f.get<QPushButton>(simulationIds::simulate)->click(); // then stops: no fund in the default period
        const auto& shown = f.messages.shown;
        QVERIFY(std::find(shown.begin(), shown.end(), "매매차익 1%가 한 번 사고파는 비용 1.3%보다 작습니다.")
                != shown.end());
        QVERIFY(f.dir.exists("SimItem.lst"));
    }

    // The rules, and the dividends, the form runs with are those of `run` given the same choice:
    // the same settings, and the same files from the run.
    void theChosenRulesRunAsTheCommandLineRunsThem_data()
    {
        QTest::addColumn<QString>("rules"); // "own": a rules file of the test's own
        QTest::addColumn<int>("click");     // clicks on the dividends check
        QTest::addColumn<bool>("checked");  // the check as the form then shows it
        QTest::addColumn<QStringList>("cli");
        QTest::newRow("design") << "design" << 0 << false << QStringList{};
        QTest::newRow("design with dividends") << "design" << 1 << true << QStringList{"--dividends", "1"};
        QTest::newRow("krx") << "krx" << 0 << true << QStringList{"--rules", "krx"};
        QTest::newRow("krx without dividends") << "krx" << 1 << false
                                               << QStringList{"--rules", "krx", "--dividends", "0"};
        QTest::newRow("own file") << "own" << 0 << true << QStringList{"--rules", "own"};
    }
    void theChosenRulesRunAsTheCommandLineRunsThem()
    {
        QFETCH(QString, rules);
        QFETCH(int, click);
        QFETCH(bool, checked);
        QFETCH(QStringList, cli);
        Form f(true);
        f.dir.write("dividends.csv", dividendsCsvText({{"005930", 20050412, 500}, {"005930", 20060410, 700}}));
        // A tenth of the usual tax: the file, not the shipped table, is what the run goes by.
        f.dir.write("own-rules.csv", "kind,from,values\r\nsales_tax,1996-01-01,0.03\r\n");
        const std::string own = (f.dir / "own-rules.csv").string();
        auto* combo = f.get<QComboBox>(simulationIds::rulesCombo);
        QVERIFY(combo->isEditable());
        QCOMPARE(combo->currentText(), QString("design"));
        combo->setEditText(rules == "own" ? QString::fromStdString(own) : rules);
        for (int i = 0; i < click; ++i)
            f.get<QCheckBox>(simulationIds::dividends)->click();
        QCOMPARE(f.get<QCheckBox>(simulationIds::dividends)->isChecked(), checked);
        f.type("005930");
        f.type("005930 ");
        f.get<QPushButton>(simulationIds::simulate)->click();
        QCOMPARE(f.opened.size(), 1u);
        std::map<std::string, std::string> formFiles;
        for (const char* name : {"settings.csv", "result.csv", "trade.csv"})
            formFiles[name] = f.dir.read(name);

        std::vector<std::string> args = {"--stocks", "005930"};
        for (const QString& a : cli)
            args.push_back(a == "own" ? own : a.toStdString());
        const RunOptions options = parseRunOptions(args, f.dir.path(), f.dir.path());
        SimParams form = f.dialog->effective(f.dialog->startDate, f.dialog->endDate).params;
        QVERIFY(form == options.params);
        QCOMPARE(runCommand(options, f.dir.path()), 0);
        for (const auto& [name, bytes] : formFiles)
            QVERIFY2(f.dir.read(name) == bytes, name.c_str());
        const std::string settings = formFiles["settings.csv"];
        QCOMPARE(settings.find(rules == "own" ? own : "krx") != std::string::npos, rules != "design");
        if (rules == "own") { // the file's tax, not the default one, is in trade.csv
            QCOMPARE(runCommand(parseRunOptions({"--stocks", "005930"}, f.dir.path(), f.dir.path()), f.dir.path()), 0);
            QVERIFY(f.dir.read("trade.csv") != formFiles["trade.csv"]);
        }
    }

    // The margin note comes before anything of the run; rules that do not read stop it there.
    void marginNoteAndRulesBeforeTheRun()
    {
        Form f(true);
        f.type("005930");
        f.type("005930 ");
        f.get<QLineEdit>(simulationIds::marginPct)->setText("1");
        f.get<QLineEdit>(simulationIds::commissionPct)->setText("0.4");
        bool ranBefore = true;
        f.messages.onShow = [&](std::string_view) { ranBefore = f.progress.begun > 0 || f.dir.exists("SimItem.lst"); };
        f.get<QPushButton>(simulationIds::simulate)->click();
        QCOMPARE(f.messages.shown, std::vector<std::string>{"매매차익 1%가 한 번 사고파는 비용 1.1%보다 작습니다."});
        QVERIFY(!ranBefore);
        QCOMPARE(f.opened.size(), 1u);

        std::filesystem::remove(f.dir / "SimItem.lst");
        f.messages.shown.clear();
        f.messages.onShow = {};
        f.dir.write("bad-rules.csv", "kind,from,values\r\nsales_tax,1996-01-01,0.30\r\nsales_tax,1990-01-01,x\r\n");
        f.get<QComboBox>(simulationIds::rulesCombo)->setEditText(QString::fromStdString((f.dir / "bad-rules.csv").string()));
        f.get<QPushButton>(simulationIds::simulate)->click();
        QCOMPARE(f.messages.shown.size(), 1u);
        QVERIFY2(f.messages.shown[0].find("bad-rules.csv:3:") != std::string::npos, f.messages.shown[0].c_str());
        QVERIFY(!f.dir.exists("SimItem.lst"));
        QCOMPARE(f.opened.size(), 1u);
    }

    void simItemInEveryMode_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("amount");
        QTest::addColumn<QString>("second");
        QTest::newRow("per stock") << 0 << "  100000000"
                                   << "  100000000";
        QTest::newRow("total") << 1 << "  100000000"
                               << "          0";
        QTest::newRow("shares") << 2 << "      10000"
                                << "      10000";
    }
    void simItemInEveryMode()
    {
        QFETCH(int, mode);
        QFETCH(QString, amount);
        QFETCH(QString, second);
        Form f;
        f.add(0);
        f.add(1);
        f.add(2);
        f.get<QComboBox>(simulationIds::investModeCombo)->setCurrentIndex(mode);
        f.get<QPushButton>(simulationIds::simulate)->click(); // the run stops: no fund in the default period
        const std::string bytes = f.dir.read("SimItem.lst");
        QCOMPARE(bytes.size(), 120u);
        QCOMPARE(QString::fromStdString(bytes.substr(27, 11)), amount);
        QCOMPARE(QString::fromStdString(bytes.substr(67, 11)), second);
        QCOMPARE(QString::fromStdString(bytes.substr(107, 11)), second);
        QVERIFY(f.messages.shown.back().find("실행할 펀드가 없습니다") != std::string::npos);
        QVERIFY(f.opened.empty()); // a run that stopped opens no results window
        QVERIFY(f.get<QPushButton>(simulationIds::simulate)->isEnabled());
    }

    void endToEndOnTheSampleMarket()
    {
        Form f(true);
        QVERIFY(f.dialog->stockList->count() >= 30);
        f.type("005930");
        f.type("005930 ");
        f.type("라온");
        f.type("라온 ");
        QCOMPARE(f.portfolio().size(), 2);
        f.get<QCheckBox>(simulationIds::yieldStats)->click();
        f.get<QRadioButton>(simulationIds::cadenceMonthly)->click();
        f.get<QPushButton>(simulationIds::simulate)->click();
        QVERIFY2(f.messages.shown.empty(), f.messages.shown.empty() ? "" : f.messages.shown[0].c_str());
        QVERIFY(f.dir.exists("result.csv"));
        QVERIFY(!f.dir.exists("trade.csv"));
        QCOMPARE(f.opened.size(), 1u);
        QCOMPARE(f.opened[0].first, QString("tmp"));
        QCOMPARE(f.opened[0].second, 2);
        QCOMPARE(f.progress.text, std::string("시뮬레이션 진행중입니다...."));
        QCOMPARE(f.progress.positions.back(), 100);
        // The window the form opens reads what the run wrote.
        CResultDlg results(ResultServices(f.services, f.dir / "fname.tmp", f.dir / "SimResult"));
        results.start();
        QCOMPARE(results.resultKind, ResultKind::FundSeries);
        QVERIFY(results.mainList->topLevelItemCount() > 40);

        f.get<QCheckBox>(simulationIds::yieldStats)->click();
        f.get<QPushButton>(simulationIds::simulate)->click();
        QVERIFY(f.dir.exists("trade.csv"));
        QCOMPARE(f.opened.size(), 2u);
    }

    // A stock that sits the fund out is named with its reason before the results open.
    void theRunsNotesComeBeforeItsResults()
    {
        Form f(true);
        f.type("005930");
        f.type("005930 ");
        f.type("라온");
        f.type("라온 ");
        f.get<QComboBox>(simulationIds::investModeCombo)->setCurrentIndex(2); // 10,000 shares each
        f.get<QPushButton>(simulationIds::simulate)->click();
        QCOMPARE(f.opened.size(), 1u);
        QCOMPARE(f.messages.shown.size(), 1u);
        QVERIFY2(f.messages.shown[0].find("005930") != std::string::npos
                     && f.messages.shown[0].find("넣지 않았습니다") != std::string::npos,
                 f.messages.shown[0].c_str());
    }

    void startUpMergesAPendingUpdate()
    {
        test::TempDir dir;
        writeSampleMarket(dir.path());
        const auto before = std::filesystem::file_size(dir / "StockData/005930.real");
        dir.write("Update.new", "A005930\r\n2\r\n20070102\r\n20070102\r\n500000\r\n");
        test::RecordingSink messages;
        test::RecordingShell shell;
        test::ScriptedNames names;
        test::RecordingProgress progress;
        const FormServices s(WindowServices(messages, shell, names, dir.path(), dir.path()), progress,
                             dir / "SimResult", [](const QString&, int) {});
        CSimulationDlg dialog(s);
        QCOMPARE(std::filesystem::file_size(dir / "StockData/005930.real"), before + 28);
        QVERIFY(!dir.exists("Update.new"));
        QVERIFY(dir.exists("SimResult"));
        QCOMPARE(progress.text, std::string("주가 Data Update중입니다...."));
        QVERIFY(messages.shown.empty());
    }

    // A field that does not read starts no run: its prompt, the focus and the value it held go
    // to it, and what the user typed in the other fields stays.
    void aFieldThatDoesNotReadStartsNoRun_data()
    {
        QTest::addColumn<int>("id");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("prompt");
        QTest::newRow("margin") << simulationIds::marginPct << "abc"
                                << "10"
                                << "정수를 입력하십시오.";
        QTest::newRow("commission") << simulationIds::commissionPct << "0.2x"
                                    << "0.2"
                                    << "숫자를 입력하십시오.";
    }
    void aFieldThatDoesNotReadStartsNoRun()
    {
        QFETCH(int, id);
        QFETCH(QString, typed);
        QFETCH(QString, before);
        QFETCH(QString, prompt);
        Form f;
        f.dialog->show();
        f.add(0);
        f.get<QLineEdit>(simulationIds::rangeLowPct)->setText("33");   // before the margin
        f.get<QLineEdit>(simulationIds::initialBuyPct)->setText("77"); // after it
        f.get<QLineEdit>(id)->setText(typed);
        f.get<QPushButton>(simulationIds::simulate)->click();
        QCOMPARE(f.messages.shown, std::vector<std::string>{prompt.toStdString()});
        QVERIFY(!f.dir.exists("SimItem.lst"));
        QCOMPARE(f.progress.begun, 0);
        QVERIFY(f.opened.empty());
        QCOMPARE(f.dialog->focusWidget(), f.get<QLineEdit>(id));
        QCOMPARE(f.get<QLineEdit>(id)->text(), before);
        QCOMPARE(f.get<QLineEdit>(simulationIds::rangeLowPct)->text(), QString("33"));
        QCOMPARE(f.get<QLineEdit>(simulationIds::initialBuyPct)->text(), QString("77"));
    }

    // Typing the amount reads the amount alone: another field that does not read keeps its text
    // and says nothing. A handler that reads the whole form and writes it back undoes nothing the
    // user typed elsewhere, and neither does a later one.
    void aFailedReadWritesBackOnlyItsField()
    {
        Form f;
        f.get<QLineEdit>(simulationIds::marginPct)->setText("1x");
        f.get<QLineEdit>(simulationIds::initialBuyPct)->setText("77");
        f.get<QLineEdit>(simulationIds::secondPct)->setText("15");
        f.typeAmount("150000000");
        QVERIFY(f.messages.shown.empty());
        QCOMPARE(f.get<QLineEdit>(simulationIds::marginPct)->text(), QString("1x"));
        QCOMPARE(f.shown(), QString("1억5000만원"));
        QVERIFY(!f.dialog->readForm());
        QCOMPARE(f.messages.shown, std::vector<std::string>{"정수를 입력하십시오."});
        QCOMPARE(f.get<QLineEdit>(simulationIds::marginPct)->text(), QString("10"));
        QCOMPARE(f.get<QLineEdit>(simulationIds::secondPct)->text(), QString("15"));
        QCOMPARE(f.get<QLineEdit>(simulationIds::initialBuyPct)->text(), QString("77"));
        QCOMPARE(f.amount(), QString("150000000"));
        QCOMPARE(f.shown(), QString("1억5000만원"));
        f.add(0); // writes the form without reading it
        QCOMPARE(f.get<QLineEdit>(simulationIds::initialBuyPct)->text(), QString("77"));
        QCOMPARE(f.get<QLineEdit>(simulationIds::searchText)->text(), QString());
    }

    // A holding of more shares than the limit is refused; the largest one is written as it is.
    void shareCountsBeyondTheLimitAreRefused()
    {
        Form f;
        f.add(0);
        f.get<QComboBox>(simulationIds::investModeCombo)->setCurrentIndex(2);
        f.typeAmount("3000000000");
        f.get<QPushButton>(simulationIds::simulate)->click();
        QCOMPARE(f.messages.shown, std::vector<std::string>{"양의 정수를 입력하십시오."});
        QVERIFY(!f.dir.exists("SimItem.lst"));
        QCOMPARE(f.amount(), QString("10000"));
        f.typeAmount("2000000000");
        f.get<QPushButton>(simulationIds::simulate)->click(); // the run stops: no fund in the default period
        QCOMPARE(QString::fromStdString(f.dir.read("SimItem.lst").substr(27, 11)), QString(" 2000000000"));
    }

    void periodAndAmountThatGiveNoResultStartNoRun_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("amount");
        QTest::addColumn<QDate>("start");
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("field"); // gets the focus
        QTest::newRow("a start after the end")
            << 0 << "100000000" << QDate(2005, 3, 1) << "시뮬레이션 기간을 확인하세요." << simulationIds::startDate;
        QTest::newRow("no won") << 0 << "0" << QDate(2004, 1, 1) << "투자금액을 입력하세요."
                                << simulationIds::investAmount;
        QTest::newRow("no shares") << 2 << "0" << QDate(2004, 1, 1) << "투자금액을 입력하세요."
                                   << simulationIds::investAmount;
    }
    void periodAndAmountThatGiveNoResultStartNoRun()
    {
        QFETCH(int, mode);
        QFETCH(QString, amount);
        QFETCH(QDate, start);
        QFETCH(QString, message);
        QFETCH(int, field);
        Form f;
        f.dialog->show();
        f.add(0);
        f.get<QComboBox>(simulationIds::investModeCombo)->setCurrentIndex(mode);
        f.typeAmount(amount);
        f.get<QDateEdit>(simulationIds::startDate)->setDate(start); // the end is 2005-02-28
        f.get<QPushButton>(simulationIds::simulate)->click();
        QCOMPARE(QString::fromStdString(f.messages.shown.back()), message);
        QCOMPARE(f.dialog->focusWidget(), f.get<QWidget>(field));
        QVERIFY(!f.dir.exists("SimItem.lst"));
        QVERIFY(f.opened.empty());
    }

    // Group names are taken without blanks at their ends: never two equal entries, never a name
    // of blanks.
    void groupNamesWithoutBlanksAtTheirEnds()
    {
        Form f;
        f.add(0);
        f.names.answers = {QString("반도체그룹"), QString("반도체그룹 "), QString(" 반도체그룹"), QString("   ")};
        for (int i = 0; i < 4; ++i)
            f.get<QPushButton>(simulationIds::registerGroup)->click();
        QCOMPARE(f.dialog->groupCombo->count(), 1);
        QCOMPARE(f.messages.shown.size(), 3u);
        QCOMPARE(f.messages.shown[0], std::string("동일한 이름의 그룹이 있습니다."));
        QCOMPARE(f.messages.shown[1], std::string("동일한 이름의 그룹이 있습니다."));
        QCOMPARE(f.messages.shown[2], std::string("그룹명을 입력하세요."));
        QCOMPARE(f.dir.read("group.lst").size(), 32u);
    }

    // An Update.new block that does not read is refused at start-up: it and the rest go to
    // Update.rej, and one message names its stock.
    void startUpRefusesAMalformedUpdateBlock_data()
    {
        QTest::addColumn<QString>("block");
        QTest::newRow("a count that is no number") << "A005930\r\nabc\r\n20070102\r\n";
        QTest::newRow("a header beyond 12 characters") << "A005930 and more\r\n1\r\n20070102\r\n500000\r\n";
    }
    void startUpRefusesAMalformedUpdateBlock()
    {
        QFETCH(QString, block);
        test::TempDir dir;
        writeSampleMarket(dir.path());
        const std::string before = dir.read("StockData/005930.real");
        dir.write("Update.new", block.toStdString());
        test::RecordingSink messages;
        test::RecordingShell shell;
        test::ScriptedNames names;
        test::RecordingProgress progress;
        const FormServices s(WindowServices(messages, shell, names, dir.path(), dir.path()), progress,
                             dir / "SimResult", [](const QString&, int) {});
        CSimulationDlg dialog(s);
        QCOMPARE(messages.shown.size(), 1u);
        QVERIFY2(messages.shown[0].find("005930") != std::string::npos
                     && messages.shown[0].find("형식") != std::string::npos,
                 messages.shown[0].c_str());
        QCOMPARE(dir.read("StockData/005930.real"), before);
        QCOMPARE(dir.read("Update.rej"), block.toStdString());
        QVERIFY(!dir.exists("Update.new"));
    }

    // The template's looks: the invest mode is chosen, not typed; list boxes scroll only
    // vertically; the range table shows its columns whole.
    void controlsAsTheTemplateHasThem()
    {
        Form f;
        QVERIFY(!f.get<QComboBox>(simulationIds::investModeCombo)->isEditable());
        for (QListWidget* list : {f.dialog->stockList, f.dialog->portfolioList})
            QCOMPARE(list->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
        CRangeTableDlg table(f.dir / "ksp.txt", 1);
        table.show();
        auto* view = control<QTreeWidget>(table, rangeTableIds::table);
        int right = 0;
        for (int c = 1; c < 4; ++c) {
            for (int r = 0; r < view->topLevelItemCount(); ++r)
                QVERIFY(view->columnWidth(c) > view->fontMetrics().horizontalAdvance(view->topLevelItem(r)->text(c)));
            right = view->header()->sectionViewportPosition(c) + view->columnWidth(c);
        }
        QVERIFY(right <= view->viewport()->width());
    }
};

QTEST_MAIN(SimulationDlgTest)
#include "SimulationDlgTest.moc"
