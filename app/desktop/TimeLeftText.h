#pragma once

#include <QString>
#include <QtGlobal>

// The phases of an installation whose time left is told.
enum class TimedPhase { Erase, Write };

// The time left of `phase` in words of the current language, named by the phase so that it is
// never read as the time left of the whole installation: "Less than one minute left to erase",
// "About 3 minutes left to write", with the number of minutes rounded and in the plural form
// the language asks for it.
QString TimeLeftText(TimedPhase phase, qint64 seconds);
