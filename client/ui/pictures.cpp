#include "client/ui/pictures.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <cmath>
#include <functional>

namespace {

const QColor kBlue(0x2F, 0x6F, 0xC0);
const QColor kPaper(0xFF, 0xFF, 0xF4);
const QColor kDark(0x30, 0x30, 0x40);

QIcon Draw(int size, const std::function<void(QPainter&)>& paint) {
  QPixmap pixmap(size, size);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  p.scale(size / 48.0, size / 48.0);  // every picture is drawn on a 48 x 48 grid
  paint(p);
  return QIcon(pixmap);
}

void Envelope(QPainter& p, const QRectF& r) {
  p.setPen(QPen(kDark, 2));
  p.setBrush(kPaper);
  p.drawRect(r);
  QPainterPath flap;
  flap.moveTo(r.topLeft());
  flap.lineTo(r.center().x(), r.top() + r.height() * 0.55);
  flap.lineTo(r.topRight());
  p.setBrush(Qt::NoBrush);
  p.drawPath(flap);
}

void Arrow(QPainter& p, QPointF from, QPointF to, const QColor& colour) {
  p.setPen(QPen(colour, 4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  p.drawLine(from, to);
  const double angle = std::atan2(to.y() - from.y(), to.x() - from.x());
  const double head = 8;
  const QPointF a = to - QPointF(head * std::cos(angle - 0.6), head * std::sin(angle - 0.6));
  const QPointF b = to - QPointF(head * std::cos(angle + 0.6), head * std::sin(angle + 0.6));
  p.drawLine(to, a);
  p.drawLine(to, b);
}

void Person(QPainter& p, QPointF at, double scale, const QColor& colour) {
  p.setPen(Qt::NoPen);
  p.setBrush(colour);
  p.drawEllipse(at + QPointF(-6 * scale, -18 * scale), 6 * scale, 6 * scale);
  p.drawRoundedRect(QRectF(at.x() - 10 * scale, at.y() - 10 * scale, 20 * scale, 14 * scale), 6 * scale, 6 * scale);
}

}  // namespace

QIcon ComposePicture() {
  return Draw(48, [](QPainter& p) {
    p.setPen(QPen(kDark, 2));
    p.setBrush(kPaper);
    p.drawRect(QRectF(8, 6, 26, 34));
    p.setPen(QPen(QColor(0x90, 0x90, 0x90), 2));
    for (int y = 14; y <= 30; y += 6) p.drawLine(QPointF(12, y), QPointF(30, y));
    p.setPen(QPen(kBlue, 5, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(42, 12), QPointF(24, 38));
    p.setPen(QPen(kDark, 2));
    p.drawLine(QPointF(24, 38), QPointF(22, 42));
  });
}

QIcon OutBoxPicture() {
  return Draw(48, [](QPainter& p) {
    Envelope(p, QRectF(4, 16, 30, 22));
    Arrow(p, QPointF(26, 12), QPointF(44, 12), QColor(0x20, 0x90, 0x30));
  });
}

QIcon InBoxPicture() {
  return Draw(48, [](QPainter& p) {
    Envelope(p, QRectF(14, 16, 30, 22));
    Arrow(p, QPointF(4, 12), QPointF(22, 12), QColor(0xD0, 0x70, 0x10));
  });
}

QIcon ContactsPicture() {
  return Draw(48, [](QPainter& p) {
    Person(p, QPointF(32, 30), 1.0, QColor(0x7A, 0x9C, 0xC8));
    Person(p, QPointF(20, 40), 1.3, kBlue);
  });
}

QIcon OptionsPicture() {
  return Draw(48, [](QPainter& p) {
    p.translate(24, 24);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x70, 0x78, 0x88));
    for (int i = 0; i < 8; ++i) {
      p.drawRect(QRectF(-4, -20, 8, 10));
      p.rotate(45);
    }
    p.drawEllipse(QPointF(0, 0), 13, 13);
    p.setBrush(Qt::white);
    p.drawEllipse(QPointF(0, 0), 5, 5);
  });
}

QIcon AddPicture() {
  return Draw(24, [](QPainter& p) {
    p.setPen(QPen(QColor(0x20, 0x90, 0x30), 8, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(24, 8), QPointF(24, 40));
    p.drawLine(QPointF(8, 24), QPointF(40, 24));
  });
}

QIcon EditPicture() {
  return Draw(24, [](QPainter& p) {
    p.setPen(QPen(QColor(0xD0, 0x90, 0x10), 9, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(38, 10), QPointF(14, 34));
    p.setPen(QPen(kDark, 4, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(12, 36), QPointF(8, 42));
  });
}

QIcon RemovePicture() {
  return Draw(24, [](QPainter& p) {
    p.setPen(QPen(QColor(0xC8, 0x20, 0x20), 8, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(12, 12), QPointF(36, 36));
    p.drawLine(QPointF(36, 12), QPointF(12, 36));
  });
}

QIcon SearchPicture() {
  return Draw(24, [](QPainter& p) {
    p.setPen(QPen(kDark, 5));
    p.setBrush(QColor(0xD8, 0xEC, 0xFF));
    p.drawEllipse(QPointF(20, 20), 12, 12);
    p.setPen(QPen(kDark, 8, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(30, 30), QPointF(42, 42));
  });
}

QIcon ProgramIcon() {
  return Draw(48, [](QPainter& p) {
    p.setPen(Qt::NoPen);
    p.setBrush(kBlue);
    p.drawRoundedRect(QRectF(4, 6, 40, 28), 8, 8);
    QPainterPath tail;
    tail.moveTo(12, 32);
    tail.lineTo(10, 44);
    tail.lineTo(24, 32);
    p.drawPath(tail);
    p.setPen(QPen(Qt::white, 3));
    QFont font;
    font.setPixelSize(14);
    font.setBold(true);
    p.setFont(font);
    p.drawText(QRectF(4, 6, 40, 28), Qt::AlignCenter, QStringLiteral("SMS"));
  });
}
