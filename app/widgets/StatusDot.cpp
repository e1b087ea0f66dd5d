#include "widgets/StatusDot.h"

#include <QPainter>

#include "widgets/PlainLabel.h"

namespace {

bool IsDark(const QPalette& palette) {
  return palette.color(QPalette::Window).lightness() < 128;
}

}  // namespace

StatusDot::StatusDot(QWidget* parent) : QWidget(parent) {}

void StatusDot::setTone(Tone tone) {
  if (tone_ == tone) {
    return;
  }
  tone_ = tone;
  update();
}

QColor StatusDot::colorFor(Tone tone, const QPalette& palette) {
  const bool dark = IsDark(palette);
  switch (tone) {
    case Tone::TertiaryLabel:
      return TertiaryLabelColor(palette);
    case Tone::Orange:
      return dark ? QColor(255, 159, 10) : QColor(255, 149, 0);
    case Tone::Green:
      return dark ? QColor(48, 209, 88) : QColor(52, 199, 89);
    case Tone::Red:
      return dark ? QColor(255, 69, 58) : QColor(255, 59, 48);
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
