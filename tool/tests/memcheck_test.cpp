// Every way the tool can end, run under valgrind's memcheck: no leak and no memory error on any
// path, and the exit status the path promises.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "process.h"

namespace {

using vt::test::make_image;
using vt::test::run_process;
using vt::test::temp_dir;
using vt::test::write_file;

#if defined(__SANITIZE_ADDRESS__)
constexpr bool sanitized = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool sanitized = true;
#else
constexpr bool sanitized = false;
#endif
#else
constexpr bool sanitized = false;
#endif

struct exit_path {
  const char* name;
  bool simulated;  // vtflash-sim rather than the real tool on libusb
  // "IMAGE", "BADIMAGE", "HUGE", "TINY", "DIR" and "FIFO" stand for files made by the test.
  std::vector<std::string> args;
  std::string scenario;
  int status;
};

class Memcheck : public ::testing::TestWithParam<exit_path> {};

TEST_P(Memcheck, EndsCleanly) {
  if (sanitized) {
    GTEST_SKIP() << "valgrind cannot run programs built with AddressSanitizer";
  }
  if (run_process("/bin/sh", {"-c", "command -v valgrind"}).status != 0) {
    GTEST_SKIP() << "valgrind is not installed";
  }
  const exit_path& c = GetParam();
  temp_dir dir;
  write_file(dir.file("os.bin"), make_image(70000));
  write_file(dir.file("bad.bin"), std::vector<unsigned char>(100, 0x20));
  ::mkfifo(dir.file("fifo").c_str(), 0600);
  write_file(dir.file("huge.bin"), make_image(100));
  ASSERT_EQ(::truncate(dir.file("huge.bin").c_str(), 0x100000000LL), 0);  // sparse: no disk space
  write_file(dir.file("tiny.bin"), make_image(55));
  std::vector<std::string> args = {"-q", "--leak-check=full", "--errors-for-leak-kinds=all",
                                   "--error-exitcode=99",
                                   c.simulated ? VTFLASH_SIM_PATH : VTFLASH_PATH};
  for (const std::string& a : c.args) {
    args.push_back(a == "IMAGE"      ? dir.file("os.bin")
                   : a == "HUGE"     ? dir.file("huge.bin")
                   : a == "TINY"     ? dir.file("tiny.bin")
                   : a == "BADIMAGE" ? dir.file("bad.bin")
                   : a == "FIFO"     ? dir.file("fifo")
                   : a == "DIR"      ? dir.path()
                                     : a);
  }
  const auto result = run_process("/usr/bin/valgrind", args, {"VTFLASH_SIM=" + c.scenario});
  EXPECT_EQ(result.status, c.status) << result.err;
  EXPECT_EQ(result.err.find("=="), std::string::npos) << result.err;
}

const std::vector<std::string> install = {"--firmware", "IMAGE", "--yes"};

INSTANTIATE_TEST_SUITE_P(
    ExitPaths, Memcheck,
    ::testing::Values(
        exit_path{"Help", false, {"--help"}, "", 0},
        exit_path{"UnknownOption", false, {"--bogus"}, "", 2},
        exit_path{"MissingValue", false, {"--vid"}, "", 2},
        exit_path{"BadChunk", false, {"--chunk", "0"}, "", 2},
        exit_path{"NoYes", false, {"--firmware", "IMAGE"}, "", 2},
        exit_path{"MissingImage", false, {"--firmware", "/nonexistent", "--yes"}, "", 1},
        exit_path{"DirectoryImage", false, {"--firmware", "DIR", "--yes"}, "", 1},
        exit_path{"FifoImage", false, {"--firmware", "FIFO", "--yes"}, "", 1},
        exit_path{"DeviceImage", false, {"--firmware", "/dev/zero", "--yes"}, "", 1},
        exit_path{"WrongSignature", false, {"--firmware", "BADIMAGE", "--yes"}, "", 1},
        exit_path{"TooSmall", false, {"--firmware", "TINY", "--yes"}, "", 1},
        exit_path{"TooLarge", false, {"--firmware", "HUGE", "--yes"}, "", 1},
        exit_path{"RealBusInfo", false, {"--info"}, "", 1},
        exit_path{"RealBusList", false, {"--list"}, "", 0},
        exit_path{"RealBusInstall", false, install, "", 1},
        exit_path{"Info", true, {"--info"}, "", 0}, exit_path{"List", true, {"--list"}, "", 0},
        exit_path{"Install", true, install, "blocks=8,block_size=16384", 0},
        exit_path{"NotFound", true, install, "bus=none", 1},
        exit_path{"ListWithoutSampler", true, {"--list"}, "bus=none", 0},
        exit_path{"OtherIds", true, {"--vid", "0x1234"}, "", 1},
        exit_path{"GeometryStatus", true, install, "fault=status:0x02@geometry", 1},
        exit_path{"NoPermission", true, install, "access=denied", 1},
        exit_path{"InterfaceBusy", true, install, "busy=interface", 1},
        exit_path{"NoUsableInterface", true, install, "bus=unusable", 1},
        exit_path{"HeldUnconfigured", true, install, "config=inactive,busy=config", 1},
        exit_path{"ShortGeometry", true, install, "fault=short_geometry:3@geometry", 1},
        exit_path{"GeometryGone", true, install, "fault=gone:reply@geometry", 1},
        exit_path{"SuspiciousGeometry", true, install, "blocks=0", 1},
        exit_path{"ImageTooLarge", true, install, "blocks=1,block_size=4096", 1},
        exit_path{"EraseStatus", true, install,
                  "blocks=8,block_size=16384,fault=status:0x05@erase3", 1},
        exit_path{"EraseSignature", true, install,
                  "blocks=8,block_size=16384,fault=signature:55534253@erase0", 1},
        exit_path{"EraseTimeout", true, install,
                  "blocks=8,block_size=16384,fault=timeout:command@erase7", 1},
        exit_path{"WriteShortStatus", true, install,
                  "blocks=8,block_size=16384,fault=short_status:13@write1", 1},
        exit_path{"WriteGone", true, install, "blocks=8,block_size=16384,fault=gone:data@write2",
                  1},
        exit_path{"WriteStall", true, install,
                  "blocks=8,block_size=16384,fault=stall:command@write0", 1},
        exit_path{"WriteSignature", true, install,
                  "blocks=8,block_size=16384,fault=signature:00000000@write2", 1},
        exit_path{"WriteStatusMiddle", true, install,
                  "blocks=8,block_size=16384,fault=status:0x01@write1", 1},
        exit_path{"EraseShortStatus", true, install,
                  "blocks=8,block_size=16384,fault=short_status:0@erase5", 1},
        exit_path{"BadScenario", true, {"--info"}, "fault=nonsense", 1}),
    [](const auto& test) { return std::string(test.param.name); });

}  // namespace
