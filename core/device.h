// Finding and opening the sampler, listing the devices on the bus, closing what was opened.
#pragma once

#include <string>

#include "events.h"
#include "usb.h"

namespace vt {

// Finds the first device with the ids that has an interface with a bulk IN and a bulk OUT
// endpoint, configures it when needed and claims that interface. Tells the opened device and
// returns 0, or tells what failed and returns -1 with nothing left open. What failed is told with
// what the system knows of the cause, no device being opened for it: the devices of the vendor
// with another product after a search that found none, the processes that hold the device's node
// after a busy claim.
int open_device(usb_platform& platform, unsigned vendor_id, unsigned product_id, usb_handle& handle,
                event_listener& listener);

// Claims one interface and picks its first bulk IN and first bulk OUT pipe. 0, or -1 with the
// interface released; a claim that fails is told (and its error left in `claim_error` when
// given), an interface without both pipes is skipped silently.
int try_open_interface(usb_handle& handle, const usb_interface_desc& interface,
                       event_listener& listener, usb_error* claim_error = nullptr);

// Releases the interface and closes the device; safe to call on an empty or closed handle.
void close_device(usb_handle& handle);

// Tells each device whose ids are not both zero, from the system's records, and adds their number
// to `count`. Opens no device. 0, or -1 when the devices could not be enumerated.
int list_iokit_class_devices(usb_platform& platform, const char* class_name, unsigned& count,
                             event_listener& listener);

// A device string made safe for a terminal: control characters (C0, DEL, C1), bytes that are not
// UTF-8 and the backslash are written as \xNN escapes; everything else is kept.
std::string printable_device_string(const std::string& text);

}  // namespace vt
