// An installation that nothing stops by accident: the reader of the output going away, the
// terminal closing, a Ctrl-C or a SIGTERM in the middle of the erase or of the write. Each case
// stops the simulated sampler at a gate inside one exchange, interrupts the real tool process
// there, lets the sampler go on and then reads the flash the sampler kept.
//
// The computer is kept awake meanwhile: logind (python3-dbusmock's template, on a private bus
// that stands for the system bus) lists the tool's inhibitor at the gate, and no longer once the
// tool has ended, whatever way it ended.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <systemd/sd-bus.h>
#include <unistd.h>

#include <csignal>
#include <cstring>
#include <memory>
#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "process.h"

namespace {

using vt::test::child_process;
using vt::test::make_image;
using vt::test::open_gate;
using vt::test::read_file;
using vt::test::temp_dir;
using vt::test::write_file;

constexpr unsigned blocks = 4;
constexpr unsigned block_size = 32768;  // one default chunk per block
constexpr std::size_t image_length = 3 * 32768 + 300;
const std::string warning = "Warning: stopping now leaves the MPC4000 without a working OS";
const std::string complete = "OS upload complete.";
const std::string sleep_warning = "Warning: logind refused to keep the computer awake";
const std::string sleep_reason =
    " (Permission denied); it may go to sleep during the installation.\n";

struct bus_unref {
  void operator()(sd_bus* bus) const { sd_bus_flush_close_unref(bus); }
};

// A private bus that stands for the system bus, with python3-dbusmock's logind on it: one that
// grants the inhibitor, one that refuses it (as it does to a session over SSH), or none at all.
enum class logind { grants, refuses, absent };

class logind_mock {
 public:
  explicit logind_mock(logind kind) {
    daemon_ = std::make_unique<child_process>(
        "/usr/bin/dbus-daemon",
        std::vector<std::string>{"--session", "--nofork", "--nopidfile", "--print-address=1"});
    if (!daemon_->wait_for_output("\n")) {
      throw std::runtime_error("dbus-daemon did not start: " + daemon_->output());
    }
    address_ = daemon_->output().substr(0, daemon_->output().find('\n'));
    sd_bus* raw = nullptr;
    if (sd_bus_new(&raw) < 0) {
      throw std::runtime_error("sd_bus_new failed");
    }
    bus_.reset(raw);
    if (sd_bus_set_address(raw, address_.c_str()) < 0 || sd_bus_set_bus_client(raw, 1) < 0 ||
        sd_bus_start(raw) < 0) {
      throw std::runtime_error("cannot connect to " + address_);
    }
    if (kind == logind::absent) {
      return;
    }
    bool arrived = false;
    sd_bus_match_signal(raw, nullptr, "org.freedesktop.DBus", "/org/freedesktop/DBus",
                        "org.freedesktop.DBus", "NameOwnerChanged", on_owner_changed, &arrived);
    mock_ = std::make_unique<child_process>(
        "/usr/bin/python3",
        std::vector<std::string>{"-m", "dbusmock", "--system", "--template", "logind"},
        std::vector<std::string>{"DBUS_SYSTEM_BUS_ADDRESS=" + address_});
    while (!arrived) {
      if (sd_bus_process(raw, nullptr) > 0) {
        continue;
      }
      if (sd_bus_wait(raw, 60ull * 1000 * 1000) <= 0) {
        throw std::runtime_error("logind did not appear: " + mock_->output());
      }
    }
    if (kind == logind::refuses &&
        sd_bus_call_method(raw, "org.freedesktop.login1", "/org/freedesktop/login1",
                           "org.freedesktop.DBus.Mock", "AddMethod", nullptr, nullptr, "sssss",
                           "org.freedesktop.login1.Manager", "Inhibit", "ssss", "h",
                           "raise dbus.exceptions.DBusException('Permission denied', "
                           "name='org.freedesktop.DBus.Error.AccessDenied')") < 0) {
      throw std::runtime_error("cannot make logind refuse: " + mock_->output());
    }
  }

  const std::string& address() const { return address_; }

  // logind drops an inhibitor when it sees its descriptor closed, on a later turn of its loop
  // than the tool's end: each call gives it one more turn.
  std::vector<std::string> inhibitors_once_released() {
    std::vector<std::string> now = inhibitors();
    for (int turn = 0; turn < 100 && !now.empty(); ++turn) {
      now = inhibitors();
    }
    return now;
  }

  // The inhibitors logind holds now, as "what who why mode".
  std::vector<std::string> inhibitors() {
    sd_bus_error error = SD_BUS_ERROR_NULL;
    sd_bus_message* reply = nullptr;
    std::vector<std::string> result;
    if (sd_bus_call_method(bus_.get(), "org.freedesktop.login1", "/org/freedesktop/login1",
                           "org.freedesktop.login1.Manager", "ListInhibitors", &error, &reply,
                           "") < 0) {
      sd_bus_error_free(&error);
      return {"ListInhibitors failed"};
    }
    sd_bus_message_enter_container(reply, 'a', "(ssssuu)");
    const char *what, *who, *why, *mode;
    unsigned uid, pid;
    while (sd_bus_message_read(reply, "(ssssuu)", &what, &who, &why, &mode, &uid, &pid) > 0) {
      result.push_back(std::string(what) + " " + who + " " + why + " " + mode);
    }
    sd_bus_message_unref(reply);
    return result;
  }

 private:
  static int on_owner_changed(sd_bus_message* message, void* arrived, sd_bus_error*) {
    const char *name = nullptr, *old_owner = nullptr, *new_owner = nullptr;
    if (sd_bus_message_read(message, "sss", &name, &old_owner, &new_owner) >= 0 &&
        std::strcmp(name, "org.freedesktop.login1") == 0 && new_owner[0] != '\0') {
      *static_cast<bool*>(arrived) = true;
    }
    return 0;
  }

  std::unique_ptr<child_process> daemon_;
  std::unique_ptr<child_process> mock_;
  std::string address_;
  std::unique_ptr<sd_bus, bus_unref> bus_;
};

const std::string inhibitor =
    "sleep:shutdown:idle:handle-lid-switch Veltrin The MPC4000 OS is being installed block";

enum class reader { stays, gone, terminal_closed };

struct interruption {
  const char* name;
  const char* gate;  // the exchange the sampler waits in
  reader away;
  std::vector<int> signals;  // sent at the gate, each once the tool has taken the one before
  const char* fault;         // a fault of the sampler after the gate, or ""
  int status;                // -1: ended by a signal
  std::string says;          // what the output ends with, when it can still be read
  unsigned erased;           // whole steps the flash holds: blocks erased, chunks written
  unsigned written;
  logind bus = logind::grants;
};

void PrintTo(const interruption& c, std::ostream* os) {
  *os << c.name;
}

class Interruption : public ::testing::TestWithParam<interruption> {};

// Each kind of bus is started when a case first needs it, and stopped when the tests end.
logind_mock& bus(logind kind) {
  static std::unique_ptr<logind_mock> buses[3];
  std::unique_ptr<logind_mock>& bus = buses[static_cast<int>(kind)];
  if (!bus) {
    bus = std::make_unique<logind_mock>(kind);
  }
  return *bus;
}

// The flash holds exactly the first `erased` blocks erased, the first `written` chunks of the
// image in them, and the old contents in every block not erased.
void expect_whole_steps(const std::vector<unsigned char>& flash,
                        const std::vector<unsigned char>& image, unsigned erased,
                        unsigned written) {
  ASSERT_EQ(flash.size(), blocks * block_size);
  for (unsigned b = 0; b < blocks; ++b) {
    for (std::size_t i = b * block_size; i < (b + 1) * block_size; ++i) {
      const bool programmed = b < written && i < image.size();
      if (b >= erased) {
        ASSERT_NE(flash[i], 0xFF) << "block " << b << " was erased at byte " << i;
      } else {
        ASSERT_EQ(flash[i], programmed ? image[i] : 0xFF) << "block " << b << ", byte " << i;
      }
    }
  }
}

TEST_P(Interruption, EndsWhereItSaysWithTheFlashInWholeSteps) {
  const interruption& c = GetParam();
  temp_dir dir;
  const std::vector<unsigned char> image = make_image(image_length);
  write_file(dir.file("os.bin"), image);
  const std::string gate = dir.file("gate");
  ASSERT_EQ(::mkfifo(gate.c_str(), 0600), 0);
  std::string scenario =
      "blocks=4,block_size=32768,dump=" + dir.file("flash.bin") + ",gate=" + gate + "@" + c.gate;
  if (c.fault[0] != '\0') {
    scenario += std::string(",fault=") + c.fault;
  }
  logind_mock& logind = bus(c.bus);
  child_process tool(VTFLASH_SIM_PATH, {"--firmware", dir.file("os.bin"), "--yes"},
                     {"VTFLASH_SIM=" + scenario, "DBUS_SYSTEM_BUS_ADDRESS=" + logind.address()},
                     c.away == reader::terminal_closed ? child_process::output_kind::terminal
                                                       : child_process::output_kind::pipe);

  const int gate_fd = open_gate(gate);
  ASSERT_GE(gate_fd, 0) << "the tool never reached the gate: " << tool.output();
  const bool installing = std::string(c.gate) != "geometry";
  if (c.bus != logind::absent) {
    EXPECT_EQ(logind.inhibitors(), installing && c.bus == logind::grants
                                       ? std::vector<std::string>{inhibitor}
                                       : std::vector<std::string>{});
  }
  if (c.away != reader::stays) {
    tool.close_output();
  }
  for (std::size_t i = 0; i < c.signals.size(); ++i) {
    tool.send_signal(c.signals[i]);
    if (installing && i == 0) {
      // Two signals sent at once would arrive as one.
      ASSERT_TRUE(tool.wait_for_output(warning)) << tool.output();
    }
  }
  ::close(gate_fd);  // the sampler goes on

  EXPECT_EQ(tool.finish(), c.status) << tool.output();
  if (c.bus != logind::absent) {
    EXPECT_EQ(logind.inhibitors_once_released(), std::vector<std::string>{});
  }
  if (c.away == reader::stays) {
    const std::string& out = tool.output();
    ASSERT_GE(out.size(), c.says.size()) << out;
    EXPECT_EQ(out.substr(out.size() - c.says.size()), c.says) << out;
    EXPECT_EQ(out.find(warning) != std::string::npos, !c.signals.empty() && installing) << out;
    EXPECT_EQ(out.find(warning), out.rfind(warning)) << "warned more than once:\n" << out;
    // Said once when logind refuses, with its reason; not at all where no logind answers.
    const bool refused = c.bus == logind::refuses;
    EXPECT_EQ(out.find(sleep_warning) != std::string::npos, refused) << out;
    EXPECT_EQ(out.find(sleep_warning + sleep_reason) != std::string::npos, refused) << out;
    EXPECT_EQ(out.find(sleep_warning), out.rfind(sleep_warning)) << out;
  }
  expect_whole_steps(read_file(dir.file("flash.bin")), image, c.erased, c.written);
}

const std::string run_again = " Run the installation again before restarting the MPC4000.\n";
const std::string completion =
    "OS upload complete. Restart the MPC4000 after the device reports completion.\n";
constexpr logind refuses = logind::refuses, absent = logind::absent;

INSTANTIATE_TEST_SUITE_P(
    Matrix, Interruption,
    ::testing::Values(
        interruption{"EraseReaderGone", "erase1", reader::gone, {}, "", 0, "", 4, 4},
        interruption{"EraseTerminalClosed", "erase1", reader::terminal_closed, {}, "", 0, "", 4, 4},
        interruption{"EraseOneCtrlC", "erase1", reader::stays, {SIGINT}, "", 0, completion, 4, 4},
        interruption{
            "EraseOneSigterm", "erase2", reader::stays, {SIGTERM}, "", 0, completion, 4, 4},
        interruption{"EraseTwoCtrlC",
                     "erase1",
                     reader::stays,
                     {SIGINT, SIGINT},
                     "",
                     1,
                     "\nErase stopped at block 2." + run_again,
                     2,
                     0},
        interruption{"EraseSigtermThenCtrlC",
                     "erase3",
                     reader::stays,
                     {SIGTERM, SIGINT},
                     "",
                     1,
                     "\nWrite stopped at offset 0x00000000." + run_again,
                     4,
                     0},
        interruption{"WriteReaderGone", "write2", reader::gone, {}, "", 0, "", 4, 4},
        interruption{"WriteTerminalClosed", "write1", reader::terminal_closed, {}, "", 0, "", 4, 4},
        interruption{"WriteOneCtrlC", "write1", reader::stays, {SIGINT}, "", 0, completion, 4, 4},
        interruption{
            "WriteOneSigterm", "write0", reader::stays, {SIGTERM}, "", 0, completion, 4, 4},
        interruption{"WriteTwoSigterm",
                     "write2",
                     reader::stays,
                     {SIGTERM, SIGTERM},
                     "",
                     1,
                     "\nWrite stopped at offset 0x00018000." + run_again,
                     4,
                     3},
        // Nothing is left to stop after the last chunk: the installation is complete.
        interruption{"WriteTwoCtrlCInLastChunk",
                     "write3",
                     reader::stays,
                     {SIGINT, SIGINT},
                     "",
                     0,
                     completion,
                     4,
                     4},
        interruption{"FailureAfterTheGate",
                     "erase1",
                     reader::stays,
                     {},
                     "status:0x05@erase2",
                     1,
                     "\nErase failed at block 2.\n",
                     3,
                     0},
        // Without logind's hold the installation goes on all the same.
        interruption{
            "InhibitorRefused", "erase1", reader::stays, {}, "", 0, completion, 4, 4, refuses},
        interruption{
            "NoLogindOnTheBus", "write1", reader::stays, {}, "", 0, completion, 4, 4, absent},
        // Before the first erase nothing is at stake: Ctrl-C ends the tool as usual.
        interruption{"CtrlCBeforeTheErase", "geometry", reader::stays, {SIGINT}, "", -1, "", 0, 0}),
    [](const auto& test) { return std::string(test.param.name); });

}  // namespace
