#include "mainform/CSimulationDlg.h"

#include "engine/CSimEngine.h"
#include "engine/EngineError.h"
#include "engine/MarketAccess.h"
#include "engine/MarketData.h"
#include "engine/MarketRules.h"
#include "engine/MarketUpdate.h"
#include "engine/Portfolio.h"
#include "engine/RunInputs.h"
#include "formats/DividendsCsv.h"
#include "mainform/CCompareDlg.h"
#include "mainform/CRangeTableDlg.h"
#include "mainform/SimulationDlgIds.h"
#include "mainform/core/FormLogic.h"
#include "mainform/core/Groups.h"
#include "mainform/core/StockSearch.h"
#include "platform/core/FolderLock.h"
#include "platform/core/Folders.h"
#include "platform/core/Text.h"
#include "platform/qt/Bindings.h"
#include "platform/qt/CNameInputDlg.h"
#include "platform/qt/DialogTemplate.h"
#include "platform/qt/EnterAsTab.h"
#include "platform/qt/QtText.h"

#include <QCalendarWidget>

#include <QCheckBox>
#include <QComboBox>
#include <QDate>
#include <QDateEdit>
#include <QEvent>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>

#include <algorithm>

namespace kestrelan {

namespace {

QByteArray bytesOf(const std::string& s) { return QByteArray(s.data(), static_cast<qsizetype>(s.size())); }

std::string entryOf(const QListWidgetItem* item)
{
    const QByteArray b = item->data(Qt::UserRole).toByteArray();
    return std::string(b.constData(), static_cast<std::size_t>(b.size()));
}

// A stock entry or a portfolio line as a list shows it: without the blanks that pad its name, so
// that only a name too long for the list ends in "…".
QString listLine(const std::string& cp949)
{
    QString text = cp949ToQString(cp949);
    while (!text.isEmpty() && text.back() == QChar(' '))
        text.chop(1);
    return text;
}

std::int32_t toInt(const QDate& d) { return d.year() * 10000 + d.month() * 100 + d.day(); }

// Calls back when a date picker's drop-down calendar closes.
class CalendarClosed : public QObject
{
public:
    CalendarClosed(QDateEdit* edit, std::function<void()> closed)
        : QObject(edit)
        , closed(std::move(closed))
    {
        edit->calendarWidget()->installEventFilter(this);
    }
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Hide)
            closed();
        return false;
    }

private:
    std::function<void()> closed;
};

} // namespace

CSimulationDlg::CSimulationDlg(FormServices s, QWidget* parent)
    : QDialog(parent)
    , services(std::move(s))
{
    buildDialog(*this, loadDialogSpec(simulationIds::dialog));
    portfolioList = control<QListWidget>(*this, simulationIds::portfolioList);
    groupCombo = control<QComboBox>(*this, simulationIds::groupCombo);
    stockList = control<QListWidget>(*this, simulationIds::stockList);
    investModeCombo = control<QComboBox>(*this, simulationIds::investModeCombo);
    rulesCombo = control<QComboBox>(*this, simulationIds::rulesCombo);
    const std::int32_t today = toInt(QDate::currentDate());
    startDate = endDate = today;
    amountText = fromUtf8(kestrelan::amountText(investAmount));
    bind();
    writeForm(); // the defaults, as the dialog framework writes them before start-up
    connectControls();
    EnterAsTab::install(*this);
    startUp();
}

CSimulationDlg::~CSimulationDlg() = default;

void CSimulationDlg::bind()
{
    bindings = std::make_unique<FormBindings>(*this, *services.messages);
    FormBindings& b = *bindings;
    b.date(simulationIds::startDate, startDate);
    b.date(simulationIds::endDate, endDate);
    // A share count above the limit is refused like a text that is no count; won amounts are cut
    // to their limit as they are typed.
    b.unsignedNumber(simulationIds::investAmount, investAmount,
                     [this](std::uint32_t v) { return !shareCountSelected() || v <= amountLimit(InvestMode::ShareCount); });
    b.text(simulationIds::amountText, amountText);
    b.text(simulationIds::searchText, searchText);
    b.check(simulationIds::autoSet, autoSet);
    b.integer(simulationIds::years, years);
    b.radio(simulationIds::cadenceThrice, fundCadence);
    b.check(simulationIds::yieldStats, yieldStats);
    b.radio(simulationIds::riskAggressive, riskProfile);
    b.integer(simulationIds::rangeLowPct, rangeLowPct);
    b.integer(simulationIds::secondPct, secondPct);
    b.integer(simulationIds::marginPct, marginPct);
    b.integer(simulationIds::rangeHighPct, rangeHighPct);
    b.integer(simulationIds::initialBuyPct, initialBuyPct);
    b.check(simulationIds::includeTax, includeTax);
    b.number(simulationIds::commissionPct, commissionPct);
    b.check(simulationIds::dividends, dividends);
}

void CSimulationDlg::connectControls()
{
    auto clicked = [this](int id, void (CSimulationDlg::*slot)()) {
        connect(control<QAbstractButton>(*this, id), &QAbstractButton::clicked, this, slot);
    };
    connect(control<QLineEdit>(*this, simulationIds::investAmount), &QLineEdit::textChanged, this,
            &CSimulationDlg::refreshAmountText);
    connect(investModeCombo, &QComboBox::currentIndexChanged, this, &CSimulationDlg::investModeChanged);
    clicked(simulationIds::help, &CSimulationDlg::openHelp);
    clicked(simulationIds::autoSet, &CSimulationDlg::autoSetClicked);
    clicked(simulationIds::yieldStats, &CSimulationDlg::yieldStatsClicked);
    clicked(simulationIds::showRangeTable, &CSimulationDlg::showRangeTable);
    clicked(simulationIds::addStock, &CSimulationDlg::addStock);
    clicked(simulationIds::removeStock, &CSimulationDlg::removeStock);
    clicked(simulationIds::clearPortfolio, &CSimulationDlg::clearPortfolio);
    clicked(simulationIds::compareConditions, &CSimulationDlg::compareConditions);
    clicked(simulationIds::registerGroup, &CSimulationDlg::registerGroup);
    clicked(simulationIds::deleteGroup, &CSimulationDlg::deleteGroup);
    clicked(simulationIds::simulate, &CSimulationDlg::simulate);
    clicked(simulationIds::rulesFile, &CSimulationDlg::chooseRulesFile);
    connect(rulesCombo, &QComboBox::currentTextChanged, this, &CSimulationDlg::rulesChanged);
    connect(stockList, &QListWidget::itemDoubleClicked, this, &CSimulationDlg::addStock);
    connect(portfolioList, &QListWidget::itemDoubleClicked, this, &CSimulationDlg::removeStock);
    connect(control<QLineEdit>(*this, simulationIds::searchText), &QLineEdit::textChanged, this,
            &CSimulationDlg::search);
    connect(groupCombo, &QComboBox::activated, this, &CSimulationDlg::loadGroup);
    new CalendarClosed(control<QDateEdit>(*this, simulationIds::startDate), [this] { startCalendarClosed(); });
    new CalendarClosed(control<QDateEdit>(*this, simulationIds::endDate), [this] { endCalendarClosed(); });
}

// The form's opening: the results folder, the invest modes, the default period from kospi.lst,
// the stock list and the groups, and a pending market-data update. (Registering a chart
// control, which the first platform needed, has nothing to do here.)
void CSimulationDlg::startUp()
{
    {
        std::error_code ec; // an error (the folder exists, or cannot be made) is ignored
        std::filesystem::create_directories(services.resultFolder, ec);
    }
    {
        const QSignalBlocker block(investModeCombo);
        for (const SettingWord& mode : setting::investMode.words)
            investModeCombo->addItem(fromUtf8(std::string(mode.text)));
        investModeCombo->setCurrentIndex(static_cast<int>(defaults.investMode));
    }
    {
        const QSignalBlocker block(rulesCombo);
        rulesCombo->addItem(fromUtf8(std::string(rulesName::design)));
        rulesCombo->setItemData(0, "매도세 0.3%와 한 호가단위표 (기본값)", Qt::ToolTipRole);
        rulesCombo->addItem(fromUtf8(std::string(rulesName::krx)));
        rulesCombo->setItemData(1, "날짜별 한국 시장 규칙: 매도세는 결제일의 세율, 호가단위는 그날의 표 (rules-krx.csv)",
                                Qt::ToolTipRole);
        rulesCombo->setCurrentIndex(0);
        rulesCombo->setToolTip("design, krx 또는 같은 형식의 규칙 파일");
        control<QCheckBox>(*this, simulationIds::dividends)
            ->setToolTip("시장의 dividends.csv의 배당을 배당락일에 현금에 넣습니다");
    }
    // The market held exclusively from before its files are read to the end of the update merge:
    // an import that a kill interrupted is finished or undone first. Held elsewhere, the form
    // reads the files as they are and the merge waits for the next start.
    const MarketFolders market = marketFolders(services.workDir, services.programDir, false);
    const MarketAccess holding = MarketAccess::open(market, LockMode::Exclusive);
    std::string problem;
    if (const auto date = readLastIndexDate(services.workDir / "kospi.lst", &problem)) {
        lastIndexDate = *date;
        if (!problem.empty())
            services.messages->show(problem);
    } else {
        services.messages->show("kospi.lst 파일이 없거나 손상되어 오늘 날짜로 기본 기간을 정합니다.");
        lastIndexDate = toInt(QDate::currentDate());
    }
    const EffectiveSettings period = effective(0, 0);
    startDate = period.params.startDate;
    endDate = latestEndDate = period.params.endDate;
    writeForm();
    fillStockList();
    fillGroupCombo();
    std::error_code ec;
    const auto codeSize = std::filesystem::file_size(services.workDir / "code.lst", ec);
    listedCount = ec ? 0 : static_cast<int>(codeSize / codeRecordSize);
    mergeUpdate(services.workDir, market.prices, listedCount, *services.progress, *services.messages);
    rulesChanged();
}

void CSimulationDlg::fillStockList()
{
    stockList->clear();
    for (const auto& entry : loadCodeList(services.workDir / "code.lst").value_or(std::vector<std::string>{})) {
        auto* item = new QListWidgetItem(listLine(entry), stockList);
        item->setData(Qt::UserRole, bytesOf(entry));
    }
}

void CSimulationDlg::fillGroupCombo()
{
    const QSignalBlocker block(groupCombo);
    groupCombo->clear();
    for (const auto& name : readGroupNames(services.workDir))
        groupCombo->addItem(cp949ToQString(name), bytesOf(name));
    groupCombo->setCurrentIndex(-1);
    groupCombo->setEditText({});
}

std::vector<std::string> CSimulationDlg::portfolioEntries() const
{
    std::vector<std::string> entries;
    for (int i = 0; i < portfolioList->count(); ++i)
        entries.push_back(entryOf(portfolioList->item(i)));
    return entries;
}

void CSimulationDlg::setPortfolio(const std::vector<std::string>& entries)
{
    portfolioList->clear();
    for (const auto& entry : entries) {
        const int position = portfolioList->count() + 1;
        auto* item = new QListWidgetItem(listLine(portfolioLine(position, entry)), portfolioList);
        item->setData(Qt::UserRole, bytesOf(entry));
    }
}

QString CSimulationDlg::selectedGroupName() const
{
    if (groupCombo->currentIndex() < 0)
        return "tmp";
    QString name = groupCombo->itemText(groupCombo->currentIndex());
    while (!name.isEmpty() && name.back().isSpace())
        name.chop(1);
    return name;
}

void CSimulationDlg::addStock()
{
    QListWidgetItem* chosen = stockList->currentItem();
    if (!chosen || !chosen->isSelected())
        return;
    if (portfolioList->count() >= maxStocks) {
        services.messages->show("50종목까지만 가능합니다.");
        return;
    }
    auto entries = portfolioEntries();
    entries.push_back(entryOf(chosen));
    setPortfolio(entries);
    searchText.clear();
    writeForm();
}

void CSimulationDlg::removeStock()
{
    const int chosen = portfolioList->currentRow();
    if (chosen < 0 || !portfolioList->item(chosen)->isSelected())
        return;
    auto entries = portfolioEntries();
    entries.erase(entries.begin() + chosen);
    setPortfolio(entries);
    writeForm();
}

void CSimulationDlg::clearPortfolio()
{
    portfolioList->clear();
    groupCombo->setCurrentIndex(-1);
    groupCombo->setEditText({});
}

void CSimulationDlg::search()
{
    readForm();
    const std::string typed(trimLeft(qstringToCp949(searchText).value_or(std::string())));
    searchText = cp949ToQString(typed);
    std::vector<std::string> stocks;
    for (int i = 0; i < stockList->count(); ++i)
        stocks.push_back(entryOf(stockList->item(i)));
    const bool selected = stockList->currentItem() && stockList->currentItem()->isSelected();
    const SearchStep step = searchStocks(typed, stocks, selected);
    switch (step.kind) {
    case SearchStep::Nothing: break;
    case SearchStep::AddSelected:
        addStock();
        searchText.clear();
        writeForm();
        break;
    case SearchStep::CutToSix:
        searchText = cp949ToQString(step.text);
        writeForm();
        break;
    case SearchStep::Select:
        stockList->setCurrentRow(step.index);
        stockList->scrollToItem(stockList->item(step.index));
        if (typed.size() == 6 && typed[0] >= '0' && typed[0] <= '9')
            writeForm();
        break;
    }
}

void CSimulationDlg::registerGroup()
{
    readForm();
    if (portfolioList->count() > maxStocks) {
        services.messages->show(tooManyStocksMessage);
        return;
    }
    if (portfolioList->count() == 0)
        return;
    const auto typed = services.names->ask("저장할 그룹명칭 입력", {});
    if (!typed || typed->isEmpty())
        return;
    const auto name = qstringToCp949(*typed);
    if (!name) {
        services.messages->show("그룹명에 쓸 수 없는 문자가 있습니다. 한글, 영문, 숫자로 입력하세요.");
        return;
    }
    if (const char* problem
        = groupResultMessage(kestrelan::registerGroup(services.workDir, *name, portfolioEntries()))) {
        services.messages->show(problem);
        return;
    }
    fillGroupCombo();
}

void CSimulationDlg::deleteGroup()
{
    readForm();
    const int chosen = groupCombo->currentIndex();
    if (chosen < 0)
        return;
    if (services.messages->show("정말로 삭제할까요?", IMessageSink::Buttons::OkCancel) != IMessageSink::Answer::Ok)
        return;
    const QByteArray name = groupCombo->itemData(chosen).toByteArray();
    if (const char* problem = groupResultMessage(kestrelan::deleteGroup(
            services.workDir, std::string(name.constData(), static_cast<std::size_t>(name.size())))))
        services.messages->show(problem);
    fillGroupCombo();
    portfolioList->clear();
}

void CSimulationDlg::loadGroup()
{
    const int chosen = groupCombo->currentIndex();
    portfolioList->clear();
    if (chosen < 0)
        return;
    const QByteArray name = groupCombo->itemData(chosen).toByteArray();
    setPortfolio(
        kestrelan::loadGroup(services.workDir, std::string(name.constData(), static_cast<std::size_t>(name.size()))));
}

// A run starts only on what the form shows: a field that does not read stops it, as do settings
// that could give no result.
void CSimulationDlg::simulate()
{
    if (!readForm())
        return;
    if (portfolioList->count() == 0) {
        services.messages->show("시뮬레이션 종목을 골라주세요.");
        return;
    }
    // The period as the run takes it: a start typed before the earliest one snaps to it here too.
    const SimParams params = effective(startDate, endDate).params;
    if (params.startDate != startDate) {
        startDate = params.startDate;
        writeForm();
    }
    for (const auto& problem : {validate(params), validatePeriod(params), validateAmount(investAmount)}) {
        if (problem) {
            services.messages->show(problem->message);
            focusOn(problem->setting);
            return;
        }
    }
    if (params.rules.empty()) {
        services.messages->show("시장 규칙에 design, krx 또는 규칙 파일을 입력하세요.");
        rulesCombo->setFocus();
        return;
    }
    // Rules that do not read are said with their file and line before anything is written; the
    // run reads them again, as the command line's run does.
    MarketRules rules;
    try {
        rules = loadRules(params.rules, dataFolder());
    } catch (const EngineError& e) {
        services.messages->show(e.what());
        rulesCombo->setFocus();
        return;
    }
    // A margin that does not pay for a round trip runs as asked, once the user has read so.
    if (const auto note = marginBelowCostsNote(params, rules, params.startDate, params.endDate))
        services.messages->show(*note);
    // The folder is this run's from SimItem.lst to the last result file.
    auto lock = FolderLock::tryAcquire(services.workDir);
    if (!lock) {
        services.messages->show(folderBusyMessage);
        return;
    }
    auto* button = control<QPushButton>(*this, simulationIds::simulate);
    button->setEnabled(false);
    if (!writeSimItems(services.workDir, portfolioEntries(), static_cast<int>(params.investMode), investAmount)) {
        button->setEnabled(true);
        services.messages->show(
            "SimItem.lst 파일을 만들 수 없습니다. 폴더의 쓰기 권한과 남은 디스크 공간을 확인하세요.");
        return;
    }
    RunContext context;
    context.workDir = services.workDir;
    context.programDir = marketPriceFolder(services.workDir, services.programDir);
    context.messages = services.messages;
    context.progress = services.progress;
    RunResult result;
    {
        CSimEngine engine(context);
        result = engine.runSimulation(params);
    }
    button->setEnabled(true);
    if (!result.finished())
        return;   // the run said what stopped it; the form keeps its values
    lock.reset(); // the results window reads, and exports, with the folder free
    services.openResults(selectedGroupName(), portfolioList->count());
}

// The condition-comparison window over the form's settings and portfolio; a combination chosen
// there comes back into the form's fields.
void CSimulationDlg::compareConditions()
{
    if (!readForm())
        return;
    if (portfolioList->count() == 0) {
        services.messages->show("시뮬레이션 종목을 골라주세요.");
        return;
    }
    ComparisonRequest request;
    request.settings = settings();
    for (const auto& entry : portfolioEntries())
        request.codes.emplace_back(entryCode(entry));
    request.amount = investAmount;
    comparison = std::make_unique<CCompareDlg>(
        CompareServices(services, services.handoffFile, services.resultFolder), request, selectedGroupName(),
        [this](const std::vector<std::pair<const SettingSpec*, std::int32_t>>& values) {
            for (const auto& [spec, v] : values) {
                std::int32_t* field = spec == &setting::margin       ? &marginPct
                                    : spec == &setting::second       ? &secondPct
                                    : spec == &setting::rangeLow     ? &rangeLowPct
                                    : spec == &setting::rangeHigh    ? &rangeHighPct
                                    : spec == &setting::initialBuy   ? &initialBuyPct
                                    : spec == &setting::riskProfile  ? &riskProfile
                                                                     : nullptr;
                if (field)
                    *field = v;
            }
            writeForm();
        },
        this);
    comparison->open();
}

bool CSimulationDlg::readForm() { return bindings->read(); }

// The control of the setting a message was about gets the focus, its text selected.
void CSimulationDlg::focusOn(Setting setting)
{
    int id = simulationIds::startDate;
    switch (setting) {
    case Setting::InvestMode: id = simulationIds::investModeCombo; break;
    case Setting::FundCadence: id = simulationIds::cadenceThrice; break;
    case Setting::Margin: id = simulationIds::marginPct; break;
    case Setting::RiskProfile: id = simulationIds::riskAggressive; break;
    case Setting::Commission: id = simulationIds::commissionPct; break;
    case Setting::Period: id = simulationIds::startDate; break;
    case Setting::Amount: id = simulationIds::investAmount; break;
    }
    QWidget* field = control<QWidget>(*this, id);
    field->setFocus();
    if (auto* edit = qobject_cast<QLineEdit*>(field))
        edit->selectAll();
}

// Values pass as they stand: disabled controls too (the years and cadence of a single fund, the
// bands while automatic setting is on).
SimParams CSimulationDlg::settings() const
{
    SimParams p;
    p.investMode = static_cast<InvestMode>(investModeCombo->currentIndex());
    p.startDate = startDate;
    p.endDate = endDate;
    p.fundCadence = static_cast<FundCadence>(fundCadence);
    p.years = years;
    p.marginPct = marginPct;
    p.secondPct = secondPct;
    p.rangeLowPct = rangeLowPct;
    p.rangeHighPct = rangeHighPct;
    p.initialBuyPct = initialBuyPct;
    p.commissionPct = commissionPct;
    p.autoSet = autoSet != 0;
    p.riskProfile = static_cast<RiskProfile>(riskProfile);
    p.yieldStats = yieldStats != 0;
    p.includeTax = includeTax != 0;
    p.rules = chosenRules();
    // The check at the rules' default is no choice: the run decides as `run` without --dividends.
    p.dividends = (dividends != 0) == dividendsByDefault() ? -1 : (dividends != 0 ? 1 : 0);
    return p;
}

std::string CSimulationDlg::chosenRules() const
{
    const QByteArray name = QFile::encodeName(rulesCombo->currentText().trimmed());
    return std::string(name.constData(), static_cast<std::size_t>(name.size()));
}

bool CSimulationDlg::dividendsByDefault() const
{
    const std::string name = chosenRules();
    return kestrelan::dividendsByDefault(name.empty() || name == rulesName::design, services.workDir);
}

// Other rules bring the dividends along when the market has them, as a run does when not told.
// (Asked for without dividends.csv, the run says how to make it.)
void CSimulationDlg::rulesChanged()
{
    dividends = dividendsByDefault() ? 1 : 0;
    bindings->write(simulationIds::dividends);
}

void CSimulationDlg::chooseRulesFile()
{
    const QString file = QFileDialog::getOpenFileName(this, "시장 규칙 파일", fromUtf8(services.workDir.string()),
                                                      "시장 규칙 (*.csv);;모든 파일 (*)");
    if (!file.isEmpty())
        rulesCombo->setEditText(file);
}

EffectiveSettings CSimulationDlg::effective(std::int32_t start, std::int32_t end) const
{
    SimParams p = settings();
    p.startDate = start;
    p.endDate = end;
    return effectiveSettings(p, lastIndexDate);
}

bool CSimulationDlg::shareCountSelected() const
{
    return investModeCombo->currentIndex() == static_cast<int>(InvestMode::ShareCount);
}

void CSimulationDlg::writeForm() { bindings->write(); }

void CSimulationDlg::setEnabled(std::initializer_list<int> ids, bool enabled)
{
    for (int id : ids)
        control<QWidget>(*this, id)->setEnabled(enabled);
}

void CSimulationDlg::refreshAmountText()
{
    if (refreshing || shareCountSelected())
        return;
    refreshing = true;
    // The amount alone: another field's text that does not read waits for its own turn.
    if (bindings->read(simulationIds::investAmount)) {
        investAmount = std::min(investAmount, amountLimit(InvestMode::PerStock));
        amountText = fromUtf8(kestrelan::amountText(investAmount));
        bindings->write(simulationIds::investAmount);
        bindings->write(simulationIds::amountText);
    }
    refreshing = false;
}

void CSimulationDlg::investModeChanged()
{
    readForm();
    investAmount = defaultAmountFor(static_cast<InvestMode>(investModeCombo->currentIndex()));
    if (shareCountSelected()) {
        amountText = "주";
        writeForm();
        return;
    }
    writeForm();
    refreshAmountText();
}

void CSimulationDlg::autoSetClicked()
{
    readForm();
    const AutoSetEnables e = autoSetEnables(autoSet);
    setEnabled({simulationIds::rangeLowPct, simulationIds::rangeHighPct, simulationIds::initialBuyPct}, e.ranges);
    setEnabled({simulationIds::riskAggressive, simulationIds::riskStable, simulationIds::riskConservative},
               e.riskProfile);
}

void CSimulationDlg::yieldStatsClicked()
{
    readForm();
    setEnabled({simulationIds::cadenceThrice, simulationIds::cadenceMonthly, simulationIds::cadenceDaily,
                simulationIds::years},
               seriesControlsEnabled(yieldStats));
    // The period's defaults: a series from its own start to the last whole month, a single fund
    // from two years back to the end it has.
    const EffectiveSettings period = effective(0, yieldStats ? 0 : endDate);
    startDate = period.params.startDate;
    endDate = period.params.endDate;
    writeForm();
}

void CSimulationDlg::startCalendarClosed()
{
    readForm();
    startDate = effective(startDate, endDate).params.startDate;
    writeForm();
}

void CSimulationDlg::endCalendarClosed()
{
    readForm();
    if (endDate > latestEndDate)
        endDate = latestEndDate;
    writeForm();
}

// The help file in the program's data folder; where the desktop has no viewer for it, its pages;
// where it opens neither, where they are.
void CSimulationDlg::openHelp()
{
    const auto folder = dataFolderOf(services.programDir);
    const std::string chm = (folder / "Kestrelan.chm").string();
    if (services.shell->hasViewerFor(chm) && services.shell->open(chm))
        return;
    const std::string pages = (folder / "help" / "index.html").string();
    if (!services.shell->open(pages))
        services.messages->show("도움말을 열 수 없습니다. 도움말은 " + chm + " 와 " + pages + " 에 있습니다.");
}

void CSimulationDlg::showRangeTable()
{
    readForm();
    CRangeTableDlg table(services.workDir / "ksp.txt", riskProfile, this);
    table.exec();
}

} // namespace kestrelan
