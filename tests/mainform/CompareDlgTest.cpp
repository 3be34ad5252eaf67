// The condition-comparison window, opened from the settings form on the sample market, offscreen.

#include "mainform/CCompareDlg.h"
#include "mainform/CSimulationDlg.h"
#include "mainform/SimulationDlgIds.h"
#include "platform/qt/DialogTemplate.h"
#include "support/QtRecorders.h"
#include "support/Recorders.h"
#include "support/TempDir.h"
#include "tools/SampleMarket.h"
#include "tools/SweepCommand.h"

#include <QChartView>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QTest>
#include <QTreeWidget>

#include <algorithm>
#include <filesystem>
#include <sstream>

using namespace kestrelan;

class CompareDlgTest : public QObject
{
    Q_OBJECT

    // The form on the sample market with two stocks and monthly funds of a year, and its
    // comparison window open.
    struct Compare
    {
        Compare()
            : services(WindowServices(messages, shell, names, dir.path(), KESTRELAN_WORKBOOK_DIR), progress,
                       dir / "SimResult", [](const QString&, int) { })
        {
            services.handoffFile = dir / "fname.tmp";
            writeSampleMarket(dir.path());
            form = std::make_unique<CSimulationDlg>(services);
            for (const char* typed : {"005930", "005930 ", "라온", "라온 "})
                field<QLineEdit>(simulationIds::searchText)->setText(typed);
            field<QRadioButton>(simulationIds::cadenceMonthly)->setEnabled(true);
            field<QRadioButton>(simulationIds::cadenceMonthly)->setChecked(true);
            field<QPushButton>(simulationIds::compareConditions)->click();
            window = form->comparison.get();
        }
        template <class W>
        W* field(int id)
        {
            return control<W>(*form, id);
        }
        QString text(int id) { return field<QLineEdit>(id)->text(); }
        void run(const QString& first, const QString& second, int secondSetting = 2)
        {
            window->firstRange->setText(first);
            window->secondSetting->setCurrentIndex(secondSetting);
            window->secondRange->setText(second);
            window->runButton->click();
        }
        // What `kestrelan-cli sweep` says of the same stocks and ranges.
        std::string commandLineSays(std::vector<std::string> args)
        {
            args.insert(args.begin(), {"sweep", "--stocks", "005930,035420", "--cadence", "1", "--out",
                                       (dir / "cli.csv").string()});
            std::ostringstream out, err;
            try {
                const auto parsed = parseCommandLine(cliCommandSpecs(), args);
                if (runSweep(parsed.values, dir.path(), dir.path(), out, err) == exitDone)
                    return "ran";
            } catch (const UsageError& e) {
                return windowWords(e.what());
            }
            std::string said = err.str();
            while (!said.empty() && said.back() == '\n')
                said.pop_back();
            return said;
        }

        test::TempDir dir;
        test::RecordingSink messages;
        test::RecordingShell shell;
        test::ScriptedNames names;
        test::RecordingProgress progress;
        FormServices services;
        std::unique_ptr<CSimulationDlg> form;
        CCompareDlg* window = nullptr;
    };

    static std::vector<std::string> files(const std::filesystem::path& dir)
    {
        std::vector<std::string> names;
        for (const auto& e : std::filesystem::recursive_directory_iterator(dir))
            names.push_back(e.path().lexically_relative(dir).string());
        std::sort(names.begin(), names.end());
        return names;
    }

private Q_SLOTS:
    void rangesAreRefusedAsOnTheCommandLine_data()
    {
        QTest::addColumn<QString>("first");
        QTest::addColumn<QString>("second");
        QTest::addColumn<int>("secondSetting");
        QTest::addColumn<QString>("choose");
        QTest::addColumn<QStringList>("commandLine");
        QTest::newRow("below the least margin") << "0:10:5" << "" << 0 << "" << QStringList{"--margin", "0:10:5"};
        QTest::newRow("a range without its step") << "10" << "4:12" << 2 << ""
                                                  << QStringList{"--second", "4:12"};
        QTest::newRow("a step of 0") << "5:20:0" << "" << 0 << "" << QStringList{"--margin", "5:20:0"};
        QTest::newRow("a value twice") << "5,10,5" << "" << 0 << "" << QStringList{"--margin", "5,10,5"};
        QTest::newRow("a range that ksp.txt sets") << "10" << "40:60:10" << 3 << ""
                                                   << QStringList{"--range-low", "40:60:10"};
        QTest::newRow("a choose span without a judge span")
            << "10" << "" << 0 << "2004-01-01:2005-06-30" << QStringList{"--choose", "2004-01-01:2005-06-30"};
    }
    void rangesAreRefusedAsOnTheCommandLine()
    {
        QFETCH(QString, first);
        QFETCH(QString, second);
        QFETCH(int, secondSetting);
        QFETCH(QString, choose);
        QFETCH(QStringList, commandLine);
        Compare c;
        std::vector<std::string> args;
        for (const auto& a : commandLine)
            args.push_back(a.toStdString());
        const std::string said = c.commandLineSays(args);
        QVERIFY2(said != "ran" && !said.starts_with("--"), said.c_str());
        c.window->chooseSpan->setText(choose);
        c.run(first, second, secondSetting);
        QCOMPARE(c.messages.shown, std::vector<std::string>{said});
        QVERIFY(!c.dir.exists("sweep.csv"));
        QCOMPARE(c.window->bestList->topLevelItemCount(), 0);
    }

    // 25 combinations of the margin and the second condition: the figures sweep writes, the best
    // ten, the heatmap, and a double-click puts a combination into the form.
    void aDoubleClickFillsTheForm()
    {
        Compare c;
        QCOMPARE(c.window->findChild<QLabel*>("taken")->text(), QString("설정 창에서: 종목 2개, 2004-12-01 ~ 2006-11-30, 월1회, 1년간 운용"));
        c.run("4:12:2", "4:12:2");
        QVERIFY2(c.messages.shown.size() <= 1, c.messages.shown.empty() ? "" : c.messages.shown[0].c_str());
        QCOMPARE(c.window->bestList->topLevelItemCount(), 10);
        QCOMPARE(c.window->heatmap->rowCount(), 5);
        QCOMPARE(c.window->heatmap->columnCount(), 5);
        QVERIFY(c.window->scatter->isHidden());
        // The same file as the command line's sweep of the same settings over the form's period.
        QCOMPARE(c.commandLineSays({"--margin", "4:12:2", "--second", "4:12:2", "--start",
                                    std::to_string(c.form->startDate), "--end", std::to_string(c.form->endDate)}),
                 std::string("ran"));
        QCOMPARE(c.dir.read("sweep.csv"), c.dir.read("cli.csv"));

        const SweepLine& first = c.window->comparison().file.lines.front();
        QCOMPARE(first.rank > 0, true);
        const auto best = rankedWindowLines(c.window->comparison().file.lines, 0, "fund_median_pct").front();
        Q_EMIT c.window->bestList->itemDoubleClicked(c.window->bestList->topLevelItem(0), 0);
        QCOMPARE(c.text(simulationIds::marginPct), QString::number(best.settings.marginPct));
        QCOMPARE(c.text(simulationIds::secondPct), QString::number(best.settings.secondPct));
        // A heatmap cell: its column is the margin, its row the second condition.
        Q_EMIT c.window->heatmap->cellDoubleClicked(4, 1);
        QCOMPARE(c.text(simulationIds::marginPct), QString("6"));
        QCOMPARE(c.text(simulationIds::secondPct), QString("12"));
        QCOMPARE(c.text(simulationIds::commissionPct), QString("0.2")); // the rest stays the form's
        QCOMPARE(c.window->status->text(), QString("설정 창에 넣었습니다: 매매차익 6%, 2차조건 12%"));
        // ... and the form runs with them.
        c.window->close();
        c.field<QPushButton>(simulationIds::simulate)->click();
        const std::string settings = c.dir.read("settings.csv");
        QVERIFY2(settings.find("margin_pct,6\r\n") != std::string::npos
                     && settings.find("second_pct,12\r\n") != std::string::npos,
                 settings.c_str());

        // With a choose and a judge span: the scatter of the two, and what the judge span says.
        c.messages.shown.clear();
        c.window->chooseSpan->setText("2000-01-01:2003-06-30");
        c.window->judgeSpan->setText("2003-07-01:2006-11-30");
        c.run("4:12:2", "4:12:2");
        QVERIFY(!c.window->scatter->isHidden());
        QVERIFY(c.window->verdict->text().contains("판단 기간"));

        // Export: the hand-off file and the workbook of the working folder, opened.
        if (std::string(KESTRELAN_WORKBOOK_DIR).empty())
            return;
        c.messages.shown.clear();
        c.names.answers.push_back("비교");
        c.window->exportButton->click();
        QCOMPARE(c.messages.shown.size(), 0u);
        QCOMPARE(c.shell.opened.size(), 1u);
        QVERIFY(c.shell.opened[0].ends_with("비교.xlsx") && std::filesystem::exists(c.shell.opened[0]));
    }

    // The form's market rules are the comparison's: the same sweep.csv as the command line's
    // sweep under them (its identity names them).
    void theFormsRulesAreCompared()
    {
        Compare c;
        c.form->rulesCombo->setEditText("krx");
        c.field<QPushButton>(simulationIds::compareConditions)->click();
        c.window = c.form->comparison.get();
        c.run("4,8", "10");
        QCOMPARE(c.commandLineSays({"--margin", "4,8", "--second", "10", "--rules", "krx", "--start",
                                    std::to_string(c.form->startDate), "--end", std::to_string(c.form->endDate)}),
                 std::string("ran"));
        QCOMPARE(c.dir.read("sweep.csv"), c.dir.read("cli.csv"));
        QVERIFY(c.dir.read("sweep.csv").find("krx") != std::string::npos);
    }

    // Cancelled in the progress window after the first or before the last combination: the
    // sweep.csv there was stays byte for byte, none appears where there was none, and nothing
    // else is left.
    void cancelLeavesNothingHalfWritten_data()
    {
        QTest::addColumn<int>("after");
        QTest::addColumn<bool>("earlier");
        QTest::newRow("first, none before") << 1 << false;
        QTest::newRow("last, one before") << 24 << true;
    }
    void cancelLeavesNothingHalfWritten()
    {
        QFETCH(int, after);
        QFETCH(bool, earlier);
        Compare c;
        if (earlier)
            c.dir.write("sweep.csv", "an earlier sweep\r\n");
        const auto before = files(c.dir.path());
        std::int64_t seen = 0;
        QString told;
        c.window->watchCombination = [&](std::int64_t done, std::int64_t) {
            seen = done;
            auto* progress = c.window->findChild<QProgressDialog*>();
            told = progress->labelText();
            if (done == after)
                progress->cancel();
            return true;
        };
        c.run("4:12:2", "4:12:2");
        QCOMPARE(seen, static_cast<std::int64_t>(after));
        QVERIFY2(told.startsWith(QString("조합 25개 중 %1개, 남은 시간 약 ").arg(after)), qPrintable(told));
        QCOMPARE(files(c.dir.path()), before);
        if (earlier)
            QCOMPARE(c.dir.read("sweep.csv"), std::string("an earlier sweep\r\n"));
        QCOMPARE(c.messages.shown, std::vector<std::string>{"비교를 취소했습니다. sweep.csv는 그대로입니다."});
        QVERIFY(!c.window->exportButton->isEnabled());
    }
};

QTEST_MAIN(CompareDlgTest)
#include "CompareDlgTest.moc"
