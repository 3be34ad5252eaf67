#include "mainform/CCompareDlg.h"

#include "formats/DateText.h"
#include "platform/core/Format.h"
#include "platform/qt/QtText.h"
#include "resources/AppIcon.h"
#include "results/core/SweepRanks.h"
#include "tools/SweepCommand.h"

#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QCoreApplication>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QScatterSeries>
#include <QTableWidget>
#include <QTreeWidget>
#include <QValueAxis>
#include <QVBoxLayout>

#include <chrono>

namespace kestrelan {

namespace {

QString percentCell(const std::optional<double>& v) { return v ? QString::asprintf("%.2f", *v) : QString("-"); }

// A swept setting's value as its heading shows it: "10%", "안정".
QString valueHeading(const SettingSpec& s, std::int32_t v)
{
    return fromUtf8(s.words.empty() ? std::to_string(v) + std::string(s.unit) : s.word(v).empty() ? "?" : s.valueText(s.word(v)));
}

const char* figureLabel(const std::string& rank)
{
    for (const RankFigure& f : rankFigures())
        if (rank == f.word)
            return f.label;
    return "";
}

QString timeText(double seconds)
{
    if (seconds < 60)
        return QString("%1초").arg(static_cast<int>(seconds + 0.5));
    return QString("%1분").arg(static_cast<int>(seconds / 60 + 0.5));
}

} // namespace

CCompareDlg::CCompareDlg(CompareServices s, ComparisonRequest f, QString group, UseSettings use, QWidget* parent)
    : QDialog(parent)
    , services(std::move(s))
    , form(std::move(f))
    , groupName(std::move(group))
    , useSettings(std::move(use))
{
    setWindowTitle("조건 비교");
    setWindowIcon(applicationIcon());
    auto* layout = new QVBoxLayout(this);

    auto* choices = new QGridLayout;
    const auto settingCombo = [this](bool none) {
        auto* combo = new QComboBox(this);
        if (none)
            combo->addItem("(없음)");
        for (const SettingSpec* spec : sweepSettings)
            combo->addItem(fromUtf8(spec->labelText()));
        return combo;
    };
    firstSetting = settingCombo(false);
    secondSetting = settingCombo(true);
    secondSetting->setCurrentIndex(2); // 2차조건
    firstRange = new QLineEdit("4:12:2", this);
    secondRange = new QLineEdit("4:12:2", this);
    rankCombo = new QComboBox(this);
    for (const RankFigure& r : rankFigures())
        rankCombo->addItem(fromUtf8(r.label));
    chooseSpan = new QLineEdit(this);
    judgeSpan = new QLineEdit(this);
    chooseSpan->setPlaceholderText("2000-01-01:2002-12-31");
    judgeSpan->setPlaceholderText("2003-01-01:2004-12-31");
    runButton = new QPushButton("비교 실행", this);
    choices->addWidget(new QLabel("설정 1", this), 0, 0);
    choices->addWidget(firstSetting, 0, 1);
    choices->addWidget(firstRange, 0, 2);
    choices->addWidget(new QLabel("설정 2", this), 0, 3);
    choices->addWidget(secondSetting, 0, 4);
    choices->addWidget(secondRange, 0, 5);
    choices->addWidget(new QLabel("순위 기준", this), 1, 0);
    choices->addWidget(rankCombo, 1, 1);
    choices->addWidget(new QLabel("고르는 기간", this), 1, 3);
    choices->addWidget(chooseSpan, 1, 4);
    choices->addWidget(new QLabel("판단 기간", this), 1, 5);
    choices->addWidget(judgeSpan, 1, 6);
    choices->addWidget(runButton, 0, 6);
    layout->addLayout(choices);
    // What the comparison takes from the form, said once.
    const SimParams& p = form.settings;
    auto* taken = new QLabel(QString("설정 창에서: 종목 %1개, %2 ~ %3, %4, %5년간 운용")
                                 .arg(form.codes.size())
                                 .arg(fromUtf8(dateText(p.startDate)), fromUtf8(dateText(p.endDate)),
                                      fromUtf8(setting::fundCadence.valueText(
                                          setting::fundCadence.word(static_cast<int>(p.fundCadence)))))
                                 .arg(p.years),
                             this);
    taken->setObjectName("taken");
    layout->addWidget(taken);
    layout->addWidget(new QLabel("범위는 A:B:간격 또는 목록 A,B,C로 씁니다. 금액과 나머지 조건도 설정 창의 것입니다. 두 기간은 "
                                 "함께 쓰며 그때 설정 창의 기간 대신입니다.",
                                 this));

    bestList = new QTreeWidget(this);
    bestList->setRootIsDecorated(false);
    bestList->header()->setSectionsClickable(false);
    layout->addWidget(new QLabel("상위 10개 (두 번 누르면 설정 창에 넣습니다)", this));
    // Room for the ten lines and the headings.
    bestList->setMinimumHeight(bestList->fontMetrics().height() * 14);
    layout->addWidget(bestList, 2);

    auto* lower = new QHBoxLayout;
    auto* left = new QVBoxLayout;
    left->addWidget(new QLabel("조합 비교표", this));
    heatmap = new QTableWidget(this);
    heatmap->setEditTriggers(QAbstractItemView::NoEditTriggers);
    left->addWidget(heatmap);
    lower->addLayout(left, 1);
    scatter = new QChartView(this);
    scatter->setMinimumSize(420, 300);
    lower->addWidget(scatter, 1);
    layout->addLayout(lower, 5);
    verdict = new QLabel(this);
    verdict->setWordWrap(true);
    verdict->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(verdict);

    auto* buttons = new QHBoxLayout;
    status = new QLabel(this);
    buttons->addWidget(status);
    buttons->addStretch();
    exportButton = new QPushButton("엑셀로 보내기", this);
    exportButton->setEnabled(false);
    auto* close = new QPushButton("닫기", this);
    for (QPushButton* b : {runButton, exportButton, close}) {
        b->setAutoDefault(false);
        if (b != runButton)
            buttons->addWidget(b);
    }
    layout->addLayout(buttons);
    scatter->hide();

    connect(runButton, &QPushButton::clicked, this, &CCompareDlg::runComparison);
    connect(exportButton, &QPushButton::clicked, this, &CCompareDlg::exportSweep);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    connect(bestList, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem* item) {
        const int i = bestList->indexOfTopLevelItem(item);
        if (i >= 0 && i < static_cast<int>(best.size()))
            useLine(&best[static_cast<std::size_t>(i)]);
    });
    connect(heatmap, &QTableWidget::cellDoubleClicked, this, [this](int row, int column) {
        if (row >= 0 && row < static_cast<int>(cells.size()) && column >= 0
            && column < static_cast<int>(cells[static_cast<std::size_t>(row)].size()))
            useLine(cells[static_cast<std::size_t>(row)][static_cast<std::size_t>(column)]);
    });
    resize(1060, 780);
}

ComparisonRequest CCompareDlg::request() const
{
    ComparisonRequest r = form;
    r.ranges.clear();
    r.ranges.push_back({sweepSettings[firstSetting->currentIndex()], firstRange->text().trimmed().toStdString()});
    if (secondSetting->currentIndex() > 0)
        r.ranges.push_back(
            {sweepSettings[secondSetting->currentIndex() - 1], secondRange->text().trimmed().toStdString()});
    r.rank = rankFigures()[static_cast<std::size_t>(rankCombo->currentIndex())].word;
    r.choose = chooseSpan->text().trimmed().toStdString();
    r.judge = judgeSpan->text().trimmed().toStdString();
    return r;
}

void CCompareDlg::runComparison()
{
    const ComparisonRequest r = request();
    if (r.ranges.size() == 2 && r.ranges[0].setting == r.ranges[1].setting) {
        services.messages->show("설정 1과 설정 2가 같습니다. 다른 조건을 고르십시오.");
        return;
    }
    QProgressDialog progress("조건을 비교하고 있습니다....", "취소", 0, 100, this);
    progress.setWindowTitle("진행률");
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(0);
    progress.setAutoClose(false);
    progress.setAutoReset(false);
    progress.setValue(0);
    runButton->setEnabled(false);
    const auto began = std::chrono::steady_clock::now();
    Comparison c = compareConditions(r, services.workDir, services.programDir, [&](std::int64_t done, std::int64_t total) {
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
        progress.setLabelText(QString("조합 %1개 중 %2개, 남은 시간 약 %3")
                                  .arg(total)
                                  .arg(done)
                                  .arg(timeText(seconds / static_cast<double>(done) * static_cast<double>(total - done))));
        progress.setValue(static_cast<int>(100 * done / std::max<std::int64_t>(total, 1)));
        QCoreApplication::processEvents();
        if (watchCombination && !watchCombination(done, total))
            return false;
        return !progress.wasCanceled();
    });
    progress.close();
    runButton->setEnabled(true);
    switch (c.status) {
    case Comparison::Status::Refused:
    case Comparison::Status::Failed: services.messages->show(c.message); return;
    case Comparison::Status::Cancelled:
        services.messages->show("비교를 취소했습니다. sweep.csv는 그대로입니다.");
        return;
    case Comparison::Status::Done: break;
    }
    last = std::move(c);
    ran = r;
    showComparison();
    if (!last.message.empty())
        services.messages->show(last.message);
}

void CCompareDlg::showComparison()
{
    fillBestTen();
    fillHeatmap();
    drawScatter();
    verdict->setText(fromUtf8(last.verdict));
    exportButton->setEnabled(true);
}

void CCompareDlg::fillBestTen()
{
    best = rankedWindowLines(last.file.lines, 0, last.column);
    if (best.size() > 10)
        best.resize(10);
    const bool judged = !ran.judge.empty();
    QStringList headings = {"순위", "조합"};
    std::vector<const RankFigure*> figures;
    for (const RankFigure& f : rankFigures()) {
        const bool hold = !best.empty() && best.front().summary && best.front().summary->hold;
        if (std::string_view(f.word) == "beat-hold" && !hold)
            continue;
        figures.push_back(&f);
        headings << fromUtf8(f.label);
    }
    headings << "plateau";
    if (judged)
        headings << fromUtf8("판단 기간 " + std::string(figureLabel(ran.rank)));
    bestList->clear();
    bestList->setColumnCount(static_cast<int>(headings.size()));
    bestList->setHeaderLabels(headings);
    for (const auto& l : best) {
        auto* item = new QTreeWidgetItem(bestList);
        int c = 0;
        item->setText(c++, l.rank ? QString::number(l.rank) : QString("-"));
        item->setText(c++, fromUtf8(sweepCombinationText(l.settings, l.autoSet)));
        for (const RankFigure* f : figures)
            item->setText(c++, percentCell(summaryFigure(l.summary, f->column)));
        item->setText(c++, percentCell(l.plateau));
        if (judged)
            item->setText(c++, percentCell(summaryFigure(l.judge, last.column)));
        for (int k = 2; k < c; ++k)
            item->setTextAlignment(k, Qt::AlignRight | Qt::AlignVCenter);
    }
    bestList->setColumnWidth(0, 40);
    bestList->setColumnWidth(1, 330);
    for (int k = 2; k < bestList->columnCount(); ++k)
        bestList->setColumnWidth(k, 110);
}

void CCompareDlg::fillHeatmap()
{
    const SettingSpec& x = *ran.ranges.front().setting;
    const SettingSpec* y = ran.ranges.size() > 1 ? ran.ranges[1].setting : nullptr;
    const FigureGrid grid = figureGrid(last.file, last.column, x, y);
    cells = grid.cells;
    heatmap->clear();
    heatmap->setRowCount(static_cast<int>(grid.ys.size()));
    heatmap->setColumnCount(static_cast<int>(grid.xs.size()));
    QStringList columns, rows;
    for (const auto v : grid.xs)
        columns << fromUtf8(std::string(x.label) + " ") + valueHeading(x, v);
    for (const auto v : grid.ys)
        rows << (y ? fromUtf8(std::string(y->label) + " ") + valueHeading(*y, v) : fromUtf8(""));
    heatmap->setHorizontalHeaderLabels(columns);
    heatmap->setVerticalHeaderLabels(rows);
    const bool lower = lowerIsBetter(last.column);
    for (std::size_t r = 0; r < grid.ys.size(); ++r)
        for (std::size_t c = 0; c < grid.xs.size(); ++c) {
            const SweepLine* line = grid.cells[r][c];
            const auto v = line ? summaryFigure(line->summary, last.column) : std::nullopt;
            auto* item = new QTableWidgetItem(percentCell(v));
            item->setTextAlignment(Qt::AlignCenter);
            if (v && grid.low && grid.high) {
                const auto rgb = heatColour(*v, *grid.low, *grid.high, lower);
                item->setBackground(QColor(rgb[0], rgb[1], rgb[2]));
                item->setForeground(Qt::black);
            }
            if (line)
                item->setToolTip(fromUtf8(sweepCombinationText(line->settings, line->autoSet)));
            heatmap->setItem(static_cast<int>(r), static_cast<int>(c), item);
        }
    heatmap->resizeColumnsToContents();
}

void CCompareDlg::drawScatter()
{
    if (ran.judge.empty()) {
        scatter->hide();
        return;
    }
    auto* chart = new QChart;
    auto* points = new QScatterSeries(chart);
    points->setName("조합");
    points->setMarkerSize(8);
    for (const auto& l : last.file.lines) {
        const auto a = summaryFigure(l.summary, last.column), b = summaryFigure(l.judge, last.column);
        if (l.window != 0 || !a || !b)
            continue;
        points->append(*a, *b);
    }
    chart->addSeries(points);
    const std::string label = figureLabel(ran.rank);
    auto* ax = new QValueAxis(chart);
    auto* ay = new QValueAxis(chart);
    ax->setTitleText(fromUtf8("고르는 기간의 " + label + "(%)"));
    ay->setTitleText(fromUtf8("판단 기간의 " + label + "(%)"));
    ax->setLabelFormat("%.1f");
    ay->setLabelFormat("%.1f");
    chart->addAxis(ax, Qt::AlignBottom);
    chart->addAxis(ay, Qt::AlignLeft);
    points->attachAxis(ax);
    points->attachAxis(ay);
    chart->setTitle("고르는 기간과 판단 기간");
    QChart* old = scatter->chart();
    scatter->setChart(chart);
    delete old;
    scatter->show();
}

void CCompareDlg::useLine(const SweepLine* line)
{
    if (!line)
        return;
    std::vector<std::pair<const SettingSpec*, std::int32_t>> values;
    for (const auto& range : ran.ranges)
        values.push_back({range.setting, settingValue(line->settings, *range.setting)});
    useSettings(values);
    QString text;
    for (const auto& [spec, v] : values)
        text += (text.isEmpty() ? "" : ", ") + fromUtf8(spec->phrase(spec->words.empty() ? std::to_string(v) : spec->word(v)));
    status->setText("설정 창에 넣었습니다: " + text);
}

// The export: the workbook built from the working folder (where sweep.csv is) with the two
// settings and the figure compared.
void CCompareDlg::exportSweep()
{
    if (last.status != Comparison::Status::Done)
        return;
    QStringList args = {"--sweep-figure", QString::fromStdString(last.column), "--sweep-x",
                        fromUtf8(ran.ranges.front().setting->key)};
    if (ran.ranges.size() > 1)
        args << "--sweep-y" << fromUtf8(ran.ranges[1].setting->key);
    exportWorkbook(services, groupName, static_cast<int>(form.codes.size()), args);
}

} // namespace kestrelan
