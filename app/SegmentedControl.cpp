#include "SegmentedControl.h"

#include <QButtonGroup>
#include <QHBoxLayout>
#include <QPushButton>

SegmentedControl::SegmentedControl(const QStringList& labels, QWidget* parent)
    : QWidget(parent), group_(new QButtonGroup(this)) {
  group_->setExclusive(true);
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  for (int i = 0; i < labels.size(); ++i) {
    auto* button = new QPushButton(labels[i], this);
    button->setCheckable(true);
    button->setFocusPolicy(Qt::TabFocus);
    button->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
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
