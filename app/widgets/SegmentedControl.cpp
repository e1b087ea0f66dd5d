#include "widgets/SegmentedControl.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QHBoxLayout>
#include <QPainter>
#include <QPainterPath>

namespace {

constexpr qreal kCornerRadius = 6;

// One segment: the selected one is filled with the palette's selection colour and its label drawn
// in the selection's text colour, which stands out in light and dark palettes alike; the others
// are plain button faces. Each segment paints its part of the control's rounded outline.
class Segment : public QAbstractButton {
 public:
  Segment(const QString& label, QWidget* parent) : QAbstractButton(parent) {
    setText(label);
    setCheckable(true);
    // One of a set: a screen reader hears a choice, and which one is selected.
    setAutoExclusive(true);
    setFocusPolicy(Qt::TabFocus);
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
  }

  QSize sizeHint() const override {
    const QFontMetrics metrics(font());
    return {metrics.horizontalAdvance(text()) + 16, metrics.height() + 8};
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QPalette& colours = palette();
    // The whole control's outline, in this segment's coordinates; the segment shows its part.
    const QRectF whole =
        QRectF(parentWidget()->rect()).translated(-pos()).adjusted(0.5, 0.5, -0.5, -0.5);
    QPainterPath outline;
    outline.addRoundedRect(whole, kCornerRadius, kCornerRadius);

    QColor face =
        isChecked() ? colours.color(QPalette::Highlight) : colours.color(QPalette::Button);
    if (isDown()) {
      face = face.darker(115);
    }
    painter.fillPath(outline, face);
    painter.setPen(QPen(colours.color(QPalette::Mid), 1));
    painter.drawPath(outline);
    if (x() > 0) {
      painter.drawLine(QPointF(0.5, 0), QPointF(0.5, height()));
    }

    const QColor ink = isChecked() ? colours.color(QPalette::HighlightedText)
                                   : colours.color(QPalette::ButtonText);
    if (hasFocus() && window()->testAttribute(Qt::WA_KeyboardFocusChange)) {
      // A ring inside the segment in the colour of its label: visible on either face.
      QPainterPath ring;
      ring.addRoundedRect(QRectF(rect()).adjusted(2.5, 2.5, -2.5, -2.5), 3, 3);
      painter.setPen(QPen(ink, 1.5));
      painter.drawPath(ring);
    }
    QFont label = font();
    label.setBold(isChecked());
    painter.setFont(label);
    painter.setPen(isEnabled() ? ink : colours.color(QPalette::Disabled, QPalette::ButtonText));
    painter.drawText(rect(), Qt::AlignCenter | Qt::TextSingleLine, text());
  }
};

}  // namespace

SegmentedControl::SegmentedControl(const QStringList& labels, QWidget* parent)
    : QWidget(parent), group_(new QButtonGroup(this)) {
  group_->setExclusive(true);
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  for (int i = 0; i < labels.size(); ++i) {
    auto* button = new Segment(labels[i], this);
    group_->addButton(button, i);
    layout->addWidget(button);
  }
  connect(group_, &QButtonGroup::idClicked, this, &SegmentedControl::segmentClicked);
}

int SegmentedControl::selectedSegment() const {
  return group_->checkedId();
}

void SegmentedControl::setSelectedSegment(int index) {
  if (QAbstractButton* button = group_->button(index)) {
    button->setChecked(true);
  }
}

QAbstractButton* SegmentedControl::segment(int index) const {
  return group_->button(index);
}
