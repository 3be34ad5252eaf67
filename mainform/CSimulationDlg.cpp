#include "mainform/CSimulationDlg.h"

#include "engine/MarketData.h"
#include "mainform/CRangeTableDlg.h"
#include "mainform/FormLogic.h"
#include "mainform/SimulationDlgIds.h"
#include "platform/qt/Bindings.h"
#include "platform/qt/DialogTemplate.h"
#include "platform/qt/EnterAsTab.h"
#include "platform/qt/QtText.h"

#include <QCalendarWidget>
#include <QCheckBox>
#include <QComboBox>
#include <QDate>
#include <QDateEdit>
#include <QEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>

namespace kestrelan {

namespace {

std::int32_t toInt(const QDate& d)
{
    return d.year() * 10000 + d.month() * 100 + d.day();
}

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
    buildDialog(*this, loadDialogSpec(102));
    portfolioList = control<QListWidget>(*this, ids::portfolioList);
    groupCombo = control<QComboBox>(*this, ids::groupCombo);
    stockList = control<QListWidget>(*this, ids::stockList);
    investModeCombo = control<QComboBox>(*this, ids::investModeCombo);
    const std::int32_t today = toInt(QDate::currentDate());
    startDate = endDate = today;
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
    b.date(ids::startDate, startDate);
    b.date(ids::endDate, endDate);
    b.unsignedNumber(ids::investAmount, investAmount);
    b.text(ids::amountText, amountText);
    b.text(ids::searchText, searchText);
    b.check(ids::autoSet, autoSet);
    b.integer(ids::years, years);
    b.radio(ids::cadenceThrice, fundCadence);
    b.check(ids::yieldStats, yieldStats);
    b.radio(ids::riskAggressive, riskProfile);
    b.integer(ids::rangeLowPct, rangeLowPct);
    b.integer(ids::secondPct, secondPct);
    b.integer(ids::marginPct, marginPct);
    b.integer(ids::rangeHighPct, rangeHighPct);
    b.integer(ids::initialBuyPct, initialBuyPct);
    b.check(ids::includeTax, includeTax);
    b.number(ids::commissionPct, commissionPct);
}

void CSimulationDlg::connectControls()
{
    auto clicked = [this](int id, void (CSimulationDlg::*slot)()) {
        connect(control<QAbstractButton>(*this, id), &QAbstractButton::clicked, this, slot);
    };
    connect(control<QLineEdit>(*this, ids::investAmount), &QLineEdit::textChanged, this,
            &CSimulationDlg::refreshAmountText);
    connect(investModeCombo, &QComboBox::currentIndexChanged, this, &CSimulationDlg::investModeChanged);
    clicked(ids::help, &CSimulationDlg::openHelp);
    clicked(ids::autoSet, &CSimulationDlg::autoSetClicked);
    clicked(ids::yieldStats, &CSimulationDlg::yieldStatsClicked);
    clicked(ids::showRangeTable, &CSimulationDlg::showRangeTable);
    new CalendarClosed(control<QDateEdit>(*this, ids::startDate), [this] { startCalendarClosed(); });
    new CalendarClosed(control<QDateEdit>(*this, ids::endDate), [this] { endCalendarClosed(); });
}

// The form's opening: the invest modes, the default period from kospi.lst, tax on.
void CSimulationDlg::startUp()
{
    {
        const QSignalBlocker block(investModeCombo);
        investModeCombo->addItems({"종목당", "총투자", "주식수"});
        investModeCombo->setCurrentIndex(0);
    }
    std::int32_t last = 0;
    if (const auto date = readLastIndexDate(services.workDir / "kospi.lst")) {
        last = *date;
    } else {
        services.messages->show("kospi.lst 파일이 없거나 손상되어 오늘 날짜로 기본 기간을 정합니다.");
        last = toInt(QDate::currentDate());
    }
    const FormDates dates = startupDates(last);
    startDate = dates.startDate;
    endDate = dates.endDate;
    latestEndDate = dates.latestEndDate;
    defaultStartDate = dates.defaultStartDate;
    earliestStartDate = dates.earliestStartDate;
    includeTax = 1;
    writeForm();
}

bool CSimulationDlg::readForm()
{
    return bindings->read();
}

void CSimulationDlg::writeForm()
{
    bindings->write();
}

void CSimulationDlg::setEnabled(std::initializer_list<int> ids, bool enabled)
{
    for (int id : ids)
        findChild<QWidget*>(QString::number(id))->setEnabled(enabled);
}

void CSimulationDlg::refreshAmountText()
{
    if (refreshing || investModeCombo->currentIndex() == shareCountMode)
        return;
    refreshing = true;
    readForm();
    if (investAmount > maxInvestAmount)
        investAmount = maxInvestAmount;
    amountText = fromUtf8(kestrelan::amountText(investAmount));
    writeForm();
    refreshing = false;
}

void CSimulationDlg::investModeChanged()
{
    readForm();
    if (investModeCombo->currentIndex() == shareCountMode) {
        amountText = "주";
        investAmount = defaultShareCount;
        writeForm();
        return;
    }
    investAmount = defaultAmount;
    writeForm();
    refreshAmountText();
}

void CSimulationDlg::autoSetClicked()
{
    readForm();
    const AutoSetEnables e = autoSetEnables(autoSet);
    setEnabled({ids::rangeLowPct, ids::rangeHighPct, ids::initialBuyPct}, e.ranges);
    setEnabled({ids::riskAggressive, ids::riskStable, ids::riskConservative}, e.riskProfile);
}

void CSimulationDlg::yieldStatsClicked()
{
    readForm();
    setEnabled({ids::cadenceThrice, ids::cadenceMonthly, ids::cadenceDaily, ids::years},
               seriesControlsEnabled(yieldStats));
    if (yieldStats) {
        startDate = seriesStartDate;
        endDate = latestEndDate;
    } else {
        startDate = defaultStartDate;
    }
    writeForm();
}

void CSimulationDlg::startCalendarClosed()
{
    readForm();
    if (startDate < earliestStartDate)
        startDate = earliestStartDate;
    writeForm();
}

void CSimulationDlg::endCalendarClosed()
{
    readForm();
    if (endDate > latestEndDate)
        endDate = latestEndDate;
    writeForm();
}

void CSimulationDlg::openHelp()
{
    services.shell->open((services.programDir / "Kestrelan.chm").string());
}

void CSimulationDlg::showRangeTable()
{
    readForm();
    CRangeTableDlg table(services.workDir / "ksp.txt", riskProfile, this);
    table.exec();
}

} // namespace kestrelan
