#include "desktop/InterfaceLanguage.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QPointer>
#include <QSettings>
#include <QTranslator>

namespace {

const QString kSettingKey = QStringLiteral("InterfaceLanguage");

}  // namespace

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

int LoadInterfaceLanguage() {
  // Only a setting that was never saved falls back to the system's list.
  const QSettings settings;
  return InterfaceLanguageFor(
      settings.contains(kSettingKey) ? settings.value(kSettingKey) : QVariant(),
      QLocale::system().uiLanguages());
}

void SaveInterfaceLanguage(int language) {
  QSettings().setValue(kSettingKey, language == 1 ? QStringLiteral("ru") : QStringLiteral("en"));
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
