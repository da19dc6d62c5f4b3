#pragma once
// An IPv4 address input of four octet fields (0-255) separated by dots. The
// address travels as one 32-bit value, first octet most significant. A blank
// field reads as 0; the whole input is blank only when no field holds a digit.
// A whole dotted address pasted into any field fills the four; any other paste
// goes into the field only when it leaves an octet there, and is refused whole
// otherwise (never cut down to what fits).
#include <QFrame>
#include <array>
#include <cstdint>

class QLineEdit;

class TIPAddressEdit : public QFrame {
  Q_OBJECT
 public:
  explicit TIPAddressEdit(QWidget* parent = nullptr);

  void SetAddress(std::uint32_t address);
  std::uint32_t GetAddress() const;
  bool IsBlank() const;
  void Clear();
  QLineEdit* Field(int index) const { return fields_[static_cast<std::size_t>(index)]; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  int IndexOf(QObject* field) const;
  void FieldEdited(int index);
  void PasteInto(int index, const QString& text);
  void ShowFieldMenu(int index, const QPoint& at);

  std::array<QLineEdit*, 4> fields_{};
  int jumpedTo_ = -1;  // the field a full octet just moved on to, until the next key
};
