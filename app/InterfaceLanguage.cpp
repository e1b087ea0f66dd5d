#include "InterfaceLanguage.h"

int InterfaceLanguageFor(const QVariant& stored, const QStringList& preferredLanguages) {
  QString language;
  if (stored.isValid()) {
    language = stored.toString();
  } else if (!preferredLanguages.isEmpty()) {
    language = preferredLanguages.constFirst();
  }
  return language.startsWith(QLatin1String("ru"), Qt::CaseSensitive) ? 1 : 0;
}
