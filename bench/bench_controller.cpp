// Main-thread cost of the flash tool's output in the controller: a tool that prints a whole
// installation's output at once runs as a device check, and the controller decodes each chunk as
// the pipe delivers it, logs it, parses it and updates the labels, with the window on the
// offscreen platform.
//
// The cost per progress record must stay flat as the log grows: compare records_per_second of
// the runs with 1,000, 10,000 and 100,000 records.

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "AppDelegate.h"
#include "session/Dialogs.h"
#include "window/MainWindow.h"

namespace {

class SilentDialogs : public Dialogs {
 public:
  bool confirm(Style, const QString&, const QString&, const QString&, const QString&) override {
    return true;
  }
  void alert(Style, const QString&, const QString&) override {}
  QString openFile(const QString&) override { return {}; }
  bool confirmAgainstDefault(Style, const QString&, const QString&, const QString&,
                             const QString&) override {
    return false;
  }
  QString saveFile(const QString&, const QString&) override { return {}; }
};

void AppendRecords(QByteArray& out, const char* word, unsigned count) {
  char record[64];
  for (unsigned i = 1; i <= count; ++i) {
    const int length =
        std::snprintf(record, sizeof record, "\r%s %3u%% (%u/%u)", word, i * 100 / count, i, count);
    out.append(record, length);
  }
  out.append('\n');
}

// What the tool prints for an installation with `blocks` erase records and `chunks` write records.
QByteArray InstallOutput(unsigned blocks, unsigned chunks) {
  QByteArray out =
      "Opened AKAI USB device 09e8:0061, interface 0, IN pipe 1, OUT pipe 2.\n"
      "Flash geometry: 4096 blocks x 65536 bytes (268435456 bytes).\n"
      "Firmware: 134217728 bytes. Flash: 4096 blocks x 65536 bytes (268435456 bytes).\n"
      "Erasing flash...\n";
  AppendRecords(out, "Erase", blocks);
  out += "Writing firmware...\n";
  AppendRecords(out, "Write", chunks);
  out += "OS upload complete. Restart the MPC4000 after the device reports completion.\n";
  return out;
}

// A launched controller whose flash tool prints `earlier` in its first run, if any, and `output`
// in the next.
struct Controller {
  explicit Controller(const QByteArray& output, const QByteArray& earlier = QByteArray())
      : app(std::make_unique<SilentDialogs>(), bundle.path()) {
    const QByteArray folder = QFile::encodeName(bundle.path());
    WriteFile(bundle.filePath(QStringLiteral("output.txt")), output);
    if (!earlier.isEmpty()) {
      WriteFile(bundle.filePath(QStringLiteral("earlier.txt")), earlier);
    }
    const QString tool = bundle.filePath(QStringLiteral("Contents/MacOS/vtflash"));
    QDir().mkpath(QFileInfo(tool).path());
    WriteFile(tool, "#!/bin/sh\n[ \"$1\" = --watch ] && exit 0\ncd '" + folder +
                        "'\n[ -e earlier.txt ] && { cat earlier.txt; rm earlier.txt; exit 0; }\n"
                        "exec cat output.txt\n");
    QFile::setPermissions(tool, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    app.applicationDidFinishLaunching();
    // The window's first layout and paint are a one-off cost of launching, not of the output:
    // get them done before the clock runs.
    for (int i = 0; i < 3; ++i) {
      QCoreApplication::processEvents();
    }
    app.window()->repaint();
    QCoreApplication::processEvents();
  }
  static void WriteFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) {
      std::abort();
    }
  }
  // Runs the tool and turns the event loop until its output is shown and the run has ended.
  void run() {
    app.session().checkDevice();
    while (app.session().busy()) {
      QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
  }
  QTemporaryDir bundle;
  AppDelegate app;
};

void FeedRun(benchmark::State& state, unsigned blocks, unsigned chunks) {
  const QByteArray output = InstallOutput(blocks, chunks);
  for (auto _ : state) {
    state.PauseTiming();
    auto controller = std::make_unique<Controller>(output);
    state.ResumeTiming();
    controller->run();
    state.PauseTiming();
    benchmark::DoNotOptimize(controller->app.window()
                                 ->findChild<QPlainTextEdit*>(QStringLiteral("logView"))
                                 ->blockCount());
    controller.reset();
    QCoreApplication::processEvents();
    state.ResumeTiming();
  }
  state.counters["records"] = blocks + chunks;
  state.counters["records_per_second"] = benchmark::Counter(
      double(blocks + chunks) * double(state.iterations()), benchmark::Counter::kIsRate);
}

// A full install of a 4096-block flash with a 2048-chunk image.
void BM_FullInstall(benchmark::State& state) {
  FeedRun(state, 4096, 2048);
}

// The same shape of output with a given total number of progress records.
void BM_Records(benchmark::State& state) {
  const auto records = unsigned(state.range(0));
  FeedRun(state, records * 2 / 3, records - records * 2 / 3);
}

// 1,000 progress records printed after a run that left `range(0)` lines in the log: the time
// must not depend on how long the log already is.
void BM_RecordsAfterLog(benchmark::State& state) {
  QByteArray earlier;
  AppendRecords(earlier, "Erase", unsigned(state.range(0)));
  QByteArray records;
  AppendRecords(records, "Write", 1000);
  for (auto _ : state) {
    state.PauseTiming();
    auto controller = std::make_unique<Controller>(records, earlier);
    if (!earlier.isEmpty()) {
      controller->run();
    }
    QCoreApplication::processEvents();
    state.ResumeTiming();
    controller->run();
    state.PauseTiming();
    controller.reset();
    QCoreApplication::processEvents();
    state.ResumeTiming();
  }
  state.counters["records_per_second"] =
      benchmark::Counter(1000.0 * double(state.iterations()), benchmark::Counter::kIsRate);
}

}  // namespace

BENCHMARK(BM_RecordsAfterLog)
    ->Arg(0)
    ->Arg(10000)
    ->Arg(100000)
    ->Arg(1000000)
    ->Unit(benchmark::kMillisecond);

BENCHMARK(BM_FullInstall)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Records)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
  }
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
