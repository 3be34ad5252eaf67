// kestrelan: the settings form; the program ends when it closes.
//   kestrelan --results   shows the results window on the result files in the current folder.
// KESTRELAN_SCREENSHOT=file.png saves pictures of the window once it is shown, then closes it
// (the results window saves one picture per view: file-0.png, file-1.png, file-2.png).

#include "mainform/CSimulationDlg.h"
#include "platform/core/Folders.h"
#include "platform/qt/AppIcon.h"
#include "platform/qt/CNameInputDlg.h"
#include "platform/qt/CProgressDlg.h"
#include "platform/qt/QtSinks.h"
#include "results/CResultDlg.h"

#include <QApplication>
#include <QRadioButton>
#include <QTimer>

namespace {

void screenshotLater(QDialog& window, const QString& path, std::function<void()> more = {})
{
    QTimer::singleShot(800, &window, [&window, path, more] {
        window.grab().save(path);
        if (more)
            more();
        window.done(0);
    });
}

int showResults(const kestrelan::ResultServices& services, const QString& screenshot)
{
    kestrelan::CResultDlg results(services);
    results.groupName = "tmp";
    if (!screenshot.isEmpty()) {
        auto* dialog = &results;
        screenshotLater(results, screenshot + "-0.png", [dialog, screenshot] {
            for (int view : {1, 2}) {
                auto* button = dialog->findChild<QRadioButton*>(QString::number(view == 1 ? 1001 : 1101));
                if (!button->isEnabled())
                    continue;
                button->click();
                QApplication::processEvents();
                dialog->grab().save(screenshot + QString("-%1.png").arg(view));
            }
        });
    }
    results.exec();
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    app.setApplicationName("Kestrelan");
    app.setWindowIcon(kestrelan::applicationIcon());
    kestrelan::QtMessageSink messages;
    kestrelan::QtShell shell;
    kestrelan::DialogNameInput names;
    const QString screenshot = qEnvironmentVariable("KESTRELAN_SCREENSHOT");

    kestrelan::WindowServices common;
    common.messages = &messages;
    common.shell = &shell;
    common.names = &names;
    common.workDir = kestrelan::workingFolder();
    common.programDir = kestrelan::programFolder();

    if (app.arguments().contains("--results")) {
        kestrelan::ResultServices services;
        static_cast<kestrelan::WindowServices&>(services) = common;
        services.homeDir = kestrelan::homeFolder();
        return showResults(services, screenshot);
    }

    kestrelan::QtProgress progress;
    kestrelan::FormServices services;
    static_cast<kestrelan::WindowServices&>(services) = common;
    services.progress = &progress;
    services.resultFolder = kestrelan::homeFolder() / "SimResult";
    kestrelan::CSimulationDlg form(services);
    if (!screenshot.isEmpty())
        screenshotLater(form, screenshot);
    form.exec();
    return 0;
}
