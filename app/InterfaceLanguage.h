#pragma once

#include <QStringList>
#include <QVariant>

// The interface language at start-up (0 English, 1 Russian). `stored` is the saved
// "InterfaceLanguage" setting, invalid when none was ever saved; only then is the first of the
// user's preferred languages asked. Russian is chosen when the string begins with "ru" (case
// matters), so an empty stored value means English.
int InterfaceLanguageFor(const QVariant& stored, const QStringList& preferredLanguages);
