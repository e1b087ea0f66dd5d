#include "desktop/TextFormat.h"

#include <charconv>

namespace {

// Replaces the first `placeholder` at or after `from` in `text` with `value`; returns where the
// value ends, or -1 when there is no placeholder left.
qsizetype ReplaceFirst(QString& text, QLatin1StringView placeholder, const QString& value,
                       qsizetype from = 0) {
  const qsizetype at = text.indexOf(placeholder, from);
  if (at < 0) {
    return -1;
  }
  text.replace(at, placeholder.size(), value);
  return at + value.size();
}

}  // namespace

QString FormatWithString(const QString& format, const QString& value) {
  QString text = format;
  ReplaceFirst(text, QLatin1StringView("%@"), value);
  return text;
}

QString FormatWithTwoStrings(const QString& format, const QString& first, const QString& second) {
  // The second value goes after the first, so a "%@" inside the first (a path may hold one) stays.
  QString text = format;
  const qsizetype end = ReplaceFirst(text, QLatin1StringView("%@"), first);
  if (end >= 0) {
    ReplaceFirst(text, QLatin1StringView("%@"), second, end);
  }
  return text;
}

QString FormatWithInt(const QString& format, int value) {
  QString text = format;
  ReplaceFirst(text, QLatin1StringView("%d"), QString::number(value));
  return text;
}

QString FormatFirmwareLabel(const QString& fileName, qint64 sizeInBytes) {
  // std::to_chars with a precision rounds exactly like printf("%.1f") in the C locale, and never
  // looks at the process locale.
  char digits[64];
  const double megabytes = double(sizeInBytes) / 1048576.0;
  const auto result =
      std::to_chars(digits, digits + sizeof digits, megabytes, std::chars_format::fixed, 1);
  const QString size = QString::fromLatin1(digits, result.ptr - digits);
  return fileName + QStringLiteral("  \u00b7  ") + size + QStringLiteral(" MB");
}

QString FormatPercent(int percent) {
  if (percent < 0) {
    return {};
  }
  return QString::number(percent) + QLatin1Char('%');
}
