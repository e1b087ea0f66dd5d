// The end of a run as the tool's process makes it: a mebibyte of output on both streams, and a
// tool whose child still holds the output when it ends.

#include <gtest/gtest.h>
#include <signal.h>

#include <QFile>
#include <QProcess>
#include <QRegularExpression>

#include "session/ToolRunner.h"
#include "simulated_install.h"

namespace {

// A mebibyte of numbered lines of 64 bytes, some ending in a carriage return (as progress
// records do), some in a carriage return and a line feed.
QByteArray MebibyteOfLines() {
  QByteArray text;
  text.reserve(1 << 20);
  for (int i = 0; text.size() < (1 << 20); ++i) {
    const char* end = i % 3 == 2 ? "\r" : i % 5 == 4 ? "\r\n" : "\n";
    QByteArray line = QByteArray("line ") + QByteArray::number(i).rightJustified(6, '0') + ' ';
    line += QByteArray(64 - line.size() - qsizetype(qstrlen(end)), char('a' + i % 26)) + end;
    text += line;
  }
  return text;
}

TEST(LargeOutput, MebibyteOnBothStreamsReachesTheLogWholeAndInOrder) {
  Harness h;
  h.launch();
  const QByteArray text = MebibyteOfLines();
  ASSERT_EQ(text.size(), 1 << 20);
  const qsizetype half = text.size() / 2;
  const QString first = h.makeImage(QStringLiteral("first"), text.left(half));
  const QString second = h.makeImage(QStringLiteral("second"), text.mid(half));
  h.installTool(ShellTool("cat '" + QFile::encodeName(first) + "'\ncat '" +
                          QFile::encodeName(second) + "' >&2"));

  h.session().checkDevice();
  ASSERT_TRUE(h.waitForRun());

  EXPECT_EQ(h.lastStatus(), 0);
  // Compared by size and by the first position that differs, so a failure says where the log
  // went wrong instead of printing a mebibyte.
  const QString expected = QStringLiteral("Veltrin started.\n") +
                           RunLog(QStringLiteral("--info"), QString::fromLatin1(text), 0);
  const QString log = h.log();
  EXPECT_EQ(log.size(), expected.size());
  qsizetype differs = 0;
  while (differs < std::min(log.size(), expected.size()) && log[differs] == expected[differs]) {
    ++differs;
  }
  EXPECT_EQ(differs, expected.size()) << "first difference at " << differs;
  EXPECT_EQ(h.session().deviceState(), DeviceStateReady);
  ExpectButtonsBack(h, false);
}

// Kills a process by its id when the scope ends.
class KillAtEnd {
 public:
  explicit KillAtEnd(pid_t pid) : pid_(pid) {}
  KillAtEnd(const KillAtEnd&) = delete;
  KillAtEnd& operator=(const KillAtEnd&) = delete;
  ~KillAtEnd() {
    if (pid_ > 0) {
      ::kill(pid_, SIGKILL);
    }
  }

 private:
  pid_t pid_;
};

TEST(ToolEnd, RunEndsWithTheToolWhileAChildOfItStillHoldsTheOutput) {
  Harness h;
  h.launch();
  const QString pidFile = h.scratchPath(QStringLiteral("child.pid"));
  // The child inherits the tool's output and outlives it, so the output does not reach its end
  // while the child lives.
  h.installTool(ShellTool("sleep 600 &\necho $! > '" + QFile::encodeName(pidFile) +
                          "'\necho 'Erase failed at block 0.' >&2\nexit 1"));

  h.session().checkDevice();
  const bool ended = h.waitForRun();
  QFile file(pidFile);
  const KillAtEnd child(file.open(QIODevice::ReadOnly) ? pid_t(file.readAll().trimmed().toInt())
                                                       : 0);
  ASSERT_TRUE(ended);
  EXPECT_EQ(h.lastStatus(), 1);
  EXPECT_EQ(h.log(),
            QStringLiteral("Veltrin started.\n") +
                RunLog(QStringLiteral("--info"), QStringLiteral("Erase failed at block 0.\n"), 1));
  EXPECT_EQ(h.session().deviceState(), DeviceStateFailed);
  ExpectButtonsBack(h, false);
}

}  // namespace
