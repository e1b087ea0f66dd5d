#include <libudev.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "libusb_platform.h"

namespace vt {

namespace {

struct udev_free {
  void operator()(udev* u) const { udev_unref(u); }
  void operator()(udev_enumerate* e) const { udev_enumerate_unref(e); }
  void operator()(udev_device* d) const { udev_device_unref(d); }
};
using udev_ptr = std::unique_ptr<udev, udev_free>;
using enumerate_ptr = std::unique_ptr<udev_enumerate, udev_free>;
using device_ptr = std::unique_ptr<udev_device, udev_free>;

// A sysfs number attribute ("09e8" in hexadecimal, "001" in decimal); 0 when it is missing or
// not a number.
unsigned long number_attribute(udev_device* device, const char* name, int base) {
  const char* text = udev_device_get_sysattr_value(device, name);
  if (text == nullptr) {
    return 0;
  }
  char* end = nullptr;
  const unsigned long value = std::strtoul(text, &end, base);
  return end != text ? value : 0;
}

// The bus, the address and the ports from the device's name in sysfs: "1-1.4" is port 4 of the
// hub on port 1 of bus 1's root hub; a root hub ("usb1") has no ports.
usb_place place_of(udev_device* device) {
  usb_place place;
  place.bus = static_cast<unsigned>(number_attribute(device, "busnum", 10));
  place.address = static_cast<unsigned>(number_attribute(device, "devnum", 10));
  const char* name = udev_device_get_sysname(device);
  const char* ports = name != nullptr ? std::strchr(name, '-') : nullptr;
  while (ports != nullptr) {
    char* end = nullptr;
    const unsigned long port = std::strtoul(ports + 1, &end, 10);
    if (end == ports + 1 || port > 255) {
      place.ports.clear();  // not a name the kernel gives: no port path rather than a wrong one
      break;
    }
    place.ports.push_back(static_cast<std::uint8_t>(port));
    ports = *end == '.' ? end : nullptr;
  }
  return place;
}

}  // namespace

usb_error udev_device_records(std::vector<usb_device_record>& list) {
  const udev_ptr context(udev_new());
  if (!context) {
    return usb_error::no_memory;
  }
  const enumerate_ptr search(udev_enumerate_new(context.get()));
  if (!search || udev_enumerate_add_match_subsystem(search.get(), "usb") < 0 ||
      udev_enumerate_add_match_property(search.get(), "DEVTYPE", "usb_device") < 0 ||
      udev_enumerate_scan_devices(search.get()) < 0) {
    return usb_error::other;
  }
  udev_list_entry* entry = nullptr;
  udev_list_entry_foreach(entry, udev_enumerate_get_list_entry(search.get())) {
    const device_ptr device(
        udev_device_new_from_syspath(context.get(), udev_list_entry_get_name(entry)));
    if (!device) {
      continue;  // gone since the scan
    }
    usb_device_record record;
    record.vendor_id = static_cast<std::uint16_t>(number_attribute(device.get(), "idVendor", 16));
    record.product_id = static_cast<std::uint16_t>(number_attribute(device.get(), "idProduct", 16));
    if (const char* product = udev_device_get_sysattr_value(device.get(), "product")) {
      record.product_name = product;
    }
    char location[64];
    std::snprintf(location, sizeof location, "bus %03lu device %03lu",
                  number_attribute(device.get(), "busnum", 10),
                  number_attribute(device.get(), "devnum", 10));
    record.location = location;
    record.place = place_of(device.get());
    list.push_back(std::move(record));
  }
  return usb_error::ok;
}

}  // namespace vt
