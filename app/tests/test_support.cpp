#include "test_support.h"

#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QPushButton>
#include <QTimer>

#include "desktop/Translations.h"
#include "session/ToolRunner.h"
#include "widgets/PlainLabel.h"

namespace {

// A guard against a run that never ends, not a limit on how long a run may take.
constexpr int kGuardMilliseconds = 120000;

}  // namespace

bool RecordingDialogs::confirm(Style style, const QString& title, const QString& text,
                               const QString& acceptText, const QString& cancelText) {
  confirmations.append({style, title, text});
  confirmButtons = {acceptText, cancelText};
  return confirmAnswer;
}

bool RecordingDialogs::confirmAgainstDefault(Style style, const QString& title, const QString& text,
                                             const QString& keepText, const QString& otherText) {
  questions.append({style, title, text});
  questionButtons = {keepText, otherText};
  return quitAnswer;
}

void RecordingDialogs::alert(Style style, const QString& title, const QString& text) {
  alerts.append({style, title, text});
  if (onAlert) {
    onAlert();
  }
}

QString RecordingDialogs::openFile(const QString& message) {
  openMessages.append(message);
  return openAnswers.isEmpty() ? QString() : openAnswers.takeFirst();
}

QString RecordingDialogs::saveFile(const QString& title, const QString& /*suggestedName*/) {
  saveTitles.append(title);
  return saveAnswer;
}

QByteArray MakeImageBytes(int size, int offset, const QByteArray& signature) {
  QByteArray bytes(size, '\0');
  if (offset >= 0 && offset + signature.size() <= size) {
    bytes.replace(offset, signature.size(), signature);
  }
  return bytes;
}

bool WriteFile(const QString& path, const QByteArray& bytes) {
  QDir().mkpath(QFileInfo(path).absolutePath());
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
    return false;
  }
  return file.write(bytes) == bytes.size();
}

QString Sha256Of(const QString& path) {
  QFile file(path);
  const QByteArray bytes = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
  return QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex());
}

QString AdoptedImageLog(const QString& path) {
  return QStringLiteral("Firmware selected: %1\nSize: %2 bytes, SHA-256: %3\n")
      .arg(path, QString::number(QFileInfo(path).size()), Sha256Of(path));
}

QByteArray ShellTool(const QByteArray& body) {
  // Run as the application's watcher, it reports nothing and ends, as where there is none.
  return "#!/bin/sh\n[ \"$1\" = --watch ] && exit 0\n" + body + "\n";
}

LanguageScope::LanguageScope(int language) : previous_(CurrentLanguage) {
  CurrentLanguage = language;
}

LanguageScope::~LanguageScope() {
  CurrentLanguage = previous_;
}

EnvironmentScope::EnvironmentScope(const char* name, const QByteArray& value)
    : name_(name), hadValue_(qEnvironmentVariableIsSet(name)), previous_(qgetenv(name)) {
  qputenv(name, value);
}

EnvironmentScope::~EnvironmentScope() {
  if (hadValue_) {
    qputenv(name_, previous_);
  } else {
    qunsetenv(name_);
  }
}

WorkingDirectoryScope::WorkingDirectoryScope(const QString& path) : previous_(QDir::currentPath()) {
  QDir::setCurrent(path);
}

WorkingDirectoryScope::~WorkingDirectoryScope() {
  QDir::setCurrent(previous_);
}

Gate::Gate(const QString& path) : path_(path) {
  ::mkfifo(QFile::encodeName(path).constData(), 0600);
  qputenv("VELTRIN_TEST_GATE", QFile::encodeName(path));
}

Gate::~Gate() {
  release();
  qunsetenv("VELTRIN_TEST_GATE");
}

bool Gate::hold(Harness& h) {
  // The write end opens only once the tool has opened the read end.
  return h.waitUntil([&] {
    fd_ = ::open(QFile::encodeName(path_).constData(), O_WRONLY | O_NONBLOCK);
    return fd_ >= 0;
  });
}

bool Gate::release() {
  if (fd_ < 0) {
    return false;
  }
  // A tool that was killed at the gate has closed it: the write fails instead of raising SIGPIPE.
  sigset_t pipe;
  sigset_t before;
  sigemptyset(&pipe);
  sigaddset(&pipe, SIGPIPE);
  pthread_sigmask(SIG_BLOCK, &pipe, &before);
  const bool written = ::write(fd_, "go\n", 3) == 3;
  const timespec none = {0, 0};
  while (sigtimedwait(&pipe, nullptr, &none) == SIGPIPE) {
  }
  pthread_sigmask(SIG_SETMASK, &before, nullptr);
  ::close(fd_);
  fd_ = -1;
  return written;
}

Harness::Harness(bool onScreen)
    : bundle_(root_.filePath(QStringLiteral("Veltrin.app"))),
      cwd_(std::make_unique<WorkingDirectoryScope>(work_.path())) {
  QDir().mkpath(bundle_ + QStringLiteral("/Contents/MacOS"));
  auto dialogs = onScreen ? nullptr : std::make_unique<RecordingDialogs>();
  dialogs_ = dialogs.get();
  app_ = std::make_unique<AppDelegate>(std::move(dialogs), bundle_);
  QObject::connect(&app_->session(), &Session::logAppended,
                   [this](const QString& text) { log_ += text; });
  QObject::connect(&app_->session(), &Session::progressChanged,
                   [this](double value) { progress_ = value; });
  QObject::connect(&app_->session(), &Session::runFinished,
                   [this](int status, Session::RunMode mode) {
                     lastStatus_ = status;
                     lastMode_ = mode;
                     ++finishedRuns_;
                   });
}

Harness::~Harness() {
  app_.reset();
  // Process objects of finished runs are deleted from the event loop.
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void Harness::launch() {
  app_->applicationDidFinishLaunching();
}

PlainLabel* Harness::label(const char* name) const {
  return view<PlainLabel>(name);
}

QPushButton* Harness::button(const char* name) const {
  return view<QPushButton>(name);
}

bool Harness::checkWith(const QByteArray& body) {
  const QString tool = bundle_ + QStringLiteral("/Contents/MacOS/vtflash");
  const QFileInfo before(tool);
  const QString link = before.isSymLink() ? before.symLinkTarget() : QString();
  QFile file(tool);
  const QByteArray bytes = link.isEmpty() && file.open(QIODevice::ReadOnly) ? file.readAll() : "";
  file.close();
  QFile::remove(tool);
  installTool(ShellTool(body));
  session().checkDevice();
  const bool ended = waitForRun();
  QFile::remove(tool);
  if (!link.isEmpty()) {
    QFile::link(link, tool);
  } else if (before.exists()) {
    installTool(bytes);
  }
  return ended;
}

bool Harness::adopt(const QString& path) {
  session().openFirmwareFile(path);
  return waitForFacts();
}

void Harness::readyToInstall(const QString& imagePath) {
  checkWith("exit 0");
  adopt(imagePath);
  log_.clear();
  progress_ = 0;
  finishedRuns_ = 0;
}

qint64 Harness::toolPid() const {
  // The run under way is the session's newest tool run; one that ended is deleted soon.
  const QList<ToolRunner*> runs = app_->session().findChildren<ToolRunner*>();
  for (auto run = runs.crbegin(); run != runs.crend(); ++run) {
    if ((*run)->processId() != 0) {
      return (*run)->processId();
    }
  }
  return 0;
}

QString Harness::installTool(const QByteArray& script, bool executable) {
  const QString path = bundle_ + QStringLiteral("/Contents/MacOS/vtflash");
  WriteFile(path, script);
  QFile::Permissions permissions = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup;
  if (executable) {
    permissions |= QFile::ExeOwner | QFile::ExeGroup;
  }
  QFile::setPermissions(path, permissions);
  return path;
}

QString Harness::installToolInWorkingDirectory(const QByteArray& script) {
  const QString path = work_.filePath(QStringLiteral("vtflash"));
  WriteFile(path, script);
  QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
  return path;
}

bool Harness::installSimulator() {
  const QString simulator = QStringLiteral(VTFLASH_SIM_PATH);
  if (simulator.isEmpty()) {
    return false;
  }
  return QFile::link(simulator, bundle_ + QStringLiteral("/Contents/MacOS/vtflash"));
}

QString Harness::installBuiltinImage(const QByteArray& bytes) {
  const QString path = bundle_ + QStringLiteral("/Contents/Resources/mpcv171.bin");
  WriteFile(path, bytes);
  return path;
}

QString Harness::makeImage(const QString& name, const QByteArray& bytes) {
  const QString path = scratch_.filePath(name);
  WriteFile(path, bytes);
  return path;
}

bool Harness::waitForRun() {
  if (!session().busy()) {
    return true;
  }
  QEventLoop loop;
  bool finished = false;
  QObject::connect(&session(), &Session::runFinished, &loop, [&] {
    finished = true;
    loop.quit();
  });
  QTimer::singleShot(kGuardMilliseconds, &loop, &QEventLoop::quit);
  loop.exec();
  return finished;
}

bool Harness::waitUntil(const std::function<bool()>& condition) {
  const QDeadlineTimer guard(kGuardMilliseconds);
  while (!condition()) {
    if (guard.hasExpired()) {
      return false;
    }
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
  }
  return true;
}

bool Harness::waitForFacts() {
  return waitUntil([this] { return !session().firmwareFactsPending(); });
}
