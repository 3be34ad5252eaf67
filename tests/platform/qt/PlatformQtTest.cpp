// The Qt platform pieces: templates, the name-entry and progress windows.

#include "mainform/RangeTableDlgIds.h"
#include "mainform/SimulationDlgIds.h"
#include "platform/qt/CNameInputDlg.h"
#include "platform/qt/CProgressDlg.h"
#include "platform/qt/DialogTemplate.h"
#include "platform/qt/NameInputDlgIds.h"
#include "platform/qt/ProgressDlgIds.h"
#include "platform/qt/QtSinks.h"

#include "platform/core/Format.h"
#include "platform/core/TextFile.h"
#include "platform/qt/Application.h"
#include "support/Recorders.h"

#include <QCalendarWidget>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <clocale>

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

    // The windows speak Korean whatever the system's language (the test runs under C.UTF-8):
    // month and day names, the date pickers' calendar, and the message boxes' buttons.
    void windowsSpeakKorean()
    {
        QDateEdit picker;
        picker.setCalendarPopup(true);
        QCOMPARE(picker.calendarWidget()->locale().language(), QLocale::Korean);
        QCOMPARE(QLocale().monthName(3), QString("3월"));
        QCOMPARE(QLocale().dayName(1, QLocale::ShortFormat), QString("월"));

        QtMessageSink sink;
        QStringList buttons;
        QTimer::singleShot(0, [&buttons] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                for (QAbstractButton* b : box->buttons())
                    buttons << b->text();
                box->button(QMessageBox::Cancel)->click();
            }
        });
        QVERIFY(sink.show("삭제할까요?", IMessageSink::Buttons::OkCancel) == IMessageSink::Answer::Cancel);
        buttons.sort();
        QCOMPARE(buttons, QStringList({"취소", "확인"}));
    }

    // An exception thrown in a window's handler ends in one message, and the program goes on; the
    // number format of the C runtime stays the one the result files are written in.
    void exceptionsStopAtTheEventLoopAndNumbersStayC()
    {
        struct Throwing : QObject
        {
            bool event(QEvent*) override { throw FileTooLarge("ksp.txt", 65536); }
        } object;
        auto* app = static_cast<Application*>(QCoreApplication::instance());
        test::RecordingSink messages;
        app->setMessages(&messages);
        QEvent event(QEvent::User);
        QCOMPARE(QCoreApplication::sendEvent(&object, &event), false);
        app->setMessages(nullptr);
        QCOMPARE(messages.shown.size(), std::size_t(1));
        QVERIFY(messages.shown[0].find("ksp.txt") != std::string::npos);
        QCOMPARE(QString(std::setlocale(LC_NUMERIC, nullptr)), QString("C"));
        QCOMPARE(QString::fromStdString(format("%.2f", 812.34)), QString("812.34"));
    }
};

int main(int argc, char** argv)
{
    // The program's own application object, under a locale of the user's (Qt sets the C runtime's
    // locale from it; a German one would write decimals with a comma).
    setenv("LC_ALL", "C.UTF-8", 1);
    Application app(argc, argv);
    PlatformQtTest test;
    return QTest::qExec(&test, argc, argv);
}
#include "PlatformQtTest.moc"
