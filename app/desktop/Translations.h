#pragma once

#include <QString>
#include <span>

// The interface language: 0 English, 1 Russian. Set by start-up and by the language switch, read
// by every lookup. Any other value reads as English.
extern int CurrentLanguage;

// One text of the interface: its key and its English and Russian texts (UTF-16, constant data).
struct TranslationEntry {
  const char* key;
  const char16_t* english;
  const char16_t* russian;
};

// The whole vocabulary of the application, sorted by key in ascending byte order. It is constant
// data in the executable; nothing is allocated or read to provide it.
std::span<const TranslationEntry> Translations();

// The text of `key` in the current language, or `key` itself when the table has no such entry.
QString L(const QString& key);
