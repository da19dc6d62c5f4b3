#pragma once
// A read-only list in report style: columns with headings, whole-row selection,
// optional grid lines. The main window's contacts and message lists and the
// compose dialog's contact picker are all of this kind.
#include <QStringList>
#include <QTreeWidget>

class QTreeView;

// The report style on any list view: whole-row selection of one row, no
// editing, no tree decoration, rows of one height, the last column stretched,
// and grid lines when asked.
void SetReportStyle(QTreeView& view, bool gridLines);

class TReportList : public QTreeWidget {
  Q_OBJECT
 public:
  TReportList(const QStringList& headings, bool gridLines, QWidget* parent = nullptr);

  // Appends a row; its first text is the row's caption.
  QTreeWidgetItem* AddRow(const QStringList& columns);
  int RowCount() const { return topLevelItemCount(); }
  QTreeWidgetItem* Row(int index) const { return topLevelItem(index); }
  // The selected row, or nullptr.
  QTreeWidgetItem* Selected() const;
  // Position of a row, or -1.
  using QTreeWidget::indexOfTopLevelItem;
  int indexOfTopLevelItem(const QTreeWidgetItem* row) const;
};
