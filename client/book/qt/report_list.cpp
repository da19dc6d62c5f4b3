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

void SetReportStyle(QTreeView& view, bool gridLines) {
  view.setRootIsDecorated(false);
  view.setItemsExpandable(false);
  view.setUniformRowHeights(true);
  view.setSelectionMode(QAbstractItemView::SingleSelection);
  view.setSelectionBehavior(QAbstractItemView::SelectRows);
  view.setEditTriggers(QAbstractItemView::NoEditTriggers);
  view.setAllColumnsShowFocus(true);
  view.header()->setStretchLastSection(true);
  view.header()->setSectionsMovable(false);
  if (gridLines) view.setItemDelegate(new GridDelegate(&view));
}

TReportList::TReportList(const QStringList& headings, bool gridLines, QWidget* parent) : QTreeWidget(parent) {
  setColumnCount(static_cast<int>(headings.size()));
  setHeaderLabels(headings);
  SetReportStyle(*this, gridLines);
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
