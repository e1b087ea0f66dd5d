#pragma once

#include <QString>
#include <QtGlobal>

// Formatting of the interface's texts. The formats of the text table carry one or two
// placeholders; these fill them. Numbers never follow the user's locale: a full stop is the decimal
// separator and digits are not grouped, in every language.

// `format` with its first "%@" replaced by `value`.
QString FormatWithString(const QString& format, const QString& value);

// `format` with its first two "%@" replaced by `first` and `second`, in that order.
QString FormatWithTwoStrings(const QString& format, const QString& first, const QString& second);

// `format` with its first "%d" replaced by `value` in decimal.
QString FormatWithInt(const QString& format, int value);

// "<name>  ·  <size> MB": the size in units of 2^20 bytes with one decimal, rounded as printf's
// "%.1f" rounds.
QString FormatFirmwareLabel(const QString& fileName, qint64 sizeInBytes);

// "<n>%" for a percentage of 0 or more, the empty string for a negative one.
QString FormatPercent(int percent);
