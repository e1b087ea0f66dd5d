// The cases the VM ran (run-vm), one test each: what the real vtflash printed in the guest against
// the simulated sampler served as a USB device must be, byte for byte, what vtflash-sim prints
// with the same scenario and arguments, and the loader's flash must end up the same. A failing
// case shows the guest's console.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "../expected_output.h"
#include "../process.h"

namespace {

using vt::test::process_result;
using vt::test::read_file;

const std::string work = VTFLASH_VM_WORK;

struct vm_case {
  std::string name, speed, how, scenario;
  std::vector<std::string> args;
};

std::vector<vm_case> read_cases(const std::string& path) {
  std::vector<vm_case> cases;
  std::ifstream file(path);
  for (std::string line; std::getline(file, line);) {
    std::istringstream words(line);
    vm_case c;
    if (line.empty() || line[0] == '#' || !(words >> c.name >> c.speed >> c.how >> c.scenario)) {
      continue;
    }
    for (std::string arg; words >> arg;) {
      c.args.push_back(arg);
    }
    cases.push_back(c);
  }
  return cases;
}

std::string text_of(const std::string& path) {
  const std::vector<unsigned char> bytes = read_file(path);
  return {bytes.begin(), bytes.end()};
}

// What the guest recorded for one run of vtflash ("" or "second.").
process_result guest_run(const std::string& dir, const std::string& prefix) {
  process_result result;
  const std::string status = text_of(dir + "/" + prefix + "status");
  result.status = status.empty() ? -1 : std::stoi(status);
  result.out = text_of(dir + "/" + prefix + "out");
  result.err = text_of(dir + "/" + prefix + "err");
  return result;
}

// vtflash-sim in the folder the case's image paths are relative to.
process_result simulated_run(const vm_case& c, const std::string& scenario) {
  std::vector<std::string> args = {"-C", work, VTFLASH_SIM_PATH};
  args.insert(args.end(), c.args.begin(), c.args.end());
  return vt::test::run_process("/usr/bin/env", args, {"VTFLASH_SIM=" + scenario});
}

// A transfer in flight when the device goes fails as "no device" when the hub driver has seen the
// device leave first, else as the I/O error the host controller reports: which one comes first is
// up to the kernel's timing.
std::string as_gone(std::string err) {
  const std::string io_error = "IOReturn 0xe00002bc.";
  if (const auto at = err.find(io_error); at != std::string::npos) {
    err.replace(at, io_error.size(), "IOReturn 0xe00002c0.");
  }
  return err;
}

// The simulated sampler sits at port 1.4, the gadget at port 1 of the guest's bus.
std::string at_guest_place(std::string err) {
  const auto at = err.find(" port 1.4:");
  return at == std::string::npos ? err : err.replace(at, 10, " port 1:");
}

void expect_same_run(const process_result& guest, const process_result& simulated,
                     bool device_goes) {
  EXPECT_EQ(guest.status, simulated.status);
  // The real tool times an installation with the computer's clock, the simulated one with its own.
  EXPECT_EQ(vt::expected::timed_as_simulated(guest.out), simulated.out);
  EXPECT_EQ(device_goes ? as_gone(guest.err) : guest.err, at_guest_place(simulated.err));
}

// The line the sampler is listed with; the guest's bus has other devices than the simulated one.
std::string sampler_line(const std::string& listing) {
  std::istringstream lines(listing);
  for (std::string line; std::getline(lines, line);) {
    if (line.rfind("  09e8:0061  ", 0) == 0) {
      return line;
    }
  }
  return "";
}

std::string image_of(const vm_case& c) {
  for (std::size_t i = 0; i + 1 < c.args.size(); ++i) {
    if (c.args[i] == "--firmware") {
      return work + "/" + c.args[i + 1];
    }
  }
  return "";
}

class vm_case_test : public testing::Test {
 public:
  explicit vm_case_test(vm_case c) : case_(std::move(c)) {}

  void TestBody() override {
    if (std::filesystem::exists(work + "/skipped")) {
      GTEST_SKIP() << text_of(work + "/skipped");
    }
    check();
    if (HasFailure()) {
      std::cout << "The guest's console:\n" << text_of(work + "/console.log") << std::endl;
    }
  }

 private:
  void check() {
    const std::string dir = work + "/results/" + case_.name;
    ASSERT_TRUE(std::filesystem::exists(dir + "/status")) << "the VM did not run " << case_.name;
    const process_result guest = guest_run(dir, "");
    EXPECT_EQ(text_of(dir + "/speed"), case_.speed == "full" ? "12\n" : "480\n");
    const std::string dump = work + "/expected-" + case_.name + ".flash";
    std::string scenario = case_.scenario + ",dump=" + dump;
    if (case_.how == "user") {
      scenario += ",access=denied";
    }
    const process_result simulated = simulated_run(case_, scenario);
    const bool device_goes = case_.scenario.find("fault=gone:") != std::string::npos;
    if (case_.args == std::vector<std::string>{"--list"}) {
      EXPECT_EQ(guest.status, 0);
      EXPECT_EQ(guest.err, "");
      EXPECT_EQ(guest.out.substr(0, guest.out.find('\n')),
                simulated.out.substr(0, simulated.out.find('\n')));
      EXPECT_EQ(sampler_line(guest.out), sampler_line(simulated.out)) << guest.out;
    } else {
      expect_same_run(guest, simulated, device_goes);
    }
    const std::vector<unsigned char> flash = read_file(dir + "/flash");
    EXPECT_TRUE(flash == read_file(dump)) << "the flash differs from the simulated sampler's";
    if (guest.status == 0 && !image_of(case_).empty()) {
      std::vector<unsigned char> expected = read_file(image_of(case_));
      expected.resize(flash.size(), 0xFF);
      EXPECT_TRUE(flash == expected) << "the flash does not hold the image followed by 0xFF";
    }
    if (case_.how == "watch") {
      const std::string there = "AKAI device 09e8:0061 connected at bus 1, port 1.\n";
      EXPECT_EQ(text_of(dir + "/watch.out"),
                there + "AKAI device 09e8:0061 disconnected from bus 1, port 1.\n" + there);
      EXPECT_EQ(text_of(dir + "/watch.err") + text_of(dir + "/watch.status"), "0\n");
    }
    if (case_.how == "second") {
      // The first vtflash holds the sampler's node, as the kernel tells.
      const std::string holder = ",holder=vtflash:" + text_of(dir + "/first.pid");
      expect_same_run(guest_run(dir, "second."),
                      simulated_run(case_, case_.scenario + ",busy=interface" + holder), false);
    }
  }

  vm_case case_;
};

}  // namespace

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  for (const vm_case& c : read_cases(VTFLASH_VM_CASES)) {
    testing::RegisterTest("Vm", c.name.c_str(), nullptr, nullptr, __FILE__, __LINE__,
                          [c]() -> testing::Test* { return new vm_case_test(c); });
  }
  return RUN_ALL_TESTS();
}
