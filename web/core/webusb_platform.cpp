#include "webusb_platform.h"

#include <emscripten.h>

#include <array>

namespace vt::web {

namespace {

// The bridge answers with the position of the error in usb_error, 0 for ok.
usb_error as_error(int code) {
  if (code < 0 || code > static_cast<int>(usb_error::other)) {
    return usb_error::other;
  }
  return static_cast<usb_error>(code);
}

// clang-format off
EM_ASYNC_JS(int, js_list, (), {
  return await Module.usbBridge.list();
});

EM_JS(int, js_ids, (int device), {
  return Module.usbBridge.ids(device);
});

EM_JS(int, js_describe, (int device, int configuration, unsigned char* out, int capacity), {
  const bytes = Module.usbBridge.describe(device, configuration);
  if (bytes.length > capacity) return -1;
  HEAPU8.set(bytes, out);
  return bytes.length;
});

EM_ASYNC_JS(int, js_open, (int device), {
  return await Module.usbBridge.open(device);
});

EM_ASYNC_JS(void, js_close, (int device), {
  await Module.usbBridge.close(device);
});

EM_JS(int, js_configuration, (int device), {
  return Module.usbBridge.configuration(device);
});

EM_ASYNC_JS(int, js_select_configuration, (int device, int value), {
  return await Module.usbBridge.selectConfiguration(device, value);
});

EM_ASYNC_JS(int, js_claim, (int device, int number), {
  return await Module.usbBridge.claimInterface(device, number);
});

EM_ASYNC_JS(void, js_release, (int device, int number), {
  await Module.usbBridge.releaseInterface(device, number);
});

EM_ASYNC_JS(int, js_transfer_out, (int device, int endpoint, const unsigned char* data, int length,
                                   unsigned timeout, int* moved), {
  const result = await Module.usbBridge.transferOut(device, endpoint,
                                                    HEAPU8.slice(data, data + length), timeout);
  HEAP32[moved >> 2] = result.moved;
  return result.error;
});

EM_ASYNC_JS(int, js_transfer_in, (int device, int endpoint, unsigned char* data, int length,
                                  unsigned timeout, int* moved), {
  const result = await Module.usbBridge.transferIn(device, endpoint, length, timeout);
  const got = result.bytes ? result.bytes.subarray(0, length) : new Uint8Array(0);
  HEAPU8.set(got, data);
  HEAP32[moved >> 2] = got.length;
  return result.error;
});
// clang-format on

// The bridge describes a configuration as bytes: its value, the number of interfaces, then per
// interface its number, its endpoint count and each endpoint's address and attributes.
bool read_description(int device, int configuration, usb_config_desc& config) {
  std::array<unsigned char, 1024> bytes{};
  const int length = js_describe(device, configuration, bytes.data(), bytes.size());
  if (length < 2) {
    return false;
  }
  const auto end = static_cast<std::size_t>(length);
  std::size_t at = 0;
  config.value = bytes[at++];
  const unsigned interfaces = bytes[at++];
  config.interfaces.clear();
  for (unsigned i = 0; i < interfaces && at + 2 <= end; ++i) {
    usb_interface_desc interface;
    interface.number = bytes[at++];
    const unsigned endpoints = bytes[at++];
    for (unsigned e = 0; e < endpoints && at + 2 <= end; ++e) {
      interface.endpoints.push_back({bytes[at], bytes[at + 1]});
      at += 2;
    }
    config.interfaces.push_back(std::move(interface));
  }
  return true;
}

class webusb_connection final : public usb_connection {
 public:
  explicit webusb_connection(int device) : device_(device) {}
  ~webusb_connection() override { js_close(device_); }
  webusb_connection(const webusb_connection&) = delete;
  webusb_connection& operator=(const webusb_connection&) = delete;

  usb_error get_configuration(int& value) override {
    value = js_configuration(device_);
    return usb_error::ok;
  }
  usb_error set_configuration(int value) override {
    return as_error(js_select_configuration(device_, value));
  }
  usb_error active_config_descriptor(usb_config_desc& config) override {
    return read_description(device_, -1, config) ? usb_error::ok : usb_error::other;
  }
  usb_error claim_interface(std::uint8_t number) override {
    return as_error(js_claim(device_, number));
  }
  void release_interface(std::uint8_t number) override { js_release(device_, number); }
  // WebUSB names an endpoint by its number; the direction comes from the call.
  usb_error bulk_write(std::uint8_t endpoint, const std::uint8_t* data, std::size_t length,
                       std::size_t& transferred, unsigned timeout_ms) override {
    int moved = 0;
    const int error = js_transfer_out(device_, endpoint & 0x0F, data, static_cast<int>(length),
                                      timeout_ms, &moved);
    transferred = static_cast<std::size_t>(moved);
    return as_error(error);
  }
  usb_error bulk_read(std::uint8_t endpoint, std::uint8_t* data, std::size_t length,
                      std::size_t& transferred, unsigned timeout_ms) override {
    int moved = 0;
    const int error = js_transfer_in(device_, endpoint & 0x0F, data, static_cast<int>(length),
                                     timeout_ms, &moved);
    transferred = static_cast<std::size_t>(moved);
    return as_error(error);
  }

 private:
  int device_;
};

class webusb_device final : public usb_device {
 public:
  explicit webusb_device(int device) : device_(device), ids_(js_ids(device)) {}

  std::uint16_t vendor_id() const override { return static_cast<std::uint16_t>(ids_ >> 16); }
  std::uint16_t product_id() const override { return static_cast<std::uint16_t>(ids_); }
  std::uint8_t num_configurations() const override {
    usb_config_desc config;
    std::uint8_t count = 0;
    while (count < 255 && read_description(device_, count, config)) {
      ++count;
    }
    return count;
  }
  std::string location() const override { return "WebUSB device " + std::to_string(device_); }
  // The browser does not tell where a device sits on the bus.
  usb_place place() const override { return {}; }
  usb_error config_descriptor(std::uint8_t index, usb_config_desc& config) override {
    return read_description(device_, index, config) ? usb_error::ok : usb_error::other;
  }
  usb_error open(std::unique_ptr<usb_connection>& connection) override {
    const usb_error error = as_error(js_open(device_));
    if (error == usb_error::ok) {
      connection = std::make_unique<webusb_connection>(device_);
    }
    return error;
  }

 private:
  int device_;
  unsigned ids_;
};

class webusb_platform final : public usb_platform {
 public:
  usb_error devices(std::vector<std::unique_ptr<usb_device>>& list) override {
    const int count = js_list();
    if (count < 0) {
      return usb_error::other;
    }
    for (int i = 0; i < count; ++i) {
      list.push_back(std::make_unique<webusb_device>(i));
    }
    return usb_error::ok;
  }
  // The devices the user allowed, as records: the browser offers no others.
  usb_error device_records(std::vector<usb_device_record>& list) override {
    std::vector<std::unique_ptr<usb_device>> found;
    const usb_error error = devices(found);
    for (const auto& device : found) {
      list.push_back({device->vendor_id(), device->product_id(), {}, device->location(), {}});
    }
    return error;
  }
  // Arrivals and departures reach the page as navigator.usb events, not through the core.
  bool has_hotplug() const override { return false; }
  usb_error watch(std::uint16_t, usb_hotplug_listener, std::unique_ptr<usb_watch>&) override {
    return usb_error::other;
  }
  // The browser does not tell which programs hold a device.
  std::vector<usb_node_holder> node_holders(const usb_place&) override { return {}; }
};

}  // namespace

std::unique_ptr<usb_platform> make_webusb_platform() {
  return std::make_unique<webusb_platform>();
}

}  // namespace vt::web
