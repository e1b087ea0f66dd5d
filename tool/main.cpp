// vtflash: installs the operating system of an MPC4000 sampler in its "OS Loader" mode over USB.
//
// Exit status 0 for success, 1 for a failure after the command line was accepted, 2 for a
// command-line error.
#include <csignal>
#include <string>

#include "cancel.h"
#include "device.h"
#include "event_fanout.h"
#include "image_hash.h"
#include "install_guard.h"
#include "install_recorder.h"
#include "loader.h"
#include "options.h"
#include "os_image.h"
#include "output.h"
#include "text_listener.h"
#include "usb.h"
#include "watch.h"

namespace {

// On macOS the devices are searched by their IOKit class; elsewhere the system's device records
// have no classes, and one pass lists every device.
#ifdef __APPLE__
constexpr const char* list_heading = "IOKit USB devices:";
constexpr const char* list_class = "IOUSBHostDevice";
#else
constexpr const char* list_heading = "USB devices:";
constexpr const char* list_class = "";
#endif

int run_list(vt::usb_platform& platform, vt::event_listener& lines) {
  vt::out::report("%s\n", list_heading);
  unsigned count = 0;
  const int result = vt::list_iokit_class_devices(platform, list_class, count, lines);
  if (count == 0) {
    vt::out::report("  <none>\n");
  }
  return result == 0 ? 0 : 1;
}

// `listener` hears the device search and the protocol: the tool's lines, and during an
// installation its record as well.
int run_device(vt::usb_platform& platform, const vt::tool_options& options,
               const vt::os_image* image, vt::event_listener& listener) {
  vt::usb_handle handle;  // closed on every path when it goes out of scope
  if (vt::open_device(platform, options.vendor_id, options.product_id, handle, listener) != 0) {
    return 1;
  }
  vt::flash_geometry geometry;
  if (vt::query_geometry(handle, geometry, listener) != 0) {
    return 1;
  }
  if (image == nullptr || !image->loaded) {
    return 0;
  }
  // From the first erase to the last chunk nothing may stop the installation by accident.
  vt::cancel_token cancel;
  const vt::install_guard guard(cancel);
  return vt::run_update(handle, image->bytes.get(), image->length, geometry, options.chunk_size,
                        listener, cancel, platform.clock()) == 0
             ? 0
             : 1;
}

}  // namespace

int main(int argc, char** argv) {
  // Unbuffered, so a reader sees every progress record the moment it is printed.
  vt::out::unbuffer();
  // A reader that went away (Veltrin quit, `| head`) must not end the tool in the middle of an
  // installation: its output is lost, the run goes on, the exit status tells how it ended.
  std::signal(SIGPIPE, SIG_IGN);

  vt::tool_options options;
  vt::run_mode mode = vt::MODE_INFO;
  if (const int status = vt::parse_options(argc, argv, options, mode); status >= 0) {
    return status;
  }

  vt::os_image image;
  std::string sha256;  // of the bytes loaded, which are the bytes written
  if (mode == vt::MODE_INSTALL) {
    if (vt::load_os_image(options.firmware_path, image, vt::platform_demo_image()) != 0) {
      return 1;
    }
    sha256 = vt::image_sha256(image.bytes.get(), image.length);
    if (vt::check_image_sha256(sha256, options.sha256) != 0) {
      return 1;
    }
  }

  const std::unique_ptr<vt::usb_platform> platform = vt::make_platform();
  if (!platform) {
    return 1;
  }
  vt::text_listener lines(vt::out::console());
  if (mode == vt::MODE_LIST) {
    return run_list(*platform, lines);
  }
  if (mode == vt::MODE_WATCH) {
    return vt::run_watch(*platform, options.vendor_id, options.product_id);
  }
  if (mode == vt::MODE_INSTALL) {
    vt::install_recorder recorder(vt::platform_record_path(), options.firmware_path, sha256);
    // The lines first, so a warning about the record follows the line of the step it concerns.
    vt::event_fanout both{&lines, &recorder};
    return run_device(*platform, options, &image, both);
  }
  return run_device(*platform, options, nullptr, lines);
}
