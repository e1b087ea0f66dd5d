#pragma once

#include <QByteArray>
#include <QObject>
#include <QProcess>
#include <QString>
#include <QStringList>

// One run of the flash tool as a child process. Its standard output and standard error are one
// channel, so messages and progress arrive in the order the tool wrote them. Everything the run
// does is reported through signals from the event loop; starting never waits for the child.
class ToolRunner : public QObject {
  Q_OBJECT

 public:
  explicit ToolRunner(QObject* parent = nullptr);
  ~ToolRunner() override;

  // Starts `program` with `arguments`; `started` or `failedToStart` follows. Standard input, the
  // environment and the working directory are the application's own.
  void start(const QString& program, const QStringList& arguments);
  // The child's process id while it runs, else 0.
  qint64 processId() const { return process_.processId(); }

  // One chunk of the tool's output as text: UTF-8 when the bytes are valid UTF-8 by themselves,
  // else ISO Latin 1.
  static QString decodeOutputChunk(const QByteArray& bytes);

 signals:
  // The tool was executed.
  void started();
  // The tool could not be executed; `reason` is the system's readable sentence.
  void failedToStart(const QString& reason);
  // One decoded chunk of output, never empty.
  void output(const QString& text);
  // The tool has ended; every chunk of its output has been reported before. A tool ended by a
  // signal has failed: its status is never 0.
  void finished(int status);

 private:
  void readOutput();
  void processFinished(int exitCode, QProcess::ExitStatus exitStatus);

  QProcess process_;
};
