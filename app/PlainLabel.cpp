#include "PlainLabel.h"

QColor LabelColor(const QPalette& palette) { return palette.color(QPalette::WindowText); }

QColor SecondaryLabelColor(const QPalette& palette) { return palette.color(QPalette::WindowText); }

QColor TertiaryLabelColor(const QPalette& palette) { return palette.color(QPalette::WindowText); }

PlainLabel::PlainLabel(QWidget* parent) : QLabel(parent) {}

PlainLabel::PlainLabel(const QString& text, QWidget* parent) : QLabel(text, parent) {}

void PlainLabel::setElideMode(Elide mode) { elide_ = mode; }

void PlainLabel::setMaxLines(int lines) { maxLines_ = lines; }

void PlainLabel::setTone(Tone tone) { tone_ = tone; }

QColor PlainLabel::textColor() const { return LabelColor(palette()); }

QStringList PlainLabel::displayedLines() const { return {text()}; }

void PlainLabel::paintEvent(QPaintEvent* event) { QLabel::paintEvent(event); }
