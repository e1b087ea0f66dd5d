#pragma once

#include <QColor>
#include <QWidget>

// The small round lamp of the device card. It holds the name of a system colour rather than a
// fixed value, so it repaints in the right shade when the palette turns light or dark.
class StatusDot : public QWidget {
  Q_OBJECT

 public:
  enum class Tone { TertiaryLabel, Orange, Green, Red };

  explicit StatusDot(QWidget* parent = nullptr);

  Tone tone() const { return tone_; }
  void setTone(Tone tone);

  // The colour of `tone` under `palette` (see SystemColors.h).
  static QColor colorFor(Tone tone, const QPalette& palette);
  QColor color() const { return colorFor(tone_, palette()); }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  Tone tone_ = Tone::TertiaryLabel;
};
