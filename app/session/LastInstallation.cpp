#include "session/LastInstallation.h"

#include <QDateTime>
#include <QFile>

#include "desktop/TextFormat.h"
#include "desktop/Translations.h"

QString InstallationRecordPath(bool demo) {
  return QFile::decodeName(
      vt::record::default_path(demo ? vt::record::demo_file_name : vt::record::file_name).c_str());
}

std::optional<vt::record::installation> ReadLastInstallation(const QString& path) {
  return vt::record::last_installation(QFile::encodeName(path).toStdString());
}

QString DescribeUnfinishedInstallation(const vt::record::installation& last) {
  using vt::record::outcome;
  const vt::record::ending& end = last.end;
  if (end.how == outcome::completed || end.how == outcome::running) {
    return {};
  }
  QString where = L("last.interrupted");
  if (end.how == outcome::failed || end.how == outcome::stopped) {
    const bool erase = end.where == vt::record::phase::erase;
    const char* key = end.how == outcome::failed
                          ? (erase ? "last.failedAtBlock" : "last.failedAtOffset")
                          : (erase ? "last.stoppedAtBlock" : "last.stoppedAtOffset");
    // The block and the offset as the tool's own lines give them.
    where = FormatWithString(
        L(key), erase ? QString::number(end.position) : QString::asprintf("0x%08x", end.position));
  }
  // Local time, written the same way in every language.
  const QString when =
      QDateTime::fromSecsSinceEpoch(last.began).toString(QStringLiteral("yyyy-MM-dd HH:mm"));
  return FormatWithTwoStrings(L("last.unfinished"), when, where);
}
