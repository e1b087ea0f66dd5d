#include "widgets/SystemColors.h"

namespace {

// The desktop's secondary and tertiary texts are its ordinary text colour made translucent, so
// they stay readable on light and dark backgrounds alike.
constexpr float kSecondaryAlpha = 0.5f;
constexpr float kTertiaryAlpha = 0.26f;

QColor WithAlpha(QColor color, float alpha) {
  color.setAlphaF(alpha);
  return color;
}

bool IsDark(const QPalette& palette) {
  return palette.color(QPalette::Window).lightness() < 128;
}

}  // namespace

QColor LabelColor(const QPalette& palette) {
  return palette.color(QPalette::WindowText);
}

QColor SecondaryLabelColor(const QPalette& palette) {
  return WithAlpha(LabelColor(palette), kSecondaryAlpha);
}

QColor TertiaryLabelColor(const QPalette& palette) {
  return WithAlpha(LabelColor(palette), kTertiaryAlpha);
}

QColor SystemOrangeColor(const QPalette& palette) {
  return IsDark(palette) ? QColor(255, 159, 10) : QColor(255, 149, 0);
}

QColor SystemGreenColor(const QPalette& palette) {
  return IsDark(palette) ? QColor(48, 209, 88) : QColor(52, 199, 89);
}

QColor SystemRedColor(const QPalette& palette) {
  return IsDark(palette) ? QColor(255, 69, 58) : QColor(255, 59, 48);
}
