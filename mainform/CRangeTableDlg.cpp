#include "mainform/CRangeTableDlg.h"

#include "mainform/RangeTableDlgIds.h"
#include "mainform/core/RangeTableCells.h"
#include "platform/qt/DialogTemplate.h"
#include "platform/qt/QtText.h"

#include <QHeaderView>
#include <QTreeWidget>
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
    if (!table)
        return; // no table: an empty list
    for (const auto& cells : rangeTableCells(*table, riskProfile)) {
        auto* item = new QTreeWidgetItem(view);
        for (int c = 0; c < 3; ++c) {
            item->setText(c + 1, fromUtf8(cells[c]));
            item->setTextAlignment(c + 1, Qt::AlignCenter);
        }
    }
}

} // namespace kestrelan
