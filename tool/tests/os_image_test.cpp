#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "image_file.h"
#include "os_image.h"
#include "process.h"

namespace {

using vt::test::make_image;
using vt::test::temp_dir;
using vt::test::write_file;

const std::string mismatch =
    "Firmware signature mismatch at offset 32.\nExpected: MPC4000 Operating System\n";

struct image_case {
  const char* name;
  std::vector<unsigned char> bytes;
  std::string message;  // empty: accepted
};

std::vector<unsigned char> with(std::vector<unsigned char> bytes, std::size_t at,
                                unsigned char value) {
  bytes[at] = value;
  return bytes;
}

std::vector<unsigned char> truncated(std::vector<unsigned char> bytes, std::size_t length) {
  bytes.resize(length);
  return bytes;
}

std::vector<unsigned char> lower_case_signature() {
  auto bytes = make_image(100);
  const char* lower = "mpc4000 operating system";
  std::copy(lower, lower + 24, bytes.begin() + 32);
  return bytes;
}

std::vector<unsigned char> demo_image() {
  auto bytes = make_image(1000);
  vt::image::mark_demo(bytes.data(), bytes.size());
  return bytes;
}

std::vector<unsigned char> shifted_signature() {
  std::vector<unsigned char> bytes(100, 0);
  const char* signature = "MPC4000 Operating System";
  std::copy(signature, signature + 24, bytes.begin() + 33);
  return bytes;
}

class ImageCheck : public ::testing::TestWithParam<image_case> {};

TEST_P(ImageCheck, AcceptsOnlyTheSignatureAtOffset32) {
  const image_case& c = GetParam();
  temp_dir dir;
  const std::string path = dir.file("os.bin");
  write_file(path, c.bytes);
  vt::os_image image;
  ::testing::internal::CaptureStderr();
  const int result = vt::load_os_image(path.c_str(), image, vt::demo_image::refuse);
  const std::string err = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(err, c.message);
  EXPECT_EQ(result, c.message.empty() ? 0 : -1);
  EXPECT_EQ(image.loaded, c.message.empty());
  if (c.message.empty()) {
    ASSERT_EQ(image.length, c.bytes.size());
    EXPECT_TRUE(std::equal(c.bytes.begin(), c.bytes.end(), image.bytes.get()));
  } else {
    EXPECT_EQ(image.bytes, nullptr);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Files, ImageCheck,
    ::testing::Values(image_case{"Empty", {}, "Firmware file is too small.\n"},
                      image_case{"FiftyFiveBytesLookingLikeAnImage", truncated(make_image(56), 55),
                                 "Firmware file is too small.\n"},
                      image_case{"ExactlyFiftySix", make_image(56), ""},
                      image_case{"ByteAfterSignatureNotZero", with(make_image(57), 56, 0xAB), ""},
                      image_case{"Large", make_image(300000), ""},
                      image_case{"LowerCaseSignature", lower_case_signature(), mismatch},
                      image_case{"ShiftedByOne", shifted_signature(), mismatch},
                      image_case{"LastSignatureByteWrong", with(make_image(100), 55, 'M'),
                                 mismatch},
                      image_case{"DemoImage", demo_image(),
                                 "Firmware file is Veltrin's demo image, not an MPC4000 OS.\n"},
                      image_case{"DemoMarkerCutShort", truncated(demo_image(), 80), ""}),
    [](const auto& test) { return std::string(test.param.name); });

std::string load_error(const std::string& path) {
  vt::os_image image;
  ::testing::internal::CaptureStderr();
  const int result = vt::load_os_image(path.c_str(), image, vt::demo_image::refuse);
  std::string err = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(result, -1);
  EXPECT_FALSE(image.loaded);
  return err;
}

TEST(ImageFile, MissingFileNamesPathAndSystemError) {
  EXPECT_EQ(load_error("/nonexistent/os.bin"),
            "Could not open /nonexistent/os.bin: No such file or directory\n");
}

// Paths that are not plain files end in one clear line, at once: no blocking open of a FIFO, no
// endless read of a device, no absurd allocation.
TEST(ImageFile, NonRegularFilesAreRefusedAtOnce) {
  temp_dir dir;
  const std::string fifo = dir.file("pipe.bin");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_EQ(load_error(dir.path()), "Could not open " + dir.path() + ": Is a directory\n");
  EXPECT_EQ(load_error(fifo), "Could not open " + fifo + ": Not a regular file\n");
  EXPECT_EQ(load_error("/dev/zero"), "Could not open /dev/zero: Not a regular file\n");
  // A file that holds more than its length said (it grew while loading): never loaded in part.
  EXPECT_EQ(load_error("/proc/self/cmdline"), "Short read from /proc/self/cmdline.\n");
  const std::string loop = dir.file("loop.bin");
  ASSERT_EQ(::symlink(loop.c_str(), loop.c_str()), 0);
  EXPECT_EQ(load_error(loop), "Could not open " + loop + ": Too many levels of symbolic links\n");
}

// The path reaches the file exactly as given: spaces, quotes, a leading dash, shell characters.
TEST(ImageFile, UnusualPathsAreTakenAsGiven) {
  temp_dir dir;
  for (const std::string name : {"-os image.bin", "'quoted' \"v1.7\".bin", "$HOME;`x`*?.bin"}) {
    const std::string path = dir.file(name);
    write_file(path, make_image(100));
    const auto result = vt::test::run_process(VTFLASH_SIM_PATH, {"--firmware", path, "--yes"},
                                              {"VTFLASH_SIM=blocks=1,block_size=4096"});
    EXPECT_EQ(result.status, 0) << name << ": " << result.err;
  }
}

// Run as the tool itself; as root, without the capabilities that let root read any file.
TEST(ImageFile, UnreadableFileNamesPermissionProblem) {
  temp_dir dir;
  const std::string path = dir.file("locked.bin");
  write_file(path, make_image(100));
  ASSERT_EQ(::chmod(path.c_str(), 0), 0);
  std::vector<std::string> args = {VTFLASH_SIM_PATH, "--firmware", path, "--yes"};
  std::string program = VTFLASH_SIM_PATH;
  if (::geteuid() == 0) {
    program = "/usr/bin/setpriv";
    args.insert(args.begin(), {"--inh-caps=-dac_override,-dac_read_search",
                               "--bounding-set=-dac_override,-dac_read_search", "--"});
  } else {
    args.erase(args.begin());
  }
  const auto result = vt::test::run_process(program, args, {"VTFLASH_SIM=bus=none"});
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.out, "");
  EXPECT_EQ(result.err, "Could not open " + path + ": Permission denied\n");
}

// Too large for the loader's 32-bit chunk offsets; a sparse file costs no disk space.
TEST(ImageFile, FileBeyondFourGibibytesIsRefusedWithoutReading) {
  temp_dir dir;
  const std::string path = dir.file("huge.bin");
  write_file(path, make_image(100));
  ASSERT_EQ(::truncate(path.c_str(), 0x100000000LL), 0);
  EXPECT_EQ(load_error(path), "Firmware file is too large.\n");
}

}  // namespace
