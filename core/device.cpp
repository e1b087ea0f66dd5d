#include "device.h"

#include <cstdio>

#include "diagnosis.h"

namespace vt {

namespace {

constexpr std::uint8_t transfer_type_mask = 0x03;
constexpr std::uint8_t transfer_type_bulk = 0x02;
constexpr std::uint8_t direction_in = 0x80;

// The interfaces to try: those of the first configuration once it is active, or those of the
// active configuration when the device could not be reconfigured. -1 after a message.
int configure(usb_device& device, usb_connection& connection, usb_config_desc& config,
              event_listener& listener) {
  const std::uint8_t count = device.num_configurations();
  if (count == 0) {
    listener.call_failed("GetNumberOfConfigurations", usb_error::ok);
    return -1;
  }
  usb_config_desc first;
  if (const usb_error error = device.config_descriptor(0, first); error != usb_error::ok) {
    listener.call_failed("GetConfigurationDescriptorPtr", error);
    return -1;
  }
  int current = 0;
  const usb_error read_error = connection.get_configuration(current);
  if (read_error == usb_error::ok && current == first.value) {
    config = std::move(first);
    return 0;
  }
  const usb_error set_error = connection.set_configuration(first.value);
  if (set_error == usb_error::ok) {
    config = std::move(first);
    return 0;
  }
  if (set_error != usb_error::busy) {
    listener.call_failed("SetConfiguration", set_error);
    return -1;
  }
  // Another program holds the device: work with the configuration it has now.
  listener.configuration_kept(set_error);
  if (const usb_error error = connection.active_config_descriptor(config); error != usb_error::ok) {
    listener.call_failed("CreateInterfaceIterator", error);
    config.interfaces.clear();
  }
  return 0;
}

int open_on_device(usb_platform& platform, usb_device& device, unsigned vendor_id,
                   unsigned product_id, usb_handle& handle, event_listener& listener) {
  std::unique_ptr<usb_connection> connection;
  if (const usb_error error = device.open(connection); error != usb_error::ok) {
    listener.open_failed(error);
    return -1;
  }
  handle.connection = std::move(connection);
  usb_config_desc config;
  if (configure(device, *handle.connection, config, listener) != 0) {
    close_device(handle);
    return -1;
  }
  bool busy = false;
  for (const usb_interface_desc& interface : config.interfaces) {
    usb_error claim = usb_error::ok;
    if (try_open_interface(handle, interface, listener, &claim) == 0) {
      listener.device_opened(vendor_id, product_id, handle);
      return 0;
    }
    busy = busy || claim == usb_error::busy;
  }
  if (busy) {
    listener.interface_held(platform.node_holders(device.place()));
  }
  listener.no_bulk_interface();
  close_device(handle);
  return -1;
}

}  // namespace

usb_handle::~usb_handle() {
  close_device(*this);
}

int try_open_interface(usb_handle& handle, const usb_interface_desc& interface,
                       event_listener& listener, usb_error* claim_error) {
  std::uint8_t in_pipe = 0;
  std::uint8_t out_pipe = 0;
  std::uint8_t in_endpoint = 0;
  std::uint8_t out_endpoint = 0;
  for (std::size_t i = 0; i < interface.endpoints.size() && i < 255; ++i) {
    const usb_endpoint& endpoint = interface.endpoints[i];
    if ((endpoint.attributes & transfer_type_mask) != transfer_type_bulk) {
      continue;
    }
    const auto pipe = static_cast<std::uint8_t>(i + 1);
    if ((endpoint.address & direction_in) != 0) {
      if (in_pipe == 0) {
        in_pipe = pipe;
        in_endpoint = endpoint.address;
      }
    } else if (out_pipe == 0) {
      out_pipe = pipe;
      out_endpoint = endpoint.address;
    }
  }
  // Checked before claiming, so an unrelated interface keeps its driver.
  if (in_pipe == 0 || out_pipe == 0) {
    return -1;
  }
  if (const usb_error error = handle.connection->claim_interface(interface.number);
      error != usb_error::ok) {
    listener.call_failed("USBInterfaceOpen", error);
    if (claim_error != nullptr) {
      *claim_error = error;
    }
    return -1;
  }
  handle.interface_number = interface.number;
  handle.interface_opened = true;
  handle.in_pipe = in_pipe;
  handle.out_pipe = out_pipe;
  handle.in_endpoint = in_endpoint;
  handle.out_endpoint = out_endpoint;
  return 0;
}

void close_device(usb_handle& handle) {
  if (handle.connection && handle.interface_opened) {
    handle.connection->release_interface(handle.interface_number);
  }
  handle.interface_opened = false;
  handle.connection.reset();
}

int open_device(usb_platform& platform, unsigned vendor_id, unsigned product_id, usb_handle& handle,
                event_listener& listener) {
  std::vector<std::unique_ptr<usb_device>> devices;
  if (const usb_error error = platform.devices(devices); error != usb_error::ok) {
    listener.search_failed(error);
  }
  // The first device with the ids is the one used; another one with the same ids is not touched.
  for (const auto& device : devices) {
    if (device->vendor_id() == vendor_id && device->product_id() == product_id) {
      return open_on_device(platform, *device, vendor_id, product_id, handle, listener);
    }
  }
  listener.device_not_found(vendor_id, product_id);
  for (const usb_device_record& other : other_products(platform, vendor_id, product_id)) {
    listener.other_product_found(other);
  }
  return -1;
}

namespace {

// Length of the UTF-8 sequence at `at` (1 to 4), or 0 when the bytes there are not UTF-8.
std::size_t utf8_length(const std::string& text, std::size_t at) {
  const auto lead = static_cast<unsigned char>(text[at]);
  std::size_t length = 0;
  if (lead < 0x80) {
    return 1;
  }
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
  } else {
    return 0;
  }
  if (at + length > text.size()) {
    return 0;
  }
  for (std::size_t i = 1; i < length; ++i) {
    if ((static_cast<unsigned char>(text[at + i]) & 0xC0) != 0x80) {
      return 0;
    }
  }
  // Overlong and surrogate forms, and code points past U+10FFFF.
  const auto second = static_cast<unsigned char>(text[at + 1]);
  if ((lead == 0xE0 && second < 0xA0) || (lead == 0xED && second >= 0xA0) ||
      (lead == 0xF0 && second < 0x90) || (lead == 0xF4 && second >= 0x90)) {
    return 0;
  }
  return length;
}

void append_escaped(std::string& out, unsigned char byte) {
  char escape[5];
  std::snprintf(escape, sizeof escape, "\\x%02x", byte);
  out += escape;
}

}  // namespace

std::string printable_device_string(const std::string& text) {
  std::string out;
  for (std::size_t at = 0; at < text.size();) {
    const auto byte = static_cast<unsigned char>(text[at]);
    const std::size_t length = utf8_length(text, at);
    // C1 controls are U+0080 to U+009F: C2 80 to C2 9F in UTF-8.
    const bool c1 = length == 2 && byte == 0xC2 && static_cast<unsigned char>(text[at + 1]) < 0xA0;
    if (length == 0 || byte < 0x20 || byte == 0x7F || byte == '\\' || c1) {
      const std::size_t bytes = c1 ? 2 : 1;
      for (std::size_t i = 0; i < bytes; ++i) {
        append_escaped(out, static_cast<unsigned char>(text[at + i]));
      }
      at += bytes;
      continue;
    }
    out.append(text, at, length);
    at += length;
  }
  return out;
}

int list_iokit_class_devices(usb_platform& platform, const char* class_name, unsigned& count,
                             event_listener& listener) {
  std::vector<usb_device_record> records;
  if (const usb_error error = platform.device_records(records); error != usb_error::ok) {
    listener.search_failed(error);
    return -1;
  }
  for (const usb_device_record& record : records) {
    if (record.vendor_id == 0 && record.product_id == 0) {
      continue;
    }
    listener.device_listed(record, class_name);
    ++count;
  }
  return 0;
}

}  // namespace vt
