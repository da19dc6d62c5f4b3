#include "server/qt/splash_art.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

namespace {

// An envelope with a signal arc above it, in a square of the given size at (x, y).
void DrawEnvelope(QPainter& p, qreal x, qreal y, qreal size, const QColor& paper, const QColor& ink) {
  const QRectF body(x, y + size * 0.35, size, size * 0.6);
  p.setPen(QPen(ink, size / 24));
  p.setBrush(paper);
  p.drawRoundedRect(body, size / 16, size / 16);
  QPainterPath flap;
  flap.moveTo(body.topLeft());
  flap.lineTo(body.center().x(), body.top() + body.height() * 0.55);
  flap.lineTo(body.topRight());
  p.setBrush(Qt::NoBrush);
  p.drawPath(flap);
  for (int i = 1; i <= 2; ++i) {
    const qreal r = size * 0.14 * i;
    p.drawArc(QRectF(x + size / 2 - r, y + size * 0.3 - r, 2 * r, 2 * r), 50 * 16, 80 * 16);
  }
}

}  // namespace

QPixmap SplashPicture(int width, int height) {
  QPixmap pixmap(width, height);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  QLinearGradient sky(0, 0, 0, height);
  sky.setColorAt(0, QColor(20, 60, 110));
  sky.setColorAt(1, QColor(40, 130, 170));
  p.fillRect(pixmap.rect(), sky);
  DrawEnvelope(p, width / 2.0 - 60, 40, 120, QColor(250, 250, 245), QColor(255, 200, 60));
  QFont title = p.font();
  title.setPixelSize(30);
  title.setBold(true);
  p.setFont(title);
  p.setPen(Qt::white);
  p.drawText(QRectF(0, height * 0.62, width, 40), Qt::AlignCenter, QStringLiteral("Trelm SMS Server"));
  QFont small = p.font();
  small.setPixelSize(14);
  small.setBold(false);
  p.setFont(small);
  p.setPen(QColor(210, 230, 245));
  p.drawText(QRectF(0, height * 0.62 + 44, width, 24), Qt::AlignCenter,
             QString::fromUtf8("SMS-шлюз"));
  return pixmap;
}

QIcon TrayPicture() {
  QPixmap pixmap(32, 32);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  DrawEnvelope(p, 2, 0, 28, QColor(250, 250, 245), QColor(20, 60, 110));
  return QIcon(pixmap);
}
