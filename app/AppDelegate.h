#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QTextCharFormat>
#include <QWidget>
#include <memory>

#include "Dialogs.h"
#include "ImageFacts.h"

class LogFile;
class Notifier;
class PlainLabel;
class QAbstractButton;
class QMenuBar;
class QPlainTextEdit;
class QProgressBar;
class QSessionManager;
class QPushButton;
class SegmentedControl;
class StatusDot;
class ToolRunner;
class WaitGirlView;

// What the application knows about the sampler. Only a device check changes it.
enum DeviceState : qint64 {
  DeviceStateUnknown = 0,   // not checked since launch
  DeviceStateChecking = 1,  // a check ("--info" run) is under way
  DeviceStateReady = 2,     // the last check ended with exit status 0
  DeviceStateFailed = 3,    // the last check failed, or the tool could not be found or started
};

// The one controller of the application: it owns the window and its views, the chosen OS image,
// what is known about the sampler, the current operation and the flash tool run while one is
// under way. Every action of the window and every signal of the run ends in one of its methods.
// Property setters only store; the methods that change state call refreshTexts and updateButtons
// themselves.
class AppDelegate : public QObject {
  Q_OBJECT

 public:
  // What a run of the flash tool is for: a device check ("--info") or an installation.
  enum class RunMode { None, Info, Install };
  Q_ENUM(RunMode)

  // `dialogs` answers the confirmations and shows the alerts and the open panel; null means the
  // on-screen QtDialogs.
  explicit AppDelegate(std::unique_ptr<Dialogs> dialogs = nullptr, QObject* parent = nullptr);
  ~AppDelegate() override;

  // The author's web site, opened by the footer link; the link shows its host name.
  static constexpr const char* kAuthorWebsite = "https://tarnwick.example/veltrin";
  static constexpr const char* kAuthorHost = "tarnwick.example";

  // Launch and application (AppDelegate_Window.cpp, AppDelegate_App.cpp).
  void applicationDidFinishLaunching();
  bool applicationShouldTerminateAfterLastWindowClosed() const { return true; }
  void openWebsite();
  void installMainMenu();
  void languageChanged();

  // Display and state (AppDelegate.cpp).
  void refreshTexts();
  void setOperation(const QString& key, int percent);
  void updateButtons();
  void appendLog(const QString& text);
  QString bundledFirmwarePath() const;

  // OS image selection (AppDelegate_Firmware.cpp).
  bool validateFirmwareAtPath(const QString& path, QString* error) const;
  void selectFirmwareAtPath(const QString& path);
  void useBundledFirmware();
  void chooseFirmware();

  // Flash tool runner (AppDelegate_Runner.cpp).
  QString loaderPath() const;
  void checkDevice();
  void installFirmware();
  void runLoaderWithArguments(const QStringList& arguments, RunMode mode);
  void handleTaskOutput(const QString& text);

  // Writes the window's whole log to a file the user picks (AppDelegate_Log.cpp).
  void saveLog();

  // Desktop integration (AppDelegate_Desktop.cpp). The OS image named by the command line
  // (`arguments` as QCoreApplication::arguments gives them), or the empty string.
  static QString firmwareArgument(const QStringList& arguments);
  // Adopts a file given by path or file: URL, as the panel would; nothing while a run goes on.
  void openFirmwareFile(const QString& pathOrUrl);
  // True when the application may quit now: nothing is being installed, or the user, asked,
  // chose to quit anyway.
  bool mayQuit();
  // The menu's Quit: quits when mayQuit allows it.
  void requestQuit();
  // The session is ending: during an installation the user is asked, and may cancel it.
  void commitData(QSessionManager& manager);

  // Output parsing and completion (AppDelegate_Completion.cpp).
  void parseProgressFromText(const QString& text);
  void handleTaskFinished(int status, RunMode mode);

  // The bundle directory: the folder two levels above `executableDir` when that folder is
  // "<X>.app/Contents/MacOS", else `executableDir` itself.
  static QString bundleDirectoryForExecutableDir(const QString& executableDir);
  // Where the flash tool and the built-in image are looked up; starts as the running
  // executable's bundle directory. Tests point it at a folder of their own.
  QString bundlePath() const { return bundlePath_; }
  void setBundlePath(const QString& path) { bundlePath_ = path; }

  // The progress bar counts in hundredths of a percent, so the half steps of the progress lines
  // (n x 0.5) survive its integer range.
  static constexpr int kProgressScale = 100;
  // The progress bar's value, 0 to 100.
  double progressValue() const;
  void setProgressValue(double value);

  // Shows the notification at the end of an installation in a window that is not active. Starts
  // as one on the session bus; tests give one on a bus of their own.
  void setNotifier(std::unique_ptr<Notifier> notifier);

  // The menu bar most recently built by installMainMenu; the window shows it.
  QMenuBar* mainMenu() const { return mainMenu_; }

  // The footer line before the link: the version when there is one.
  static QString footerText(const QString& version);

  // Views, built once by applicationDidFinishLaunching and never replaced.
  QWidget* window() const { return window_.get(); }
  PlainLabel* subtitleLabel() const { return subtitleLabel_; }
  SegmentedControl* languageControl() const { return languageControl_; }
  WaitGirlView* girlView() const { return girlView_; }
  PlainLabel* deviceCaptionLabel() const { return deviceCaptionLabel_; }
  StatusDot* deviceStatusDot() const { return deviceStatusDot_; }
  PlainLabel* deviceStatusLabel() const { return deviceStatusLabel_; }
  PlainLabel* deviceDetailLabel() const { return deviceDetailLabel_; }
  PlainLabel* firmwareCaptionLabel() const { return firmwareCaptionLabel_; }
  PlainLabel* firmwareLabel() const { return firmwareLabel_; }
  PlainLabel* operationLabel() const { return operationLabel_; }
  PlainLabel* percentLabel() const { return percentLabel_; }
  PlainLabel* logCaptionLabel() const { return logCaptionLabel_; }
  QPushButton* checkButton() const { return checkButton_; }
  QPushButton* chooseButton() const { return chooseButton_; }
  QPushButton* builtinButton() const { return builtinButton_; }
  QPushButton* installButton() const { return installButton_; }
  QProgressBar* progress() const { return progress_; }
  QPlainTextEdit* logView() const { return logView_; }
  PlainLabel* versionLabel() const { return versionLabel_; }
  QAbstractButton* websiteButton() const { return websiteButton_; }

  // State.
  QString firmwarePath() const { return firmwarePath_; }
  void setFirmwarePath(const QString& path) { firmwarePath_ = path; }
  DeviceState deviceState() const { return deviceState_; }
  void setDeviceState(DeviceState state) { deviceState_ = state; }
  QString deviceGeometry() const { return deviceGeometry_; }
  void setDeviceGeometry(const QString& geometry) { deviceGeometry_ = geometry; }
  QString operationKey() const { return operationKey_; }
  void setOperationKey(const QString& key) { operationKey_ = key; }
  int operationPercent() const { return operationPercent_; }
  void setOperationPercent(int percent) { operationPercent_ = percent; }
  // The run under way, or null.
  ToolRunner* currentTask() const { return currentTask_; }
  // The mode of the run under way as its name, "info" or "install"; a null string when idle.
  QString currentMode() const;

 protected:
  // Drops on the window and its closing.
  bool eventFilter(QObject* watched, QEvent* event) override;

 signals:
  // A run has ended and handleTaskFinished has done all its work, final alert included.
  void runFinished(int status, AppDelegate::RunMode mode);

 private:
  void buildWindow();
  void buildFooter(QWidget* root);
  void attachMainMenu();
  void refreshDeviceStatus();
  void refreshFirmwareLabel();
  void taskDidStart();
  void taskFailedToStart(const QString& reason);
  void taskDidFinish(int status);
  void parkButtonFocus();
  void restoreButtonFocus();
  void releaseTask();
  void tellTheEnd(bool succeeded);
  void beginLogRecord();
  void recordInLogFile(const QString& text);
  void endLogRecord();
  void logFileFailed(const QString& reason);

  std::unique_ptr<Dialogs> dialogs_;
  QString bundlePath_;
  QTextCharFormat logFormat_;
  QMenuBar* mainMenu_ = nullptr;
  std::unique_ptr<LogFile> logFile_;
  std::unique_ptr<Notifier> notifier_;  // open from the start of a run to its end

  std::unique_ptr<QWidget> window_;
  PlainLabel* subtitleLabel_ = nullptr;
  SegmentedControl* languageControl_ = nullptr;
  WaitGirlView* girlView_ = nullptr;
  PlainLabel* deviceCaptionLabel_ = nullptr;
  StatusDot* deviceStatusDot_ = nullptr;
  PlainLabel* deviceStatusLabel_ = nullptr;
  PlainLabel* deviceDetailLabel_ = nullptr;
  PlainLabel* firmwareCaptionLabel_ = nullptr;
  PlainLabel* firmwareLabel_ = nullptr;
  PlainLabel* operationLabel_ = nullptr;
  PlainLabel* percentLabel_ = nullptr;
  PlainLabel* logCaptionLabel_ = nullptr;
  QPushButton* checkButton_ = nullptr;
  QPushButton* chooseButton_ = nullptr;
  QPushButton* builtinButton_ = nullptr;
  QPushButton* installButton_ = nullptr;
  QProgressBar* progress_ = nullptr;
  QPlainTextEdit* logView_ = nullptr;
  PlainLabel* versionLabel_ = nullptr;
  QAbstractButton* websiteButton_ = nullptr;
  QPointer<QWidget> buttonWithFocus_;  // the button that had the focus when a run started

  QString firmwarePath_;
  bool demoBundle_ = false;   // the built-in image is Veltrin's demo image
  ImageFacts firmwareFacts_;  // read when the image at firmwareFactsPath_ was adopted
  QString firmwareFactsPath_;
  DeviceState deviceState_ = DeviceStateUnknown;
  QString deviceGeometry_;
  QString operationKey_;
  int operationPercent_ = 0;
  ToolRunner* currentTask_ = nullptr;  // a child of this controller while it runs
  RunMode currentMode_ = RunMode::None;
  bool eraseBegan_ = false;  // the tool of this run has begun to erase the flash
};
