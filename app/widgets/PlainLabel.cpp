#include "widgets/PlainLabel.h"

#include <QPainter>
#include <QTextLayout>
#include <algorithm>

#include "widgets/SystemColors.h"

namespace {

QString OneLine(QString text) {
  text.replace(QLatin1Char('\n'), QLatin1Char(' '));
  return text;
}

}  // namespace

PlainLabel::PlainLabel(QWidget* parent) : QLabel(parent) {
  setTextFormat(Qt::PlainText);
  setTextInteractionFlags(Qt::NoTextInteraction);
  setWordWrap(false);
}

void PlainLabel::setElideMode(Elide mode) {
  elide_ = mode;
  update();
}

void PlainLabel::setMaxLines(int lines) {
  maxLines_ = std::clamp(lines, 1, 2);
  update();
}

void PlainLabel::setTone(Tone tone) {
  tone_ = tone;
  update();
}

QColor PlainLabel::textColor() const {
  switch (tone_) {
    case Tone::Secondary:
      return SecondaryLabelColor(palette());
    case Tone::Tertiary:
      return TertiaryLabelColor(palette());
    case Tone::Warning:  // the system red, as the status dot of a failed check
      return SystemRedColor(palette());
    case Tone::Primary:
      break;
  }
  return LabelColor(palette());
}

QStringList PlainLabel::displayedLines() const {
  const QFontMetrics metrics(font());
  const int width = contentsRect().width();
  const Qt::TextElideMode mode = elide_ == Elide::Middle ? Qt::ElideMiddle : Qt::ElideRight;
  const QString whole = text();
  if (whole.isEmpty())
    return {};
  if (maxLines_ == 1)
    return {metrics.elidedText(OneLine(whole), mode, width)};

  // Wrap at word boundaries (inside a word only when it is longer than the line); whatever does
  // not fit on the first line is cut on the second.
  QTextLayout layout(whole, font());
  QTextOption option;
  option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
  layout.setTextOption(option);
  layout.beginLayout();
  QStringList lines;
  for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
    line.setLineWidth(width);
    if (lines.size() == maxLines_ - 1) {
      lines << metrics.elidedText(OneLine(whole.mid(line.textStart())).trimmed(), mode, width);
      break;
    }
    lines << whole.mid(line.textStart(), line.textLength()).trimmed();
  }
  layout.endLayout();
  return lines;
}

void PlainLabel::paintEvent(QPaintEvent*) {
  const QStringList lines = displayedLines();
  if (lines.isEmpty())
    return;
  QPainter painter(this);
  painter.setFont(font());
  painter.setPen(textColor());

  const QFontMetrics metrics(font());
  const QRect area = contentsRect();
  const int height = metrics.height() + (lines.size() - 1) * metrics.lineSpacing();
  int top = area.top();
  if (alignment() & Qt::AlignBottom)
    top = area.bottom() + 1 - height;
  if (alignment() & Qt::AlignVCenter)
    top = area.top() + (area.height() - height) / 2;

  const Qt::Alignment horizontal = alignment() & Qt::AlignHorizontal_Mask;
  for (const QString& line : lines) {
    painter.drawText(QRect(area.left(), top, area.width(), metrics.height()),
                     horizontal | Qt::AlignTop | Qt::TextSingleLine, line);
    top += metrics.lineSpacing();
  }
}
