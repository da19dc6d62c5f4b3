#include "client/ui/config_form.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>

#include "client/ui/ip_address_edit.h"

TConfigForm::TConfigForm(QWidget* owner)
    : TCheckedDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                                Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint) {
  setObjectName(QStringLiteral("ConfigForm"));
  setWindowTitle(QStringLiteral("Настройки"));
  setFixedSize(197, 149);

  RemotePort = new QLineEdit(this);
  RemotePort->setObjectName(QStringLiteral("RemotePort"));
  RemotePort->setGeometry(72, 16, 120, 24);
  QFont bold = RemotePort->font();
  bold.setBold(true);
  RemotePort->setFont(bold);
  RemotePortLabel = new QLabel(QStringLiteral("Порт "), this);
  RemotePortLabel->setGeometry(16, 18, 52, 21);
  RemotePortLabel->setBuddy(RemotePort);

  IPLabel = new QLabel(QStringLiteral("IP адрес"), this);
  IPLabel->setGeometry(16, 70, 54, 17);

  btnSave = new QPushButton(QStringLiteral("Сохранить"), this);
  btnSave->setObjectName(QStringLiteral("btnSave"));
  btnSave->setGeometry(45, 112, 113, 25);
  connect(btnSave, &QPushButton::clicked, this, [this] { Confirm(kResultYes); });

  FormCreate();
}

void TConfigForm::FormCreate() {
  IPAddressHandle = new TIPAddressEdit(this);
  IPAddressHandle->setObjectName(QStringLiteral("IPAddress"));
  IPAddressHandle->setGeometry(72, 68, 120, 20);
  IPLabel->setBuddy(IPAddressHandle);
  setTabOrder(RemotePort, IPAddressHandle);
  setTabOrder(IPAddressHandle->Field(3), btnSave);
  // Only digits can be typed into the port.
  RemotePort->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), RemotePort));
}
