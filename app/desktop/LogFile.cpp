#include "desktop/LogFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "install_record.h"

LogFile::LogFile(QString path, qint64 sizeLimit) : path_(std::move(path)), sizeLimit_(sizeLimit) {}

QString LogFile::defaultPath() {
  // The folder the flash tool keeps its installation record in: the two are always side by side.
  return QFile::decodeName(vt::record::default_path("veltrin.log").c_str());
}

bool LogFile::beginRun(const QDateTime& when, QString* error) {
  endRun();
  if (!QDir().mkpath(QFileInfo(path_).absolutePath())) {
    *error = QStringLiteral("cannot make the folder %1").arg(QFileInfo(path_).absolutePath());
    return false;
  }
  rotateIfFull();
  file_.setFileName(path_);
  if (!file_.open(QIODevice::WriteOnly | QIODevice::Append)) {
    *error = file_.errorString();
    return false;
  }
  // The offset from UTC is written too, so a pasted log says when it happened anywhere.
  const QDateTime local = when.toOffsetFromUtc(when.offsetFromUtc());
  return append(QStringLiteral("\n===== %1 =====\n").arg(local.toString(Qt::ISODate)), error);
}

bool LogFile::append(const QString& text, QString* error) {
  if (!file_.isOpen()) {
    return true;
  }
  const QByteArray bytes = text.toUtf8();
  if (file_.write(bytes) != bytes.size() || !file_.flush()) {
    *error = file_.errorString();
    file_.close();
    return false;
  }
  return true;
}

void LogFile::endRun() {
  if (file_.isOpen()) {
    file_.close();
  }
}

void LogFile::rotateIfFull() {
  const QFileInfo current(path_);
  if (!current.exists() || current.size() < sizeLimit_) {
    return;
  }
  const QString older = path_ + QStringLiteral(".1");
  QFile::remove(older);
  QFile::rename(path_, older);
}
