#include "desktop/TextFormat.h"

#include <charconv>

namespace {

QString ReplaceFirst(const QString& format, QLatin1StringView placeholder, const QString& value) {
  const qsizetype at = format.indexOf(placeholder);
  if (at < 0) {
    return format;
  }
  QString result = format;
  result.replace(at, placeholder.size(), value);
  return result;
}

}  // namespace

QString FormatWithString(const QString& format, const QString& value) {
  return ReplaceFirst(format, QLatin1StringView("%@"), value);
}

QString FormatWithInt(const QString& format, int value) {
  return ReplaceFirst(format, QLatin1StringView("%d"), QString::number(value));
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
