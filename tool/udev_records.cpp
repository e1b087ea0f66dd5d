#include <libudev.h>

#include <cstdio>
#include <cstdlib>
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
    list.push_back(std::move(record));
  }
  return usb_error::ok;
}

}  // namespace vt
