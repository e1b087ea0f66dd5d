#include "desktop/TimeLeftText.h"

#include "desktop/TextFormat.h"
#include "desktop/Translations.h"

namespace {

// The plural form of a count: English has one and the rest (".few" and ".many" read alike);
// Russian has 1, 21, 31... ("минута"), 2-4, 22-24... ("минуты") and the rest, 11-14 among them
// ("минут").
const char* PluralSuffix(qint64 count) {
  if (CurrentLanguage != 1) {
    return count == 1 ? ".one" : ".many";
  }
  const qint64 tens = count % 100;
  const qint64 units = count % 10;
  if (units == 1 && tens != 11) {
    return ".one";
  }
  if (units >= 2 && units <= 4 && (tens < 12 || tens > 14)) {
    return ".few";
  }
  return ".many";
}

}  // namespace

QString TimeLeftText(TimedPhase phase, qint64 seconds) {
  const QString key = phase == TimedPhase::Erase ? QStringLiteral("window.timeLeft.erase")
                                                 : QStringLiteral("window.timeLeft.write");
  if (seconds < 60) {
    return L(key + QStringLiteral(".less"));
  }
  const qint64 minutes = (seconds + 30) / 60;
  return FormatWithInt(L(key + QLatin1String(PluralSuffix(minutes))), static_cast<int>(minutes));
}
