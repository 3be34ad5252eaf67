// kestrelan: the settings form; the program ends when it closes.

#include "mainform/CSimulationDlg.h"
#include "platform/core/Folders.h"
#include "platform/qt/CNameInputDlg.h"
#include "platform/qt/QtSinks.h"

#include <QApplication>
#include <QTimer>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    app.setApplicationName("Kestrelan");
    kestrelan::QtMessageSink messages;
    kestrelan::QtShell shell;
    kestrelan::DialogNameInput names;
    kestrelan::FormServices services;
    services.messages = &messages;
    services.shell = &shell;
    services.names = &names;
    services.workDir = kestrelan::workingFolder();
    services.programDir = kestrelan::programFolder();
    kestrelan::CSimulationDlg form(services);
    // KESTRELAN_SCREENSHOT=file.png: save a picture of the form once it is shown, then close.
    const QString screenshot = qEnvironmentVariable("KESTRELAN_SCREENSHOT");
    if (!screenshot.isEmpty()) {
        QTimer::singleShot(800, &form, [&form, screenshot] {
            form.grab().save(screenshot);
            form.reject();
        });
    }
    form.exec();
    return 0;
}
