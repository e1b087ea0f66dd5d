#pragma once

#include <QColor>
#include <QLabel>
#include <QStringList>

#include "widgets/SystemColors.h"

// A label for plain, non-editable text: one line cut with an ellipsis at the tail or in the
// middle, or word-wrapped to at most two lines with the second cut at the tail. The text colour
// is one of the interface's tones and follows palette changes.
class PlainLabel : public QLabel {
  Q_OBJECT

 public:
  enum class Elide { Tail, Middle };
  enum class Tone { Primary, Secondary, Tertiary, Warning };

  explicit PlainLabel(QWidget* parent = nullptr);

  Elide elideMode() const { return elide_; }
  void setElideMode(Elide mode);

  // 1 (the default) or 2; a two-line label wraps at word boundaries.
  int maxLines() const { return maxLines_; }
  void setMaxLines(int lines);

  Tone tone() const { return tone_; }
  void setTone(Tone tone);
  // The colour the text is drawn in now.
  QColor textColor() const;

  // The lines as they are drawn at the current width, ellipses included.
  QStringList displayedLines() const;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  Elide elide_ = Elide::Tail;
  int maxLines_ = 1;
  Tone tone_ = Tone::Primary;
};
