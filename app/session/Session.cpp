// The session's state, its log, and the choice of the OS image to install.

#include "session/Session.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QUrl>
#include <QtConcurrent/QtConcurrentRun>
#include <algorithm>
#include <cstdint>

#include "desktop/LogFile.h"
#include "desktop/TextFormat.h"
#include "desktop/Translations.h"
#include "image_file.h"
#include "session/Dialogs.h"
#include "session/ToolRunner.h"

Session::Session(Dialogs& dialogs, const QString& bundlePath, QObject* parent)
    : QObject(parent),
      dialogs_(dialogs),
      bundlePath_(bundlePath.isEmpty()
                      ? BundleDirectoryForExecutableDir(QCoreApplication::applicationDirPath())
                      : bundlePath) {
  connect(&factsWatcher_, &QFutureWatcher<ImageFacts>::finished, this, &Session::factsRead);
  silenceTimer_.setInterval(1000);
  connect(&silenceTimer_, &QTimer::timeout, this, &Session::silenceTick);
  connect(&recordWatcher_, &QFutureWatcher<std::optional<vt::record::installation>>::finished, this,
          [this] {
            lastInstallation_ = recordWatcher_.result();
            emit lastInstallationChanged();
          });
}

Session::~Session() {
  // The session ends with the application, and that does nothing to a flash tool that still
  // runs: a tool stopped in the middle of a write would leave the sampler without an OS. The run,
  // with its process object, is let go, not destroyed, because destroying it would kill the tool.
  if (currentTask_) {
    currentTask_->disconnect(this);
    currentTask_->setParent(nullptr);
    // Kept until the process ends, when the tool has long finished its work or gone too. The
    // list itself is never destroyed, so nothing at exit takes the process object down with it.
    static auto* const abandoned = new QList<QObject*>;
    abandoned->append(currentTask_);
    currentTask_ = nullptr;
  }
}

QString BundleDirectoryForExecutableDir(const QString& executableDir) {
  // Pure path arithmetic: the folders are not looked up on disk.
  const QString macos = QDir::cleanPath(executableDir);
  const QString contents = QFileInfo(macos).path();
  const QString bundle = QFileInfo(contents).path();
  const QString bundleName = QFileInfo(bundle).fileName();
  const bool inBundle = QFileInfo(macos).fileName() == QLatin1String("MacOS") &&
                        QFileInfo(contents).fileName() == QLatin1String("Contents") &&
                        bundleName.size() > 4 && bundleName.endsWith(QLatin1String(".app"));
  return inBundle ? bundle : macos;
}

QString Session::bundledFirmwarePath() const {
  const QString path = bundlePath_ + QStringLiteral("/Contents/Resources/mpcv171.bin");
  return QFileInfo::exists(path) ? path : QString();
}

bool Session::isDemo() const {
  // An empty path (no built-in image) cannot be opened, so it is no demo either.
  if (!demo_) {
    demo_ = vt::image::file_is_demo(QFile::encodeName(bundledFirmwarePath()).constData());
  }
  return *demo_;
}

void Session::setFirmwarePath(const QString& path) {
  firmwarePath_ = path;
  emit firmwareChanged();
}

ImageFacts Session::firmwareFacts() const {
  return firmwareFactsPath_ == firmwarePath_ ? firmwareFacts_ : ImageFacts();
}

void Session::setDeviceState(DeviceState state) {
  deviceState_ = state;
  emit deviceChanged();
}

void Session::setDeviceGeometry(const QString& geometry) {
  deviceGeometry_ = geometry;
  emit deviceChanged();
}

void Session::setOperation(const QString& key, int percent) {
  operationKey_ = key;
  operationPercent_ = percent;
  emit operationChanged();
}

void Session::setProgress(double value) {
  const double clamped = std::clamp(value, 0.0, 100.0);
  if (clamped == progress_) {
    return;
  }
  progress_ = clamped;
  emit progressChanged(progress_);
}

void Session::appendLog(const QString& text) {
  if (text.isEmpty()) {
    return;
  }
  recordInLogFile(text);
  log_ += text;
  emit logAppended(text);
}

void Session::logOwnLine(const QString& line) {
  const bool lineOpen = !log_.isEmpty() && !log_.endsWith(QLatin1Char('\n'));
  appendLog((lineOpen ? QStringLiteral("\n") : QString()) + line + QLatin1Char('\n'));
}

void Session::beginLogRecord() {
  logFile_ = std::make_unique<LogFile>(LogFile::defaultPath());
  QString error;
  if (!logFile_->beginRun(QDateTime::currentDateTime(), &error)) {
    logFileFailed(error);
  }
}

void Session::recordInLogFile(const QString& text) {
  QString error;
  if (logFile_ && !logFile_->append(text, &error)) {
    logFileFailed(error);
  }
}

void Session::logFileFailed(const QString& reason) {
  // Said once: the record stops for the rest of the run, the run itself goes on.
  const QString path = logFile_->path();
  logFile_.reset();
  logOwnLine(FormatWithTwoStrings(L("log.fileFailed"), path, reason));
}

void Session::saveLog() {
  const QString path = dialogs_.saveFile(L("panel.saveLog"), QStringLiteral("veltrin-log.txt"));
  if (path.isEmpty()) {
    return;
  }
  // Written whole or not at all: a file that already had a saved log is replaced only once the
  // new one is complete.
  QSaveFile file(path);
  const QByteArray bytes = log_.toUtf8();
  if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
    appendLog(FormatWithTwoStrings(L("log.saveFailed"), path, file.errorString()) +
              QLatin1Char('\n'));
    return;
  }
  appendLog(FormatWithString(L("log.saved"), path) + QLatin1Char('\n'));
}

bool Session::validateFirmwareAtPath(const QString& path, QString* error) const {
  // The flash tool's own rule; only the head of the file is read. Anything that is not a
  // readable regular file reads as no bytes, so it is too small. The demo image passes: the demo
  // installs it on the simulated sampler.
  std::uint8_t head[vt::image::min_length];
  const long got = vt::image::read_head(QFile::encodeName(path).constData(), head, sizeof head);
  const vt::image::verdict verdict =
      vt::image::check(head, got > 0 ? static_cast<std::size_t>(got) : 0);
  if (verdict == vt::image::verdict::ok) {
    return true;
  }
  if (error) {
    *error = L(verdict == vt::image::verdict::too_small ? "firmware.invalid.small"
                                                        : "firmware.invalid.signature");
  }
  return false;
}

void Session::selectFirmwareAtPath(const QString& path) {
  QString error;
  if (!validateFirmwareAtPath(path, &error)) {
    // A refused file changes nothing: an image adopted before stays adopted.
    dialogs_.alert(Dialogs::Style::Warning, L("firmware.invalid.title"), error);
    return;
  }
  appendLog(FormatWithString(L("log.firmware"), path) + QLatin1Char('\n'));
  // The exact length and checksum say which file this is, to compare with a published one. They
  // are read in the background; the name shows at once.
  firmwareFactsPath_ = path;
  firmwareFacts_ = ImageFacts();
  factsPending_ = true;
  factsWatcher_.setFuture(QtConcurrent::run(ReadImageFacts, path));
  setFirmwarePath(path);
}

void Session::factsRead() {
  factsPending_ = false;
  firmwareFacts_ = factsWatcher_.result();
  if (firmwareFacts_.known()) {
    appendLog(DescribeImageFacts(firmwareFacts_) + QLatin1Char('\n'));
  }
  emit firmwareChanged();
  // A sampler that arrived meanwhile is checked now.
  if (!bounceTimer_.isActive()) {
    applyPresence();
  }
}

void Session::readLastInstallation() {
  recordWatcher_.setFuture(
      QtConcurrent::run(ReadLastInstallation, InstallationRecordPath(isDemo())));
}

void Session::useBundledFirmware() {
  const QString path = bundledFirmwarePath();
  if (path.isEmpty()) {
    return;
  }
  selectFirmwareAtPath(path);
}

void Session::chooseFirmware() {
  const QString path = dialogs_.openFile(L("panel.message"));
  if (path.isEmpty()) {
    return;
  }
  selectFirmwareAtPath(path);
}

void Session::openFirmwareFile(const QString& pathOrUrl) {
  if (busy() || pathOrUrl.isEmpty()) {
    return;
  }
  // A desktop may hand over a file: URL instead of a path. The log names the file by its full
  // path; the link itself is not resolved, as for a file chosen in the panel.
  const QUrl url(pathOrUrl);
  const QString path = url.isLocalFile() ? url.toLocalFile() : pathOrUrl;
  selectFirmwareAtPath(QFileInfo(path).absoluteFilePath());
}
