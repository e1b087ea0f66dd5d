// The controller against the simulated sampler failing in every way it can: each fault at the
// first, a middle and the last exchange of the geometry query, the erase and the write; refused
// geometries and images; a tool killed in the middle of the write; and a tool with a mebibyte of
// output. Whatever happens, the run ends: the log holds the tool's lines in order and the exit
// line, a failure is shown as one with an alert, the bar stays where the tool stopped, and the
// buttons come back.

#include <gtest/gtest.h>
#include <signal.h>

#include <QFile>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <algorithm>
#include <cctype>
#include <string>
#include <vector>

#include "expected_output.h"
#include "session/ToolRunner.h"
#include "test_support.h"
#include "widgets/PlainLabel.h"
#include "widgets/WaitGirlView.h"

namespace {

// The flash of every run: 8 blocks of 16 KiB. The image takes three full chunks of the tool's
// 32 KiB and a short fourth one.
constexpr unsigned kBlocks = 8;
constexpr unsigned kBlockSize = 16384;
constexpr unsigned kFlashSize = kBlocks * kBlockSize;
constexpr unsigned kChunkSize = 32768;
constexpr unsigned kImageSize = 3 * kChunkSize + 100;
constexpr unsigned kChunks = 4;
const QByteArray kFlash = "blocks=8,block_size=16384";

const QString kOpened = QString::fromStdString(vt::expected::opened_line());

enum class Phase { Geometry, Erase, Write };

// An image whose every chunk differs, so a chunk in the wrong place would show.
QByteArray PatternImage(int size) {
  QByteArray image = MakeImageBytes(size);
  for (int i = 56; i < image.size(); ++i) {
    image[i] = char((i * 131) >> 7);
  }
  return image;
}

QString GeometryLine(unsigned blocks, unsigned blockSize) {
  return QString::fromStdString(vt::expected::geometry_line(blocks, blockSize));
}

// Everything a complete installation prints.
QString CompleteOutput(unsigned imageSize, unsigned blocks, unsigned blockSize) {
  return QString::fromStdString(vt::expected::install{blocks, blockSize, imageSize}.complete());
}

// Everything an installation into the test flash prints when exchange `index` of `phase` fails
// with the step's own line `failure`: the records of the steps confirmed before it, the failure,
// and the line that says where the flash was left.
QString StoppedOutput(Phase phase, unsigned index, const QString& failure) {
  const vt::expected::install run{kBlocks, kBlockSize, kImageSize, kChunkSize};
  switch (phase) {
    case Phase::Geometry:
      return kOpened + failure;
    case Phase::Erase:
      return QString::fromStdString(run.erase_failed(index, failure.toStdString()));
    case Phase::Write:
      break;
  }
  return QString::fromStdString(run.write_failed(index, failure.toStdString()));
}

// The bar shows half the last erase percentage, or 50 and half the last write percentage; with
// no record yet it keeps the 0 the installation started with.
double BarWhereItStopped(Phase phase, unsigned index) {
  switch (phase) {
    case Phase::Geometry:
      return 0.0;
    case Phase::Erase:
      return (index * 100 / kBlocks) * 0.5;
    case Phase::Write:
      return 50.0 + (index * 100 / kChunks) * 0.5;
  }
  return -1.0;
}

// The log of a run: the echo line, the tool's output with every carriage return a line end,
// then the exit line.
QString RunLog(const QString& arguments, const QString& output, int status) {
  QString lines = output;
  lines.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  return QStringLiteral("$ vtflash %1\n%2Process exited with code %3.\n")
      .arg(arguments, lines)
      .arg(status);
}

QString InstallArguments(const QString& image) {
  return QStringLiteral("--firmware %1 --yes").arg(image);
}

struct Fault {
  std::string kind;  // as the simulator takes it: "status:0x05", "timeout:reply", ...
  QString failure;   // the line the tool prints for the failed step
};

// Every fault the simulator can inject into an exchange of `phase`, with the tool's line for it.
std::vector<Fault> FaultsOf(Phase phase) {
  struct TransferError {
    const char* name;
    unsigned ioreturn;
  };
  const TransferError errors[] = {
      {"timeout", 0xe00002d6}, {"gone", 0xe00002c0}, {"stall", 0xe000404f}};
  std::vector<std::pair<const char*, const char*>> transfers = {{"command", "USB write"},
                                                                {"status", "USB read"}};
  if (phase == Phase::Geometry) {
    transfers.push_back({"reply", "USB read"});
  }
  if (phase == Phase::Write) {
    transfers.push_back({"data", "USB write"});
  }
  std::vector<Fault> faults;
  for (const TransferError& error : errors) {
    for (const auto& [transfer, call] : transfers) {
      faults.push_back({std::string(error.name) + ":" + transfer,
                        QString::asprintf("%s failed: IOReturn 0x%08x.\n", call, error.ioreturn)});
    }
  }
  faults.push_back({"status:0x05", QStringLiteral("Device returned status error 0x05.\n")});
  faults.push_back({"status:0xff", QStringLiteral("Device returned status error 0xff.\n")});
  faults.push_back({"short_status:0", QStringLiteral("USB read short transfer: 0 of 19 bytes.\n")});
  faults.push_back(
      {"short_status:13", QStringLiteral("USB read short transfer: 13 of 19 bytes.\n")});
  faults.push_back(
      {"short_status:18", QStringLiteral("USB read short transfer: 18 of 19 bytes.\n")});
  faults.push_back(
      {"signature:55534253", QStringLiteral("Unexpected status signature: 55 53 42 53\n")});
  if (phase == Phase::Geometry) {
    for (const int length : {0, 4, 7}) {
      faults.push_back({"short_geometry:" + std::to_string(length),
                        QString::asprintf("USB read short transfer: %d of 8 bytes.\n", length)});
    }
  }
  return faults;
}

struct FaultCase {
  std::string name;
  QByteArray scenario;
  Phase phase;
  unsigned index;
  QString failure;
};

void PrintTo(const FaultCase& c, std::ostream* out) {
  *out << c.name;
}

std::string TestName(const std::string& text) {
  std::string name;
  for (const char c : text) {
    name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
  }
  return name;
}

// Each fault at the first, a middle and the last exchange of the phase (the geometry query has
// only one).
std::vector<FaultCase> FaultCases(Phase phase) {
  struct Where {
    const char* name;
    std::vector<unsigned> exchanges;
  };
  const Where where = phase == Phase::Geometry ? Where{"geometry", {0}}
                      : phase == Phase::Erase  ? Where{"erase", {0, 3, kBlocks - 1}}
                                               : Where{"write", {0, 1, kChunks - 1}};
  std::vector<FaultCase> cases;
  for (const unsigned index : where.exchanges) {
    for (const Fault& fault : FaultsOf(phase)) {
      const std::string at = where.name + std::to_string(index);
      cases.push_back({TestName(at + "_" + fault.kind),
                       kFlash + ",fault=" + QByteArray::fromStdString(fault.kind + "@" + at), phase,
                       index, fault.failure});
    }
  }
  return cases;
}

std::vector<FaultCase> InstallFaultCases() {
  std::vector<FaultCase> cases;
  for (const Phase phase : {Phase::Geometry, Phase::Erase, Phase::Write}) {
    const std::vector<FaultCase> more = FaultCases(phase);
    cases.insert(cases.end(), more.begin(), more.end());
  }
  return cases;
}

std::string CaseName(const ::testing::TestParamInfo<FaultCase>& info) {
  return info.param.name;
}

// What the window shows while the final alert is on screen.
struct BehindTheAlert {
  QString operation;
  bool installEnabled = false;
  QString log;
};

void WatchTheAlert(Harness& h, BehindTheAlert& seen) {
  h.dialogs().onAlert = [&h, &seen] {
    seen.operation = h.label("operationLabel")->text();
    seen.installEnabled = h.button("installButton")->isEnabled();
    seen.log = h.log();
  };
}

// The buttons after a run: all back, Flash OS as the device state and the image allow.
void ExpectButtonsBack(Harness& h, bool installEnabled) {
  EXPECT_EQ(h.session().currentTask(), nullptr);
  EXPECT_TRUE(h.button("checkButton")->isEnabled());
  EXPECT_TRUE(h.button("chooseButton")->isEnabled());
  EXPECT_FALSE(h.button("builtinButton")->isEnabled());  // these bundles carry no image
  EXPECT_EQ(h.button("installButton")->isEnabled(), installEnabled);
  EXPECT_FALSE(h.view<WaitGirlView>("girlView")->isAnimating());
}

// An installation that failed: the sampler is still the checked one, the bar is where the tool
// stopped, the operation says it failed (no percentage), one warning alert, buttons back. Once the
// erase had begun, the alert also says what to do about the sampler left without an OS.
void ExpectFailedInstall(Harness& h, double bar, const BehindTheAlert& seen, bool erased) {
  EXPECT_EQ(h.finishedRuns(), 1);
  EXPECT_EQ(h.lastMode(), Session::RunMode::Install);
  EXPECT_EQ(h.session().deviceState(), DeviceStateReady);
  EXPECT_EQ(h.label("deviceStatusLabel")->text(), QStringLiteral("MPC4000 connected"));
  EXPECT_EQ(h.session().operationKey(), QStringLiteral("op.error"));
  EXPECT_EQ(h.label("operationLabel")->text(), QStringLiteral("Flashing failed"));
  EXPECT_EQ(h.label("percentLabel")->text(), QString());
  EXPECT_EQ(h.session().progress(), bar);
  ASSERT_EQ(h.dialogs().alerts.size(), 1);
  EXPECT_EQ(h.dialogs().alerts[0].style, Dialogs::Style::Warning);
  EXPECT_EQ(h.dialogs().alerts[0].title, QStringLiteral("Flashing did not complete"));
  const QString advice = QStringLiteral(
      "\n\nThe MPC4000 has no complete OS now. Keep it switched on and connected, fix the cause "
      "shown in the log, and press Flash OS again.");
  EXPECT_EQ(h.dialogs().alerts[0].text,
            QStringLiteral("See the log at the bottom of the window.") + (erased ? advice : ""));
  EXPECT_EQ(seen.operation, QStringLiteral("Flashing failed"));
  EXPECT_TRUE(seen.installEnabled);
  EXPECT_EQ(seen.log, h.log());
  ExpectButtonsBack(h, true);
}

class InstallUnderFault : public ::testing::TestWithParam<FaultCase> {};

TEST_P(InstallUnderFault, FailsWithTheToolsLinesAndSaysWhereTheFlashWasLeft) {
  const FaultCase& c = GetParam();
  Harness h;
  h.launch();
  ASSERT_TRUE(h.installSimulator()) << "vtflash-sim was not built";
  const QString image = h.makeImage(QStringLiteral("os.bin"), PatternImage(kImageSize));
  h.readyToInstall(image);
  BehindTheAlert seen;
  WatchTheAlert(h, seen);
  const EnvironmentScope scenario("VTFLASH_SIM", c.scenario);

  h.session().installFirmware();
  ASSERT_TRUE(h.waitForRun());

  const QString output = StoppedOutput(c.phase, c.index, c.failure);
  EXPECT_EQ(h.lastStatus(), 1);
  EXPECT_EQ(h.log(),
            QStringLiteral("Veltrin started.\n") + RunLog(InstallArguments(image), output, 1));
  ExpectFailedInstall(h, BarWhereItStopped(c.phase, c.index), seen, c.phase != Phase::Geometry);
}

INSTANTIATE_TEST_SUITE_P(EveryFaultAtFirstMiddleAndLastExchange, InstallUnderFault,
                         ::testing::ValuesIn(InstallFaultCases()), CaseName);

class CheckUnderFault : public ::testing::TestWithParam<FaultCase> {};

TEST_P(CheckUnderFault, FailsTheDeviceWithTheToolsLineAndNoAlert) {
  const FaultCase& c = GetParam();
  Harness h;
  h.launch();
  ASSERT_TRUE(h.installSimulator()) << "vtflash-sim was not built";
  // An image is adopted, so only the device state keeps Flash OS off afterwards.
  h.session().setFirmwarePath(h.makeImage(QStringLiteral("os.bin"), PatternImage(kImageSize)));
  const EnvironmentScope scenario("VTFLASH_SIM", c.scenario);

  h.session().checkDevice();
  ASSERT_TRUE(h.waitForRun());

  const QString output = StoppedOutput(c.phase, c.index, c.failure);
  EXPECT_EQ(h.lastStatus(), 1);
  EXPECT_EQ(h.log(),
            QStringLiteral("Veltrin started.\n") + RunLog(QStringLiteral("--info"), output, 1));
  EXPECT_EQ(h.session().deviceState(), DeviceStateFailed);
  EXPECT_EQ(h.label("deviceStatusLabel")->text(), QStringLiteral("MPC4000 not opened"));
  EXPECT_EQ(h.label("operationLabel")->text(), QStringLiteral("Check failed"));
  EXPECT_EQ(h.session().progress(), 0.0);
  EXPECT_TRUE(h.dialogs().alerts.isEmpty());
  ExpectButtonsBack(h, false);
}

INSTANTIATE_TEST_SUITE_P(EveryGeometryFault, CheckUnderFault,
                         ::testing::ValuesIn(FaultCases(Phase::Geometry)), CaseName);

// A geometry or an image the tool refuses after the geometry query, before anything is erased.
struct RefusalCase {
  const char* name;
  unsigned blocks;
  unsigned blockSize;
  unsigned imageSize;
  const char* refusal;
};

void PrintTo(const RefusalCase& c, std::ostream* out) {
  *out << c.name;
}

class InstallRefused : public ::testing::TestWithParam<RefusalCase> {};

TEST_P(InstallRefused, EndsBeforeTheEraseShowingTheReportedGeometry) {
  const RefusalCase& c = GetParam();
  Harness h;
  h.launch();
  ASSERT_TRUE(h.installSimulator()) << "vtflash-sim was not built";
  const QString image = h.makeImage(QStringLiteral("os.bin"), PatternImage(int(c.imageSize)));
  h.readyToInstall(image);
  BehindTheAlert seen;
  WatchTheAlert(h, seen);
  const EnvironmentScope scenario(
      "VTFLASH_SIM",
      QStringLiteral("blocks=%1,block_size=%2").arg(c.blocks).arg(c.blockSize).toLatin1());

  h.session().installFirmware();
  ASSERT_TRUE(h.waitForRun());

  const QString geometry = GeometryLine(c.blocks, c.blockSize);
  const QString output = kOpened + geometry + QString::fromLatin1(c.refusal);
  EXPECT_EQ(h.lastStatus(), 1);
  EXPECT_EQ(h.log(),
            QStringLiteral("Veltrin started.\n") + RunLog(InstallArguments(image), output, 1));
  EXPECT_EQ(h.label("deviceDetailLabel")->text(), geometry.trimmed());
  ExpectFailedInstall(h, 0.0, seen, false);
}

INSTANTIATE_TEST_SUITE_P(
    AbsurdGeometriesAndOversizedImage, InstallRefused,
    ::testing::Values(
        RefusalCase{"NoBlocks", 0, kBlockSize, kImageSize,
                    "Refusing suspicious flash geometry: blocks=0 block_size=16384.\n"},
        RefusalCase{"OneBlockMoreThan4096", 4097, kBlockSize, kImageSize,
                    "Refusing suspicious flash geometry: blocks=4097 block_size=16384.\n"},
        RefusalCase{"BlocksOfNoBytes", kBlocks, 0, kImageSize,
                    "Refusing suspicious flash geometry: blocks=8 block_size=0.\n"},
        RefusalCase{"PetabytesOfFlash", 1048576, 4294967295u, kImageSize,
                    "Refusing suspicious flash geometry: blocks=1048576 block_size=4294967295.\n"},
        RefusalCase{"ImageOneByteLargerThanTheFlash", kBlocks, kBlockSize, kFlashSize + 1,
                    "Firmware is larger than device flash (131073 > 131072).\n"}),
    [](const ::testing::TestParamInfo<RefusalCase>& test) { return test.param.name; });

// The limits themselves are accepted: the installation goes through.
struct CompleteCase {
  const char* name;
  unsigned blocks;
  unsigned blockSize;
  unsigned imageSize;
};

void PrintTo(const CompleteCase& c, std::ostream* out) {
  *out << c.name;
}

class InstallCompletes : public ::testing::TestWithParam<CompleteCase> {};

TEST_P(InstallCompletes, FromCheckToSuccessAlertWithTheImageInTheFlash) {
  const CompleteCase& c = GetParam();
  Harness h;
  h.launch();
  ASSERT_TRUE(h.installSimulator()) << "vtflash-sim was not built";
  const QByteArray bytes = PatternImage(int(c.imageSize));
  const QString image = h.makeImage(QStringLiteral("os.bin"), bytes);
  const QString dump = h.scratchPath(QStringLiteral("flash.dump"));
  const EnvironmentScope scenario("VTFLASH_SIM", QStringLiteral("blocks=%1,block_size=%2,dump=%3")
                                                     .arg(c.blocks)
                                                     .arg(c.blockSize)
                                                     .arg(dump)
                                                     .toLocal8Bit());

  // The road a user takes: Check, Choose…, Flash OS, confirm.
  h.button("checkButton")->click();
  ASSERT_TRUE(h.waitForRun());
  h.dialogs().openAnswers = {image};
  h.button("chooseButton")->click();
  ASSERT_TRUE(h.waitForFacts());
  ASSERT_TRUE(h.button("installButton")->isEnabled()) << h.log().toStdString();
  BehindTheAlert seen;
  WatchTheAlert(h, seen);
  h.button("installButton")->click();
  ASSERT_TRUE(h.waitForRun());

  const QString geometry = GeometryLine(c.blocks, c.blockSize);
  const QString output = CompleteOutput(c.imageSize, c.blocks, c.blockSize);
  EXPECT_EQ(h.lastStatus(), 0);
  EXPECT_EQ(h.log(), QStringLiteral("Veltrin started.\n") +
                         RunLog(QStringLiteral("--info"), kOpened + geometry, 0) +
                         AdoptedImageLog(image) + RunLog(InstallArguments(image), output, 0));
  EXPECT_EQ(h.session().deviceState(), DeviceStateReady);
  EXPECT_EQ(h.label("deviceDetailLabel")->text(), geometry.trimmed());
  EXPECT_EQ(h.label("operationLabel")->text(), QStringLiteral("Flashing complete"));
  EXPECT_EQ(h.session().progress(), 100.0);
  ASSERT_EQ(h.dialogs().alerts.size(), 1);
  EXPECT_EQ(h.dialogs().alerts[0].style, Dialogs::Style::Informational);
  EXPECT_EQ(h.dialogs().alerts[0].title, QStringLiteral("Flashing complete"));
  EXPECT_EQ(seen.operation, QStringLiteral("Flashing complete"));
  ExpectButtonsBack(h, true);
  QFile flash(dump);
  ASSERT_TRUE(flash.open(QIODevice::ReadOnly));
  const QByteArray contents = flash.readAll();
  EXPECT_EQ(contents.size(), qsizetype(c.blocks) * c.blockSize);
  EXPECT_TRUE(contents.startsWith(bytes));
  EXPECT_EQ(contents.mid(bytes.size()), QByteArray(contents.size() - bytes.size(), '\xff'));
}

INSTANTIATE_TEST_SUITE_P(
    Limits, InstallCompletes,
    ::testing::Values(CompleteCase{"ShortLastChunk", kBlocks, kBlockSize, kImageSize},
                      CompleteCase{"ImageExactlyAsLargeAsTheFlash", kBlocks, kBlockSize,
                                   kFlashSize},
                      CompleteCase{"FourThousandAndNinetySixBlocks", 4096, 32, kImageSize}),
    [](const ::testing::TestParamInfo<CompleteCase>& test) { return test.param.name; });

class ToolKilledMidWrite : public ::testing::TestWithParam<int> {};

// The write records in the log: "Write  50% (2/4)" lines, not the "Write stopped" line.
unsigned WriteRecordsIn(const QString& log) {
  return unsigned(log.count(QRegularExpression(QStringLiteral("\nWrite +[0-9]+% "))));
}

// SIGKILL ends the tool wherever it is. SIGTERM is what a logout sends: the first one only warns
// and the installation goes on, so the test sends a second one, which stops the tool after the
// exchange in progress with a line that says where.
TEST_P(ToolKilledMidWrite, EndsAsAFailureWithTheExitLineAndTheBarWhereItStopped) {
  const int signal = GetParam();
  Harness h;
  h.launch();
  ASSERT_TRUE(h.installSimulator()) << "vtflash-sim was not built";
  const QString image = h.makeImage(QStringLiteral("os.bin"), PatternImage(kImageSize));
  h.readyToInstall(image);
  BehindTheAlert seen;
  WatchTheAlert(h, seen);
  // Each chunk takes the slow sampler well over half a second, so the tool is still writing
  // when the first write record has arrived.
  const EnvironmentScope scenario("VTFLASH_SIM", kFlash + ",byte_ns=20000");
  const QString warning = QStringLiteral(
      "\nWarning: stopping now leaves the MPC4000 without a working OS; the installation goes on. "
      "Press Ctrl-C again to stop it after the current step.\n");

  h.session().installFirmware();
  ASSERT_TRUE(h.waitUntil([&] { return h.log().contains(QLatin1String("\nWrite ")); }));
  ASSERT_NE(h.session().currentTask(), nullptr);
  const auto pid = pid_t(h.session().currentTask()->processId());
  ASSERT_EQ(::kill(pid, signal), 0);
  unsigned beforeWarning = 0;
  if (signal == SIGTERM) {
    ASSERT_TRUE(h.waitUntil([&] { return h.log().contains(QLatin1String("Warning: ")); }));
    beforeWarning = WriteRecordsIn(h.log().left(h.log().indexOf(QLatin1String("Warning: "))));
    ASSERT_EQ(::kill(pid, SIGTERM), 0);
  }
  ASSERT_TRUE(h.waitForRun());

  // The tool stopped after some of its write records; the bar stays at the last of them.
  const unsigned written = WriteRecordsIn(h.log());
  EXPECT_GE(written, 1u);
  EXPECT_LT(written, kChunks);
  const vt::expected::install run{kBlocks, kBlockSize, kImageSize, kChunkSize};
  const auto records = [](unsigned done) {
    return QString::fromStdString(vt::expected::records("Write", kChunks, done));
  };
  QString output = QString::fromStdString(run.before_write()) + records(written);
  if (signal == SIGTERM) {
    output = QString::fromStdString(run.before_write()) + records(beforeWarning) + warning +
             records(written).mid(records(beforeWarning).size()) +
             QString::asprintf("\nWrite stopped at offset 0x%08x. ", written * kChunkSize) +
             QStringLiteral("Run the installation again before restarting the MPC4000.\n");
  }
  EXPECT_NE(h.lastStatus(), 0);
  EXPECT_EQ(h.log(), QStringLiteral("Veltrin started.\n") +
                         RunLog(InstallArguments(image), output, h.lastStatus()));
  ExpectFailedInstall(h, BarWhereItStopped(Phase::Write, written), seen, true);
}

INSTANTIATE_TEST_SUITE_P(Signals, ToolKilledMidWrite, ::testing::Values(SIGKILL, SIGTERM),
                         [](const ::testing::TestParamInfo<int>& test) {
                           return test.param == SIGKILL ? std::string("Kill")
                                                        : std::string("Terminate");
                         });

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
