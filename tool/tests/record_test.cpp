// The installation record as the application reads it after a real tool's run: each ending as it
// ended, a killed tool's beginning without an end, and one warning line when it cannot be written.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include "install_record.h"
#include "process.h"

namespace {

using vt::record::outcome;
using vt::record::phase;

// A state folder the tool can write (empty, with an earlier record, or with a record file at its
// size limit), one whose path runs through a file, or a full disk.
enum class state { writable, earlier_record, full_file, not_a_folder, disk_full };
const std::string earlier = "a line of an earlier installation\n";

struct record_case {
  const char* name;
  std::string faults;        // added to the scenario: a fault, or a gate=FIFO@ exchange
  std::vector<int> signals;  // sent at the gate, each once the tool has taken the one before
  int status;                // -1: ended by a signal
  outcome how;
  phase where;
  std::uint32_t position;
  std::string last_line_ends;  // how the file's last line ends
  state folder = state::writable;
  std::string warning = "";  // the reason the tool's one warning gives
};

class InstallationRecord : public ::testing::TestWithParam<record_case> {};

TEST_P(InstallationRecord, TellsHowTheLastInstallationEnded) {
  const record_case& c = GetParam();
  vt::test::temp_dir dir;
  const std::string image = dir.file("os image\t1.bin");
  vt::test::write_file(image, vt::test::make_image(3 * 32768 + 300));
  const std::string home = dir.file("state");
  const std::string path = home + "/veltrin/installations.log";
  if (c.folder == state::not_a_folder) {
    vt::test::write_file(home, {});
  } else if (c.folder == state::full_file) {
    std::filesystem::create_directories(home + "/veltrin");
    vt::test::write_file(path, std::vector<unsigned char>(64 * 1024, '\n'));
  } else if (c.folder == state::earlier_record) {
    std::filesystem::create_directories(home + "/veltrin");
    vt::test::write_file(path, std::vector<unsigned char>(earlier.begin(), earlier.end()));
  } else if (c.folder == state::disk_full) {
    std::filesystem::create_directories(home + "/veltrin");
    std::filesystem::create_symlink("/dev/full", path);
  }
  const std::string gate = dir.file("gate");
  ASSERT_EQ(::mkfifo(gate.c_str(), 0600), 0);
  std::string faults = c.faults;
  if (const auto at = faults.find("FIFO"); at != std::string::npos) {
    faults.replace(at, 4, gate);
  }
  const std::time_t before = std::time(nullptr);
  // Local time far from UTC: the record's times are UTC whatever the zone.
  vt::test::child_process tool(
      VTFLASH_SIM_PATH, {"--firmware", image, "--yes"},
      {"VTFLASH_SIM=blocks=4,block_size=32768," + faults, "XDG_STATE_HOME=" + home, "TZ=XYZ-5:45"});
  if (faults.find("gate=") != std::string::npos) {
    const int gate_fd = vt::test::open_gate(gate);
    ASSERT_GE(gate_fd, 0) << "the tool never reached the gate: " << tool.output();
    const auto now = vt::record::last_installation(path);
    ASSERT_TRUE(now.has_value());
    EXPECT_EQ(now->end.how, outcome::running);
    for (const int signal : c.signals) {
      tool.send_signal(signal);
      ASSERT_TRUE(signal == SIGKILL || tool.wait_for_output("Warning: stopping")) << tool.output();
    }
    ::close(gate_fd);
  }
  EXPECT_EQ(tool.finish(), c.status) << tool.output();

  const std::string warning = "Warning: could not write the installation record " + path + ": ";
  const std::string& out = tool.output();
  EXPECT_EQ(out.find(warning) != std::string::npos, !c.warning.empty()) << out;
  EXPECT_EQ(out.find(warning), out.rfind(warning)) << "warned more than once:\n" << out;
  const auto last = vt::record::last_installation(path);
  if (!c.warning.empty()) {
    EXPECT_NE(out.find(warning + c.warning + ".\n"), std::string::npos) << out;
    EXPECT_FALSE(last.has_value());
    return;
  }
  ASSERT_TRUE(last.has_value()) << out;
  EXPECT_EQ(last->image, image);
  EXPECT_EQ(last->sha256, vt::test::sha256sum(image));
  EXPECT_LE(std::abs(last->began - before), 300) << "began " << last->began << ", not " << before;
  EXPECT_EQ(last->end.how, c.how);
  EXPECT_EQ(last->end.where, c.where);
  EXPECT_EQ(last->end.position, c.position);
  const std::vector<unsigned char> bytes = vt::test::read_file(path);
  const std::string text(bytes.begin(), bytes.end());
  EXPECT_EQ(text.find(c.folder == state::earlier_record ? earlier + "begin " : "begin "), 0u)
      << "the full file was not moved aside, or the earlier record was overwritten";
  EXPECT_EQ(std::filesystem::exists(path + ".1"), c.folder == state::full_file);
  ASSERT_GE(text.size(), c.last_line_ends.size());
  EXPECT_EQ(text.substr(text.size() - c.last_line_ends.size()), c.last_line_ends) << text;
}

constexpr outcome completed = outcome::completed;
constexpr phase erase = phase::erase;
const std::vector<int> none, twice = {SIGINT, SIGTERM}, killed = {SIGKILL};

INSTANTIATE_TEST_SUITE_P(
    Endings, InstallationRecord,
    ::testing::Values(record_case{"Completed", "", none, 0, completed, erase, 0, " completed\n"},
                      record_case{"FailedAtABlock", "fault=status:0x05@erase2", none, 1,
                                  outcome::failed, erase, 2, " failed erase 2\n"},
                      record_case{"FailedAtAnOffset", "fault=gone:data@write1", none, 1,
                                  outcome::failed, phase::write, 0x8000,
                                  " failed write 0x00008000\n"},
                      record_case{"StoppedTwice", "gate=FIFO@write2", twice, 1, outcome::stopped,
                                  phase::write, 0x18000, " stopped write 0x00018000\n"},
                      // A begin line ends with the image's path.
                      record_case{"Killed", "gate=FIFO@write1", killed, -1, outcome::interrupted,
                                  erase, 0, "/os image\\x091.bin\n"},
                      record_case{"KilledDuringTheErase", "gate=FIFO@erase1", killed, -1,
                                  outcome::interrupted, erase, 0, "/os image\\x091.bin\n"},
                      record_case{"EarlierRecordKept", "", none, 0, completed, erase, 0,
                                  " completed\n", state::earlier_record},
                      record_case{"FullFileMovedAside", "", none, 0, completed, erase, 0,
                                  " completed\n", state::full_file},
                      record_case{"StateFolderCannotBeMade", "", none, 0, completed, erase, 0, "",
                                  state::not_a_folder, "Not a directory"},
                      record_case{"DiskFull", "", none, 0, completed, erase, 0, "",
                                  state::disk_full, "No space left on device"}),
    [](const auto& test) { return std::string(test.param.name); });

}  // namespace
