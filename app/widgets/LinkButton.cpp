#include "widgets/LinkButton.h"

#include <QPainter>

LinkButton::LinkButton(const QString& text, QWidget* parent) : QAbstractButton(parent) {
  setText(text);
  setCursor(Qt::PointingHandCursor);
  setFocusPolicy(Qt::TabFocus);
}

QSize LinkButton::sizeHint() const {
  const QFontMetrics metrics(font());
  return {metrics.horizontalAdvance(text()), metrics.height()};
}

void LinkButton::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  // Reached with the keyboard, the link is underlined, the way a focused link reads in a browser.
  QFont face = font();
  face.setUnderline(hasFocus() && window()->testAttribute(Qt::WA_KeyboardFocusChange));
  painter.setFont(face);
  painter.setPen(palette().color(QPalette::Link));
  painter.drawText(rect(), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, text());
}
