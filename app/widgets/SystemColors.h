#pragma once

#include <QColor>
#include <QPalette>

// The interface's colours, derived from a palette so they follow light and dark appearance.
QColor LabelColor(const QPalette& palette);           // ordinary text
QColor SecondaryLabelColor(const QPalette& palette);  // captions, hints, subtitles
QColor TertiaryLabelColor(const QPalette& palette);   // least prominent marks
// The platform's system colours, with their dark-mode variants when the palette is dark.
QColor SystemOrangeColor(const QPalette& palette);
QColor SystemGreenColor(const QPalette& palette);
QColor SystemRedColor(const QPalette& palette);
