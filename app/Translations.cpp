#include "Translations.h"

int CurrentLanguage = 0;

std::span<const TranslationEntry> Translations() { return {}; }

QString L(const QString& key) { return key; }
