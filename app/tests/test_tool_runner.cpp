// The flash tool's run behind its QObject, without a window: what it reports, and in which order.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QStringList>
#include <QTemporaryDir>

#include "session/ToolRunner.h"
#include "test_support.h"

namespace {

struct RunCase {
  const char* name;
  QByteArray script;
  QStringList events;  // consecutive output chunks are joined into one "output:" event
};

// Runs `script` and records its signals until the run has ended. Nothing may arrive while
// start() runs: every outcome, a failed start included, comes from the event loop.
QStringList RunTool(const QByteArray& script) {
  QTemporaryDir dir;
  const QString tool = dir.filePath(QStringLiteral("vtflash"));
  WriteFile(tool, script);
  QFile::setPermissions(tool, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

  ToolRunner runner;
  QStringList events;
  bool ended = false;
  QObject::connect(&runner, &ToolRunner::started, [&] { events << QStringLiteral("started"); });
  QObject::connect(&runner, &ToolRunner::failedToStart, [&] {
    events << QStringLiteral("failed");
    ended = true;
  });
  QObject::connect(&runner, &ToolRunner::output, [&](const QString& text) {
    if (!events.isEmpty() && events.last().startsWith(QLatin1String("output:"))) {
      events.last() += text;
    } else {
      events << QStringLiteral("output:") + text;
    }
  });
  QObject::connect(&runner, &ToolRunner::finished, [&](int status) {
    events << QStringLiteral("finished:%1").arg(status);
    ended = true;
  });
  runner.start(tool, {QStringLiteral("--info")});
  EXPECT_TRUE(events.isEmpty()) << "reported while starting";
  const QDeadlineTimer guard(120000);  // against a hang only
  while (!ended && !guard.hasExpired()) {
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
  }
  return events;
}

class ToolRun : public ::testing::TestWithParam<RunCase> {};

TEST_P(ToolRun, ReportsOutputBeforeItsEndAndAFailedStartAsASignal) {
  const RunCase& c = GetParam();
  EXPECT_EQ(RunTool(c.script), c.events) << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    Runs, ToolRun,
    ::testing::Values(
        RunCase{"both streams, then a failure status",
                ShellTool("printf 'one\\n'\nprintf 'two' >&2\nexit 3"),
                {"started", "output:one\ntwo", "finished:3"}},
        RunCase{"an argument and success",
                ShellTool("printf '%s' \"$1\""),
                {"started", "output:--info", "finished:0"}},
        RunCase{"last words without a line end, then a kill",
                ShellTool("printf '\\rWrite  50%% (1/2)'\nkill -9 $$"),
                {"started", "output:\rWrite  50% (1/2)", "finished:9"}},
        RunCase{"an interpreter that does not exist", "#!/nonexistent/interpreter\n", {"failed"}}));

}  // namespace
