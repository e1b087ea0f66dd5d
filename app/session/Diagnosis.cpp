#include "session/Diagnosis.h"

#include "desktop/TextFormat.h"
#include "desktop/Translations.h"

namespace {

using Cause = OutputLine::Cause;

// "MPC1000 (09e8:0062)", or "AKAI 09e8:0062" for a device that gives no name.
QString OtherDeviceName(const OutputLine& line) {
  const QString ids = QStringLiteral("%1:%2")
                          .arg(line.vendorId, 4, 16, QLatin1Char('0'))
                          .arg(line.productId, 4, 16, QLatin1Char('0'));
  return line.name.isEmpty() ? QStringLiteral("AKAI ") + ids
                             : QStringLiteral("%1 (%2)").arg(line.name, ids);
}

}  // namespace

QString DeviceAdvice(const std::optional<OutputLine>& cause) {
  if (!cause) {
    return {};
  }
  switch (cause->cause) {
    case Cause::OtherDevice:
      return FormatWithString(L("device.why.otherDevice"), OtherDeviceName(*cause));
    case Cause::NoPermission:
      return L("device.why.noPermission");
    case Cause::InUse:
      return cause->name.isEmpty()
                 ? L("device.why.inUse")
                 : FormatWithTwoStrings(L("device.why.inUseBy"), cause->name, cause->detail);
    default:
      return {};
  }
}

QString FailureAdvice(const std::optional<OutputLine>& cause) {
  switch (cause ? cause->cause : Cause::None) {
    case Cause::NotFound:
      return L("failed.why.notFound");
    case Cause::OtherDevice:
      return FormatWithString(L("failed.why.otherDevice"), OtherDeviceName(*cause));
    case Cause::NoPermission:
      return L("failed.why.noPermission");
    case Cause::InUse:
      return cause->name.isEmpty()
                 ? L("failed.why.inUse")
                 : FormatWithTwoStrings(L("failed.why.inUseBy"), cause->name, cause->detail);
    case Cause::Disconnected:
      return L("failed.why.disconnected");
    case Cause::StoppedAnswering:
      return L("failed.why.timeout");
    case Cause::RefusedStep:
      return FormatWithString(L("failed.why.refused"), cause->detail);
    case Cause::ImageChanged:
      return L("failed.why.imageChanged");
    case Cause::None:
      break;
  }
  return L("failed.text");
}
