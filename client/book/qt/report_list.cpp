#include "client/book/qt/report_list.h"

#include <QHeaderView>
#include <QPainter>
#include <QStyledItemDelegate>

namespace {

// Draws a thin line under and right of every cell, as a grid.
class GridDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;
  void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    QStyledItemDelegate::paint(painter, option, index);
    painter->save();
    painter->setPen(QColor(0xD0, 0xD0, 0xD0));
    const QRect r = option.rect;
    painter->drawLine(r.bottomLeft(), r.bottomRight());
    painter->drawLine(r.topRight(), r.bottomRight());
    painter->restore();
  }
};

}  // namespace

TReportList::TReportList(const QStringList& headings, bool gridLines, QWidget* parent) : QTreeWidget(parent) {
  setColumnCount(static_cast<int>(headings.size()));
  setHeaderLabels(headings);
  setRootIsDecorated(false);
  setItemsExpandable(false);
  setUniformRowHeights(true);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setAllColumnsShowFocus(true);
  header()->setStretchLastSection(true);
  header()->setSectionsMovable(false);
  if (gridLines) setItemDelegate(new GridDelegate(this));
}

QTreeWidgetItem* TReportList::AddRow(const QStringList& columns) {
  auto* item = new QTreeWidgetItem(columns);
  addTopLevelItem(item);
  return item;
}

QTreeWidgetItem* TReportList::Selected() const {
  const auto items = selectedItems();
  return items.isEmpty() ? nullptr : items.front();
}

int TReportList::indexOfTopLevelItem(const QTreeWidgetItem* row) const {
  for (int i = 0; i < topLevelItemCount(); ++i)
    if (topLevelItem(i) == row) return i;
  return -1;
}
