#include "widgets/CardView.h"

#include <QApplication>
#include <QEvent>
#include <QPainter>

#include "widgets/PlainLabel.h"

namespace {

constexpr qreal kCornerRadius = 12;
constexpr qreal kBorderWidth = 1;
constexpr float kBackgroundAlpha = 0.6f;
// Separators are the ordinary text colour, faintly: dark lines on light panels, light on dark.
constexpr float kBorderAlpha = 0.1f;

constexpr int kCaptionPixelSize = 10;

}  // namespace

CardView::CardView(QWidget* parent) : QWidget(parent) {}

QColor CardView::backgroundColor(const QPalette& palette) {
  QColor color = palette.color(QPalette::Base);
  color.setAlphaF(kBackgroundAlpha);
  return color;
}

QColor CardView::borderColor(const QPalette& palette) {
  QColor color = palette.color(QPalette::WindowText);
  color.setAlphaF(kBorderAlpha);
  return color;
}

void CardView::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(QPen(borderColor(palette()), kBorderWidth));
  painter.setBrush(backgroundColor(palette()));
  // The border lies inside the bounds, its outer edge on the rounded outline.
  const qreal half = kBorderWidth / 2;
  painter.drawRoundedRect(QRectF(rect()).adjusted(half, half, -half, -half), kCornerRadius - half,
                          kCornerRadius - half);
}

void CardView::changeEvent(QEvent* event) {
  // The colours are taken from the palette at each paint, so a switch between light and dark
  // only needs a repaint.
  if (event->type() == QEvent::PaletteChange || event->type() == QEvent::StyleChange)
    update();
  QWidget::changeEvent(event);
}

PlainLabel* MakeCaption(const QRect& frame, QWidget* parent) {
  auto* caption = new PlainLabel(parent);
  caption->setGeometry(frame);
  QFont font = QApplication::font();
  font.setPixelSize(kCaptionPixelSize);
  font.setWeight(QFont::DemiBold);
  caption->setFont(font);
  caption->setTone(PlainLabel::Tone::Secondary);
  caption->setElideMode(PlainLabel::Elide::Tail);
  if (parent && parent->isVisible())
    caption->show();
  return caption;
}
