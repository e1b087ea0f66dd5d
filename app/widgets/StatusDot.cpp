#include "widgets/StatusDot.h"

#include <QPainter>

#include "widgets/SystemColors.h"

StatusDot::StatusDot(QWidget* parent) : QWidget(parent) {}

void StatusDot::setTone(Tone tone) {
  if (tone_ == tone) {
    return;
  }
  tone_ = tone;
  update();
}

QColor StatusDot::colorFor(Tone tone, const QPalette& palette) {
  switch (tone) {
    case Tone::TertiaryLabel:
      return TertiaryLabelColor(palette);
    case Tone::Orange:
      return SystemOrangeColor(palette);
    case Tone::Green:
      return SystemGreenColor(palette);
    case Tone::Red:
      return SystemRedColor(palette);
  }
  return {};
}

void StatusDot::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(Qt::NoPen);
  painter.setBrush(color());
  painter.drawEllipse(QRectF(rect()));
}
