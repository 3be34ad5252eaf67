// The Qt platform pieces: templates, the name-entry and progress windows.

#include "mainform/RangeTableDlgIds.h"
#include "mainform/SimulationDlgIds.h"
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
};

QTEST_MAIN(PlatformQtTest)
#include "PlatformQtTest.moc"
