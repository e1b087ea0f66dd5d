#pragma once

// Small fake flash tools for the application's tests: shell scripts that print what the tool
// prints, and an application ready to install.

#include <QByteArray>
#include <QString>

#include "expected_output.h"
#include "test_support.h"

// Progress records exactly as the tool prints them, for `count` steps of `word`.
inline QByteArray ProgressLoop(const char* word, int count) {
  return QStringLiteral(
             "i=1; while [ $i -le %2 ]; do printf '\\r%1 %3u%% (%u/%u)' $((i*100/%2)) $i %2; "
             "i=$((i+1)); done; printf '\\n'\n")
      .arg(QLatin1String(word))
      .arg(count)
      .toLatin1();
}

inline QString ExpectedProgress(const char* word, int count) {
  return QString::fromStdString(vt::expected::records(word, count, count) + "\n");
}

// An installation that may start: the device was checked and an image is adopted.
inline void PrepareInstall(Harness& h, const QString& imageName = QStringLiteral("os.bin")) {
  h.launch();
  h.readyToInstall(h.makeImage(imageName, MakeImageBytes(100000)));
}
