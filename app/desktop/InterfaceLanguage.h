#pragma once

#include <QStringList>
#include <QVariant>

// The interface language at start-up (0 English, 1 Russian). `stored` is the saved
// "InterfaceLanguage" setting, invalid when none was ever saved; only then is the first of the
// user's preferred languages asked. Russian is chosen when the string begins with "ru" (case
// matters), so an empty stored value means English.
int InterfaceLanguageFor(const QVariant& stored, const QStringList& preferredLanguages);

// The interface language at start-up from the saved setting and the system's preferred
// languages (see InterfaceLanguageFor).
int LoadInterfaceLanguage();
// Saves the language the user switched to ("en" or "ru"), for the next start.
void SaveInterfaceLanguage(int language);

// Puts Qt's own texts (the standard buttons of alerts, the open panel) into the interface
// language: Qt's Russian catalogue for 1, Qt's built-in English otherwise. Called at start-up and
// at each switch of language. False when the Russian catalogue is not installed; Qt's texts then
// stay English.
bool ApplyQtTranslations(int language);
