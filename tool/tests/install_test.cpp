// The whole tool as a user runs it, against the simulated sampler: what it prints on each stream,
// its exit status, and what ends up in the flash.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <string>
#include <vector>

#include "expected_output.h"
#include "process.h"

namespace {

using vt::test::make_image;
using vt::test::process_result;
using vt::test::read_file;
using vt::test::run_process;
using vt::test::sha256sum;
using vt::test::temp_dir;
using vt::test::write_file;

using vt::expected::geometry_line;

const std::string opened = vt::expected::opened_line();

std::string format(const char* pattern, unsigned long long a, unsigned long long b = 0) {
  return vt::expected::printed(pattern, a, b);
}

struct install_run {
  process_result result;
  std::vector<unsigned char> image;
  std::vector<unsigned char> flash;
};

install_run install(const std::string& scenario, std::size_t image_length,
                    const std::vector<std::string>& extra_args = {}) {
  temp_dir dir;
  install_run run;
  run.image = make_image(image_length);
  write_file(dir.file("os.bin"), run.image);
  std::vector<std::string> args = {"--firmware", dir.file("os.bin"), "--yes"};
  args.insert(args.end(), extra_args.begin(), extra_args.end());
  run.result = run_process(VTFLASH_SIM_PATH, args,
                           {"VTFLASH_SIM=" + scenario + ",dump=" + dir.file("flash.bin")});
  run.flash = read_file(dir.file("flash.bin"));
  return run;
}

// The flash holds the image from its first byte and reads erased (0xFF) everywhere after it.
void expect_flash_holds(const install_run& run, std::size_t flash_size) {
  ASSERT_EQ(run.flash.size(), flash_size);
  EXPECT_TRUE(std::equal(run.image.begin(), run.image.end(), run.flash.begin()));
  for (std::size_t i = run.image.size(); i < flash_size; ++i) {
    ASSERT_EQ(run.flash[i], 0xFF) << "byte " << i << " was not erased";
  }
}

struct good_case {
  const char* name;
  unsigned blocks;
  unsigned block_size;
  std::size_t image;
  unsigned chunk;
};

class Install : public ::testing::TestWithParam<good_case> {};

TEST_P(Install, PrintsExactProgressAndFlashHoldsImage) {
  const good_case& c = GetParam();
  const auto run = install(format("blocks=%llu,block_size=%llu", c.blocks, c.block_size), c.image,
                           {"--chunk", std::to_string(c.chunk)});
  EXPECT_EQ(run.result.err, "");
  EXPECT_EQ(run.result.out,
            (vt::expected::install{c.blocks, c.block_size, c.image, c.chunk}.complete()));
  EXPECT_EQ(run.result.status, 0);
  expect_flash_holds(run, 1ull * c.blocks * c.block_size);
}

INSTANTIATE_TEST_SUITE_P(
    Images, Install,
    ::testing::Values(good_case{"DefaultChunkFourRecords", 8, 16384, 100000, 32768},
                      good_case{"SmallestImageOneShortChunk", 16, 4096, 56, 32768},
                      good_case{"ImageFillsFlashExactly", 4, 4096, 16384, 4096},
                      good_case{"LastChunkOfThreeHundredBytes", 2, 65536, 65836, 32768},
                      good_case{"LargestChunkInFourBytePlace", 4, 1048576, 2621440, 1048576},
                      good_case{"ChunkOfOneByte", 1, 4096, 300, 1},
                      good_case{"MostBlocksAccepted", 4096, 16, 56, 32768}),
    [](const auto& test) { return std::string(test.param.name); });

struct failure_case {
  const char* name;
  std::string scenario;
  std::size_t image;
  int status;
  std::string err;
  std::string out_tail;  // what standard output ends with
};

class InstallFailure : public ::testing::TestWithParam<failure_case> {};

// Each failure prints its own line, then where it stopped, and never the completion line.
TEST_P(InstallFailure, ReportsWhereItStopped) {
  const failure_case& c = GetParam();
  const auto run = install(c.scenario, c.image);
  EXPECT_EQ(run.result.err, c.err);
  EXPECT_EQ(run.result.status, c.status);
  const std::string& out = run.result.out;
  ASSERT_GE(out.size(), c.out_tail.size()) << out;
  EXPECT_EQ(out.substr(out.size() - c.out_tail.size()), c.out_tail);
  EXPECT_EQ(out.find("OS upload complete"), std::string::npos);

  // On the one pipe the application reads, every line arrives where it was printed: the failure
  // lines after the progress they stopped.
  temp_dir dir;
  write_file(dir.file("os.bin"), run.image);
  vt::test::child_process merged(VTFLASH_SIM_PATH, {"--firmware", dir.file("os.bin"), "--yes"},
                                 {"VTFLASH_SIM=" + c.scenario});
  EXPECT_EQ(merged.finish(), c.status);
  EXPECT_EQ(merged.output(), out + c.err);
}

const std::string erase_start = "Erasing flash...\n";
const std::string write_start = "Writing firmware...\n";

INSTANTIATE_TEST_SUITE_P(
    Faults, InstallFailure,
    ::testing::Values(
        failure_case{"StatusErrorFirstErase", "blocks=8,block_size=16384,fault=status:0x05@erase0",
                     100000, 1, "Device returned status error 0x05.\nErase failed at block 0.\n",
                     erase_start},
        failure_case{"StatusErrorMiddleErase", "blocks=8,block_size=16384,fault=status:0x05@erase3",
                     100000, 1, "Device returned status error 0x05.\nErase failed at block 3.\n",
                     "\rErase  37% (3/8)\n"},
        failure_case{"TimeoutLastErase", "blocks=8,block_size=16384,fault=timeout:command@erase7",
                     100000, 1,
                     "USB write failed: IOReturn 0xe00002d6.\nErase failed at block 7.\n",
                     "\rErase  87% (7/8)\n"},
        failure_case{"WrongSignatureOnErase",
                     "blocks=8,block_size=16384,fault=signature:55534253@erase2", 100000, 1,
                     "Unexpected status signature: 55 53 42 53\nErase failed at block 2.\n",
                     "\rErase  25% (2/8)\n"},
        failure_case{"SignatureWrongInItsLastByte",
                     "blocks=8,block_size=16384,fault=signature:7a343843@erase2", 100000, 1,
                     "Unexpected status signature: 7a 34 38 43\nErase failed at block 2.\n",
                     "\rErase  25% (2/8)\n"},
        failure_case{
            "ShortStatusOnWrite", "blocks=8,block_size=16384,fault=short_status:13@write1", 100000,
            1, "USB read short transfer: 13 of 19 bytes.\nWrite failed at offset 0x00008000.\n",
            "\rWrite  25% (1/4)\n"},
        failure_case{"DeviceGoneMidWrite", "blocks=8,block_size=16384,fault=gone:data@write2",
                     100000, 1,
                     "USB write failed: IOReturn 0xe00002c0.\nWrite failed at offset 0x00010000.\n",
                     "\rWrite  50% (2/4)\n"},
        failure_case{"StallOnFirstWriteStatus",
                     "blocks=8,block_size=16384,fault=stall:status@write0", 100000, 1,
                     "USB read failed: IOReturn 0xe000404f.\nWrite failed at offset 0x00000000.\n",
                     write_start},
        failure_case{"ShortWriteOfChunkData",
                     "blocks=8,block_size=16384,fault=short_write:100@write1", 100000, 1,
                     "USB write failed: IOReturn 0xe00002bc.\nWrite failed at offset 0x00008000.\n",
                     "\rWrite  25% (1/4)\n"},
        failure_case{"StatusErrorLastWrite", "blocks=8,block_size=16384,fault=status:0x7f@write3",
                     100000, 1,
                     "Device returned status error 0x7f.\nWrite failed at offset 0x00018000.\n",
                     "\rWrite  75% (3/4)\n"},
        failure_case{"BusCannotBeSearched", "search=fails", 100000, 1,
                     "IOServiceGetMatchingServices failed: IOReturn 0xe00002bc.\n"
                     "AKAI device 09e8:0061 was not found.\n",
                     ""},
        failure_case{"ShortGeometryReply", "fault=short_geometry:4@geometry", 100000, 1,
                     "USB read short transfer: 4 of 8 bytes.\n", opened},
        failure_case{"GeometryReplyTimeout", "fault=timeout:reply@geometry", 100000, 1,
                     "USB read failed: IOReturn 0xe00002d6.\n", opened},
        failure_case{"GeometryStatusError", "fault=status:0x02@geometry", 100000, 1,
                     "Device returned status error 0x02.\n", opened},
        failure_case{"TooManyBlocks", "blocks=4097,block_size=16", 56, 1,
                     "Refusing suspicious flash geometry: blocks=4097 block_size=16.\n",
                     geometry_line(4097, 16)},
        failure_case{"NoBlocks", "blocks=0,block_size=4096", 56, 1,
                     "Refusing suspicious flash geometry: blocks=0 block_size=4096.\n",
                     geometry_line(0, 4096)},
        failure_case{"NoBlockSize", "blocks=16,block_size=0", 56, 1,
                     "Refusing suspicious flash geometry: blocks=16 block_size=0.\n",
                     geometry_line(16, 0)},
        failure_case{"ImageOneByteLargerThanFlash", "blocks=4,block_size=4096", 16385, 1,
                     "Firmware is larger than device flash (16385 > 16384).\n",
                     geometry_line(4, 4096)}),
    [](const auto& test) { return std::string(test.param.name); });

// The simulated sampler's steady times and a stall of one step: the summary tells each phase's
// time and the write's speed, right before the completion line.
TEST(Install, SummaryTellsThePhasesTimesAndTheWriteSpeed) {
  const auto run =
      install("blocks=4,block_size=32768,erase_ms=100,byte_ns=2000,fault=stall:1@write1", 100000);
  EXPECT_EQ(run.result.status, 0);
  const std::string tail =
      "\nErased 4 blocks in 0.4 s, wrote 100000 bytes in 1.2 s (81.4 KiB/s).\n" +
      vt::expected::completion_line;
  ASSERT_GE(run.result.out.size(), tail.size());
  EXPECT_EQ(run.result.out.substr(run.result.out.size() - tail.size()), tail);
}

// A step stalled for long ends with the tool that waits for it.
TEST(InstallFailure, StalledStepEndsWhenTheToolIsKilled) {
  temp_dir dir;
  write_file(dir.file("os.bin"), make_image(100000));
  const auto start = std::chrono::steady_clock::now();
  vt::test::child_process tool(VTFLASH_SIM_PATH, {"--firmware", dir.file("os.bin"), "--yes"},
                               {"VTFLASH_SIM=blocks=4,block_size=32768,fault=stall:600@erase1"});
  ASSERT_TRUE(tool.wait_for_output("\rErase  25% (1/4)")) << tool.output();
  tool.send_signal(SIGKILL);
  EXPECT_EQ(tool.finish(), -1);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(60));
}

TEST(InstallFailure, FlashKeepsWhatWasWrittenBeforeTheFault) {
  const auto run = install("blocks=8,block_size=16384,fault=gone:data@write2", 100000);
  ASSERT_EQ(run.flash.size(), 8u * 16384);
  EXPECT_TRUE(std::equal(run.image.begin(), run.image.begin() + 65536, run.flash.begin()));
  EXPECT_EQ(run.flash[65536], 0xFF);
}

TEST(InstallFailure, BadImageNeverReachesTheSampler) {
  temp_dir dir;
  write_file(dir.file("os.bin"), std::vector<unsigned char>(100, 0));
  const auto result = run_process(VTFLASH_SIM_PATH, {"--firmware", dir.file("os.bin"), "--yes"},
                                  {"VTFLASH_SIM=bus=none"});
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.out, "");
  EXPECT_EQ(result.err,
            "Firmware signature mismatch at offset 32.\nExpected: MPC4000 Operating System\n");
}

// The sampler is not touched for a missing file, so even with no sampler the file is the error.
TEST(InstallFailure, MissingImageIsTheOnlyError) {
  const auto result = run_process(VTFLASH_SIM_PATH, {"--firmware", "/nonexistent/os.bin", "--yes"},
                                  {"VTFLASH_SIM=bus=none"});
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.out, "");
  EXPECT_EQ(result.err, "Could not open /nonexistent/os.bin: No such file or directory\n");
}

// The image is installed only when its bytes have the hash given, in either case; another hash is
// refused before the sampler is opened, with both hashes named in lower case.
TEST(ImageHash, InstallsOnlyTheImageWithTheGivenHash) {
  temp_dir dir;
  write_file(dir.file("os.bin"), make_image(100000));
  const std::string hash = sha256sum(dir.file("os.bin"));
  std::string upper = hash;
  std::transform(upper.begin(), upper.end(), upper.begin(), ::toupper);
  const std::string complete = vt::expected::install{8, 16384, 100000}.complete();
  const std::string other = "Firmware SHA-256 mismatch: expected " + std::string(64, 'a');
  const struct {
    std::string given;
    process_result expected;
  } runs[] = {{hash, {0, complete, ""}},
              {upper, {0, complete, ""}},
              {std::string(64, 'A'), {1, "", other + ", got " + hash + ".\n"}}};
  for (const auto& run : runs) {
    const auto result = run_process(
        VTFLASH_SIM_PATH, {"--firmware", dir.file("os.bin"), "--yes", "--sha256", run.given},
        {"VTFLASH_SIM=blocks=8,block_size=16384"});
    EXPECT_EQ(result.status, run.expected.status) << run.given;
    EXPECT_EQ(result.out, run.expected.out) << run.given;
    EXPECT_EQ(result.err, run.expected.err) << run.given;
  }
}

TEST(InfoMode, AcceptsAnyGeometry) {
  const auto result = run_process(VTFLASH_SIM_PATH, {}, {"VTFLASH_SIM=blocks=0,block_size=0"});
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.out, opened + geometry_line(0, 0));
  EXPECT_EQ(result.err, "");
}

TEST(InfoMode, ListWinsOverFirmwareAndDoesNotOpenTheFile) {
  const auto result =
      run_process(VTFLASH_SIM_PATH, {"--firmware", "/nonexistent/os.bin", "--yes", "--list"}, {});
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(result.out,
            "USB devices:\n"
            "  1d6b:0002  xHCI Host Controller\n"
            "  0bda:8153  bus 001 device 003\n"
            "  09e8:0061  MPC4000\n"
            "  046d:c52b  USB Receiver\n");
}

TEST(Simulator, MalformedScenarioIsAClearError) {
  const auto result = run_process(VTFLASH_SIM_PATH, {}, {"VTFLASH_SIM=blocks=many"});
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.out, "");
  EXPECT_EQ(result.err, "VTFLASH_SIM: bad value 'many' for blocks.\n");
}

}  // namespace
