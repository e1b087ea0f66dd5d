// Finding and opening the sampler, listing the devices on the bus, closing what was opened.
#pragma once

#include "usb.h"

namespace vt {

// Finds the first device with the ids that has an interface with a bulk IN and a bulk OUT
// endpoint, configures it when needed and claims that interface. Prints the opened line and
// returns 0, or prints what failed and returns -1 with nothing left open. What failed is told
// with what the system knows of the cause: the devices of the vendor with another product after
// a search that found none, the programs that hold the interface after a busy claim.
int open_device(usb_platform& platform, unsigned vendor_id, unsigned product_id,
                usb_handle& handle);

// Claims one interface and picks its first bulk IN and first bulk OUT pipe. 0, or -1 with the
// interface released; a claim that fails prints its line (and leaves its error in `claim_error`
// when given), an interface without both pipes is skipped silently.
int try_open_interface(usb_handle& handle, const usb_interface_desc& interface,
                       usb_error* claim_error = nullptr);

// Releases the interface and closes the device; safe to call on an empty or closed handle.
void close_device(usb_handle& handle);

// Prints "  vvvv:pppp  name  class" (no class column when the class is empty) for each device
// whose ids are not both zero and adds the number of lines to `count`. Opens no device; control
// characters in a name are printed escaped. 0, or -1 when the devices could not be enumerated.
int list_iokit_class_devices(usb_platform& platform, const char* class_name, unsigned& count);

// A device string made safe for a terminal: control characters (C0, DEL, C1), bytes that are not
// UTF-8 and the backslash are written as \xNN escapes; everything else is kept.
std::string printable_device_string(const std::string& text);

}  // namespace vt
