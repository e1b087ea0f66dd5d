#pragma once

#include <QElapsedTimer>
#include <QFutureWatcher>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <memory>
#include <optional>

#include "desktop/TimeLeftText.h"
#include "session/ImageFacts.h"
#include "session/LastInstallation.h"
#include "session/OutputParser.h"
#include "session/PhaseTimeLeft.h"

class DeviceWatcher;
class Dialogs;
class LogFile;
class ToolRunner;

// The bundle directory: the folder two levels above `executableDir` when that folder is
// "<X>.app/Contents/MacOS", else `executableDir` itself.
QString BundleDirectoryForExecutableDir(const QString& executableDir);
// The flash tool a bundle runs: its own copy in Contents/MacOS when that is an executable file,
// else "vtflash" in the working directory.
QString FlashToolInBundle(const QString& bundlePath);

// What the application knows about the sampler: a device check sets it, and so does the sampler
// leaving while nothing runs.
enum DeviceState : qint64 {
  DeviceStateUnknown = 0,       // not checked since launch
  DeviceStateChecking = 1,      // a check ("--info" run) is under way
  DeviceStateReady = 2,         // the last check ended with exit status 0
  DeviceStateFailed = 3,        // the last check failed, or the tool could not be found or started
  DeviceStateNotConnected = 4,  // the sampler left since it was checked
};

// The application's state and logic, without a window: the chosen OS image and its facts, what
// is known about the sampler, the current operation with its percentage and the progress bar's
// value, the log, and the flash tool run while one is under way. Actions come in as method calls;
// every change goes out as a signal, which the window shows. Questions and notices (the
// confirmation, a refused image, the open panel) go through `Dialogs`.
class Session : public QObject {
  Q_OBJECT

 public:
  // What a run of the flash tool is for: a device check ("--info") or an installation.
  enum class RunMode { None, Info, Install };
  Q_ENUM(RunMode)

  // How an installation ended, in the words the result alert and the desktop notification both
  // show.
  struct Result {
    bool succeeded = false;
    QString title;
    QString text;
  };

  // `dialogs` must outlive the session. The flash tool and the built-in image are looked up in
  // `bundlePath`; empty means the running executable's bundle directory.
  explicit Session(Dialogs& dialogs, const QString& bundlePath = QString(),
                   QObject* parent = nullptr);
  ~Session() override;

  // The built-in OS image, or the empty string when the bundle carries none.
  QString bundledFirmwarePath() const;
  // True when the built-in image is Veltrin's demo image: this is the demo bundle. Read once.
  bool isDemo() const;

  // OS image selection.
  void useBundledFirmware();
  void chooseFirmware();
  // Adopts a file given by path or file: URL, as the panel would; nothing while a run goes on.
  void openFirmwareFile(const QString& pathOrUrl);

  // Follows the sampler as it arrives and leaves, through the flash tool's watcher beside the
  // runs: an arrival while nothing runs is checked, a departure shows the sampler not connected.
  // What comes during a run applies once it has ended. Without a watcher, nothing changes.
  void watchDevice();

  // The flash tool runs.
  void checkDevice();
  // Installs the adopted image once the user confirms; nothing unless canInstall().
  void installFirmware();
  // True when Flash OS may start: nothing runs, the last check found the sampler ready, and an
  // image is adopted with its checksum known.
  bool canInstall() const;
  // True while a run of the flash tool is under way, and while an installation is.
  bool busy() const { return currentTask_ != nullptr; }
  bool installing() const { return currentMode_ == RunMode::Install; }
  // The words of the end of an installation that ended with exit `status`: the title, and the
  // text that says what happened and what to do, with, for a failure after the erase had begun,
  // the advice for a sampler without an OS.
  Result installationResult(int status) const;
  // The device card's second line when the tool told why the sampler cannot be used (the last
  // check's cause, or another AKAI device the watcher sees); empty otherwise.
  QString deviceAdvice() const;
  // How long the sampler has not answered during the erase or the write, once that is 15 seconds
  // or more; 0 otherwise.
  int silentSeconds() const { return silentSeconds_; }

  // The log: every line goes through appendLog, the caller supplies the line end.
  void appendLog(const QString& text);
  // Writes the whole log to a file the user picks.
  void saveLog();

  // State; each change is announced by its signal.
  QString firmwarePath() const { return firmwarePath_; }
  // The size and SHA-256 of the adopted image, read off the GUI thread once it is adopted;
  // unknown while they are read or when the file could not be read.
  ImageFacts firmwareFacts() const;
  bool firmwareFactsPending() const { return factsPending_; }
  DeviceState deviceState() const { return deviceState_; }
  QString deviceGeometry() const { return deviceGeometry_; }
  QString operationKey() const { return operationKey_; }
  int operationPercent() const { return operationPercent_; }

  // The time left of the erase or the write under way, once there is one worth showing.
  struct TimeLeft {
    TimedPhase phase;
    qint64 seconds;
  };
  std::optional<TimeLeft> timeLeft() const;

  // Reads the last installation the tool recorded, off the GUI thread; lastInstallationChanged
  // follows. Done at launch and after each run.
  void readLastInstallation();
  // What is known of the last recorded installation; nothing before it was read, or when none is
  // recorded.
  std::optional<vt::record::installation> lastInstallation() const { return lastInstallation_; }

 signals:
  void deviceChanged();     // deviceState, deviceGeometry or deviceAdvice
  void firmwareChanged();   // firmwarePath or its facts
  void operationChanged();  // operationKey and operationPercent
  void progressChanged(double value);
  void busyChanged(bool busy);        // a run was started or has ended
  void waitingChanged(bool waiting);  // the tool is running: the animation plays
  void logAppended(const QString& text);
  // A run has ended and handleTaskFinished has set everything it shows.
  void runFinished(int status, Session::RunMode mode);
  void lastInstallationChanged();
  void silenceChanged();  // silentSeconds
  void timeLeftChanged();

 private:
  QString loaderPath() const;
  bool validateFirmwareAtPath(const QString& path, QString* error) const;
  void selectFirmwareAtPath(const QString& path);
  void runLoaderWithArguments(const QStringList& arguments, RunMode mode);
  void handleTaskOutput(const QString& text);
  void parseProgressFromText(const QString& text);
  void handleTaskFinished(int status, RunMode mode);
  void setOperation(const QString& key, int percent);
  void setFirmwarePath(const QString& path);
  void setDeviceState(DeviceState state);
  void setDeviceGeometry(const QString& geometry);
  // The progress bar's value, 0 to 100 in half steps.
  void setProgress(double value);
  void diagnose(const OutputLine& line);
  void progressArrived();
  void silenceTick();
  void endSilence();
  // Logs one line of the application's own, on a line of its own even after an unfinished line.
  void logOwnLine(const QString& line);
  void taskDidStart();
  void taskFailedToStart(const QString& reason);
  void taskDidFinish(int status);
  void releaseTask();
  void factsRead();
  void watchReported(const OutputLine& line);
  void presenceReported(bool connected);
  void applyPresence();
  void beginLogRecord();
  void recordInLogFile(const QString& text);
  void logFileFailed(const QString& reason);

  Dialogs& dialogs_;
  QString bundlePath_;
  mutable std::optional<bool> demo_;  // isDemo, once the built-in image's head has been read
  QString log_;
  std::unique_ptr<LogFile> logFile_;  // open from the start of a run to its end

  QString firmwarePath_;
  ImageFacts firmwareFacts_;  // read when the image at firmwareFactsPath_ was adopted
  QString firmwareFactsPath_;
  QFutureWatcher<ImageFacts> factsWatcher_;
  bool factsPending_ = false;  // until factsWatcher_ has delivered the facts of firmwarePath_
  DeviceState deviceState_ = DeviceStateUnknown;
  QString deviceGeometry_;
  QString operationKey_ = QStringLiteral("op.ready");
  int operationPercent_ = -1;
  double progress_ = 0;
  ToolRunner* currentTask_ = nullptr;  // a child of this session while it runs
  RunMode currentMode_ = RunMode::None;
  bool eraseBegan_ = false;                // the tool of this run has begun to erase the flash
  std::optional<OutputLine> cause_;        // why this run (or the last) failed, as the tool told
  std::optional<OutputLine> deviceCause_;  // the cause of the last failed check
  std::optional<OutputLine> otherDevice_;  // another AKAI product the watcher reported, while there
  QTimer silenceTimer_;                    // ticks during the erase and the write
  QElapsedTimer sinceProgress_;            // since the last progress record
  int silentSeconds_ = 0;
  std::optional<vt::record::installation> lastInstallation_;
  QFutureWatcher<std::optional<vt::record::installation>> recordWatcher_;

  DeviceWatcher* watcher_ = nullptr;      // a child of this session once watchDevice has started it
  std::optional<bool> reportedPresence_;  // the watcher's last word
  std::optional<bool> appliedPresence_;   // the presence the session last acted on
  QTimer bounceTimer_;  // a cable that bounces settles before its last word applies

  // The time left of the phase under way, from the progress records of this run.
  void timePhase(std::optional<TimedPhase> phase, double percent);
  std::optional<TimedPhase> timedPhase_;
  PhaseTimeLeft phaseTimeLeft_;
  std::optional<qint64> shownSecondsLeft_;
};
