// Files that are no OS image, offered through the open panel or swapped in after an image was
// adopted: the application refuses them at once without reading more than the head of a regular
// file, and an installation of a file that went bad ends as a failure with the tool's reason.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/capability.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QPushButton>
#include <functional>
#include <vector>

#include "test_support.h"
#include "widgets/PlainLabel.h"
#include "widgets/WaitGirlView.h"

namespace {

const char* const kTooSmall = "The file is too small to be MPC4000 firmware.";
const char* const kNoSignature = "The file has no MPC4000 Operating System signature.";

// Larger than the memory of the machines this runs on, and larger than any image the tool can
// address; it takes no space on disk.
constexpr qint64 kSparseSize = qint64(1) << 40;

// Keeps descriptors open for one test, such as the writing end of a named pipe.
class OpenFiles {
 public:
  OpenFiles() = default;
  OpenFiles(const OpenFiles&) = delete;
  OpenFiles& operator=(const OpenFiles&) = delete;
  ~OpenFiles() {
    for (const int fd : fds_) {
      ::close(fd);
    }
  }
  void keep(int fd) {
    if (fd >= 0) {
      fds_.push_back(fd);
    }
  }

 private:
  std::vector<int> fds_;
};

// Root reads any file. While this lives, the calling thread reads files by their permissions as
// any user does: the two capabilities that override them are out of its effective set.
class PermissionsApplyToRoot {
 public:
  PermissionsApplyToRoot() {
    if (::syscall(SYS_capget, &header_, saved_) != 0) {
      return;
    }
    __user_cap_data_struct lowered[2] = {saved_[0], saved_[1]};
    lowered[0].effective &= ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH));
    lowered_ = ::syscall(SYS_capset, &header_, lowered) == 0;
  }
  ~PermissionsApplyToRoot() {
    if (lowered_) {
      ::syscall(SYS_capset, &header_, saved_);
    }
  }
  PermissionsApplyToRoot(const PermissionsApplyToRoot&) = delete;
  PermissionsApplyToRoot& operator=(const PermissionsApplyToRoot&) = delete;

  bool holds() const { return lowered_; }

 private:
  __user_cap_header_struct header_{_LINUX_CAPABILITY_VERSION_3, 0};
  __user_cap_data_struct saved_[2]{};
  bool lowered_ = false;
};

// A flash tool that runs the simulated sampler's program; as root, without root's power over
// file permissions.
QByteArray SimulatorWithFilePermissions() {
  const QByteArray simulator = "'" VTFLASH_SIM_PATH "' \"$@\"";
  if (::geteuid() != 0) {
    return ShellTool("exec " + simulator);
  }
  return ShellTool(
      "exec /usr/bin/setpriv --inh-caps=-dac_override,-dac_read_search "
      "--bounding-set=-dac_override,-dac_read_search -- " +
      simulator);
}

bool MakeFifo(const QString& path) {
  return ::mkfifo(QFile::encodeName(path).constData(), 0600) == 0;
}

// A named pipe whose writer has sent `bytes` and stays connected, so a blocking read of more
// would never return.
QString FifoWithWriter(const QString& path, const QByteArray& bytes, OpenFiles& open) {
  MakeFifo(path);
  const int fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_NONBLOCK);
  open.keep(fd);
  if (fd < 0 || ::write(fd, bytes.constData(), size_t(bytes.size())) != bytes.size()) {
    return QString();
  }
  return path;
}

// A file of kSparseSize bytes that starts with `head`.
bool MakeSparse(const QString& path, const QByteArray& head) {
  QFile file(path);
  return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(head) == head.size() &&
         file.resize(kSparseSize);
}

bool SymlinkLoop(const QString& path) {
  const QString other = path + QStringLiteral(".other");
  return QFile::link(other, path) && QFile::link(path, other);
}

struct RefusedCase {
  const char* name;
  std::function<QString(Harness&, OpenFiles&)> make;  // the file offered; empty: not possible
  const char* reason;
};

void PrintTo(const RefusedCase& c, std::ostream* out) {
  *out << c.name;
}

class RefusedImage : public ::testing::TestWithParam<RefusedCase> {};

TEST_P(RefusedImage, ChosenFileIsRefusedAtOnceAndTheAdoptedImageStays) {
  const RefusedCase& c = GetParam();
  Harness h;
  h.launch();
  ASSERT_TRUE(h.checkWith("exit 0"));
  const QString good = h.makeImage(QStringLiteral("good.bin"), MakeImageBytes(64));
  h.session().openFirmwareFile(good);
  ASSERT_TRUE(h.waitForFacts());
  OpenFiles open;
  const QString bad = c.make(h, open);
  if (bad.isEmpty()) {
    GTEST_SKIP() << "this file cannot be made here";
  }
  const QString log = h.log();
  const QString label = h.label("firmwareLabel")->text();

  h.dialogs().openAnswers = {bad};
  {
    // A user's desktop session, not root's: file permissions count.
    const PermissionsApplyToRoot permissions;
    ASSERT_TRUE(permissions.holds());
    h.button("chooseButton")->click();
  }

  ASSERT_EQ(h.dialogs().alerts.size(), 1);
  EXPECT_EQ(h.dialogs().alerts[0].style, Dialogs::Style::Warning);
  EXPECT_EQ(h.dialogs().alerts[0].title,
            QStringLiteral("This does not look like MPC4000 firmware"));
  EXPECT_EQ(h.dialogs().alerts[0].text, QString::fromUtf8(c.reason));
  EXPECT_EQ(h.session().firmwarePath(), good);
  EXPECT_EQ(h.label("firmwareLabel")->text(), label);
  EXPECT_EQ(h.log(), log);
  EXPECT_TRUE(h.button("installButton")->isEnabled());
  EXPECT_FALSE(h.session().busy());
}

INSTANTIATE_TEST_SUITE_P(
    Files, RefusedImage,
    ::testing::Values(
        RefusedCase{"Directory",
                    [](Harness& h, OpenFiles&) {
                      const QString path = h.scratchPath(QStringLiteral("folder.bin"));
                      QDir().mkpath(path);
                      return path;
                    },
                    kTooSmall},
        RefusedCase{"NamedPipeWithoutWriter",
                    [](Harness& h, OpenFiles&) {
                      const QString path = h.scratchPath(QStringLiteral("pipe.bin"));
                      return MakeFifo(path) ? path : QString();
                    },
                    kTooSmall},
        RefusedCase{"NamedPipeWhoseWriterSentTooLittle",
                    [](Harness& h, OpenFiles& open) {
                      return FifoWithWriter(h.scratchPath(QStringLiteral("pipe.bin")),
                                            MakeImageBytes(64).left(20), open);
                    },
                    kTooSmall},
        RefusedCase{"NamedPipeOfferingAValidHead",
                    [](Harness& h, OpenFiles& open) {
                      return FifoWithWriter(h.scratchPath(QStringLiteral("pipe.bin")),
                                            MakeImageBytes(64), open);
                    },
                    kTooSmall},
        RefusedCase{"DevZero", [](Harness&, OpenFiles&) { return QStringLiteral("/dev/zero"); },
                    kTooSmall},
        RefusedCase{"LinkToDevZero",
                    [](Harness& h, OpenFiles&) {
                      const QString path = h.scratchPath(QStringLiteral("zero.bin"));
                      return QFile::link(QStringLiteral("/dev/zero"), path) ? path : QString();
                    },
                    kTooSmall},
        RefusedCase{"SymlinkLoop",
                    [](Harness& h, OpenFiles&) {
                      const QString path = h.scratchPath(QStringLiteral("loop.bin"));
                      return SymlinkLoop(path) ? path : QString();
                    },
                    kTooSmall},
        RefusedCase{"LinkToNothing",
                    [](Harness& h, OpenFiles&) {
                      const QString path = h.scratchPath(QStringLiteral("dangling.bin"));
                      return QFile::link(h.scratchPath(QStringLiteral("gone.bin")), path)
                                 ? path
                                 : QString();
                    },
                    kTooSmall},
        RefusedCase{"MissingFile",
                    [](Harness& h, OpenFiles&) { return h.scratchPath(QStringLiteral("no.bin")); },
                    kTooSmall},
        RefusedCase{"ImageWithoutReadPermission",
                    [](Harness& h, OpenFiles&) {
                      const QString path =
                          h.makeImage(QStringLiteral("locked.bin"), MakeImageBytes(64));
                      QFile::setPermissions(path, QFileDevice::Permissions());
                      return path;
                    },
                    kTooSmall},
        RefusedCase{"SparseFileLargerThanMemory",
                    [](Harness& h, OpenFiles&) {
                      const QString path = h.scratchPath(QStringLiteral("huge.bin"));
                      return MakeSparse(path, QByteArray(64, 'x')) ? path : QString();
                    },
                    kNoSignature}),
    [](const ::testing::TestParamInfo<RefusedCase>& test) { return test.param.name; });

// The end of an installation that failed before anything reached the sampler.
void ExpectFailedInstall(Harness& h, const QString& operation = QStringLiteral("Flashing failed")) {
  EXPECT_EQ(h.lastStatus(), 1);
  EXPECT_EQ(h.label("operationLabel")->text(), operation);
  EXPECT_EQ(h.progress(), 0.0);
  EXPECT_EQ(h.session().deviceState(), DeviceStateReady);
  ASSERT_EQ(h.dialogs().alerts.size(), 1);
  EXPECT_EQ(h.dialogs().alerts[0].style, Dialogs::Style::Warning);
  EXPECT_EQ(h.dialogs().alerts[0].title, QStringLiteral("Flashing did not complete"));
  EXPECT_FALSE(h.session().busy());
  EXPECT_TRUE(h.button("checkButton")->isEnabled());
  EXPECT_TRUE(h.button("installButton")->isEnabled());
  EXPECT_FALSE(h.view<WaitGirlView>("girlView")->isAnimating());
}

// The image is not looked at again when Flash OS is pressed; what became of the file since it
// was adopted is the tool's to find.
struct ChangedCase {
  const char* name;
  std::function<bool(const QString& path)> change;  // false: not possible here
  const char* toolLines;                            // %1 is the image path
};

void PrintTo(const ChangedCase& c, std::ostream* out) {
  *out << c.name;
}

class ImageChangedAfterAdoption : public ::testing::TestWithParam<ChangedCase> {};

TEST_P(ImageChangedAfterAdoption, InstallFailsWithTheToolsReasonAndNothingWritten) {
  const ChangedCase& c = GetParam();
  Harness h;
  h.launch();
  ASSERT_FALSE(QStringLiteral(VTFLASH_SIM_PATH).isEmpty()) << "vtflash-sim was not built";
  h.installTool(SimulatorWithFilePermissions());
  const QString image = h.makeImage(QStringLiteral("os.bin"), MakeImageBytes(40000));
  h.readyToInstall(image);
  ASSERT_EQ(h.session().firmwarePath(), image);
  const QString shown = Sha256Of(image);
  if (!c.change(image)) {
    GTEST_SKIP() << "this change cannot be made here";
  }
  const QString dump = h.scratchPath(QStringLiteral("flash.dump"));
  const EnvironmentScope scenario("VTFLASH_SIM", "dump=" + QFile::encodeName(dump));

  h.session().installFirmware();
  ASSERT_TRUE(h.waitForRun());

  QString toolLines = QString::fromUtf8(c.toolLines)
                          .replace(QStringLiteral("%1"), image)
                          .replace(QStringLiteral("%shown"), shown);
  if (toolLines.contains(QLatin1String("%now"))) {  // a regular file: reading it cannot block
    toolLines.replace(QStringLiteral("%now"), Sha256Of(image));
  }
  EXPECT_EQ(h.log(), QStringLiteral("$ vtflash --firmware %1 --sha256 %3 --yes\n%2"
                                    "Process exited with code 1.\n")
                         .arg(image, toolLines, shown));
  // Another image under the same name is refused for its checksum: nothing was written.
  const bool replaced = toolLines.startsWith(QLatin1String("Firmware SHA-256 mismatch"));
  ExpectFailedInstall(h, replaced ? QStringLiteral("Nothing written: the file changed")
                                  : QStringLiteral("Flashing failed"));
  EXPECT_EQ(h.dialogs().alerts.value(0).text,
            replaced ? QStringLiteral("The OS file changed after it was chosen, so nothing was "
                                      "written. Choose the file again, then press Flash OS.")
                     : QStringLiteral("See the log at the bottom of the window."));
  // The tool stopped before it looked for the sampler.
  EXPECT_FALSE(QFile::exists(dump));
}

INSTANTIATE_TEST_SUITE_P(
    Changes, ImageChangedAfterAdoption,
    ::testing::Values(
        ChangedCase{"Removed", [](const QString& path) { return QFile::remove(path); },
                    "Could not open %1: No such file or directory\n"},
        ChangedCase{"ReplacedByADirectory",
                    [](const QString& path) { return QFile::remove(path) && QDir().mkpath(path); },
                    "Could not open %1: Is a directory\n"},
        ChangedCase{"ReplacedByANamedPipe",
                    [](const QString& path) { return QFile::remove(path) && MakeFifo(path); },
                    "Could not open %1: Not a regular file\n"},
        ChangedCase{"ReplacedByASymlinkLoop",
                    [](const QString& path) { return QFile::remove(path) && SymlinkLoop(path); },
                    "Could not open %1: Too many levels of symbolic links\n"},
        ChangedCase{"MadeUnreadable",
                    [](const QString& path) {
                      return QFile::setPermissions(path, QFileDevice::Permissions());
                    },
                    "Could not open %1: Permission denied\n"},
        ChangedCase{"CutShort", [](const QString& path) { return QFile::resize(path, 10); },
                    "Firmware file is too small.\n"},
        // Another image under the same name, as a second download leaves it: the bytes differ
        // from those the window showed, and the tool refuses them.
        ChangedCase{"ReplacedByAnotherImage",
                    [](const QString& path) { return WriteFile(path, MakeImageBytes(40001)); },
                    "Firmware SHA-256 mismatch: expected %shown, got %now.\n"},
        ChangedCase{"OverwrittenWithoutSignature",
                    [](const QString& path) { return WriteFile(path, QByteArray(40000, 'x')); },
                    "Firmware signature mismatch at offset 32.\n"
                    "Expected: MPC4000 Operating System\n"}),
    [](const ::testing::TestParamInfo<ChangedCase>& test) { return test.param.name; });

TEST(BadImage, SparseImageLargerThanMemoryIsAdoptedAtOnceAndRefusedByTheTool) {
  Harness h;
  h.launch();
  ASSERT_TRUE(h.installSimulator()) << "vtflash-sim was not built";
  ASSERT_TRUE(h.checkWith("exit 0"));
  const QString image = h.scratchPath(QStringLiteral("huge.bin"));
  ASSERT_TRUE(MakeSparse(image, MakeImageBytes(64)));

  // Only its head is read, so choosing it takes no time and no memory.
  h.dialogs().openAnswers = {image};
  h.button("chooseButton")->click();
  EXPECT_TRUE(h.dialogs().alerts.isEmpty());
  ASSERT_EQ(h.session().firmwarePath(), image);
  ASSERT_TRUE(h.waitForFacts());
  EXPECT_EQ(h.label("firmwareLabel")->text(), QStringLiteral("huge.bin  \u00b7  1048576.0 MB"));
  // Far beyond any OS image, so it is not read whole for a checksum: its size is told alone.
  EXPECT_TRUE(h.log().endsWith(QStringLiteral("Size: 1099511627776 bytes\n")));

  const EnvironmentScope scenario("VTFLASH_SIM", "");
  h.session().installFirmware();
  ASSERT_TRUE(h.waitForRun());
  EXPECT_TRUE(h.log().endsWith(QStringLiteral("$ vtflash --firmware %1 --yes\n"
                                              "Firmware file is too large.\n"
                                              "Process exited with code 1.\n")
                                   .arg(image)))
      << h.log().toStdString();
  ExpectFailedInstall(h);
}

}  // namespace
