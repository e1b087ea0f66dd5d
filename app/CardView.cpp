#include "CardView.h"

#include "PlainLabel.h"

CardView::CardView(QWidget* parent) : QWidget(parent) {}

QColor CardView::backgroundColor(const QPalette&) { return {}; }

QColor CardView::borderColor(const QPalette&) { return {}; }

void CardView::paintEvent(QPaintEvent*) {}

void CardView::changeEvent(QEvent* event) { QWidget::changeEvent(event); }

PlainLabel* MakeCaption(const QRect& frame, QWidget* parent) {
  auto* label = new PlainLabel(parent);
  label->setGeometry(frame);
  return label;
}
