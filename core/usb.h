// The USB operations the flash tool needs, as a small platform interface, and the opened sampler.
//
// The logic of finding the sampler, choosing its pipes and running the loader protocol is written
// once above this interface. libusb_platform.cpp implements it on libusb-1.0 for real devices;
// sim/ implements it with the simulated sampler.
#pragma once

#include <poll.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "clock.h"

namespace vt {

// Outcome of a platform call. Printed to the user as the IOReturn code of the same meaning, so a
// log reads the same on every platform.
enum class usb_error {
  ok,
  timeout,
  no_device,
  access,
  busy,
  stall,
  overflow,
  no_memory,
  other,
};

// The IOReturn code printed for an error: 0 for ok, 0xe00002d6 for a time-out, and so on.
std::uint32_t ioreturn_code(usb_error error);

// Endpoint descriptor fields the tool looks at.
struct usb_endpoint {
  std::uint8_t address = 0;     // bit 7 set: IN (device to host)
  std::uint8_t attributes = 0;  // bits 0-1: transfer type, 2 = bulk
};

struct usb_interface_desc {
  std::uint8_t number = 0;
  std::vector<usb_endpoint> endpoints;  // in descriptor order; pipe n is endpoints[n - 1]
};

struct usb_config_desc {
  std::uint8_t value = 0;  // bConfigurationValue
  std::vector<usb_interface_desc> interfaces;
};

// An opened device. Closing happens when the object is destroyed.
class usb_connection {
 public:
  virtual ~usb_connection() = default;
  // Active configuration value; 0 when the device is not configured.
  virtual usb_error get_configuration(int& value) = 0;
  virtual usb_error set_configuration(int value) = 0;
  virtual usb_error active_config_descriptor(usb_config_desc& config) = 0;
  virtual usb_error claim_interface(std::uint8_t number) = 0;
  virtual void release_interface(std::uint8_t number) = 0;
  // One bulk transfer of exactly `length` bytes asked for; `transferred` gets what moved.
  virtual usb_error bulk_write(std::uint8_t endpoint, const std::uint8_t* data, std::size_t length,
                               std::size_t& transferred, unsigned timeout_ms) = 0;
  virtual usb_error bulk_read(std::uint8_t endpoint, std::uint8_t* data, std::size_t length,
                              std::size_t& transferred, unsigned timeout_ms) = 0;
};

// Where a device sits: its bus, its address there, and the hub ports from the root hub down
// (empty when the system gives no port path, as for a root hub).
struct usb_place {
  unsigned bus = 0;
  unsigned address = 0;
  std::vector<std::uint8_t> ports;
};

// A device on the bus, not yet opened.
class usb_device {
 public:
  virtual ~usb_device() = default;
  virtual std::uint16_t vendor_id() const = 0;
  virtual std::uint16_t product_id() const = 0;
  virtual std::uint8_t num_configurations() const = 0;
  // Where the device sits on the bus ("bus 001 device 004"): shown when it has no product name.
  virtual std::string location() const = 0;
  virtual usb_place place() const = 0;
  virtual usb_error config_descriptor(std::uint8_t index, usb_config_desc& config) = 0;
  virtual usb_error open(std::unique_ptr<usb_connection>& connection) = 0;
};

// A device as the system's device records describe it (sysfs on Linux), read without opening
// the device, so that listing never disturbs a device another program is using.
struct usb_device_record {
  std::uint16_t vendor_id = 0;
  std::uint16_t product_id = 0;
  std::string product_name;  // the device's own string, unfiltered; empty when it has none
  std::string location;      // "bus 001 device 004": shown when it has no product name
  usb_place place;
};

// A process that has a device's node open, as the system's process table shows it.
struct usb_node_holder {
  int pid = 0;
  std::string name;  // the program's name, as the system records it; any bytes
};

// A device of the watched vendor that arrived on the bus or left it. The bus number and address
// tell one device from another while it is connected.
struct usb_hotplug_event {
  bool arrived = false;
  std::uint16_t vendor_id = 0;
  std::uint16_t product_id = 0;
  usb_place place;
};

using usb_hotplug_listener = std::function<void(const usb_hotplug_event&)>;

// Devices arriving and leaving, watched without opening any of them, until the object goes. The
// caller waits on `wait_set` together with its own descriptors, then calls `dispatch`.
class usb_watch {
 public:
  virtual ~usb_watch() = default;
  // Adds what to wait on to `fds` and shortens `timeout_ms` (-1: no limit) to when `dispatch`
  // is due at the latest.
  virtual void wait_set(std::vector<pollfd>& fds, int& timeout_ms) = 0;
  // Hands what arrived and left since the last call to the listener; never blocks.
  virtual usb_error dispatch() = 0;
};

class usb_platform {
 public:
  virtual ~usb_platform() = default;
  // Every device on the bus, in the platform's order.
  virtual usb_error devices(std::vector<std::unique_ptr<usb_device>>& list) = 0;
  // Every device the system has a record of, in the platform's order; no device is opened.
  virtual usb_error device_records(std::vector<usb_device_record>& list) = 0;
  // Whether the system tells when devices arrive and leave.
  virtual bool has_hotplug() const = 0;
  // Starts watching for devices of the vendor, whatever their product. Those already connected
  // reach the listener as arrivals before this returns; the rest through `dispatch`. Fails when
  // the bus cannot be searched. The watch is ended before the platform.
  virtual usb_error watch(std::uint16_t vendor_id, usb_hotplug_listener listener,
                          std::unique_ptr<usb_watch>& watch) = 0;
  // The processes other than this one that have the node of the device at `place` open; empty
  // where the system does not tell (or shows only some, as another user's processes may be
  // hidden). Opens no device.
  virtual std::vector<usb_node_holder> node_holders(const usb_place& place) = 0;
  // The clock an installation on this bus is timed with: the steady clock, unless the bus keeps
  // its own time.
  virtual const update_clock& clock() const { return steady_update_clock(); }
};

// The platform this program was linked with: libusb for vtflash, the simulated sampler for
// vtflash-sim. Null after printing one line to standard error when it cannot be set up. Each
// front end defines it.
std::unique_ptr<usb_platform> make_platform();

// The opened sampler: one claimed interface and its two bulk pipes. Whatever it holds is released
// when it is closed or destroyed.
struct usb_handle {
  std::unique_ptr<usb_connection> connection;
  std::uint8_t interface_number = 0;
  std::uint8_t in_pipe = 0;   // 1-based position of the bulk IN endpoint in the interface
  std::uint8_t out_pipe = 0;  // 1-based position of the bulk OUT endpoint
  std::uint8_t in_endpoint = 0;
  std::uint8_t out_endpoint = 0;
  bool interface_opened = false;

  usb_handle() = default;
  usb_handle(const usb_handle&) = delete;
  usb_handle& operator=(const usb_handle&) = delete;
  ~usb_handle();
};

}  // namespace vt
