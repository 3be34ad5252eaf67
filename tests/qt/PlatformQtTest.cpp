// The Qt platform pieces: templates, the name-entry and progress windows, the form's pure rules.

#include "engine/RangeTable.h"
#include "mainform/RangeTableDlgIds.h"
#include "mainform/SimulationDlgIds.h"
#include "mainform/core/FormLogic.h"
#include "mainform/core/RangeTableCells.h"
#include "platform/qt/CNameInputDlg.h"
#include "platform/qt/CProgressDlg.h"
#include "platform/qt/DialogTemplate.h"
#include "platform/qt/NameInputDlgIds.h"
#include "platform/qt/ProgressDlgIds.h"

#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>

using namespace kestrelan;

class PlatformQtTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void templatesParse()
    {
        const DialogSpec spec = parseDialogSpec("# comment\ndialog\t7\t0\t0\t100\t50\t-\tTitle\n"
                                                "12\tedit\t1\t2\t30\t12\tcenter|disabled\t\n"
                                                "-\tstatic\t1\t20\t30\t8\t-\tA\tB\n");
        QCOMPARE(spec.id, 7);
        QCOMPARE(spec.title, QString("Title"));
        QCOMPARE(spec.controls.size(), 2u);
        QVERIFY(spec.controls[0].disabled && spec.controls[0].centered);
        QCOMPARE(spec.controls[1].id, -1);
        QCOMPARE(spec.controls[1].caption, QString("A\tB"));
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, parseDialogSpec("dialog\t1\t0\t0\tx\t5\t-\tT\n"));
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, parseDialogSpec("1\tknob\t0\t0\t5\t5\t-\t\n"));
        for (int id : {simulationIds::dialog, nameInputIds::dialog, progressIds::dialog, rangeTableIds::dialog})
            QCOMPARE(loadDialogSpec(id).id, id);
    }

    void dialogUnitsFollowTheFont()
    {
        const DialogUnits units(dialogFont());
        QVERIFY(units.x(4) > 0);
        QVERIFY(units.y(8) >= QFontMetrics(dialogFont()).height() - 1);
        QCOMPARE(units.toPixels(QRect(0, 0, 4, 8)), QRect(0, 0, units.x(4), units.y(8)));
    }

    void nameEntryEnterPressesOk()
    {
        CNameInputDlg dialog;
        dialog.promptText = "저장할 그룹명칭 입력";
        dialog.enteredText = "tmp";
        QTimer::singleShot(0, &dialog, [&dialog] {
            QCOMPARE(control<QLabel>(dialog, nameInputIds::prompt)->text(), QString("저장할 그룹명칭 입력"));
            auto* edit = control<QLineEdit>(dialog, nameInputIds::name);
            edit->setText("우량주");
            QTest::keyClick(edit, Qt::Key_Return);
        });
        QCOMPARE(dialog.exec(), int(QDialog::Accepted));
        QCOMPARE(dialog.enteredText, QString("우량주"));
    }

    void nameEntryCancelKeepsTheProposal()
    {
        CNameInputDlg dialog;
        dialog.enteredText = "tmp";
        QTimer::singleShot(0, &dialog, [&dialog] {
            control<QLineEdit>(dialog, nameInputIds::name)->setText("changed");
            control<QPushButton>(dialog, nameInputIds::cancel)->click();
        });
        QCOMPARE(dialog.exec(), int(QDialog::Rejected));
        QCOMPARE(dialog.enteredText, QString("tmp"));
    }

    void progressShowsItsTextAndIgnoresClosing()
    {
        QtProgress progress;
        progress.begin("주가 Data Update중입니다....");
        CProgressDlg* window = progress.window();
        QVERIFY(window->isVisible());
        QCOMPARE(control<QLabel>(*window, progressIds::status)->text(), QString("주가 Data Update중입니다...."));
        progress.setPosition(42);
        QCOMPARE(window->bar()->value(), 42);
        window->close();
        QTest::keyClick(window, Qt::Key_Escape);
        QVERIFY(window->isVisible());
        progress.end();
        QVERIFY(progress.window() == nullptr);
        progress.end(); // a second end releases nothing twice
    }

    void amountText_data()
    {
        QTest::addColumn<uint>("amount");
        QTest::addColumn<QString>("text");
        QTest::newRow("0") << 0u << "원";
        QTest::newRow("9999") << 9999u << "원";
        QTest::newRow("12345") << 12345u << "1만원";
        QTest::newRow("99999999") << 99999999u << "9999만원";
        QTest::newRow("150000000") << 150000000u << "1억5000만원";
        QTest::newRow("2000000000") << 2000000000u << "20억원";
    }
    void amountText()
    {
        QFETCH(uint, amount);
        QFETCH(QString, text);
        QCOMPARE(QString::fromStdString(kestrelan::amountText(amount)), text);
    }

    void rangeTableCells()
    {
        const auto cells = kestrelan::rangeTableCells(
            parseRangeTable("0\t500\t1\t2\t3\n1000\t0\t4\t5\t6\n700\t800\t7\t8\t9\n0\t0\n\n", 100), 0);
        QCOMPARE(cells.size(), 5u);
        QCOMPARE(QString::fromStdString(cells[0][0]), QString("500 이하"));
        QCOMPARE(QString::fromStdString(cells[1][0]), QString("1000 이상"));
        QCOMPARE(QString::fromStdString(cells[2][0]), QString("700 ~ 800"));
        QCOMPARE(QString::fromStdString(cells[2][1]), QString("7%"));
        QCOMPARE(QString::fromStdString(cells[2][2]), QString("8% ~ 9%"));
        QCOMPARE(QString::fromStdString(cells[3][0]), QString("0 이상"));
        // An empty last line: field 1 empty, the rest from the line before.
        QCOMPARE(QString::fromStdString(cells[4][0]), QString("0 이상"));
        QCOMPARE(QString::fromStdString(cells[4][1]), QString("7%"));
    }
};

QTEST_MAIN(PlatformQtTest)
#include "PlatformQtTest.moc"
