#include "session/OutputParser.h"

#include <QByteArray>
#include <QRegularExpression>
#include <algorithm>
#include <cstdio>

namespace {

bool IsLineBreak(QChar c) {
  switch (c.unicode()) {
    case u'\n':
    case u'\v':
    case u'\f':
    case u'\r':
    case 0x0085:  // next line
    case 0x2028:  // line separator
    case 0x2029:  // paragraph separator
      return true;
    default:
      return false;
  }
}

// The number of a progress line such as "Erase  37% (12/32)", scanned the way the C library's
// sscanf scans "<word> %u%%": the word, any white space (none included), then an unsigned number;
// the percent sign and whatever follows are not needed. A number written with a minus sign wraps
// to a huge unsigned value, as sscanf makes it.
bool ScanProgress(const QByteArray& line, const char* format, unsigned* number) {
  return std::sscanf(line.constData(), format, number) == 1;
}

int ClampedPercent(unsigned number) {
  return number >= 100u ? 100 : int(number);
}

// Half a percent of the bar per percent of the phase, so a phase fills at most half of it.
double HalfBar(unsigned number) {
  return std::min(number * 0.5, 50.0);
}

constexpr quint16 kAkaiVendor = 0x09e8;
constexpr quint16 kSamplerProduct = 0x0061;

// The watch's lines: "AKAI device 09e8:0061 connected at bus 1, port 1.4." and
// "AKAI device 09e8:0061 disconnected from bus 1, device 4.".
bool RecogniseDeviceLine(const QString& line, OutputLine* out) {
  static const QRegularExpression pattern(QStringLiteral(
      "^AKAI device ([0-9a-f]{4}):([0-9a-f]{4}) (connected at|disconnected from) (.+)\\.$"));
  const QRegularExpressionMatch match = pattern.match(line);
  if (!match.hasMatch()) {
    return false;
  }
  const bool arrived = match.capturedView(3) == QLatin1String("connected at");
  *out = {arrived ? OutputLine::Kind::DeviceConnected : OutputLine::Kind::DeviceDisconnected,
          0,
          -1,
          line,
          quint16(match.capturedView(1).toUInt(nullptr, 16)),
          quint16(match.capturedView(2).toUInt(nullptr, 16)),
          match.captured(4)};
  return true;
}

// "Found AKAI device 09e8:0062 "MPC1000" at bus 1, port 1.4: it is not an MPC4000 in "OS Loader"
// mode.", the name left out when the device gives none.
bool RecogniseOtherDevice(const QString& line, OutputLine* out) {
  static const QRegularExpression pattern(
      QStringLiteral("^Found AKAI device ([0-9a-f]{4}):([0-9a-f]{4})(?: \"(.*)\")? at (.+): "
                     "it is not an MPC4000 in \"OS Loader\" mode\\.$"));
  const QRegularExpressionMatch match = pattern.match(line);
  if (!match.hasMatch()) {
    return false;
  }
  *out = {OutputLine::Kind::OtherDevice,
          0,
          -1,
          line,
          quint16(match.capturedView(1).toUInt(nullptr, 16)),
          quint16(match.capturedView(2).toUInt(nullptr, 16)),
          match.captured(4),
          OutputLine::Cause::OtherDevice,
          match.captured(3)};
  return true;
}

// The cause a platform's code names in "<call> failed: IOReturn 0x%08x.".
OutputLine::Cause CauseOfCode(QStringView code) {
  if (code == QLatin1String("e00002c0")) {
    return OutputLine::Cause::Disconnected;
  }
  if (code == QLatin1String("e00002d6")) {
    return OutputLine::Cause::StoppedAnswering;
  }
  if (code == QLatin1String("e00002c1")) {
    return OutputLine::Cause::NoPermission;
  }
  if (code == QLatin1String("e00002c5")) {
    return OutputLine::Cause::InUse;
  }
  return OutputLine::Cause::None;
}

// A line that tells why the sampler could not be used or why a step failed.
bool RecogniseFailure(const QString& line, OutputLine* out) {
  using Cause = OutputLine::Cause;
  static const QRegularExpression notFound(
      QStringLiteral("^AKAI device [0-9a-f]{4}:[0-9a-f]{4} was not found\\.$"));
  static const QRegularExpression code(QStringLiteral(" failed: IOReturn 0x([0-9a-f]{8})\\.$"));
  static const QRegularExpression program(
      QStringLiteral("^The sampler's interface is in use by (.+) \\(process (\\d+)\\)\\.$"));
  static const QRegularExpression status(
      QStringLiteral("^Device returned status error (0x[0-9a-f]{2})\\.$"));
  Cause cause = Cause::None;
  QString name;
  QString detail;
  if (notFound.match(line).hasMatch()) {
    cause = Cause::NotFound;
  } else if (const auto failedCall = code.match(line); failedCall.hasMatch()) {
    cause = CauseOfCode(failedCall.capturedView(1));
  } else if (line.startsWith(QLatin1String("No permission to open the sampler"))) {
    cause = Cause::NoPermission;
  } else if (const auto holder = program.match(line); holder.hasMatch()) {
    cause = Cause::InUse;
    name = holder.captured(1);
    detail = holder.captured(2);
  } else if (line == QLatin1String("The sampler's interface is in use by another program or a "
                                   "driver.")) {
    cause = Cause::InUse;
  } else if (const auto refusal = status.match(line); refusal.hasMatch()) {
    cause = Cause::RefusedStep;
    detail = refusal.captured(1);
  } else if (line.startsWith(QLatin1String("Firmware SHA-256 mismatch: "))) {
    cause = Cause::ImageChanged;
  }
  if (cause == Cause::None) {
    return false;
  }
  *out = {OutputLine::Kind::Failure, 0, -1, line, 0, 0, QString(), cause, name, detail};
  return true;
}

// The meaning of one trimmed, non-empty line; false when it has none. The first test that
// matches decides.
bool RecogniseLine(const QString& line, OutputLine* out) {
  const QByteArray utf8 = line.toUtf8();
  unsigned number = 0;
  if (ScanProgress(utf8, "Erase %u%%", &number)) {
    *out = {OutputLine::Kind::Erase, HalfBar(number), ClampedPercent(number), line};
  } else if (ScanProgress(utf8, "Write %u%%", &number)) {
    *out = {OutputLine::Kind::Write, 50.0 + HalfBar(number), ClampedPercent(number), line};
  } else if (line.contains(QLatin1String("Flash geometry:"))) {
    *out = {OutputLine::Kind::Geometry, 0, -1, line};
  } else if (line.contains(QLatin1String("OS upload complete"))) {
    *out = {OutputLine::Kind::Completion, 100.0, -1, line};
  } else if (line.contains(QLatin1String("Erasing flash"))) {
    *out = {OutputLine::Kind::EraseBegins, 0, -1, line};
  } else if (line.contains(QLatin1String("Writing firmware"))) {
    *out = {OutputLine::Kind::WriteBegins, 0, -1, line};
  } else {
    return RecogniseDeviceLine(line, out) || RecogniseOtherDevice(line, out) ||
           RecogniseFailure(line, out);
  }
  return true;
}

}  // namespace

bool OutputLine::isProgress() const {
  return kind == Kind::Erase || kind == Kind::Write || kind == Kind::Completion;
}

QString OutputLine::operationKey() const {
  switch (kind) {
    case Kind::Erase:
      return QStringLiteral("op.erase");
    case Kind::Write:
      return QStringLiteral("op.write");
    case Kind::Completion:
      return QStringLiteral("op.done");
    default:
      return QString();
  }
}

bool OutputLine::isSampler() const {
  return vendorId == kAkaiVendor && productId == kSamplerProduct;
}

QList<OutputLine> ParseToolOutput(QStringView text) {
  QList<OutputLine> lines;
  qsizetype start = 0;
  for (qsizetype i = 0; i <= text.size(); ++i) {
    if (i < text.size() && !IsLineBreak(text[i])) {
      continue;
    }
    // Pieces between two adjacent breaks are empty and match nothing.
    const QString line = text.sliced(start, i - start).trimmed().toString();
    start = i + 1;
    OutputLine recognised;
    if (line.isEmpty() || !RecogniseLine(line, &recognised)) {
      continue;
    }
    lines.append(recognised);
    // A tool of an earlier version wrote a failure straight after the open progress record, on
    // its line: "Erase  12% (6/48)USB read failed: IOReturn 0xe00002c0.".
    const qsizetype recordEnd = line.indexOf(QLatin1Char(')'));
    if ((recognised.kind == OutputLine::Kind::Erase ||
         recognised.kind == OutputLine::Kind::Write) &&
        recordEnd > 0 && RecogniseFailure(line.sliced(recordEnd + 1).trimmed(), &recognised)) {
      lines.append(recognised);
    }
  }
  return lines;
}
