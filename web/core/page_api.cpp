// The functions the page calls: the image rule, the device check and the installation, each the
// flash tool's own code on the platform the page chose (WebUSB, or the demo's simulated sampler).
// They return 0 or -1 as the tool's steps do; what the tool would print reaches the page's log.
#include <emscripten.h>

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

#include "demo_platform.h"
#include "device.h"
#include "event_fanout.h"
#include "image_file.h"
#include "loader.h"
#include "options.h"
#include "os_image.h"
#include "output.h"
#include "page_events.h"
#include "text_listener.h"
#include "webusb_platform.h"

namespace {

std::unique_ptr<vt::usb_platform> platform = vt::web::make_webusb_platform();
bool demo = false;

// What the device search and the protocol tell reaches the page twice: as the tool's lines for
// the log, and as phases and steps for the operation line and the bar.
struct page_listeners {
  vt::text_listener lines{vt::out::console()};
  vt::web::page_listener steps;
  vt::event_fanout both{&lines, &steps};
};

// What the image rule says of some bytes, for the page to explain.
enum image_verdict { image_ok, image_too_small, image_bad_signature, image_demo, image_too_large };

// The image rule: the tool's checks and messages. The demo image passes only in the demo, so it
// can never reach a real sampler from the page either.
image_verdict check_image(const std::uint8_t* bytes, std::size_t length) {
  if (static_cast<std::uint64_t>(length) > vt::max_image_length) {
    vt::out::error("Firmware file is too large.\n");
    return image_too_large;
  }
  if (vt::verify_mpc4000_firmware(bytes, length) != 0) {
    return length < vt::image::min_length ? image_too_small : image_bad_signature;
  }
  if (!demo && vt::image::is_demo(bytes, length)) {
    vt::out::error("Firmware file is Veltrin's demo image, not an MPC4000 OS.\n");
    return image_demo;
  }
  return image_ok;
}

}  // namespace

extern "C" {

// Switches to the demo's simulated sampler; `scenario` in vtflash-sim's syntax, empty for the
// demo's own. -1 after a message when the scenario is not understood.
EMSCRIPTEN_KEEPALIVE int vt_use_demo(const char* scenario, int paced) {
  std::unique_ptr<vt::usb_platform> sim = vt::web::make_demo_platform(scenario, paced != 0);
  if (!sim) {
    return -1;
  }
  platform = std::move(sim);
  demo = true;
  return 0;
}

EMSCRIPTEN_KEEPALIVE void vt_plug_demo(int plugged) {
  vt::web::plug_demo_sampler(plugged != 0);
}

// 0 when the bytes may be installed; else the image_verdict after the tool's message.
EMSCRIPTEN_KEEPALIVE int vt_check_image(const std::uint8_t* bytes, std::size_t length) {
  return check_image(bytes, length);
}

// Opens the sampler, reads its flash geometry into `geometry` (blocks, block size) and closes it.
EMSCRIPTEN_KEEPALIVE int vt_check_device(std::uint32_t* geometry) {
  page_listeners listeners;
  vt::usb_handle handle;
  if (vt::open_device(*platform, vt::default_vendor_id, vt::default_product_id, handle,
                      listeners.both) != 0) {
    return -1;
  }
  vt::flash_geometry found;
  if (vt::query_geometry(handle, found, listeners.both) != 0) {
    return -1;
  }
  geometry[0] = found.blocks;
  geometry[1] = found.block_size;
  return 0;
}

// The whole installation, as vtflash --firmware runs it after loading the image.
EMSCRIPTEN_KEEPALIVE int vt_install(const std::uint8_t* bytes, std::size_t length) {
  if (check_image(bytes, length) != image_ok) {
    return -1;
  }
  page_listeners listeners;
  vt::usb_handle handle;
  if (vt::open_device(*platform, vt::default_vendor_id, vt::default_product_id, handle,
                      listeners.both) != 0) {
    return -1;
  }
  vt::flash_geometry geometry;
  if (vt::query_geometry(handle, geometry, listeners.both) != 0) {
    return -1;
  }
  // Nothing in the page stops an installation half-way: closing the tab asks first.
  const vt::cancel_token never;
  return vt::run_update(handle, bytes, length, geometry, vt::default_chunk_size, listeners.both,
                        never);
}

}  // extern "C"
