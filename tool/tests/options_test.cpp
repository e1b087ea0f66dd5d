#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "options.h"
#include "process.h"

namespace {

using vt::test::run_process;

std::string usage_text(const std::string& program) {
  return "Usage:\n"
         "  " +
         program +
         " --info\n"
         "  " +
         program +
         " --firmware mpcv171.bin --yes\n"
         "\n"
         "Options:\n"
         "  --info              Read flash geometry only. Safe/read-only.\n"
         "  --list              List USB devices.\n"
         "  --watch             Report the sampler as it is connected and disconnected.\n"
         "  --firmware PATH     MPC4000 OS .bin file to upload.\n"
         "  --yes               Required for erase/write.\n"
         "  --sha256 HEX        Install only an image with this SHA-256.\n"
         "  --vid HEX           USB vendor ID, default 0x09e8.\n"
         "  --pid HEX           USB product ID, default 0x0061.\n"
         "  --chunk BYTES       Write chunk size, default 32768.\n"
         "  --version           Print the version and exit.\n";
}

struct command_line_case {
  std::vector<std::string> args;
  int status;
  std::string message;  // printed before the usage text; empty for --help
};

class CommandLine : public ::testing::TestWithParam<command_line_case> {};

// Every command-line error and --help end before any file or USB access, with the exact message,
// the usage text (always showing the built-in defaults) and the exit status.
TEST_P(CommandLine, PrintsMessageThenUsageAndExits) {
  const command_line_case& c = GetParam();
  const auto result = run_process(VTFLASH_PATH, c.args);
  EXPECT_EQ(result.status, c.status);
  EXPECT_EQ(result.err, c.message + usage_text(VTFLASH_PATH));
  EXPECT_EQ(result.out, "");
}

const char* const vid_message = "--vid requires a 16-bit hex or decimal value.\n";
const char* const pid_message = "--pid requires a 16-bit hex or decimal value.\n";
const char* const chunk_message = "--chunk requires a positive byte count up to 1048576.\n";
const char* const yes_message = "Refusing to erase/write flash without --yes.\n";
const char* const sha256_message = "--sha256 requires 64 hexadecimal digits.\n";
const std::string sha256 = "9f86d081884c7d659a2feaa0c55ad015a3bf4f1b2b0b822cd15d6c15b0f00a08";

INSTANTIATE_TEST_SUITE_P(
    Errors, CommandLine,
    ::testing::Values(
        command_line_case{{"--help"}, 0, ""}, command_line_case{{"-h"}, 0, ""},
        command_line_case{{"--help", "--bogus"}, 0, ""},
        command_line_case{{"--vid", "0x1234", "-h"}, 0, ""},
        command_line_case{{"--bogus", "--help"}, 2, "Unknown option: --bogus\n"},
        command_line_case{{"-H"}, 2, "Unknown option: -H\n"},
        command_line_case{{"-help"}, 2, "Unknown option: -help\n"},
        command_line_case{{"--vid=0x09e8"}, 2, "Unknown option: --vid=0x09e8\n"},
        command_line_case{{"mpcv171.bin"}, 2, "Unknown option: mpcv171.bin\n"},
        command_line_case{{"--vid", "0x1234", "--bogus"}, 2, "Unknown option: --bogus\n"},
        command_line_case{{"--firmware"}, 2, "--firmware requires a path.\n"},
        command_line_case{{"--firmware", "x.bin"}, 2, yes_message},
        command_line_case{{"--firmware", "--yes"}, 2, yes_message},
        command_line_case{{"--list", "--firmware", "x.bin"}, 2, yes_message},
        command_line_case{{"--vid"}, 2, vid_message},
        command_line_case{{"--vid", "0x10000"}, 2, vid_message},
        command_line_case{{"--vid", "09e8"}, 2, vid_message},
        command_line_case{{"--vid", "-1"}, 2, vid_message},
        command_line_case{{"--vid", ""}, 2, vid_message},
        command_line_case{{"--pid", "0x"}, 2, pid_message},
        command_line_case{{"--pid"}, 2, pid_message},
        command_line_case{{"--pid", "sixty"}, 2, pid_message},
        command_line_case{{"--chunk", "0"}, 2, chunk_message},
        command_line_case{{"--chunk", "1048577"}, 2, chunk_message},
        command_line_case{{"--chunk", "4096x"}, 2, chunk_message},
        command_line_case{{"--chunk"}, 2, chunk_message},
        command_line_case{{"--firmware", "x.bin", "--yes", "--sha256"}, 2, sha256_message},
        command_line_case{{"--sha256", sha256.substr(1)}, 2, sha256_message},
        command_line_case{{"--sha256", sha256 + "0"}, 2, sha256_message},
        command_line_case{{"--sha256", "g" + sha256.substr(1)}, 2, sha256_message},
        command_line_case{{"--sha256", sha256}, 2, "--sha256 requires --firmware.\n"},
        // Parsing stops at the first error: the later unknown option is never reached.
        command_line_case{{"--chunk", "0", "--bogus"}, 2, chunk_message}));

struct number_case {
  const char* text;
  unsigned long max;
  bool accepted;
  unsigned value;
};

class NumberValue : public ::testing::TestWithParam<number_case> {};

// Numbers read as strtoul with base 0 reads them, accepted only whole and in range.
TEST_P(NumberValue, IsReadLikeStrtoulBaseZero) {
  const number_case& c = GetParam();
  unsigned value = 12345;
  EXPECT_EQ(vt::parse_number(c.text, c.max == vt::max_chunk_size ? 1 : 0, c.max, value), c.accepted)
      << c.text;
  if (c.accepted) {
    EXPECT_EQ(value, c.value) << c.text;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Values, NumberValue,
    ::testing::Values(
        number_case{"0x9e8", 0xFFFF, true, 2536}, number_case{"0X09E8", 0xFFFF, true, 2536},
        number_case{"2536", 0xFFFF, true, 2536}, number_case{"04750", 0xFFFF, true, 2536},
        number_case{"09e8", 0xFFFF, false, 0}, number_case{"0", 0xFFFF, true, 0},
        number_case{"0xFFFF", 0xFFFF, true, 0xFFFF}, number_case{"0x10000", 0xFFFF, false, 0},
        number_case{"  97", 0xFFFF, true, 97}, number_case{"+97", 0xFFFF, true, 97},
        number_case{"-0", 0xFFFF, true, 0}, number_case{"-1", 0xFFFF, false, 0},
        number_case{"97 ", 0xFFFF, false, 0}, number_case{"18446744073709551616", 0xFFFF, false, 0},
        number_case{"", 0xFFFF, false, 0}, number_case{"1", vt::max_chunk_size, true, 1},
        number_case{"0x100000", vt::max_chunk_size, true, 0x100000},
        number_case{"0", vt::max_chunk_size, false, 0},
        number_case{"1048577", vt::max_chunk_size, false, 0}));

// An argument vector that owns its strings, as main receives it (the program name first).
struct arguments {
  std::vector<std::string> strings;
  std::vector<char*> argv;
  explicit arguments(const std::vector<std::string>& args) : strings{"vtflash"} {
    strings.insert(strings.end(), args.begin(), args.end());
    for (std::string& s : strings) {
      argv.push_back(s.data());
    }
  }
  int parse(vt::tool_options& options, vt::run_mode& mode) {
    return vt::parse_options(static_cast<int>(argv.size()), argv.data(), options, mode);
  }
};

struct mode_case {
  std::vector<std::string> args;
  vt::run_mode mode;
};

class ModeSelection : public ::testing::TestWithParam<mode_case> {};

TEST_P(ModeSelection, PicksTheMode) {
  arguments args(GetParam().args);
  vt::tool_options options;
  vt::run_mode mode = vt::MODE_INFO;
  ASSERT_EQ(args.parse(options, mode), -1);
  EXPECT_EQ(mode, GetParam().mode);
}

INSTANTIATE_TEST_SUITE_P(
    Modes, ModeSelection,
    ::testing::Values(mode_case{{}, vt::MODE_INFO}, mode_case{{"--info"}, vt::MODE_INFO},
                      mode_case{{"--yes"}, vt::MODE_INFO},
                      mode_case{{"--info", "--firmware", "a.bin", "--yes"}, vt::MODE_INSTALL},
                      mode_case{{"--firmware", "a.bin", "--yes", "--list"}, vt::MODE_LIST},
                      mode_case{{"--list", "--info"}, vt::MODE_LIST},
                      mode_case{{"--watch", "--firmware", "a.bin", "--yes"}, vt::MODE_WATCH}));

TEST(Options, DefaultsWithoutArguments) {
  arguments args({});
  vt::tool_options options;
  vt::run_mode mode = vt::MODE_LIST;
  ASSERT_EQ(args.parse(options, mode), -1);
  EXPECT_EQ(mode, vt::MODE_INFO);
  EXPECT_EQ(options.vendor_id, 0x09E8u);
  EXPECT_EQ(options.product_id, 0x0061u);
  EXPECT_EQ(options.chunk_size, 32768u);
}

TEST(Options, LastRepeatedValueWins) {
  arguments args({"--firmware", "a.bin", "--vid", "1", "--chunk", "7", "--firmware", "b.bin",
                  "--vid", "0x2", "--chunk", "0x10", "--yes"});
  vt::tool_options options;
  vt::run_mode mode = vt::MODE_INFO;
  ASSERT_EQ(args.parse(options, mode), -1);
  EXPECT_STREQ(options.firmware_path, "b.bin");
  EXPECT_EQ(options.vendor_id, 2u);
  EXPECT_EQ(options.chunk_size, 16u);
}

}  // namespace
