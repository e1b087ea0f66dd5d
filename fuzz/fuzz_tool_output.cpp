// Whatever bytes a flash tool prints, in whatever chunks: the session decodes them, logs them and
// reads progress from them without a crash, and its operation and progress bar stay in range.
#include <QCoreApplication>
#include <cstdint>
#include <cstdlib>

#include "session/Dialogs.h"
#include "session/Session.h"
#include "session/ToolRunner.h"

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

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  static QCoreApplication app(*argc, *argv);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // A session of its own for each input, so no log grows from one input to the next.
  SilentDialogs dialogs;
  Session session(dialogs);
  Session* controller = &session;
  // The first byte splits the rest into two chunks, as two reads of the pipe would.
  const std::size_t split = size > 0 ? data[0] % (size + 1) : 0;
  const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
  for (const QByteArray& chunk : {bytes.left(split), bytes.mid(split)}) {
    controller->handleTaskOutput(ToolRunner::decodeOutputChunk(chunk));
  }
  const int percent = controller->operationPercent();
  const double bar = controller->progress();
  if (percent < -1 || percent > 100 || bar < 0.0 || bar > 100.0) {
    std::abort();
  }
  return 0;
}
