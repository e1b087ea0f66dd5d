#include "LogView.h"

#include <QLayout>
#include <QPainter>
#include <QPainterPath>
#include <QScrollBar>

namespace {

constexpr float kPanelAlpha = 0.55f;
// The scroll bar keeps this far from the top, bottom and right edges, which puts its square
// ends inside the rounded corners.
constexpr int kScrollBarInsetY = 6;
constexpr int kScrollBarInsetRight = 3;

}  // namespace

LogView::LogView(QWidget* parent) : QPlainTextEdit(parent) {
  setFrameShape(QFrame::NoFrame);
  document()->setDocumentMargin(kTextInset);
  // The scroll bar sits in a transparent holder of the scroll area's own; margins in the holder
  // move the bar in from the corners while the holder keeps the edge.
  if (QWidget* holder = verticalScrollBar()->parentWidget(); holder && holder != this) {
    if (QLayout* layout = holder->layout()) {
      layout->setContentsMargins(0, kScrollBarInsetY, kScrollBarInsetRight, kScrollBarInsetY);
    }
  }
  // The panel behind the text is painted by this view, rounded; the viewport draws no square
  // background over it.
  viewport()->setAutoFillBackground(false);
}

QColor LogView::panelColor(const QPalette& palette) {
  QColor color = palette.color(QPalette::Base);
  color.setAlphaF(kPanelAlpha);
  return color;
}

bool LogView::event(QEvent* event) {
  switch (event->type()) {
    case QEvent::Paint:
      paintPanel();
      break;
    case QEvent::FocusIn:
    case QEvent::FocusOut:
      update();
      break;
    default:
      break;
  }
  return QPlainTextEdit::event(event);
}

void LogView::paintPanel() {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  QPainterPath panel;
  panel.addRoundedRect(QRectF(rect()), kCornerRadius, kCornerRadius);
  painter.fillPath(panel, panelColor(palette()));
  // The ring shows when the focus came by keyboard, as the buttons' focus does.
  if (hasFocus() && window()->testAttribute(Qt::WA_KeyboardFocusChange)) {
    QPainterPath ring;
    ring.addRoundedRect(QRectF(rect()).adjusted(1, 1, -1, -1), kCornerRadius - 1,
                        kCornerRadius - 1);
    painter.setPen(QPen(palette().color(QPalette::Highlight), 2));
    painter.drawPath(ring);
  }
}
