// kestrelan: the settings form; the program ends when it closes.
//   kestrelan --results [DIR]   shows the results window on the result files in DIR (by default
//   the current folder).
// The form works in the current folder when it holds a market, else in ~/Kestrelan, which it
// offers to give the sample market or the user's CSV files when it has none (MarketStart.h).
// KESTRELAN_SCREENSHOT=file.png saves pictures of the window once it is shown, then closes it
// (the results window saves one picture per view: file-0.png, file-1.png, file-2.png, and of
// its list of kept runs: file-runs.png, file-runs-compared.png; the form, of its condition
// comparison: file-compare.png).

#include "app/MarketStartWindow.h"
#include "mainform/CCompareDlg.h"
#include "mainform/CSimulationDlg.h"
#include "mainform/SimulationDlgIds.h"
#include "platform/core/Folders.h"
#include "platform/qt/Application.h"
#include "platform/qt/CNameInputDlg.h"
#include "platform/qt/CProgressDlg.h"
#include "platform/qt/DialogTemplate.h"
#include "platform/qt/QtSinks.h"
#include "resources/AppIcon.h"
#include "results/CPastRunsDlg.h"
#include "results/CResultDlg.h"
#include "results/ResultDlgIds.h"
#include "tools/ProgramSpecs.h"

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QRadioButton>
#include <QTimer>
#include <filesystem>
#include <functional>
#include <iostream>

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

// The results window on the result files in the working folder, closed by its close box only;
// `handOver` gives it the group name and the stock count.
void showResults(const kestrelan::ResultServices& services, const std::function<void(kestrelan::CResultDlg&)>& handOver,
                 const QString& screenshot = {})
{
    kestrelan::CResultDlg results(services);
    handOver(results);
    if (!screenshot.isEmpty()) {
        auto* dialog = &results;
        screenshotLater(results, screenshot + "-0.png", [dialog, screenshot] {
            const int views[] = {kestrelan::resultIds::summaryView, kestrelan::resultIds::yieldView,
                                 kestrelan::resultIds::stockView, kestrelan::resultIds::statsView};
            for (int view : {1, 2, 3}) {
                auto* button = kestrelan::control<QRadioButton>(*dialog, views[view]);
                if (!button->isEnabled())
                    continue;
                button->click();
                QApplication::processEvents();
                dialog->grab().save(screenshot + QString("-%1.png").arg(view));
            }
            // The runs kept: the list, and its two newest side by side.
            kestrelan::control<QPushButton>(*dialog, kestrelan::resultIds::pastRuns)->click();
            QApplication::processEvents();
            if (kestrelan::CPastRunsDlg* past = dialog->pastRunsWindow.get()) {
                past->grab().save(screenshot + "-runs.png");
                if (past->runList->topLevelItemCount() >= 2) {
                    past->runList->topLevelItem(1)->setSelected(true);
                    past->compareChosen();
                    QApplication::processEvents();
                    past->comparison->grab().save(screenshot + "-runs-compared.png");
                    past->comparison->close();
                }
                past->close();
            }
        });
    }
    results.exec();
}

int run(kestrelan::QtMessageSink& messages, bool resultsOnly);

} // namespace

int main(int argc, char** argv)
{
    int status = 0; // --help, --version and a command line that cannot be read answer without a display
    const auto request = kestrelan::readDesktopCommandLine(std::vector<std::string>(argv + 1, argv + argc), std::cout,
                                                           std::cerr, status);
    if (!request)
        return status;
    if (!request->resultFolder.empty())
        std::filesystem::current_path(request->resultFolder);
    kestrelan::Application app(argc, argv);
    app.setApplicationName("Kestrelan");
    app.setDesktopFileName("org.kestrelan.Kestrelan");
    app.setWindowIcon(kestrelan::applicationIcon());
    kestrelan::QtMessageSink messages;
    app.setMessages(&messages);
    try {
        return run(messages, request->resultsOnly);
    } catch (const std::exception& e) {
        // What stops the program before its event loop (the form's start-up) ends in one message.
        static_cast<kestrelan::IMessageSink&>(messages).show(kestrelan::Application::messageFor(e));
        return 1;
    }
}

namespace {

int run(kestrelan::QtMessageSink& messages, bool resultsOnly)
{
    if (!resultsOnly) {
        kestrelan::MarketStartWindow questions;
        const auto folder = kestrelan::desktopWorkingFolder(kestrelan::workingFolder(), kestrelan::marketHomeFolder(),
                                                            questions, messages);
        if (!folder)
            return 0;
        std::filesystem::current_path(*folder);
    }
    kestrelan::QtShell shell;
    kestrelan::DialogNameInput names;
    const QString screenshot = qEnvironmentVariable("KESTRELAN_SCREENSHOT");

    const kestrelan::WindowServices common(messages, shell, names, kestrelan::workingFolder(),
                                           kestrelan::programFolder());
    // The export writes its workbooks into the folder the form makes at every start.
    const std::filesystem::path resultFolder = kestrelan::simResultFolder();
    const kestrelan::ResultServices resultServices(common, kestrelan::handoffFile(), resultFolder);

    if (resultsOnly) {
        showResults(
            resultServices, [](kestrelan::CResultDlg& results) { results.takeNamesFromResultFiles(); }, screenshot);
        return 0;
    }

    kestrelan::QtProgress progress;
    const kestrelan::FormServices services(common, progress, resultFolder,
                                           [&resultServices](const QString& groupName, int stockCount) {
                                               showResults(resultServices, [&](kestrelan::CResultDlg& results) {
                                                   results.groupName = groupName;
                                                   results.stockCount = stockCount;
                                               });
                                           });
    kestrelan::CSimulationDlg form(services);
    if (!screenshot.isEmpty())
        screenshotLater(form, screenshot, [&form, screenshot] {
            // The condition comparison of the form's portfolio: 25 combinations of the margin and
            // the second condition over monthly funds, chosen on one span and judged on the next.
            namespace ids = kestrelan::simulationIds;
            for (const char* typed : {"005930", "005930 ", "035420", "035420 ", "016360", "016360 "})
                kestrelan::control<QLineEdit>(form, ids::searchText)->setText(typed);
            kestrelan::control<QCheckBox>(form, ids::yieldStats)->click();
            kestrelan::control<QRadioButton>(form, ids::cadenceMonthly)->click();
            kestrelan::control<QPushButton>(form, ids::compareConditions)->click();
            if (kestrelan::CCompareDlg* compare = form.comparison.get()) {
                compare->chooseSpan->setText("2000-01-01:2003-06-30");
                compare->judgeSpan->setText("2003-07-01:2006-11-30");
                compare->runComparison();
                QApplication::processEvents();
                compare->grab().save(QString(screenshot).replace(".png", "-compare.png"));
                compare->close();
            }
        });
    form.exec();
    return 0;
}

} // namespace
