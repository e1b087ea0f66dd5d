// What the device search and the loader protocol tell as they go. They print nothing themselves:
// a front end listens and says it in its own way (text_listener.h has the flash tool's lines).
// Every event has an empty default, so a listener takes only what it needs.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "usb.h"

namespace vt {

struct flash_geometry {
  std::uint32_t blocks = 0;
  std::uint32_t block_size = 0;
  std::uint64_t size() const { return static_cast<std::uint64_t>(blocks) * block_size; }
};

enum class update_phase { erase, write };

// How an installation that began ended.
struct update_ending {
  enum class outcome { completed, failed, stopped };
  outcome how = outcome::completed;
  update_phase where = update_phase::erase;  // failed and stopped only
  std::uint32_t position = 0;  // the erase block, or the write chunk's byte offset in the image
  // Completed only: what was done and how long each phase took.
  std::uint32_t blocks_erased = 0;
  std::uint64_t bytes_written = 0;
  std::chrono::nanoseconds erase_time{0};
  std::chrono::nanoseconds write_time{0};
};

// Why an installation was refused before anything was erased.
enum class update_refusal { suspicious_geometry, image_too_large, chunk_size_zero };

class event_listener {
 public:
  virtual ~event_listener() = default;

  // The device search.
  // The platform could not list the devices on the bus.
  virtual void search_failed(usb_error) {}
  virtual void device_not_found(unsigned /*vendor_id*/, unsigned /*product_id*/) {}
  // After device_not_found, for each device of the vendor with another product that the system's
  // records show; none is opened.
  virtual void other_product_found(const usb_device_record&) {}
  // The sampler was found but could not be opened; usb_error::access means no permission.
  virtual void open_failed(usb_error) {}
  // Setting up the opened device failed at the platform call named (its IOKit name).
  virtual void call_failed(const char* /*call*/, usb_error) {}
  // Another program holds the device's configuration: the search goes on with the current one.
  virtual void configuration_kept(usb_error) {}
  // After a claim that failed as busy: the processes that have the device's node open, as the
  // system tells; empty when it names none.
  virtual void interface_held(const std::vector<usb_node_holder>& /*holders*/) {}
  virtual void no_bulk_interface() {}
  virtual void device_opened(unsigned /*vendor_id*/, unsigned /*product_id*/, const usb_handle&) {}
  // One device of a listing; `class_name` is empty where the platform has no device classes.
  virtual void device_listed(const usb_device_record&, const char* /*class_name*/) {}

  // The protocol's transfers: a call that failed is told by call_failed ("USB write", "USB read").
  virtual void short_read(std::size_t /*received*/, std::size_t /*expected*/) {}
  virtual void bad_status_signature(const std::uint8_t* /*four_bytes*/) {}
  virtual void status_error(std::uint8_t /*code*/) {}

  // The installation.
  virtual void geometry_read(const flash_geometry&) {}
  virtual void update_refused(update_refusal, std::size_t /*image_length*/, const flash_geometry&) {
  }
  virtual void update_planned(std::size_t /*image_length*/, const flash_geometry&) {}
  // Erase begins: from here on the sampler has no working OS until the installation completes.
  virtual void phase_begins(update_phase) {}
  virtual void block_erased(std::uint32_t /*done*/, std::uint32_t /*blocks*/) {}
  virtual void chunk_written(std::uint32_t /*done*/, std::uint32_t /*chunks*/,
                             std::uint32_t /*offset*/) {}
  // The installation that began (phase_begins(erase)) has ended.
  virtual void update_ends(const update_ending&) {}
};

}  // namespace vt
