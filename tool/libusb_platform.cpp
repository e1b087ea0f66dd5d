#include "libusb_platform.h"

#include <libusb.h>

#include <climits>
#include <cstdio>

#include "install_recorder.h"
#include "os_image.h"

namespace vt {

namespace {

usb_error from_libusb(int code) {
  switch (code) {
    case LIBUSB_SUCCESS:
      return usb_error::ok;
    case LIBUSB_ERROR_TIMEOUT:
      return usb_error::timeout;
    case LIBUSB_ERROR_NO_DEVICE:
      return usb_error::no_device;
    case LIBUSB_ERROR_ACCESS:
      return usb_error::access;
    case LIBUSB_ERROR_BUSY:
      return usb_error::busy;
    case LIBUSB_ERROR_PIPE:
      return usb_error::stall;
    case LIBUSB_ERROR_OVERFLOW:
      return usb_error::overflow;
    case LIBUSB_ERROR_NO_MEM:
      return usb_error::no_memory;
    default:
      return usb_error::other;
  }
}

using context_ptr = std::shared_ptr<libusb_context>;

usb_place place_of(libusb_device* device) {
  usb_place place;
  place.bus = libusb_get_bus_number(device);
  place.address = libusb_get_device_address(device);
  std::uint8_t ports[8];  // USB allows seven tiers below the root hub
  const int depth = libusb_get_port_numbers(device, ports, sizeof ports);
  if (depth > 0) {
    place.ports.assign(ports, ports + depth);
  }
  return place;
}

struct config_free {
  void operator()(libusb_config_descriptor* config) const { libusb_free_config_descriptor(config); }
};
using config_ptr = std::unique_ptr<libusb_config_descriptor, config_free>;

struct list_free {
  void operator()(libusb_device** list) const { libusb_free_device_list(list, 1); }
};
using list_ptr = std::unique_ptr<libusb_device*, list_free>;

usb_config_desc to_config(const libusb_config_descriptor& raw) {
  usb_config_desc config;
  config.value = raw.bConfigurationValue;
  for (int i = 0; i < raw.bNumInterfaces; ++i) {
    const libusb_interface& interface = raw.interface[i];
    // The first alternate setting is the one a claimed interface starts in.
    if (interface.num_altsetting < 1) {
      continue;
    }
    const libusb_interface_descriptor& setting = interface.altsetting[0];
    usb_interface_desc desc;
    desc.number = setting.bInterfaceNumber;
    for (int e = 0; e < setting.bNumEndpoints; ++e) {
      desc.endpoints.push_back(
          {setting.endpoint[e].bEndpointAddress, setting.endpoint[e].bmAttributes});
    }
    config.interfaces.push_back(std::move(desc));
  }
  return config;
}

class libusb_connection final : public usb_connection {
 public:
  // No kernel driver is ever detached: an interface a driver holds is busy, as on macOS, and is
  // skipped, so the tool cannot take a disk or keyboard away from the system by its ids.
  libusb_connection(context_ptr context, libusb_device_handle* handle)
      : context_(std::move(context)), handle_(handle) {}
  ~libusb_connection() override { libusb_close(handle_); }
  libusb_connection(const libusb_connection&) = delete;
  libusb_connection& operator=(const libusb_connection&) = delete;

  usb_error get_configuration(int& value) override {
    return from_libusb(libusb_get_configuration(handle_, &value));
  }
  usb_error set_configuration(int value) override {
    return from_libusb(libusb_set_configuration(handle_, value));
  }
  usb_error active_config_descriptor(usb_config_desc& config) override {
    libusb_config_descriptor* raw = nullptr;
    const int code = libusb_get_active_config_descriptor(libusb_get_device(handle_), &raw);
    if (code != LIBUSB_SUCCESS) {
      return from_libusb(code);
    }
    const config_ptr owned(raw);
    config = to_config(*owned);
    return usb_error::ok;
  }
  usb_error claim_interface(std::uint8_t number) override {
    return from_libusb(libusb_claim_interface(handle_, number));
  }
  void release_interface(std::uint8_t number) override {
    libusb_release_interface(handle_, number);
  }
  usb_error bulk_write(std::uint8_t endpoint, const std::uint8_t* data, std::size_t length,
                       std::size_t& transferred, unsigned timeout_ms) override {
    return bulk(endpoint, const_cast<std::uint8_t*>(data), length, transferred, timeout_ms);
  }
  usb_error bulk_read(std::uint8_t endpoint, std::uint8_t* data, std::size_t length,
                      std::size_t& transferred, unsigned timeout_ms) override {
    return bulk(endpoint, data, length, transferred, timeout_ms);
  }

 private:
  // libusb does not write to the buffer of an OUT transfer; its API just takes one pointer type.
  usb_error bulk(std::uint8_t endpoint, std::uint8_t* data, std::size_t length,
                 std::size_t& transferred, unsigned timeout_ms) {
    transferred = 0;
    if (length > static_cast<std::size_t>(INT_MAX)) {
      return usb_error::other;
    }
    int moved = 0;
    const int code =
        libusb_bulk_transfer(handle_, endpoint, data, static_cast<int>(length), &moved, timeout_ms);
    transferred = moved > 0 ? static_cast<std::size_t>(moved) : 0;
    return from_libusb(code);
  }

  context_ptr context_;  // keeps libusb alive while the device is open
  libusb_device_handle* handle_;
};

class libusb_usb_device final : public usb_device {
 public:
  libusb_usb_device(context_ptr context, libusb_device* device,
                    const libusb_device_descriptor& descriptor)
      : context_(std::move(context)), device_(libusb_ref_device(device)), descriptor_(descriptor) {}
  ~libusb_usb_device() override { libusb_unref_device(device_); }
  libusb_usb_device(const libusb_usb_device&) = delete;
  libusb_usb_device& operator=(const libusb_usb_device&) = delete;

  std::uint16_t vendor_id() const override { return descriptor_.idVendor; }
  std::uint16_t product_id() const override { return descriptor_.idProduct; }
  std::uint8_t num_configurations() const override { return descriptor_.bNumConfigurations; }
  std::string location() const override {
    char text[64];
    std::snprintf(text, sizeof text, "bus %03u device %03u", libusb_get_bus_number(device_),
                  libusb_get_device_address(device_));
    return text;
  }
  usb_place place() const override { return place_of(device_); }
  usb_error config_descriptor(std::uint8_t index, usb_config_desc& config) override {
    libusb_config_descriptor* raw = nullptr;
    const int code = libusb_get_config_descriptor(device_, index, &raw);
    if (code != LIBUSB_SUCCESS) {
      return from_libusb(code);
    }
    const config_ptr owned(raw);
    config = to_config(*owned);
    return usb_error::ok;
  }
  usb_error open(std::unique_ptr<usb_connection>& connection) override {
    libusb_device_handle* handle = nullptr;
    const int code = libusb_open(device_, &handle);
    if (code != LIBUSB_SUCCESS) {
      return from_libusb(code);
    }
    connection = std::make_unique<libusb_connection>(context_, handle);
    return usb_error::ok;
  }

 private:
  context_ptr context_;
  libusb_device* device_;
  libusb_device_descriptor descriptor_;
};

// The hotplug callback of libusb, registered for the watched vendor; it runs inside `dispatch`
// (and, for the devices already there, inside the registration).
class libusb_watch final : public usb_watch {
 public:
  libusb_watch(context_ptr context, usb_hotplug_listener listener)
      : context_(std::move(context)), listener_(std::move(listener)) {}
  ~libusb_watch() override {
    if (registered_) {
      libusb_hotplug_deregister_callback(context_.get(), handle_);
    }
  }
  libusb_watch(const libusb_watch&) = delete;
  libusb_watch& operator=(const libusb_watch&) = delete;

  usb_error start(std::uint16_t vendor_id) {
    const int code = libusb_hotplug_register_callback(
        context_.get(), LIBUSB_HOTPLUG_EVENT_DEVICE_ARRIVED | LIBUSB_HOTPLUG_EVENT_DEVICE_LEFT,
        LIBUSB_HOTPLUG_ENUMERATE, vendor_id, LIBUSB_HOTPLUG_MATCH_ANY, LIBUSB_HOTPLUG_MATCH_ANY,
        on_event, this, &handle_);
    registered_ = code == LIBUSB_SUCCESS;
    return from_libusb(code);
  }

  void wait_set(std::vector<pollfd>& fds, int& timeout_ms) override {
    // Asked for each time: libusb may add and remove descriptors as it goes.
    if (const libusb_pollfd** list = libusb_get_pollfds(context_.get())) {
      for (const libusb_pollfd** entry = list; *entry != nullptr; ++entry) {
        fds.push_back({(*entry)->fd, (*entry)->events, 0});
      }
      libusb_free_pollfds(list);
    }
    timeval next = {};
    if (libusb_get_next_timeout(context_.get(), &next) == 1) {
      const long long ms = next.tv_sec * 1000LL + (next.tv_usec + 999) / 1000;
      if (timeout_ms < 0 || ms < timeout_ms) {
        timeout_ms = static_cast<int>(ms);
      }
    }
  }

  usb_error dispatch() override {
    timeval now = {};
    const int code = libusb_handle_events_timeout_completed(context_.get(), &now, nullptr);
    return code == LIBUSB_ERROR_INTERRUPTED ? usb_error::ok : from_libusb(code);
  }

 private:
  static int LIBUSB_CALL on_event(libusb_context*, libusb_device* device,
                                  libusb_hotplug_event event, void* self) {
    libusb_device_descriptor descriptor{};
    libusb_get_device_descriptor(device, &descriptor);  // kept in memory: cannot fail
    usb_hotplug_event happened;
    happened.arrived = event == LIBUSB_HOTPLUG_EVENT_DEVICE_ARRIVED;
    happened.vendor_id = descriptor.idVendor;
    happened.product_id = descriptor.idProduct;
    happened.place = place_of(device);
    static_cast<libusb_watch*>(self)->listener_(happened);
    return 0;  // stay registered
  }

  context_ptr context_;
  usb_hotplug_listener listener_;
  libusb_hotplug_callback_handle handle_ = 0;
  bool registered_ = false;
};

class libusb_platform final : public usb_platform {
 public:
  usb_error devices(std::vector<std::unique_ptr<usb_device>>& list) override {
    if (const usb_error error = init(); error != usb_error::ok) {
      return error;
    }
    libusb_device** raw_list = nullptr;
    const ssize_t count = libusb_get_device_list(context_.get(), &raw_list);
    if (count < 0) {
      return from_libusb(static_cast<int>(count));
    }
    const list_ptr owned(raw_list);
    for (ssize_t i = 0; i < count; ++i) {
      libusb_device_descriptor descriptor{};
      if (libusb_get_device_descriptor(raw_list[i], &descriptor) != LIBUSB_SUCCESS) {
        continue;
      }
      list.push_back(std::make_unique<libusb_usb_device>(context_, raw_list[i], descriptor));
    }
    return usb_error::ok;
  }

  usb_error device_records(std::vector<usb_device_record>& list) override {
#ifdef __linux__
    return udev_device_records(list);
#else
    // Without a record of the product string, a device is named by where it sits.
    std::vector<std::unique_ptr<usb_device>> found;
    const usb_error error = devices(found);
    for (const auto& device : found) {
      list.push_back(
          {device->vendor_id(), device->product_id(), "", device->location(), device->place()});
    }
    return error;
#endif
  }

  bool has_hotplug() const override {
    const int capable = libusb_has_capability(LIBUSB_CAP_HAS_HOTPLUG);
    return capable != 0;
  }

  usb_error watch(std::uint16_t vendor_id, usb_hotplug_listener listener,
                  std::unique_ptr<usb_watch>& watch) override {
    if (const usb_error error = init(); error != usb_error::ok) {
      return error;
    }
    auto started = std::make_unique<libusb_watch>(context_, std::move(listener));
    if (const usb_error error = started->start(vendor_id); error != usb_error::ok) {
      return error;
    }
    watch = std::move(started);
    return usb_error::ok;
  }

  std::vector<usb_node_holder> node_holders(const usb_place& place) override {
#ifdef __linux__
    return linux_node_holders(place);
#else
    static_cast<void>(place);
    return {};
#endif
  }

 private:
  usb_error init() {
    if (context_) {
      return usb_error::ok;
    }
    libusb_context* raw = nullptr;
    const int code = libusb_init(&raw);
    if (code != LIBUSB_SUCCESS) {
      return from_libusb(code);
    }
    context_ = context_ptr(raw, libusb_exit);
    return usb_error::ok;
  }

  context_ptr context_;
};

}  // namespace

std::unique_ptr<usb_platform> make_libusb_platform() {
  return std::make_unique<libusb_platform>();
}

std::unique_ptr<usb_platform> make_platform() {
  return make_libusb_platform();
}

demo_image platform_demo_image() {
  return demo_image::refuse;
}

std::string platform_record_path() {
  return record::default_path(record::file_name);
}

}  // namespace vt
