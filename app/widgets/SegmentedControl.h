#pragma once

#include <QStringList>
#include <QWidget>

class QAbstractButton;
class QButtonGroup;

// A row of checkable buttons of which exactly one is selected, like a segmented switch.
class SegmentedControl : public QWidget {
  Q_OBJECT

 public:
  SegmentedControl(const QStringList& labels, QWidget* parent = nullptr);

  // The index of the selected segment, -1 when none is.
  int selectedSegment() const;
  // Selects a segment without emitting segmentClicked.
  void setSelectedSegment(int index);

  QAbstractButton* segment(int index) const;

 signals:
  // The user clicked a segment, also one that was already selected.
  void segmentClicked(int index);

 private:
  QButtonGroup* group_;
};
