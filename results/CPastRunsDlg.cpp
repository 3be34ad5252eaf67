#include "results/CPastRunsDlg.h"

#include "formats/ResultSet.h"
#include "platform/core/FolderLock.h"
#include "platform/qt/QtText.h"
#include "resources/AppIcon.h"
#include "results/core/PastRuns.h"
#include "results/core/SeriesSummary.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace kestrelan {

namespace {

QTreeWidget* newList(QWidget* parent)
{
    auto* list = new QTreeWidget(parent);
    list->setRootIsDecorated(false);
    list->setSelectionBehavior(QAbstractItemView::SelectRows);
    list->header()->setSectionsClickable(false);
    return list;
}

// The first `leftColumns` columns are texts, the others figures.
void fill(QTreeWidget* list, const ListTable& table, int leftColumns = 1)
{
    list->clear();
    QStringList headings;
    for (const auto& c : table.columns)
        headings << fromUtf8(c.heading);
    list->setColumnCount(static_cast<int>(table.columns.size()));
    list->setHeaderLabels(headings);
    for (int i = 0; i < static_cast<int>(table.columns.size()); ++i)
        list->setColumnWidth(i, table.columns[static_cast<std::size_t>(i)].width);
    for (const auto& row : table.rows) {
        auto* item = new QTreeWidgetItem(list);
        for (int c = 0; c < static_cast<int>(row.size()); ++c) {
            item->setText(c, fromUtf8(row[static_cast<std::size_t>(c)]));
            item->setTextAlignment(c, (c < leftColumns ? Qt::AlignLeft : Qt::AlignRight) | Qt::AlignVCenter);
        }
    }
}

// One run's side: its line of the list as a title, then its summary tables as the results window
// shows them (a single fund's totals row above its risk figures; a series' summary).
QWidget* runSide(const PastRun& run, const std::vector<std::string>& line, IMessageSink& messages, QWidget* parent)
{
    auto* side = new QWidget(parent);
    auto* layout = new QVBoxLayout(side);
    layout->setContentsMargins(0, 0, 0, 0);
    QString title = QString("%1번 실행").arg(run.number);
    for (std::size_t i = 1; i < line.size() && i < 5; ++i)
        title += "  ·  " + fromUtf8(line[i]);
    auto* label = new QLabel(title, side);
    label->setObjectName("title");
    layout->addWidget(label);
    const ResultKind kind = classifyResult(run.folder);
    if (const auto refusal = resultFilesRefusal(kind, run.folder)) {
        layout->addWidget(new QLabel(fromUtf8(*refusal), side));
        return side;
    }
    if (kind != ResultKind::FundSeries) {
        auto* totals = newList(side);
        totals->setObjectName("totals");
        fill(totals, fillSummaryTables(kind, run.folder, messages).summaryList);
        totals->setFixedHeight(totals->header()->sizeHint().height() + totals->fontMetrics().height() + 14);
        layout->addWidget(totals);
    }
    auto* figures = newList(side);
    figures->setObjectName("figures");
    fill(figures, loadStatistics(kind, run.folder).table);
    layout->addWidget(figures);
    return side;
}

} // namespace

CPastRunsDlg::CPastRunsDlg(ResultServices s, OpenRun open, QWidget* parent)
    : QDialog(parent)
    , services(std::move(s))
    , openRun(std::move(open))
{
    setWindowTitle("지난 실행");
    setWindowIcon(applicationIcon());
    auto* layout = new QVBoxLayout(this);
    runList = newList(this);
    runList->setSelectionMode(QAbstractItemView::ExtendedSelection);
    layout->addWidget(runList);
    auto* buttons = new QHBoxLayout;
    auto* hint = new QLabel("하나를 골라 열거나, 둘을 골라 나란히 봅니다 (Ctrl+클릭).", this);
    buttons->addWidget(hint);
    buttons->addStretch();
    openButton = new QPushButton("열기", this);
    compareButton = new QPushButton("나란히 보기", this);
    auto* close = new QPushButton("닫기", this);
    for (QPushButton* b : {openButton, compareButton, close}) {
        b->setAutoDefault(false);
        buttons->addWidget(b);
    }
    layout->addLayout(buttons);
    connect(openButton, &QPushButton::clicked, this, &CPastRunsDlg::openChosen);
    connect(compareButton, &QPushButton::clicked, this, &CPastRunsDlg::compareChosen);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    connect(runList, &QTreeWidget::itemDoubleClicked, this, &CPastRunsDlg::openChosen);
    connect(runList, &QTreeWidget::itemSelectionChanged, this, &CPastRunsDlg::choiceChanged);
    resize(990, 420);
    refresh();
}

void CPastRunsDlg::refresh()
{
    {
        // history/ is read while no run writes it (a run commits its copy with its result files).
        recoverResults(services.workDir);
        const auto reading = FolderLock::acquire(services.workDir, 0, LockMode::Shared);
        if (!reading) {
            services.messages->show(folderBusyMessage);
            runs.clear();
        } else {
            runs = pastRuns(services.workDir);
        }
    }
    fill(runList, pastRunTable(runs), 5); // the number, when, kind, stocks and period
    if (runList->topLevelItemCount() > 0)
        runList->setCurrentItem(runList->topLevelItem(0));
    choiceChanged();
}

std::vector<PastRun> CPastRunsDlg::chosen() const
{
    std::vector<PastRun> out;
    for (int i = 0; i < runList->topLevelItemCount(); ++i) {
        if (!runList->topLevelItem(i)->isSelected())
            continue;
        // The list is newest first.
        out.push_back(runs[runs.size() - 1 - static_cast<std::size_t>(i)]);
    }
    return out;
}

void CPastRunsDlg::choiceChanged()
{
    const std::size_t n = chosen().size();
    openButton->setEnabled(n == 1);
    compareButton->setEnabled(n == 2);
}

void CPastRunsDlg::openChosen()
{
    const auto runs = chosen();
    if (runs.size() == 1)
        openRun(runs[0].folder);
}

void CPastRunsDlg::compareChosen()
{
    const auto two = chosen();
    if (two.size() != 2)
        return;
    const ListTable lines = pastRunTable(std::vector<PastRun>{two[1], two[0]}); // the older one first
    delete comparison;
    comparison = new QDialog(this);
    comparison->setWindowTitle(QString("%1번 실행과 %2번 실행").arg(two[1].number).arg(two[0].number));
    auto* layout = new QHBoxLayout(comparison);
    // pastRunTable lists newest first: row 1 is the older run.
    layout->addWidget(runSide(two[1], lines.rows[1], *services.messages, comparison));
    layout->addWidget(runSide(two[0], lines.rows[0], *services.messages, comparison));
    comparison->resize(1100, 480);
    comparison->show();
}

} // namespace kestrelan
