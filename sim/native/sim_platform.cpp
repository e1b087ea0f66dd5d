#include "sim_platform.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "sim/native/sim_watch.h"

namespace vt::sim {

namespace {

constexpr std::uint8_t bulk = 0x02;
// The time-out the loader's host is expected to give every transfer. Written here apart from the
// tool's own constant, so a change there shows up as a sampler that gives up.
constexpr unsigned loader_timeout_ms = 120000;
constexpr std::uint8_t interrupt = 0x03;
constexpr unsigned sampler_address = 4;

usb_interface_desc interface_of(std::uint8_t number, std::vector<usb_endpoint> endpoints) {
  usb_interface_desc desc;
  desc.number = number;
  desc.endpoints = std::move(endpoints);
  return desc;
}

// The sampler's configuration 1, as the scenario lays out its interfaces.
usb_config_desc sampler_config_desc(scenario::bus_layout layout) {
  const usb_interface_desc loader =
      interface_of(layout == scenario::bus_layout::standard ? 0 : 1, {{0x81, bulk}, {0x02, bulk}});
  usb_config_desc config;
  config.value = 1;
  switch (layout) {
    case scenario::bus_layout::standard:
    case scenario::bus_layout::none:
      config.interfaces = {loader};
      break;
    case scenario::bus_layout::no_endpoints:
      config.interfaces = {interface_of(0, {}), loader};
      break;
    case scenario::bus_layout::one_direction:
      config.interfaces = {interface_of(0, {{0x01, bulk}, {0x03, bulk}}), loader};
      break;
    case scenario::bus_layout::two_in:
      // An interrupt pipe first, then two bulk IN pipes: the first bulk IN (pipe 2) is the one.
      config.interfaces = {
          interface_of(0, {{0x84, interrupt}, {0x81, bulk}, {0x83, bulk}, {0x02, bulk}})};
      break;
    case scenario::bus_layout::unusable:
      config.interfaces = {interface_of(0, {}), interface_of(1, {{0x82, interrupt}})};
      break;
  }
  return config;
}

// Whether the scenario's sampler is on the bus now.
bool sampler_plugged(const scenario& setup) {
  struct stat st = {};
  return setup.bus != scenario::bus_layout::none &&
         (setup.plug_path.empty() || ::stat(setup.plug_path.c_str(), &st) == 0);
}

struct bus_state {
  scenario setup;
  std::shared_ptr<sampler> model;
  std::shared_ptr<std::vector<int>> configurations_set;
  std::shared_ptr<int> active_configuration;
};

class sim_connection final : public usb_connection {
 public:
  sim_connection(std::shared_ptr<const bus_state> bus, usb_config_desc config, bool is_sampler)
      : bus_(std::move(bus)), config_(std::move(config)), is_sampler_(is_sampler) {}
  ~sim_connection() override {
    // A real host releases a claimed interface when the device is closed; the tool must not rely
    // on that, so the simulator says so.
    if (claimed_) {
      std::fprintf(stderr,
                   "VTFLASH_SIM: interface %u was still claimed when the device was closed.\n",
                   claimed_number_);
    }
  }
  sim_connection(const sim_connection&) = delete;
  sim_connection& operator=(const sim_connection&) = delete;

  usb_error get_configuration(int& value) override {
    value = is_sampler_ ? *bus_->active_configuration : config_.value;
    return usb_error::ok;
  }
  usb_error set_configuration(int value) override {
    if (!is_sampler_) {
      return usb_error::ok;
    }
    if (bus_->setup.busy_config) {
      return usb_error::busy;
    }
    if (value != config_.value) {
      return usb_error::other;
    }
    *bus_->active_configuration = value;
    bus_->configurations_set->push_back(value);
    return usb_error::ok;
  }
  usb_error active_config_descriptor(usb_config_desc& config) override {
    int active = 0;
    get_configuration(active);
    if (active != config_.value) {
      return usb_error::other;  // not configured
    }
    config = config_;
    return usb_error::ok;
  }
  usb_error claim_interface(std::uint8_t number) override {
    if (is_sampler_ && (bus_->model->gone() || unplugged())) {
      return usb_error::no_device;
    }
    if (is_sampler_ && bus_->setup.busy_interface) {
      return usb_error::busy;
    }
    int active = 0;
    get_configuration(active);
    for (const usb_interface_desc& interface : config_.interfaces) {
      if (interface.number == number && active == config_.value) {
        claimed_ = true;
        claimed_number_ = number;
        return usb_error::ok;
      }
    }
    return usb_error::other;
  }
  void release_interface(std::uint8_t number) override {
    if (claimed_ && number == claimed_number_) {
      claimed_ = false;
    }
  }
  usb_error bulk_write(std::uint8_t endpoint, const std::uint8_t* data, std::size_t length,
                       std::size_t& transferred, unsigned timeout_ms) override {
    transferred = 0;
    if (!is_sampler_ || !claimed_ || endpoint != 0x02) {
      return usb_error::other;
    }
    if (unplugged()) {
      return usb_error::no_device;
    }
    // The loader may take long over a step (a worn block erases slowly); a host that waits less
    // than its two minutes gives up on a sampler that is still working.
    if (timeout_ms != loader_timeout_ms) {
      return usb_error::timeout;
    }
    return bus_->model->receive(data, length, transferred);
  }
  usb_error bulk_read(std::uint8_t endpoint, std::uint8_t* data, std::size_t length,
                      std::size_t& transferred, unsigned timeout_ms) override {
    transferred = 0;
    if (!is_sampler_ || !claimed_ || endpoint != 0x81) {
      return usb_error::other;
    }
    if (unplugged()) {
      return usb_error::no_device;
    }
    // The loader may take long over a step (a worn block erases slowly); a host that waits less
    // than its two minutes gives up on a sampler that is still working.
    if (timeout_ms != loader_timeout_ms) {
      return usb_error::timeout;
    }
    return bus_->model->send(data, length, transferred);
  }

 private:
  // A sampler whose plug file went away is gone for good, as a device that left the bus: plugged
  // in again, it is a new device to open.
  bool unplugged() {
    unplugged_ = unplugged_ || !sampler_plugged(bus_->setup);
    return unplugged_;
  }

  std::shared_ptr<const bus_state> bus_;
  usb_config_desc config_;
  bool is_sampler_;
  bool claimed_ = false;
  bool unplugged_ = false;
  std::uint8_t claimed_number_ = 0;
};

class sim_device final : public usb_device {
 public:
  sim_device(std::shared_ptr<const bus_state> bus, std::uint16_t vendor, std::uint16_t product,
             std::string name, unsigned address, usb_config_desc config, bool is_sampler)
      : bus_(std::move(bus)),
        vendor_(vendor),
        product_(product),
        name_(std::move(name)),
        address_(address),
        config_(std::move(config)),
        is_sampler_(is_sampler) {}

  usb_hotplug_event arrival() const { return {true, vendor_, product_, place()}; }

  std::uint16_t vendor_id() const override { return vendor_; }
  std::uint16_t product_id() const override { return product_; }
  const std::string& name() const { return name_; }
  std::uint8_t num_configurations() const override { return 1; }
  std::string location() const override {
    char text[64];
    std::snprintf(text, sizeof text, "bus 001 device %03u", address_);
    return text;
  }
  // On bus 1: the root hub (address 1) has no port path, every other device sits on port N of
  // the hub on root port 1, N being its address.
  usb_place place() const override {
    usb_place at{1, address_, {}};
    if (address_ != 1) {
      at.ports = {1, static_cast<std::uint8_t>(address_)};
    }
    return at;
  }
  usb_error config_descriptor(std::uint8_t index, usb_config_desc& config) override {
    if (index != 0) {
      return usb_error::other;
    }
    config = config_;
    return usb_error::ok;
  }
  usb_error open(std::unique_ptr<usb_connection>& connection) override {
    if (is_sampler_ && bus_->setup.access_denied) {
      return usb_error::access;
    }
    connection = std::make_unique<sim_connection>(bus_, config_, is_sampler_);
    return usb_error::ok;
  }

 private:
  std::shared_ptr<const bus_state> bus_;
  std::uint16_t vendor_;
  std::uint16_t product_;
  std::string name_;
  unsigned address_;
  usb_config_desc config_;
  bool is_sampler_;
};

}  // namespace

namespace {

bool write_at(int fd, std::uint64_t address, const std::uint8_t* bytes, std::size_t length) {
  while (length > 0) {
    const ssize_t n = ::pwrite(fd, bytes, length, static_cast<off_t>(address));
    if (n < 0 && errno == EINTR) {
      continue;
    }
    if (n <= 0) {
      return false;
    }
    bytes += n;
    address += static_cast<std::uint64_t>(n);
    length -= static_cast<std::size_t>(n);
  }
  return true;
}

// Waits at the gate: until the test has opened the pipe for writing, then until it writes a byte
// or closes it. Signals sent to the tool meanwhile do not end the wait.
void wait_at_gate(const std::string& path) {
  int fd = -1;
  do {
    fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) {
    std::fprintf(stderr, "VTFLASH_SIM: could not open the gate %s.\n", path.c_str());
    return;
  }
  char byte = 0;
  while (::read(fd, &byte, 1) < 0 && errno == EINTR) {
  }
  ::close(fd);
}

}  // namespace

sim_platform::sim_platform(scenario setup)
    : setup_(std::move(setup)),
      sampler_(std::make_shared<sampler>(setup_.sampler)),
      configurations_set_(std::make_shared<std::vector<int>>()),
      active_configuration_(std::make_shared<int>(setup_.config_inactive ? 0 : 1)),
      clock_(sampler_) {
  open_dump();
  if (!setup_.gate_path.empty()) {
    sampler_->on_step([this](phase where, std::uint32_t index) {
      if (where == setup_.gate_phase && index == setup_.gate_index) {
        wait_at_gate(setup_.gate_path);
      }
    });
  }
}

// The dump holds the whole flash from the start and follows every change at once, so a test can
// read it even after the tool was killed in the middle.
void sim_platform::open_dump() {
  if (setup_.dump_path.empty()) {
    return;
  }
  dump_fd_ = ::open(setup_.dump_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  const std::vector<std::uint8_t> contents = sampler_->flash_contents();
  if (dump_fd_ < 0 || !write_at(dump_fd_, 0, contents.data(), contents.size())) {
    std::fprintf(stderr, "VTFLASH_SIM: could not write %s.\n", setup_.dump_path.c_str());
    return;
  }
  sampler_->on_flash_change(
      [this](std::uint64_t address, const std::uint8_t* bytes, std::size_t length) {
        if (!write_at(dump_fd_, address, bytes, length)) {
          std::fprintf(stderr, "VTFLASH_SIM: could not write %s.\n", setup_.dump_path.c_str());
        }
      });
}

sim_platform::~sim_platform() {
  // The loader may outlive the platform in a device it handed out; it must not call back here.
  sampler_->on_flash_change(nullptr);
  sampler_->on_step(nullptr);
  if (dump_fd_ >= 0) {
    ::close(dump_fd_);
  }
}

usb_error sim_platform::device_records(std::vector<usb_device_record>& list) {
  std::vector<std::unique_ptr<usb_device>> found;
  const usb_error error = devices(found);
  for (const auto& device : found) {
    list.push_back({device->vendor_id(), device->product_id(),
                    static_cast<const sim_device&>(*device).name(), device->location(),
                    device->place()});
  }
  return error;
}

usb_error sim_platform::devices(std::vector<std::unique_ptr<usb_device>>& list) {
  if (setup_.search_fails) {
    return usb_error::other;
  }
  auto bus = std::make_shared<bus_state>(
      bus_state{setup_, sampler_, configurations_set_, active_configuration_});
  const usb_config_desc plain{1, {interface_of(0, {{0x81, interrupt}})}};
  list.push_back(
      std::make_unique<sim_device>(bus, 0x1d6b, 0x0002, "xHCI Host Controller", 1, plain, false));
  // A device whose descriptor reads all zeros, and one without a product name.
  list.push_back(std::make_unique<sim_device>(bus, 0x0000, 0x0000, "", 2, plain, false));
  list.push_back(std::make_unique<sim_device>(bus, 0x0bda, 0x8153, "", 3, plain, false));
  if (sampler_plugged(setup_)) {
    list.push_back(std::make_unique<sim_device>(bus, 0x09e8, setup_.product_id, "MPC4000",
                                                sampler_address, sampler_config_desc(setup_.bus),
                                                true));
  }
  list.push_back(
      std::make_unique<sim_device>(bus, 0x046d, 0xc52b, "USB Receiver", 5, plain, false));
  return usb_error::ok;
}

bool sim_platform::has_hotplug() const {
  return !setup_.no_hotplug;
}

usb_error sim_platform::watch(std::uint16_t vendor_id, usb_hotplug_listener listener,
                              std::unique_ptr<usb_watch>& watch) {
  if (setup_.search_fails) {
    return usb_error::other;
  }
  auto look = [this, vendor_id] {
    std::vector<std::unique_ptr<usb_device>> found;
    devices(found);
    std::vector<usb_hotplug_event> watched;
    for (const auto& device : found) {
      if (device->vendor_id() == vendor_id) {
        watched.push_back(static_cast<const sim_device&>(*device).arrival());
      }
    }
    return watched;
  };
  // Only the plug file changes the bus: looked at often enough to tell within half a second.
  const int interval_ms = setup_.plug_path.empty() ? -1 : 100;
  watch = std::make_unique<sim_watch>(look, interval_ms, std::move(listener));
  return usb_error::ok;
}

std::vector<usb_node_holder> sim_platform::node_holders(const usb_place& place) {
  return place.address == sampler_address ? setup_.holders : std::vector<usb_node_holder>{};
}

}  // namespace vt::sim
