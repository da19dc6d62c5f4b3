#include "client/ui/mailbox_model.h"

#include <algorithm>
#include <climits>

#include "platform/qt/qt_text.h"

namespace {

constexpr int kColumns = 3;
constexpr int kBlockRows = 64;

}  // namespace

MailboxModel::MailboxModel(QObject* parent) : QAbstractTableModel(parent) {}

void MailboxModel::Open(const std::string& fileName) {
  beginResetModel();
  index_ = MailboxIndex(fileName);
  block_.clear();
  blockStart_ = -1;
  endResetModel();
}

int MailboxModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(std::min<std::size_t>(index_.size(), INT_MAX));
}

int MailboxModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : kColumns; }

QVariant MailboxModel::data(const QModelIndex& index, int role) const {
  if (role != Qt::DisplayRole || !index.isValid() || index.column() >= kColumns) return {};
  return Row(index.row())[static_cast<std::size_t>(index.column())];
}

QVariant MailboxModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
    return QAbstractTableModel::headerData(section, orientation, role);
  switch (section) {
    case 0: return QStringLiteral("номер абонента");
    case 1: return QStringLiteral("дата и время");
    case 2: return QStringLiteral("текст сообщения");
    default: return {};
  }
}

const MailboxModel::RowTexts& MailboxModel::Row(int row) const {
  if (blockStart_ < 0 || row < blockStart_ || row >= blockStart_ + static_cast<int>(block_.size())) {
    blockStart_ = row - row % kBlockRows;
    const int end = std::min(blockStart_ + kBlockRows, rowCount());
    block_.clear();
    for (int r = blockStart_; r < end; ++r) {
      // A record the file no longer holds as it was shows as an empty row.
      const auto record = index_.Record(static_cast<std::size_t>(r));
      if (record)
        block_.push_back({FromAnsi(record->number()), FromAnsi(record->date()), FromAnsi(record->text())});
      else
        block_.emplace_back();
    }
  }
  return block_[static_cast<std::size_t>(row - blockStart_)];
}
