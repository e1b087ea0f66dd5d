#include "demo_platform.h"

#include <fcntl.h>
#include <unistd.h>

#include "output.h"
#include "page_events.h"
#include "protocol.h"
#include "sim/native/sim_platform.h"

namespace vt::web {

namespace {

// The plug file of the simulated bus, in the module's memory file system.
constexpr char plug_path[] = "/demo-sampler-plugged";

struct pacing {
  unsigned erase_ms = 0;
  unsigned byte_ns = 0;
};

// Waits, after each transfer out, for the time the loader takes over it: an erase command its
// erase time, anything else its bytes' writing time.
class paced_connection final : public usb_connection {
 public:
  paced_connection(std::unique_ptr<usb_connection> inner, pacing pace)
      : inner_(std::move(inner)), pace_(pace) {}

  usb_error get_configuration(int& value) override { return inner_->get_configuration(value); }
  usb_error set_configuration(int value) override { return inner_->set_configuration(value); }
  usb_error active_config_descriptor(usb_config_desc& config) override {
    return inner_->active_config_descriptor(config);
  }
  usb_error claim_interface(std::uint8_t number) override {
    return inner_->claim_interface(number);
  }
  void release_interface(std::uint8_t number) override { inner_->release_interface(number); }
  usb_error bulk_write(std::uint8_t endpoint, const std::uint8_t* data, std::size_t length,
                       std::size_t& transferred, unsigned timeout_ms) override {
    const usb_error error = inner_->bulk_write(endpoint, data, length, transferred, timeout_ms);
    const bool erase = length == command_block_size && data[command_field::code] == CMD_ERASE_BLOCK;
    const std::uint64_t ns =
        erase ? std::uint64_t{pace_.erase_ms} * 1000000 : std::uint64_t{pace_.byte_ns} * length;
    waited_ns_ += ns;
    // Waits of less than a few milliseconds are gathered: the browser's timers are not finer.
    if (waited_ns_ >= 4000000) {
      pause_for(static_cast<unsigned>(waited_ns_ / 1000000));
      waited_ns_ %= 1000000;
    }
    return error;
  }
  usb_error bulk_read(std::uint8_t endpoint, std::uint8_t* data, std::size_t length,
                      std::size_t& transferred, unsigned timeout_ms) override {
    return inner_->bulk_read(endpoint, data, length, transferred, timeout_ms);
  }

 private:
  std::unique_ptr<usb_connection> inner_;
  pacing pace_;
  std::uint64_t waited_ns_ = 0;
};

class paced_device final : public usb_device {
 public:
  paced_device(std::unique_ptr<usb_device> inner, pacing pace)
      : inner_(std::move(inner)), pace_(pace) {}

  std::uint16_t vendor_id() const override { return inner_->vendor_id(); }
  std::uint16_t product_id() const override { return inner_->product_id(); }
  std::uint8_t num_configurations() const override { return inner_->num_configurations(); }
  std::string location() const override { return inner_->location(); }
  usb_place place() const override { return inner_->place(); }
  usb_error config_descriptor(std::uint8_t index, usb_config_desc& config) override {
    return inner_->config_descriptor(index, config);
  }
  usb_error open(std::unique_ptr<usb_connection>& connection) override {
    std::unique_ptr<usb_connection> opened;
    const usb_error error = inner_->open(opened);
    if (error == usb_error::ok) {
      connection = std::make_unique<paced_connection>(std::move(opened), pace_);
    }
    return error;
  }

 private:
  std::unique_ptr<usb_device> inner_;
  pacing pace_;
};

// A fresh simulated sampler each time it is plugged in, as a real one starts its loader afresh.
class demo_platform final : public usb_platform {
 public:
  demo_platform(sim::scenario setup, pacing pace) : setup_(std::move(setup)), pace_(pace) {}

  usb_error devices(std::vector<std::unique_ptr<usb_device>>& list) override {
    if (!bus_ || bus_generation_ != generation) {
      bus_ = std::make_unique<sim::sim_platform>(setup_);
      bus_generation_ = generation;
    }
    std::vector<std::unique_ptr<usb_device>> found;
    const usb_error error = bus_->devices(found);
    for (auto& device : found) {
      list.push_back(std::make_unique<paced_device>(std::move(device), pace_));
    }
    return error;
  }
  usb_error device_records(std::vector<usb_device_record>& list) override {
    return bus_ ? bus_->device_records(list) : usb_error::other;
  }
  bool has_hotplug() const override { return false; }
  usb_error watch(std::uint16_t, usb_hotplug_listener, std::unique_ptr<usb_watch>&) override {
    return usb_error::other;
  }
  std::vector<usb_node_holder> node_holders(const usb_place& place) override {
    return bus_ ? bus_->node_holders(place) : std::vector<usb_node_holder>{};
  }

  static inline unsigned generation = 0;

 private:
  sim::scenario setup_;
  pacing pace_;
  std::unique_ptr<sim::sim_platform> bus_;
  unsigned bus_generation_ = 0;
};

}  // namespace

std::unique_ptr<usb_platform> make_demo_platform(const std::string& scenario, bool paced) {
  sim::scenario setup;
  std::string error;
  if (!sim::parse_scenario(scenario.empty() ? demo_scenario : scenario, setup, error)) {
    out::error("Demo sampler: %s.\n", error.c_str());
    return nullptr;
  }
  // The simulated loader would block the browser for its working time; the page waits instead.
  pacing pace;
  if (paced) {
    pace = {setup.sampler.erase_ms, setup.sampler.byte_ns};
  }
  setup.sampler.erase_ms = 0;
  setup.sampler.byte_ns = 0;
  setup.plug_path = plug_path;
  plug_demo_sampler(true);
  return std::make_unique<demo_platform>(std::move(setup), pace);
}

void plug_demo_sampler(bool plugged) {
  if (plugged) {
    const int fd = ::open(plug_path, O_WRONLY | O_CREAT, 0644);
    if (fd >= 0) {
      ::close(fd);
    }
    ++demo_platform::generation;
  } else {
    ::unlink(plug_path);
  }
}

}  // namespace vt::web
