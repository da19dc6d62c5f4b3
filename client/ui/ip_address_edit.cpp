#include "client/ui/ip_address_edit.h"

#include <QAction>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QValidator>
#include <memory>

#include "client/core/address_text.h"

namespace {

// One octet: up to three digits, at most 255.
class OctetValidator : public QValidator {
 public:
  using QValidator::QValidator;
  State validate(QString& input, int&) const override {
    if (input.isEmpty()) return Acceptable;
    if (input.size() > 3) return Invalid;
    for (QChar c : input)
      if (c < u'0' || c > u'9') return Invalid;
    return input.toInt() <= 255 ? Acceptable : Invalid;
  }
};

}  // namespace

TIPAddressEdit::TIPAddressEdit(QWidget* parent) : QFrame(parent) {
  setFrameShape(QFrame::StyledPanel);
  setFrameShadow(QFrame::Sunken);
  setAutoFillBackground(true);
  setBackgroundRole(QPalette::Base);
  setFocusPolicy(Qt::StrongFocus);

  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(2, 0, 2, 0);
  layout->setSpacing(0);
  for (int i = 0; i < 4; ++i) {
    auto* field = new QLineEdit(this);
    field->setObjectName(QStringLiteral("Octet%1").arg(i + 1));
    field->setFrame(false);
    field->setAlignment(Qt::AlignCenter);
    // No length limit: the validator refuses a fourth digit, and a longer paste
    // is refused whole rather than cut down to its first three characters.
    field->setValidator(new OctetValidator(field));
    field->setMinimumWidth(16);
    field->installEventFilter(this);
    connect(field, &QLineEdit::textEdited, this, [this, i] { FieldEdited(i); });
    fields_[static_cast<std::size_t>(i)] = field;
    layout->addWidget(field, 1);
    if (i < 3) layout->addWidget(new QLabel(QStringLiteral("."), this));
  }
  setFocusProxy(fields_[0]);
}

void TIPAddressEdit::SetAddress(std::uint32_t address) {
  for (int i = 0; i < 4; ++i) {
    const std::uint32_t octet = (address >> (24 - 8 * i)) & 0xFF;
    fields_[static_cast<std::size_t>(i)]->setText(QString::number(octet));
  }
}

std::uint32_t TIPAddressEdit::GetAddress() const {
  std::uint32_t address = 0;
  for (const QLineEdit* field : fields_) address = (address << 8) | (field->text().toUInt() & 0xFF);
  return address;
}

bool TIPAddressEdit::IsBlank() const {
  for (const QLineEdit* field : fields_)
    if (!field->text().isEmpty()) return false;
  return true;
}

void TIPAddressEdit::Clear() {
  for (QLineEdit* field : fields_) field->clear();
}

int TIPAddressEdit::IndexOf(QObject* field) const {
  for (int i = 0; i < 4; ++i)
    if (fields_[static_cast<std::size_t>(i)] == field) return i;
  return -1;
}

// A full octet moves on to the next field, as typing an address expects.
void TIPAddressEdit::FieldEdited(int index) {
  QLineEdit* field = fields_[static_cast<std::size_t>(index)];
  if (index < 3 && field->text().size() == 3 && field->cursorPosition() == 3) {
    fields_[static_cast<std::size_t>(index + 1)]->setFocus();
    fields_[static_cast<std::size_t>(index + 1)]->selectAll();
    jumpedTo_ = index + 1;
  }
}

void TIPAddressEdit::PasteInto(int index, const QString& text) {
  if (const auto address = DottedAddressValue(text.trimmed().toStdString())) {
    SetAddress(*address);
    fields_[3]->setFocus();
    return;
  }
  fields_[static_cast<std::size_t>(index)]->insert(text.trimmed());  // the validator takes or refuses it whole
}

// The field's own menu, its "paste" (the item Qt names with the same text)
// going through PasteInto.
void TIPAddressEdit::ShowFieldMenu(int index, const QPoint& at) {
  const std::unique_ptr<QMenu> menu(fields_[static_cast<std::size_t>(index)]->createStandardContextMenu());
  const QString pasteText = QCoreApplication::translate("QLineEdit", "&Paste");
  for (QAction* item : menu->actions()) {
    if (item->text().section(u'\t', 0, 0) != pasteText) continue;
    item->disconnect();
    connect(item, &QAction::triggered, this, [this, index] { PasteInto(index, QGuiApplication::clipboard()->text()); });
  }
  menu->exec(at);
}

// "." jumps to the next field; Backspace in an empty field goes back. Pastes,
// by key, menu or middle button, go through PasteInto.
bool TIPAddressEdit::eventFilter(QObject* watched, QEvent* event) {
  const int index = IndexOf(watched);
  if (index >= 0 && event->type() == QEvent::MouseButtonPress) jumpedTo_ = -1;
  if (index >= 0 && event->type() == QEvent::ContextMenu) {
    ShowFieldMenu(index, static_cast<QContextMenuEvent*>(event)->globalPos());
    return true;
  }
  if (index >= 0 && event->type() == QEvent::MouseButtonRelease &&
      static_cast<QMouseEvent*>(event)->button() == Qt::MiddleButton && QGuiApplication::clipboard()->supportsSelection()) {
    PasteInto(index, QGuiApplication::clipboard()->text(QClipboard::Selection));
    return true;
  }
  if (index >= 0 && event->type() == QEvent::KeyPress) {
    auto* key = static_cast<QKeyEvent*>(event);
    if (key->matches(QKeySequence::Paste)) {
      jumpedTo_ = -1;
      PasteInto(index, QGuiApplication::clipboard()->text());
      return true;
    }
    QLineEdit* field = fields_[static_cast<std::size_t>(index)];
    const bool dot = key->key() == Qt::Key_Period || key->key() == Qt::Key_Comma;
    // The dot typed after a full octet: the jump it asks for has happened already.
    const bool alreadyJumped = dot && jumpedTo_ == index;
    jumpedTo_ = -1;
    if (alreadyJumped) return true;
    if (dot && index < 3) {
      if (!field->text().isEmpty()) {
        fields_[static_cast<std::size_t>(index + 1)]->setFocus();
        fields_[static_cast<std::size_t>(index + 1)]->selectAll();
      }
      return true;
    }
    if (key->key() == Qt::Key_Backspace && index > 0 && field->cursorPosition() == 0 &&
        !field->hasSelectedText()) {
      QLineEdit* previous = fields_[static_cast<std::size_t>(index - 1)];
      previous->setFocus();
      previous->setCursorPosition(static_cast<int>(previous->text().size()));
      return true;
    }
  }
  return QFrame::eventFilter(watched, event);
}
