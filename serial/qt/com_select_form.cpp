#include "serial/qt/com_select_form.h"

#include <QComboBox>
#include <QFontMetrics>
#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <algorithm>
#include <initializer_list>

#include "platform/message_window.h"
#include "platform/qt/qt_text.h"
#include "serial/port/is_port_available.h"
#include "serial/port/port_selection.h"

namespace {
constexpr unsigned kHighestListedPort = 50;
constexpr int kNameDigitsFrom = 3;  // after "COM"
constexpr int kMaxNumberText = 255;
constexpr int kBevelMargin = 10;  // between the frame and the labels' text
constexpr int kNarrowestStretch = 50;

// Narrows the labels' font until each text ends short of the frame's right
// edge: the layout was drawn for a narrower font than most systems have.
void FitInFrame(std::initializer_list<QLabel*> labels, const QFrame* frame) {
  QFont font = frame->font();
  const auto fits = [&] {
    const QFontMetrics metrics(font);
    return std::ranges::all_of(labels, [&](const QLabel* label) {
      return label->x() + metrics.horizontalAdvance(label->text()) <= frame->geometry().right() - kBevelMargin;
    });
  };
  for (int stretch = QFont::Unstretched; !fits() && stretch > kNarrowestStretch;) font.setStretch(--stretch);
  for (QLabel* label : labels) {
    label->setFont(font);
    label->adjustSize();
  }
}
}  // namespace

TComSelectForm::TComSelectForm(QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint |
                         Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint) {
  setObjectName(QStringLiteral("ComSelectForm"));
  setWindowTitle(QStringLiteral("Select Port"));
  QFont font;
  font.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("DejaVu Sans")});
  font.setPixelSize(11);
  setFont(font);
  setFixedSize(220, 131);

  // The frame first, so that the labels lie on it.
  Bevel1 = new QFrame(this);
  Bevel1->setObjectName(QStringLiteral("Bevel1"));
  Bevel1->setFrameStyle(QFrame::Box | QFrame::Sunken);
  Bevel1->setGeometry(8, 8, 201, 42);
  Label1 = new QLabel(QStringLiteral("The configured serial port is not valid."), this);
  Label1->setObjectName(QStringLiteral("Label1"));
  Label1->move(18, 14);
  Label2 = new QLabel(QStringLiteral("Please choose another port."), this);
  Label2->setObjectName(QStringLiteral("Label2"));
  Label2->move(18, 30);
  FitInFrame({Label1, Label2}, Bevel1);

  PortsComboBox = new QComboBox(this);  // a drop-down list: not editable
  PortsComboBox->setObjectName(QStringLiteral("PortsComboBox"));
  PortsComboBox->setGeometry(8, 64, 201, PortsComboBox->sizeHint().height());

  OkBtn = new QPushButton(QStringLiteral("OK"), this);
  OkBtn->setObjectName(QStringLiteral("OkBtn"));
  OkBtn->setGeometry(8, 95, 85, 27);
  OkBtn->setDefault(true);
  connect(OkBtn, &QPushButton::clicked, this, [this] { done(kResultOk); });
  AbortBtn = new QPushButton(QStringLiteral("Cancel"), this);
  AbortBtn->setObjectName(QStringLiteral("AbortBtn"));
  AbortBtn->setGeometry(124, 95, 85, 27);
  connect(AbortBtn, &QPushButton::clicked, this, [this] { done(kResultAbort); });

  setTabOrder(OkBtn, AbortBtn);
  setTabOrder(AbortBtn, PortsComboBox);
  OkBtn->setFocus();

  if (const QScreen* screen = QGuiApplication::primaryScreen())
    move(screen->availableGeometry().center() - rect().center());
  FormCreate();
}

void TComSelectForm::FormCreate() {
  for (unsigned ComNum = 1; ComNum <= kHighestListedPort; ++ComNum)
    if (IsPortAvailable(ComNum)) PortsComboBox->addItem(QStringLiteral("COM%1").arg(ComNum));
  PortsComboBox->setCurrentIndex(0);  // none when the list is empty
}

std::string TComSelectForm::SelectedCom() const { return ToAnsi(PortsComboBox->currentText()); }

int TComSelectForm::SelectedComNum() const {
  bool ok = false;
  const int number = PortsComboBox->currentText().mid(kNameDigitsFrom, kMaxNumberText).toInt(&ok);
  return ok ? number : 0;
}

std::optional<unsigned> AskForComPort() {
  TComSelectForm form;
  if (form.exec() != TComSelectForm::kResultOk) return std::nullopt;
  const int number = form.SelectedComNum();
  if (number <= 0) return std::nullopt;
  return static_cast<unsigned>(number);
}

void InstallComSelectForm() {
  SetPortSelectionProvider([] {
    std::optional<unsigned> chosen;
    Synchronize([&] { chosen = AskForComPort(); });
    return chosen;
  });
}
