// The platform interface on libusb-1.0: the real USB bus.
#pragma once

#include "usb.h"

namespace vt {

// The libusb context is created on the first enumeration; a machine without usbfs makes that
// enumeration fail (reported like any failed device search), never the program.
std::unique_ptr<usb_platform> make_libusb_platform();

#ifdef __linux__
// Every USB device in sysfs, through libudev: ids, product string and bus position as the kernel
// recorded them when the device arrived. Fails only when libudev cannot scan the devices.
usb_error udev_device_records(std::vector<usb_device_record>& list);

// The processes other than this one with the usbfs node of the device at `place`
// (/dev/bus/usb/BBB/DDD) open, as fuser finds them: each /proc/PID/fd entry that is that node,
// the name from /proc/PID/comm. Processes this user may not look into are skipped.
std::vector<usb_node_holder> linux_node_holders(const usb_place& place);
#endif

}  // namespace vt
