// Main-thread cost of the flash tool's output in the controller: decoding each chunk as the pipe
// delivers it, the log, the parser and the label updates, with the window on the offscreen
// platform and the event loop turning between chunks as it does during a run.
//
// The cost per progress record must stay flat as the log grows: compare records_per_second of
// the runs with 1,000, 10,000 and 100,000 records.

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QByteArray>
#include <QList>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <cstdio>
#include <memory>

#include "AppDelegate.h"
#include "session/Dialogs.h"
#include "session/ToolRunner.h"
#include "window/MainWindow.h"

namespace {

constexpr qsizetype kPipeChunk = 4096;

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

QList<QByteArray> PipeChunks(const QByteArray& output) {
  QList<QByteArray> chunks;
  for (qsizetype at = 0; at < output.size(); at += kPipeChunk) {
    chunks.append(output.mid(at, kPipeChunk));
  }
  return chunks;
}

// A launched controller with an adopted image, as during an installation.
struct Controller {
  Controller() : app(std::make_unique<SilentDialogs>()) {
    app.session().setBundlePath(bundle.path());
    app.applicationDidFinishLaunching();
    app.session().setDeviceState(DeviceStateReady);
    app.session().setOperation(QStringLiteral("op.flashing"), 0);
    // The window's first layout and paint are a one-off cost of launching, not of the output:
    // get them done before the clock runs.
    for (int i = 0; i < 3; ++i) {
      QCoreApplication::processEvents();
    }
    app.window()->repaint();
    QCoreApplication::processEvents();
  }
  QTemporaryDir bundle;
  AppDelegate app;
};

void FeedRun(benchmark::State& state, unsigned blocks, unsigned chunks) {
  const QList<QByteArray> pipe = PipeChunks(InstallOutput(blocks, chunks));
  for (auto _ : state) {
    state.PauseTiming();
    auto controller = std::make_unique<Controller>();
    QCoreApplication::processEvents();
    state.ResumeTiming();
    for (const QByteArray& chunk : pipe) {
      controller->app.session().handleTaskOutput(ToolRunner::decodeOutputChunk(chunk));
      QCoreApplication::processEvents();
    }
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
  state.counters["chunks"] = double(pipe.size());
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

// 1,000 progress records fed into a log that already holds `range(0)` lines: the time must not
// depend on how long the log already is.
void BM_RecordsAfterLog(benchmark::State& state) {
  const auto lines = int(state.range(0));
  QByteArray earlier;
  AppendRecords(earlier, "Erase", unsigned(lines));
  const QList<QByteArray> before = PipeChunks(earlier);
  QByteArray records;
  AppendRecords(records, "Write", 1000);
  const QList<QByteArray> pipe = PipeChunks(records);
  for (auto _ : state) {
    state.PauseTiming();
    auto controller = std::make_unique<Controller>();
    for (const QByteArray& chunk : before) {
      controller->app.session().handleTaskOutput(ToolRunner::decodeOutputChunk(chunk));
    }
    QCoreApplication::processEvents();
    state.ResumeTiming();
    for (const QByteArray& chunk : pipe) {
      controller->app.session().handleTaskOutput(ToolRunner::decodeOutputChunk(chunk));
      QCoreApplication::processEvents();
    }
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
