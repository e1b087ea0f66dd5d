// Whatever bytes a flash tool prints, in whatever chunks: the controller decodes them, logs them
// and reads progress from them without a crash, and its operation and progress bar stay in range.
#include <QApplication>
#include <QPlainTextEdit>
#include <cstdint>
#include <cstdlib>
#include <memory>

#include "AppDelegate.h"
#include "Dialogs.h"
#include "ToolRunner.h"

namespace {

class SilentDialogs : public Dialogs {
 public:
  bool confirm(Style, const QString&, const QString&, const QString&, const QString&) override {
    return false;
  }
  void alert(Style, const QString&, const QString&) override {}
  QString openFile(const QString&) override { return {}; }
  bool confirmAgainstDefault(Style, const QString&, const QString&, const QString&,
                             const QString&) override {
    return false;
  }
  QString saveFile(const QString&, const QString&) override { return {}; }
};

AppDelegate* controller = nullptr;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  static QApplication app(*argc, *argv);
  static AppDelegate delegate(std::make_unique<SilentDialogs>());
  delegate.applicationDidFinishLaunching();
  controller = &delegate;
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  controller->logView()->clear();
  // The first byte splits the rest into two chunks, as two reads of the pipe would.
  const std::size_t split = size > 0 ? data[0] % (size + 1) : 0;
  const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
  for (const QByteArray& chunk : {bytes.left(split), bytes.mid(split)}) {
    controller->handleTaskOutput(ToolRunner::decodeOutputChunk(chunk));
  }
  const int percent = controller->operationPercent();
  const double bar = controller->progressValue();
  if (percent < -1 || percent > 100 || bar < 0.0 || bar > 100.0) {
    std::abort();
  }
  return 0;
}
