#include "widgets/LogView.h"

#include <QFontDatabase>
#include <QLayout>
#include <QPainter>
#include <QPainterPath>
#include <QScrollBar>
#include <QTextCursor>
#include <QTextDocument>

namespace {

constexpr float kPanelAlpha = 0.55f;
// The scroll bar keeps this far from the top, bottom and right edges, which puts its square
// ends inside the rounded corners.
constexpr int kScrollBarInsetY = 6;
constexpr int kScrollBarInsetRight = 3;

QTextCharFormat MakeLogFormat() {
  QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
  font.setPixelSize(11);
  font.setWeight(QFont::Normal);
  font.setItalic(false);
  QTextCharFormat format;
  format.setFont(font, QTextCharFormat::FontPropertiesAll);
  // No foreground is set: the log view draws such text in its palette's text colour, which
  // follows the light or dark appearance.
  return format;
}

}  // namespace

LogView::LogView(QWidget* parent) : QPlainTextEdit(parent), format_(MakeLogFormat()) {
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

void LogView::appendText(const QString& text) {
  if (text.isEmpty()) {
    return;
  }
  // A cursor of its own writes at the end. A selection or caret that touches the end would move
  // along with the insertion, so it is put back: the user's selection stays as it was.
  const QTextCursor selection = textCursor();
  const int anchor = selection.anchor();
  const int position = selection.position();
  QTextCursor cursor(document());
  cursor.movePosition(QTextCursor::End);
  cursor.insertText(text, format_);
  if (textCursor().anchor() != anchor || textCursor().position() != position) {
    QTextCursor restored(document());
    restored.setPosition(anchor);
    restored.setPosition(position, QTextCursor::KeepAnchor);
    setTextCursor(restored);
  }
  QScrollBar* bar = verticalScrollBar();
  bar->setValue(bar->maximum());
}
