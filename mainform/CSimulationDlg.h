#pragma once
// The settings form: amounts, portfolio, trading conditions, period and yield statistics. Its
// values are one member per control, read from and written to the controls as a whole.

#include "engine/EffectiveSettings.h"
#include "engine/SimParams.h"
#include "platform/core/Folders.h"
#include "platform/core/Sinks.h"
#include "platform/qt/WindowServices.h"

#include <QDialog>
#include <QString>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

class QComboBox;
class QListWidget;

namespace kestrelan {

class CCompareDlg;
class FormBindings;
class INameInput;

/// What the form works with besides its controls.
struct FormServices : WindowServices
{
    /// Opens the results window on the files of a run that finished (group name, stock count).
    using OpenResults = std::function<void(const QString& groupName, int stockCount)>;

    FormServices(const WindowServices& common, IProgressSink& progress, std::filesystem::path resultFolder,
                 OpenResults openResults)
        : WindowServices(common)
        , progress(&progress)
        , resultFolder(std::move(resultFolder))
        , openResults(std::move(openResults))
    {
    }

    IProgressSink* progress;            // the progress window of the update and the run; never null
    std::filesystem::path handoffFile = kestrelan::handoffFile(); // the comparison's export
    std::filesystem::path resultFolder; // made at every start (~/SimResult)
    OpenResults openResults;            // never empty
};

class CSimulationDlg : public QDialog
{
    Q_OBJECT
public:
    explicit CSimulationDlg(FormServices services, QWidget* parent = nullptr);
    ~CSimulationDlg() override;

    /// The whole form into the values; false when a text did not parse (its prompt was shown).
    bool readForm();
    /// The values into the whole form.
    void writeForm();
    /// The run's settings as the values stand (the invest mode is the combo's selection).
    SimParams settings() const;
    /// The settings as a run goes by them, with this period (a date of 0: its default).
    EffectiveSettings effective(std::int32_t start, std::int32_t end) const;

    // The settings start from the run's defaults.
    static constexpr SimParams defaults{};

    // Values, in binding order. The lists and combos are bound as objects.
    QListWidget* portfolioList = nullptr;
    QComboBox* groupCombo = nullptr;
    QListWidget* stockList = nullptr;
    QComboBox* investModeCombo = nullptr;
    QComboBox* rulesCombo = nullptr; // "design", "krx" or a rules file typed or chosen
    std::int32_t startDate = 0;
    std::int32_t endDate = 0;
    std::uint32_t investAmount = defaultAmountFor(defaults.investMode);
    QString amountText;
    QString searchText;
    std::int32_t autoSet = defaults.autoSet;
    std::int32_t years = defaults.years;
    std::int32_t fundCadence = static_cast<std::int32_t>(defaults.fundCadence);
    std::int32_t yieldStats = defaults.yieldStats;
    std::int32_t riskProfile = static_cast<std::int32_t>(defaults.riskProfile);
    std::int32_t rangeLowPct = defaults.rangeLowPct;
    std::int32_t secondPct = defaults.secondPct;
    std::int32_t marginPct = defaults.marginPct;
    std::int32_t rangeHighPct = defaults.rangeHighPct;
    std::int32_t initialBuyPct = defaults.initialBuyPct;
    std::int32_t includeTax = defaults.includeTax;
    double commissionPct = defaults.commissionPct;
    std::int32_t dividends = 0; // the check as it stands; settings() passes -1 when it is the rules' default
    // Held, bound to no control.
    std::int32_t latestEndDate = 0;
    std::optional<std::int32_t> lastIndexDate; // kospi.lst's last date, when it could be read

private Q_SLOTS:
    void refreshAmountText();
    void investModeChanged();
    void autoSetClicked();
    void yieldStatsClicked();
    void startCalendarClosed();
    void endCalendarClosed();
    void openHelp();
    void showRangeTable();
    void addStock();
    void removeStock();
    void clearPortfolio();
    void search();
    void registerGroup();
    void deleteGroup();
    void loadGroup();
    void simulate();
    void compareConditions();
    void rulesChanged();
    void chooseRulesFile();

public:
    /// The portfolio's stock entries (CP949), in list order.
    std::vector<std::string> portfolioEntries() const;
    /// The group name the results window gets: the selected group without its padding, or "tmp".
    QString selectedGroupName() const;
    /// The rules as `run --rules` takes them: the combo's text without its blanks at either end.
    std::string chosenRules() const;
    /// Whether a run pays dividends when it is not told: under rules other than the default ones,
    /// when the market has dividends.csv.
    bool dividendsByDefault() const;

private:
    void startUp();
    void fillStockList();
    void fillGroupCombo();
    void setPortfolio(const std::vector<std::string>& entries);
    void bind();
    void connectControls();
    void setEnabled(std::initializer_list<int> ids, bool enabled);
    bool shareCountSelected() const;
    void focusOn(Setting setting);

    FormServices services;
    std::unique_ptr<FormBindings> bindings;
public:
    /// The condition-comparison window while it is open (for tests).
    std::unique_ptr<CCompareDlg> comparison;

private:
    bool refreshing = false;
    int listedCount = 0;
};

} // namespace kestrelan
