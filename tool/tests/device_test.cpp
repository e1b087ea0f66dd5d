// Finding and opening the sampler on buses of different shapes, and watching it come and go.
#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <string>
#include <vector>

#include "device.h"
#include "process.h"
#include "sim/native/sim_platform.h"

namespace {

using vt::test::run_process;

struct bus_case {
  const char* name;
  std::string scenario;
  std::vector<std::string> args;
  int status;
  std::string out;
  std::string err;
};

class OpenDevice : public ::testing::TestWithParam<bus_case> {};

TEST_P(OpenDevice, ChoosesInterfaceAndPipesOrSaysWhy) {
  const bus_case& c = GetParam();
  std::vector<std::string> args = {"--info"};
  args.insert(args.end(), c.args.begin(), c.args.end());
  const auto result = run_process(VTFLASH_SIM_PATH, args, {"VTFLASH_SIM=" + c.scenario});
  EXPECT_EQ(result.err, c.err);
  EXPECT_EQ(result.out, c.out);
  EXPECT_EQ(result.status, c.status);
}

const std::string geometry = "Flash geometry: 64 blocks x 65536 bytes (4194304 bytes).\n";
const std::string no_interface =
    "Could not find/open a bulk IN/OUT interface on the AKAI device.\n";
const std::string connected = "AKAI device 09e8:0061 connected at bus 1, port 1.4.\n";
const std::string no_hotplug = "USB hotplug is not supported on this system.\n";
const std::string not_found = "AKAI device 09e8:0061 was not found.\n";
const std::string in_another_mode =
    "Found AKAI device 09e8:0062 \"MPC4000\" at bus 1, port 1.4: it is not an MPC4000 in \"OS "
    "Loader\" mode.\n";

// A busy claim, then who holds the interface.
std::string held_by(const std::vector<std::string>& holders) {
  std::string lines = "USBInterfaceOpen failed: IOReturn 0xe00002c5.\n";
  for (const std::string& holder : holders) {
    lines += "The sampler's interface is in use by " + holder + ".\n";
  }
  return lines + no_interface;
}

std::string opened(unsigned interface, unsigned in, unsigned out) {
  return "Opened AKAI USB device 09e8:0061, interface " + std::to_string(interface) + ", IN pipe " +
         std::to_string(in) + ", OUT pipe " + std::to_string(out) + ".\n";
}

INSTANTIATE_TEST_SUITE_P(
    Buses, OpenDevice,
    ::testing::Values(
        bus_case{"Standard", "", {}, 0, opened(0, 1, 2) + geometry, ""},
        bus_case{"NoSampler", "bus=none", {}, 1, "", not_found},
        // The watch reports a sampler already there, and ends with its input (here at once).
        bus_case{"WatchSeesTheSamplerThere", "", {"--watch"}, 0, connected, ""},
        bus_case{"WatchWithoutHotplug", "hotplug=unsupported", {"--watch"}, 1, "", no_hotplug},
        bus_case{"OtherIds",
                 "",
                 {"--vid", "0x1234", "--pid", "7"},
                 1,
                 "",
                 "AKAI device 1234:0007 was not found.\n"},
        bus_case{"InterfaceWithoutEndpointsSkipped",
                 "bus=no_endpoints",
                 {},
                 0,
                 opened(1, 1, 2) + geometry,
                 ""},
        bus_case{"InterfaceWithOneDirectionSkipped",
                 "bus=one_direction",
                 {},
                 0,
                 opened(1, 1, 2) + geometry,
                 ""},
        bus_case{"FirstBulkInOfTwoUsed", "bus=two_in", {}, 0, opened(0, 2, 4) + geometry, ""},
        bus_case{"NoUsableInterface", "bus=unusable", {}, 1, "", no_interface},
        bus_case{
            "ConfigurationNotActive", "config=inactive", {}, 0, opened(0, 1, 2) + geometry, ""},
        bus_case{"InterfaceHeldByAnotherProgram",
                 "busy=interface",
                 {},
                 1,
                 "",
                 held_by({"another program or a driver"})},
        bus_case{"InterfaceHeldByKnownPrograms",
                 "busy=interface,holder=Live\x07:812,holder=a:b:9",
                 {},
                 1,
                 "",
                 held_by({"Live\\x07 (process 812)", "a:b (process 9)"})},
        bus_case{"SamplerInAnotherMode", "product=0x0062", {}, 1, "", not_found + in_another_mode},
        bus_case{"WatchSeesAnotherMode", "product=0x0062", {"--watch"}, 0, in_another_mode, ""},
        bus_case{"DeviceHeldWithItsOwnConfiguration",
                 "busy=config",
                 {},
                 0,
                 opened(0, 1, 2) + geometry,
                 ""},
        bus_case{"DeviceHeldUnconfigured",
                 "config=inactive,busy=config",
                 {},
                 1,
                 "",
                 "Warning: USBDeviceOpen failed (0xe00002c5), continuing with the current "
                 "configuration.\nCreateInterfaceIterator failed: IOReturn 0xe00002bc.\n" +
                     no_interface},
        bus_case{"InfoWhenTheBusCannotBeSearched",
                 "search=fails",
                 {},
                 1,
                 "",
                 "IOServiceGetMatchingServices failed: IOReturn 0xe00002bc.\n"
                 "AKAI device 09e8:0061 was not found.\n"},
        // One failure line, though the listing once searched the bus a second time after it.
        bus_case{"ListWhenTheBusCannotBeSearched",
                 "search=fails",
                 {"--list"},
                 1,
                 "USB devices:\n  <none>\n",
                 "IOServiceGetMatchingServices failed: IOReturn 0xe00002bc.\n"},
        bus_case{"NoPermission",
                 "access=denied",
                 {},
                 1,
                 "",
                 "IOCreatePlugInInterfaceForService(device) failed: IOReturn 0xe00002c1.\n"
                 "No permission to open the sampler: install the udev rule 70-veltrin.rules "
                 "(see README) or run as root.\n"
                 "To install the rule: sudo cp 70-veltrin.rules /etc/udev/rules.d/ && sudo "
                 "udevadm control --reload-rules, then connect the sampler again.\n"}),
    [](const auto& test) { return std::string(test.param.name); });

vt::sim::scenario parse(const std::string& text) {
  vt::sim::scenario setup;
  std::string error;
  EXPECT_TRUE(vt::sim::parse_scenario(text, setup, error)) << error;
  return setup;
}

TEST(OpenDevice, SetsFirstConfigurationOnlyWhenNotActive) {
  for (const bool inactive : {false, true}) {
    vt::sim::sim_platform platform(parse(inactive ? "config=inactive" : ""));
    vt::usb_handle handle;
    vt::event_listener quiet;
    EXPECT_EQ(vt::open_device(platform, 0x09E8, 0x0061, handle, quiet), 0);
    EXPECT_EQ(platform.configurations_set(), inactive ? std::vector<int>{1} : std::vector<int>{});
  }
}

TEST(OpenDevice, ClosingReleasesEverythingAndIsRepeatable) {
  vt::sim::sim_platform platform(parse(""));
  vt::usb_handle handle;
  vt::event_listener quiet;
  ASSERT_EQ(vt::open_device(platform, 0x09E8, 0x0061, handle, quiet), 0);
  EXPECT_TRUE(handle.interface_opened);
  vt::close_device(handle);
  EXPECT_FALSE(handle.interface_opened);
  EXPECT_EQ(handle.connection, nullptr);
  vt::close_device(handle);
}

TEST(Watch, ReportsTheSamplerAsItComesAndGoes) {
  vt::test::temp_dir dir;
  const std::string plug = dir.file("plug");
  vt::test::child_process tool(VTFLASH_SIM_PATH, {"--watch"}, {"VTFLASH_SIM=plug=" + plug});
  const std::string gone = connected + "AKAI device 09e8:0061 disconnected from bus 1, port 1.4.\n";
  vt::test::write_file(plug, {});
  ASSERT_TRUE(tool.wait_for_output(connected)) << tool.output();
  std::remove(plug.c_str());
  ASSERT_TRUE(tool.wait_for_output(gone)) << tool.output();
  vt::test::write_file(plug, {});
  ASSERT_TRUE(tool.wait_for_output(gone + connected)) << tool.output();
  tool.send_signal(SIGTERM);
  EXPECT_EQ(tool.finish(), 0);
  EXPECT_EQ(tool.output(), gone + connected);
}

}  // namespace
