#pragma once

// Shared pieces of the application's tests: a recording stand-in for the dialogs, OS image files,
// and an application whose bundle is a temporary folder where fake flash tools are placed.

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QList>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QUrl>
#include <functional>
#include <memory>
#include <ostream>

#include "AppDelegate.h"
#include "session/Dialogs.h"
#include "session/Session.h"
#include "window/MainWindow.h"

class PlainLabel;
class QPushButton;

// Failure messages show texts as text.
inline void PrintTo(const QString& text, std::ostream* out) {
  *out << '"' << text.toStdString() << '"';
}

// Every alert the controller shows, as the user would read it.
struct AlertRecord {
  Dialogs::Style style;
  QString title;
  QString text;
};

// Answers confirmations as told, picks files from a prepared list and records everything.
class RecordingDialogs : public Dialogs {
 public:
  bool confirm(Style style, const QString& title, const QString& text, const QString& acceptText,
               const QString& cancelText) override;
  bool confirmAgainstDefault(Style style, const QString& title, const QString& text,
                             const QString& keepText, const QString& otherText) override;
  void alert(Style style, const QString& title, const QString& text) override;
  QString openFile(const QString& message) override;
  QString saveFile(const QString& title, const QString& suggestedName) override;

  bool confirmAnswer = true;
  QList<AlertRecord> confirmations;
  QStringList confirmButtons;  // accept and cancel texts of the last confirmation
  QList<AlertRecord> alerts;
  bool quitAnswer = false;  // the other button of a question whose default keeps things as they are
  QList<AlertRecord> questions;
  QStringList questionButtons;  // default and other texts of the last such question
  QStringList openAnswers;      // taken from the front; an empty list answers "cancelled"
  QStringList openMessages;
  QString saveAnswer;  // the empty string answers "cancelled"
  QStringList saveTitles;
  std::function<void()> onAlert;  // runs while an alert is "on screen"
};

// A file of `size` bytes (zeros) with the OS image signature at `offset`, when it fits.
QByteArray MakeImageBytes(int size, int offset = 32,
                          const QByteArray& signature = "MPC4000 Operating System");

// Writes `bytes` to `path`, creating folders on the way. Returns false on failure.
bool WriteFile(const QString& path, const QByteArray& bytes);

// The SHA-256 of the file at `path`, in lower-case hexadecimal.
QString Sha256Of(const QString& path);

// The log lines of adopting the image at `path`: its path, then its exact size and SHA-256.
QString AdoptedImageLog(const QString& path);

// A shell script as a flash tool: `body` runs under /bin/sh; as the watcher it ends at once.
QByteArray ShellTool(const QByteArray& body);

// Records the addresses the application asks the desktop to open (a URL handler).
class UrlRecorder : public QObject {
  Q_OBJECT

 public:
  QList<QUrl> urls;

 public slots:
  void open(const QUrl& url) { urls.append(url); }
};

// Sets the interface language for one scope and puts the previous one back.
class LanguageScope {
 public:
  explicit LanguageScope(int language);
  ~LanguageScope();

 private:
  int previous_;
};

// Sets an environment variable (such as the simulated sampler's VTFLASH_SIM) for one scope and
// puts the previous value back; a tool started in the scope inherits it.
class EnvironmentScope {
 public:
  EnvironmentScope(const char* name, const QByteArray& value);
  ~EnvironmentScope();
  EnvironmentScope(const EnvironmentScope&) = delete;
  EnvironmentScope& operator=(const EnvironmentScope&) = delete;

 private:
  const char* name_;
  bool hadValue_;
  QByteArray previous_;
};

class Harness;

// A named pipe a fake tool waits on (`kWaitAtGate`), so the test decides when it goes on.
class Gate {
 public:
  explicit Gate(const QString& path);
  ~Gate();
  Gate(const Gate&) = delete;
  Gate& operator=(const Gate&) = delete;

  // Lets the tool go on once it waits at the gate.
  bool open(Harness& h) { return hold(h) && release(); }
  // Waits until the tool waits at the gate, and keeps it waiting.
  bool hold(Harness& h);
  // Lets a held tool go on.
  bool release();
  // The line of a shell tool that waits at this gate.
  QByteArray waitLine() const { return "read go < '" + QFile::encodeName(path_) + "'\n"; }

 private:
  QString path_;
  int fd_ = -1;
};

// The line of a shell tool that waits at the gate.
inline const QByteArray kWaitAtGate = "read go < \"$VELTRIN_TEST_GATE\"\n";

// Makes a folder the working directory for one scope.
class WorkingDirectoryScope {
 public:
  explicit WorkingDirectoryScope(const QString& path);
  ~WorkingDirectoryScope();

 private:
  QString previous_;
};

// An application with the recording dialogs, a bundle folder "Veltrin.app" in a temporary
// directory and an empty temporary working directory. Its window is built by launch().
class Harness {
 public:
  // `onScreen`: the application's own dialogs instead of the recording ones.
  explicit Harness(bool onScreen = false);
  ~Harness();

  AppDelegate& app() { return *app_; }
  Session& session() { return app_->session(); }
  MainWindow* window() const { return app_->window(); }
  // A view of the window by its object name; null before launch or when there is none.
  template <typename View = QWidget>
  View* view(const char* name) const {
    return window() ? window()->findChild<View*>(QLatin1String(name)) : nullptr;
  }
  PlainLabel* label(const char* name) const;
  QPushButton* button(const char* name) const;
  RecordingDialogs& dialogs() { return *dialogs_; }  // not with on-screen dialogs
  QString bundlePath() const { return bundle_; }
  QString workPath() const { return work_.path(); }
  QString scratchPath(const QString& name) const { return scratch_.filePath(name); }

  // Builds the window as launch does.
  void launch();
  // Ends the application object as the end of the application does, with a tool possibly still
  // running.
  void endApplication() { app_.reset(); }
  // Runs a device check with a tool of `body` in place of the installed one, which comes back
  // afterwards. False when the run did not end.
  bool checkWith(const QByteArray& body);
  // Adopts the image at `path` as the open panel would, and waits for its facts.
  bool adopt(const QString& path);
  // The state a successful check and an adopted image leave: Flash OS may start. The log, the
  // progress and the runs are recorded afresh from here on.
  void readyToInstall(const QString& imagePath);
  // The process id of the tool that runs now, or 0.
  qint64 toolPid() const;

  // Puts a flash tool (as executable file) where the controller looks first.
  QString installTool(const QByteArray& script, bool executable = true);
  // Puts a flash tool into the working directory instead.
  QString installToolInWorkingDirectory(const QByteArray& script);
  // Makes the simulated sampler the flash tool of the bundle.
  bool installSimulator();
  // Puts a built-in OS image into the bundle.
  QString installBuiltinImage(const QByteArray& bytes);
  // An OS image file in the scratch folder.
  QString makeImage(const QString& name, const QByteArray& bytes);

  // Runs the event loop until the current run has been completed. False when it did not end
  // within a generous guard time.
  bool waitForRun();
  // Runs the event loop until the adopted image's size and checksum are known.
  bool waitForFacts();
  // Runs the event loop until `condition` holds (same guard).
  bool waitUntil(const std::function<bool()>& condition);

  // The log and the progress bar's value as the session announced them.
  QString log() const { return log_; }
  double progress() const { return progress_; }

  // The status and mode of the last completed run, and how many runs have completed.
  int lastStatus() const { return lastStatus_; }
  Session::RunMode lastMode() const { return lastMode_; }
  int finishedRuns() const { return finishedRuns_; }

 private:
  QTemporaryDir root_;
  QTemporaryDir work_;
  QTemporaryDir scratch_;
  QString bundle_;
  std::unique_ptr<WorkingDirectoryScope> cwd_;
  RecordingDialogs* dialogs_ = nullptr;
  std::unique_ptr<AppDelegate> app_;
  int lastStatus_ = 0;
  Session::RunMode lastMode_ = Session::RunMode::None;
  int finishedRuns_ = 0;
  QString log_;
  double progress_ = 0;
};
