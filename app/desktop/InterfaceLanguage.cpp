#include "desktop/InterfaceLanguage.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QPointer>
#include <QTranslator>

int InterfaceLanguageFor(const QVariant& stored, const QStringList& preferredLanguages) {
  QString language;
  if (stored.isValid()) {
    // The settings file reads a value with commas, such as "ru, en", back as a list of its parts.
    language = stored.typeId() == QMetaType::QStringList
                   ? stored.toStringList().join(QLatin1String(", "))
                   : stored.toString();
  } else if (!preferredLanguages.isEmpty()) {
    language = preferredLanguages.constFirst();
  }
  return language.startsWith(QLatin1String("ru"), Qt::CaseSensitive) ? 1 : 0;
}

bool ApplyQtTranslations(int language) {
  // One translator at a time, owned by the application; a switch replaces it.
  static QPointer<QTranslator> installed;
  delete installed.data();
  if (language != 1) {
    return true;
  }
  auto* translator = new QTranslator(QCoreApplication::instance());
  if (!translator->load(QStringLiteral("qtbase_ru"),
                        QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    delete translator;
    return false;
  }
  QCoreApplication::installTranslator(translator);
  installed = translator;
  return true;
}
