#include "device.h"

#include "output.h"

namespace vt {

namespace {

constexpr std::uint8_t transfer_type_mask = 0x03;
constexpr std::uint8_t transfer_type_bulk = 0x02;
constexpr std::uint8_t direction_in = 0x80;

// A normal user may open the sampler only where a udev rule grants access to it.
#ifdef __linux__
constexpr const char* permission_hint =
    "No permission to open the sampler: install the udev rule 70-veltrin.rules (see README) or "
    "run as root.\n";
#else
constexpr const char* permission_hint = "No permission to open the sampler.\n";
#endif

// The interfaces to try: those of the first configuration once it is active, or those of the
// active configuration when the device could not be reconfigured. -1 after a message.
int configure(usb_device& device, usb_connection& connection, usb_config_desc& config) {
  const std::uint8_t count = device.num_configurations();
  if (count == 0) {
    print_call_failure("GetNumberOfConfigurations", usb_error::ok);
    return -1;
  }
  usb_config_desc first;
  if (const usb_error error = device.config_descriptor(0, first); error != usb_error::ok) {
    print_call_failure("GetConfigurationDescriptorPtr", error);
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
    print_call_failure("SetConfiguration", set_error);
    return -1;
  }
  // Another program holds the device: work with the configuration it has now.
  out::error(
      "Warning: USBDeviceOpen failed (0x%08x), continuing with the current "
      "configuration.\n",
      ioreturn_code(set_error));
  if (const usb_error error = connection.active_config_descriptor(config); error != usb_error::ok) {
    print_call_failure("CreateInterfaceIterator", error);
    config.interfaces.clear();
  }
  return 0;
}

int open_on_device(usb_device& device, unsigned vendor_id, unsigned product_id,
                   usb_handle& handle) {
  std::unique_ptr<usb_connection> connection;
  if (const usb_error error = device.open(connection); error != usb_error::ok) {
    print_call_failure("IOCreatePlugInInterfaceForService(device)", error);
    if (error == usb_error::access) {
      out::error("%s", permission_hint);
    }
    return -1;
  }
  handle.connection = std::move(connection);
  usb_config_desc config;
  if (configure(device, *handle.connection, config) != 0) {
    close_device(handle);
    return -1;
  }
  for (const usb_interface_desc& interface : config.interfaces) {
    if (try_open_interface(handle, interface) == 0) {
      out::report("Opened AKAI USB device %04x:%04x, interface %u, IN pipe %u, OUT pipe %u.\n",
                  vendor_id, product_id, handle.interface_number, handle.in_pipe, handle.out_pipe);
      return 0;
    }
  }
  out::error("Could not find/open a bulk IN/OUT interface on the AKAI device.\n");
  close_device(handle);
  return -1;
}

}  // namespace

usb_handle::~usb_handle() {
  close_device(*this);
}

int try_open_interface(usb_handle& handle, const usb_interface_desc& interface) {
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
    print_call_failure("USBInterfaceOpen", error);
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

int open_device(usb_platform& platform, unsigned vendor_id, unsigned product_id,
                usb_handle& handle) {
  std::vector<std::unique_ptr<usb_device>> devices;
  if (const usb_error error = platform.devices(devices); error != usb_error::ok) {
    print_call_failure("IOServiceGetMatchingServices", error);
  }
  // The first device with the ids is the one used; another one with the same ids is not touched.
  for (const auto& device : devices) {
    if (device->vendor_id() == vendor_id && device->product_id() == product_id) {
      return open_on_device(*device, vendor_id, product_id, handle);
    }
  }
  out::error("AKAI device %04x:%04x was not found.\n", vendor_id, product_id);
  return -1;
}

int list_iokit_class_devices(usb_platform& platform, const char* class_name, unsigned& count) {
  std::vector<std::unique_ptr<usb_device>> devices;
  if (const usb_error error = platform.devices(devices); error != usb_error::ok) {
    print_call_failure("IOServiceGetMatchingServices", error);
    return -1;
  }
  for (const auto& device : devices) {
    if (device->vendor_id() == 0 && device->product_id() == 0) {
      continue;
    }
    std::string name;
    std::unique_ptr<usb_connection> connection;
    if (device->open(connection) == usb_error::ok) {
      name = connection->product_name();
    }
    if (name.empty()) {
      name = device->location();
    }
    const bool has_class = class_name != nullptr && class_name[0] != '\0';
    out::report("  %04x:%04x  %s%s%s\n", device->vendor_id(), device->product_id(), name.c_str(),
                has_class ? "  " : "", has_class ? class_name : "");
    ++count;
  }
  return 0;
}

}  // namespace vt
