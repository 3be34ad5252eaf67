#include "mainform/CRangeTableDlg.h"

#include "mainform/RangeTableDlgIds.h"
#include "mainform/core/RangeTableCells.h"
#include "platform/qt/DialogTemplate.h"
#include "platform/qt/QtText.h"

#include <QHeaderView>
#include <QStyle>
#include <QTreeWidget>
#include <algorithm>
#include <limits>

namespace kestrelan {

CRangeTableDlg::CRangeTableDlg(const std::filesystem::path& rangeTableFile, int riskProfile, QWidget* parent)
    : QDialog(parent)
{
    buildDialog(*this, loadDialogSpec(rangeTableIds::dialog));
    auto* view = control<QTreeWidget>(*this, rangeTableIds::table);
    view->setColumnCount(4);
    view->setHeaderLabels({"", "지수범위", "최초매수", "매매범위"});
    const int widths[4] = {0, 80, 70, 100};
    for (int c = 0; c < 4; ++c) {
        view->setColumnWidth(c, widths[c]);
        view->headerItem()->setTextAlignment(c, Qt::AlignCenter);
    }
    view->header()->setMinimumSectionSize(0);
    view->setColumnWidth(0, 0);
    const auto table = loadRangeTable(rangeTableFile, std::numeric_limits<std::size_t>::max());
    if (table) { // no table: an empty list
        for (const auto& cells : rangeTableCells(*table, riskProfile)) {
            auto* item = new QTreeWidgetItem(view);
            for (int c = 0; c < 3; ++c) {
                item->setText(c + 1, fromUtf8(cells[c]));
                item->setTextAlignment(c + 1, Qt::AlignCenter);
            }
        }
    }
    // In this font a cell may need more than its column's pixels: the column and the window
    // widen so that every cell shows whole, the vertical scroll bar beside them.
    int columns = 0;
    for (int c = 1; c < 4; ++c) {
        view->resizeColumnToContents(c);
        view->setColumnWidth(c, std::max({widths[c], view->columnWidth(c), view->header()->sectionSizeHint(c)}));
        columns += view->columnWidth(c);
    }
    const int needed = columns + 2 * view->frameWidth() + view->style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    if (needed > view->width()) {
        setFixedWidth(width() + needed - view->width());
        view->resize(needed, view->height());
    }
    view->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
}

} // namespace kestrelan
