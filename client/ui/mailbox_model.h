#pragma once
// The rows of a message list ("Принятые", "Отправленные"): number, date and
// text of each sound record, oldest first. A row's texts are read from the file
// when a view asks for them, so a list of any length opens at once; the rows
// are those of the file as it was when it was opened.
#include <QAbstractTableModel>
#include <QString>
#include <array>
#include <string>
#include <vector>

#include "client/core/mailbox_index.h"

class MailboxModel : public QAbstractTableModel {
  Q_OBJECT
 public:
  explicit MailboxModel(QObject* parent = nullptr);

  // Shows the records of this file now; a missing file shows none.
  void Open(const std::string& fileName);

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

 private:
  using RowTexts = std::array<QString, 3>;
  const RowTexts& Row(int row) const;

  MailboxIndex index_;
  // The rows read last: a view asks for the same few rows, column by column,
  // again and again while it paints.
  mutable std::vector<RowTexts> block_;
  mutable int blockStart_ = -1;
};
