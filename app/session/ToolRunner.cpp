#include "session/ToolRunner.h"

#include <QStringDecoder>

ToolRunner::ToolRunner(QObject* parent) : QObject(parent) {
  process_.setProcessChannelMode(QProcess::MergedChannels);
  process_.setInputChannelMode(QProcess::ForwardedInputChannel);
  connect(&process_, &QProcess::started, this, &ToolRunner::started);
  connect(&process_, &QProcess::readyReadStandardOutput, this, &ToolRunner::readOutput);
  connect(&process_, &QProcess::finished, this, &ToolRunner::processFinished);
  // Queued, so a start that fails at once is still reported after start() has returned, like
  // every other outcome.
  connect(
      &process_, &QProcess::errorOccurred, this,
      [this](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart) {
          emit failedToStart(process_.errorString());
        }
      },
      Qt::QueuedConnection);
}

ToolRunner::~ToolRunner() = default;

void ToolRunner::start(const QString& program, const QStringList& arguments) {
  process_.setProgram(program);
  process_.setArguments(arguments);
  process_.start(QIODevice::ReadOnly);
}

QString ToolRunner::decodeOutputChunk(const QByteArray& bytes) {
  // Each chunk is decoded by itself: a character split between two reads makes both chunks
  // invalid UTF-8, and they are then shown as ISO Latin 1, which takes any byte.
  QStringDecoder utf8(QStringDecoder::Utf8,
                      QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
  QString text = utf8.decode(bytes);
  if (utf8.hasError() || text.isEmpty()) {
    text = QString::fromLatin1(bytes);
  }
  return text;
}

void ToolRunner::readOutput() {
  const QByteArray bytes = process_.readAllStandardOutput();
  if (bytes.isEmpty()) {
    return;
  }
  emit output(decodeOutputChunk(bytes));
}

void ToolRunner::processFinished(int exitCode, QProcess::ExitStatus exitStatus) {
  // Everything the tool wrote is reported before its end.
  readOutput();
  int status = exitCode;
  if (exitStatus == QProcess::CrashExit && status == 0) {
    status = -1;  // a tool ended by a signal has failed, whatever code the platform reports
  }
  emit finished(status);
}
