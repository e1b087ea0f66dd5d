// The real vtflash, on the system's libusb-1.0, against the sampler on a bus mocked at the
// kernel's interface: what it prints on each stream, its exit status, and what ends up in the
// flash. Everything below libusb is the mock: sysfs, the usbfs node and its ioctls.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "../expected_output.h"
#include "../process.h"
#include "install_record.h"
#include "usbfs_sampler.h"

// The test's own process has umockdev's preload library in front of AddressSanitizer's runtime.
extern "C" const char* __asan_default_options() {
  return "verify_asan_link_order=0";
}

namespace {

using testing::IsEmpty;
using vt::test::make_image;
using vt::test::process_result;
using vt::test::temp_dir;
using vt::test::usbfs_sampler;
using vt::test::usbfs_setup;
using vt::test::write_file;
namespace sim = vt::sim;

// Three full chunks of the default size and a last one of 300 bytes.
constexpr std::size_t image_length = 3 * 32768 + 300;
const std::string opened = vt::expected::opened_line();
const std::string geometry = vt::expected::geometry_line(4, 32768);
const std::string firmware = vt::expected::firmware_line(image_length, 4, 32768);
const std::string& erasing = vt::expected::erasing_line;
const std::string erase_records = vt::expected::records("Erase", 4, 4) + "\n";
const std::string& writing = vt::expected::writing_line;
const std::string& complete = vt::expected::completion_line;

// A flash of four 32 KiB blocks: every progress record of an install can be spelled out.
usbfs_setup small_flash() {
  usbfs_setup setup;
  setup.loader.blocks = 4;
  setup.loader.block_size = 32768;
  return setup;
}

usbfs_setup with_other_product(const std::string& name) {
  usbfs_setup setup = small_flash();
  setup.product_id = 0x0062;
  setup.product = name;
  return setup;
}

class VtflashOnUsbfs : public testing::Test {
 protected:
  // Runs vtflash on the bus; the bus must have understood every request libusb made.
  process_result run(usbfs_sampler& bus, const std::vector<std::string>& args) {
    const process_result result = bus.run(VTFLASH_PATH, args);
    EXPECT_THAT(bus.unknown_requests(), IsEmpty()) << "usbfs requests the mock does not answer";
    return result;
  }

  std::vector<std::string> install_args(const std::vector<unsigned char>& image) {
    write_file(dir_.file("os.bin"), image);
    return {"--firmware", dir_.file("os.bin"), "--yes"};
  }

 private:
  temp_dir dir_;
};

TEST_F(VtflashOnUsbfs, InfoOpensTheLoaderInterfaceAndReadsTheGeometry) {
  usbfs_sampler bus(small_flash());

  const process_result result = run(bus, {"--info"});

  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.out, opened + geometry);
  EXPECT_EQ(result.err, "");
  EXPECT_THAT(bus.erased_blocks(), IsEmpty());
  EXPECT_EQ(bus.releases(), 1u) << "the interface was not released before the device was closed";
}

struct listed_name {
  const char* name;
  std::string product;  // as sysfs has it
  std::string shown;
};

void PrintTo(const listed_name& c, std::ostream* os) {
  *os << c.name;
}

class VtflashListOnUsbfs : public VtflashOnUsbfs,
                           public testing::WithParamInterface<listed_name> {};

// The name comes from sysfs, the device is not opened, and whatever bytes a device put into its
// string reach the terminal only as text.
TEST_P(VtflashListOnUsbfs, ShowsTheSysfsNameSafelyWithoutOpeningTheDevice) {
  usbfs_setup setup = small_flash();
  setup.product = GetParam().product;
  usbfs_sampler bus(setup);

  const process_result result = run(bus, {"--list"});

  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.out, "USB devices:\n  09e8:0061  " + GetParam().shown + "\n");
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(bus.opens(), 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Names, VtflashListOnUsbfs,
    testing::Values(listed_name{"Plain", "MPC4000", "MPC4000"},
                    listed_name{"NoName", "", "bus 001 device 002"},
                    listed_name{"Utf8Kept", "Сэмплер Akai ü", "Сэмплер Akai ü"},
                    listed_name{"EscapeSequence", "MPC\x1b]0;owned\x07\x1b[2J",
                                "MPC\\x1b]0;owned\\x07\\x1b[2J"},
                    listed_name{"LineBreaks", "A\rB\nC", "A\\x0dB\\x0aC"},
                    listed_name{"C1Controls",
                                "A\xc2\x9b"
                                "31mB\x7f",
                                "A\\xc2\\x9b31mB\\x7f"},
                    listed_name{"NotUtf8",
                                "A\x9b"
                                "31m\xff",
                                "A\\x9b31m\\xff"},
                    listed_name{"Backslash", "A\\x1b", "A\\x5cx1b"}),
    [](const testing::TestParamInfo<listed_name>& test) { return test.param.name; });

// While one vtflash installs, a second one cannot take the sampler from it and a listing does not
// touch it: the installation goes on to its end.
TEST_F(VtflashOnUsbfs, SecondVtflashDuringAnInstallFindsTheSamplerBusy) {
  usbfs_setup setup = small_flash();
  setup.hold = true;
  setup.hold_phase = sim::phase::erase;
  setup.hold_index = 1;
  usbfs_sampler bus(setup);
  const std::vector<unsigned char> image = make_image(image_length);
  const std::unique_ptr<vt::test::child_process> install =
      bus.start(VTFLASH_PATH, install_args(image));
  ASSERT_TRUE(bus.wait_until_held()) << install->finish() << ": " << install->output();

  const process_result second = run(bus, {"--info"});
  const process_result listing = run(bus, {"--list"});
  bus.release();

  EXPECT_EQ(second.status, 1);
  EXPECT_EQ(second.out, "");
  const std::string holder = "vtflash (process " + std::to_string(install->pid()) + ").\n";
  EXPECT_EQ(second.err,
            "USBInterfaceOpen failed: IOReturn 0xe00002c5.\n"
            "The sampler's interface is in use by " +
                holder + "Could not find/open a bulk IN/OUT interface on the AKAI device.\n");
  EXPECT_EQ(listing.status, 0);
  EXPECT_EQ(listing.out, "USB devices:\n  09e8:0061  MPC4000\n");
  EXPECT_EQ(install->finish(), 0) << install->output();
  EXPECT_EQ(bus.opens(), 2u) << "the listing opened the sampler";
  std::vector<unsigned char> expected_flash(4 * 32768, 0xFF);
  std::copy(image.begin(), image.end(), expected_flash.begin());
  const std::vector<std::uint8_t> flash = bus.flash_contents();
  EXPECT_TRUE(std::equal(flash.begin(), flash.end(), expected_flash.begin(), expected_flash.end()));
}

class VtflashWatchOnUsbfs : public VtflashOnUsbfs,
                            public testing::WithParamInterface<std::uint16_t> {};

// libusb's udev monitor hears of an AKAI device leaving and coming back; the watch never opens
// it. The sampler in another mode is named as such.
TEST_P(VtflashWatchOnUsbfs, ReportsTheDeviceLeavingAndComingBack) {
  usbfs_setup setup = with_other_product("MPC1000");
  setup.product_id = GetParam();
  usbfs_sampler bus(setup);
  const std::string connected =
      GetParam() == 0x0061 ? "AKAI device 09e8:0061 connected at bus 1, port 1.\n"
                           : "Found AKAI device 09e8:0062 \"MPC1000\" at bus 1, port 1: it is not "
                             "an MPC4000 in \"OS Loader\" mode.\n";
  const std::string gone = connected + "AKAI device 09e8:006" + (GetParam() == 0x0061 ? "1" : "2") +
                           " disconnected from bus 1, port 1.\n";
  const std::unique_ptr<vt::test::child_process> watch = bus.start(VTFLASH_PATH, {"--watch"});
  ASSERT_TRUE(watch->wait_for_output(connected)) << watch->output();
  bus.unplug();
  ASSERT_TRUE(watch->wait_for_output(gone)) << watch->output();
  bus.plug();
  ASSERT_TRUE(watch->wait_for_output(gone + connected)) << watch->output();
  watch->close_input();
  EXPECT_EQ(watch->finish(), 0);
  EXPECT_EQ(watch->output(), gone + connected);
  EXPECT_EQ(bus.opens(), 0u);
}

INSTANTIATE_TEST_SUITE_P(Products, VtflashWatchOnUsbfs, testing::Values(0x0061, 0x0062));

struct install_case {
  const char* name;
  std::vector<std::string> chunk_args;
  std::string write_records;
};

void PrintTo(const install_case& c, std::ostream* os) {
  *os << c.name;
}

class VtflashInstallOnUsbfs : public VtflashOnUsbfs,
                              public testing::WithParamInterface<install_case> {};

TEST_P(VtflashInstallOnUsbfs, WritesTheImageIntoTheFlashAndPrintsEveryStep) {
  usbfs_sampler bus(small_flash());
  const std::vector<unsigned char> image = make_image(image_length);
  std::vector<std::string> args = install_args(image);
  args.insert(args.end(), GetParam().chunk_args.begin(), GetParam().chunk_args.end());

  const process_result result = run(bus, args);

  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.err, "");
  // The real tool times the installation with the computer's clock.
  EXPECT_EQ(vt::expected::timed_as_simulated(result.out),
            opened + geometry + firmware + erasing + erase_records + writing +
                GetParam().write_records + "\n" + vt::expected::summary_line(4, image_length) +
                complete);
  std::vector<unsigned char> expected_flash(4 * 32768, 0xFF);
  std::copy(image.begin(), image.end(), expected_flash.begin());
  const std::vector<std::uint8_t> flash = bus.flash_contents();
  EXPECT_TRUE(std::equal(flash.begin(), flash.end(), expected_flash.begin(), expected_flash.end()))
      << "the flash does not hold the image followed by erased bytes";
  EXPECT_THAT(bus.erased_blocks(), testing::ElementsAre(0, 1, 2, 3))
      << "blocks erased out of order";
  EXPECT_EQ(bus.releases(), 1u) << "the interface was not released before the device was closed";
  // The real tool keeps the real sampler's record.
  const auto record =
      vt::record::last_installation(vt::test::state_home() + "/veltrin/installations.log");
  ASSERT_TRUE(record.has_value());
  EXPECT_EQ(record->end.how, vt::record::outcome::completed);
}

INSTANTIATE_TEST_SUITE_P(
    Chunks, VtflashInstallOnUsbfs,
    testing::Values(
        // Each chunk one bulk transfer of 32768 bytes (its length in the two-byte place), the
        // last one of 300 bytes.
        install_case{"DefaultChunkSize",
                     {},
                     "\rWrite  25% (1/4)\rWrite  50% (2/4)\rWrite  75% (3/4)\rWrite 100% (4/4)"},
        // The whole image as one bulk transfer, its length in the four-byte place.
        install_case{"OneMegabyteChunks", {"--chunk", "1048576"}, "\rWrite 100% (1/1)"}),
    [](const testing::TestParamInfo<install_case>& test) { return test.param.name; });

sim::fault status_error_at_erase(std::uint32_t block, std::uint8_t code) {
  sim::fault fault;
  fault.what = sim::fault::kind::status_code;
  fault.where = sim::phase::erase;
  fault.index = block;
  fault.code = code;
  return fault;
}

sim::fault unplugged_at_chunk_data(std::uint32_t chunk) {
  sim::fault fault;
  fault.what = sim::fault::kind::transfer_error;
  fault.where = sim::phase::write;
  fault.index = chunk;
  fault.on = sim::transfer::data;
  fault.error = vt::usb_error::no_device;
  return fault;
}

struct failure_case {
  const char* name;
  usbfs_setup setup;
  std::string out;
  std::string err;
  bool flash_untouched = false;  // stopped before anything was sent to the loader
};

usbfs_setup with_fault(sim::fault fault) {
  usbfs_setup setup = small_flash();
  setup.loader.faults.push_back(fault);
  return setup;
}

usbfs_setup with_claim_error(int error) {
  usbfs_setup setup = small_flash();
  setup.claim_error = error;
  return setup;
}

usbfs_setup with_locked_node() {
  usbfs_setup setup = small_flash();
  setup.node_locked = true;
  return setup;
}

void PrintTo(const failure_case& c, std::ostream* os) {
  *os << c.name;
}

class VtflashFailureOnUsbfs : public VtflashOnUsbfs,
                              public testing::WithParamInterface<failure_case> {};

TEST_P(VtflashFailureOnUsbfs, StopsWithStatusOneAndSaysWhy) {
  usbfs_sampler bus(GetParam().setup);

  const process_result result = run(bus, install_args(make_image(image_length)));

  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.err, GetParam().err);
  EXPECT_EQ(result.out, GetParam().out);
  if (GetParam().flash_untouched) {
    EXPECT_THAT(bus.erased_blocks(), IsEmpty());
  }
}

INSTANTIATE_TEST_SUITE_P(
    Faults, VtflashFailureOnUsbfs,
    testing::Values(
        failure_case{
            "StatusErrorDuringErase", with_fault(status_error_at_erase(2, 0x2a)),
            opened + geometry + firmware + erasing + "\rErase  25% (1/4)\rErase  50% (2/4)\n",
            "Device returned status error 0x2a.\nErase failed at block 2.\n"},
        failure_case{
            "DeviceGoneDuringWrite", with_fault(unplugged_at_chunk_data(1)),
            opened + geometry + firmware + erasing + erase_records + writing +
                "\rWrite  25% (1/4)\n",
            "USB write failed: IOReturn 0xe00002c0.\nWrite failed at offset 0x00008000.\n"},
        // No process of the test has the node open: a driver or a hidden process holds it.
        failure_case{"InterfaceBusy", with_claim_error(EBUSY), "",
                     "USBInterfaceOpen failed: IOReturn 0xe00002c5.\n"
                     "The sampler's interface is in use by another program or a driver.\n"
                     "Could not find/open a bulk IN/OUT interface on the AKAI device.\n",
                     true},
        failure_case{"DeviceNodeNotAccessible", with_locked_node(), "",
                     "IOCreatePlugInInterfaceForService(device) failed: IOReturn 0xe00002c1.\n"
                     "No permission to open the sampler: install the udev rule 70-veltrin.rules "
                     "(see README) or run as root.\n"
                     "To install the rule: sudo cp 70-veltrin.rules /etc/udev/rules.d/ && sudo "
                     "udevadm control --reload-rules, then connect the sampler again.\n",
                     true},
        failure_case{"AnotherProduct", with_other_product("MPC\x1b[2J1000"), "",
                     "AKAI device 09e8:0061 was not found.\n"
                     "Found AKAI device 09e8:0062 \"MPC\\x1b[2J1000\" at bus 1, port 1: it is "
                     "not an MPC4000 in \"OS Loader\" mode.\n",
                     true},
        failure_case{"AnotherProductWithoutName", with_other_product(""), "",
                     "AKAI device 09e8:0061 was not found.\n"
                     "Found AKAI device 09e8:0062 at bus 1, port 1: it is not an MPC4000 in "
                     "\"OS Loader\" mode.\n",
                     true}),
    [](const testing::TestParamInfo<failure_case>& test) { return test.param.name; });

}  // namespace
