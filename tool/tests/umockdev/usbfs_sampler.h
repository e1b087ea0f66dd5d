// The simulated sampler plugged into a mocked Linux USB bus, so that the real vtflash on the
// system's libusb-1.0 can be run against it.
//
// umockdev provides the bus: a sysfs tree with the sampler's USB device (09e8:0061, its
// descriptors, a product string) and its usbfs node /dev/bus/usb/001/002. The program under test
// runs with umockdev's preload library, which turns every ioctl on that node into a request this
// object answers: capabilities, claiming the interface, URBs. Bulk URBs are fed to a
// vt::sim::sampler, the same loader model the simulated platform uses, which checks every command
// block and chunk checksum and keeps the flash contents.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "../process.h"
#include "sim/sampler.h"

namespace vt::test {

struct usbfs_setup {
  sim::sampler_config loader;
  // errno the kernel answers a claim of the interface with (EBUSY: another program has it); 0
  // lets the claim succeed.
  int claim_error = 0;
  // The device node cannot be opened by the program (no udev rule for the user).
  bool node_locked = false;
  // The product string as sysfs shows it, any bytes.
  std::string product = "MPC4000";
  // Another id is an AKAI device in another mode.
  std::uint16_t product_id = 0x0061;
  // The status block of this exchange is held back until `release`, so a test can act while
  // an installation stands in the middle of a step.
  bool hold = false;
  sim::phase hold_phase = sim::phase::erase;
  std::uint32_t hold_index = 0;
};

class usbfs_sampler {
 public:
  explicit usbfs_sampler(usbfs_setup setup);
  ~usbfs_sampler();
  usbfs_sampler(const usbfs_sampler&) = delete;
  usbfs_sampler& operator=(const usbfs_sampler&) = delete;

  // Runs a program on this bus, through the preload library, and collects what it printed.
  process_result run(const std::string& program, const std::vector<std::string>& args);
  // Starts a program on this bus and leaves it running.
  std::unique_ptr<child_process> start(const std::string& program,
                                       const std::vector<std::string>& args);
  // The sampler leaves the bus and comes back, with a "remove" and an "add" uevent.
  void unplug();
  void plug();
  // Waits until the held status block is due; false when it was not within a minute (the
  // program ended before it, say).
  bool wait_until_held();
  // Lets the held status block go.
  void release();

  std::vector<std::uint8_t> flash_contents() const;
  std::vector<std::uint32_t> erased_blocks() const;
  // usbfs requests the bus did not know, answered as the kernel answers an unknown ioctl.
  std::vector<std::string> unknown_requests() const;
  // How many times a program opened the sampler's device node.
  unsigned opens() const;
  // How many times a program released the interface it had claimed.
  unsigned releases() const;

 private:
  struct bus;  // the testbed, its ioctl handler and the loader behind them
  std::unique_ptr<bus> bus_;
};

}  // namespace vt::test
