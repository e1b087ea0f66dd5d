// Several listeners hearing the same events, in the order they were added.
#pragma once

#include <initializer_list>
#include <vector>

#include "events.h"

namespace vt {

class event_fanout final : public event_listener {
 public:
  event_fanout(std::initializer_list<event_listener*> listeners) : listeners_(listeners) {}

  void search_failed(usb_error e) override { each(&event_listener::search_failed, e); }
  void device_not_found(unsigned v, unsigned p) override {
    each(&event_listener::device_not_found, v, p);
  }
  void other_product_found(const usb_device_record& r) override {
    each(&event_listener::other_product_found, r);
  }
  void open_failed(usb_error e) override { each(&event_listener::open_failed, e); }
  void call_failed(const char* call, usb_error e) override {
    each(&event_listener::call_failed, call, e);
  }
  void configuration_kept(usb_error e) override { each(&event_listener::configuration_kept, e); }
  void interface_held(const std::vector<usb_node_holder>& h) override {
    each(&event_listener::interface_held, h);
  }
  void no_bulk_interface() override { each(&event_listener::no_bulk_interface); }
  void device_opened(unsigned v, unsigned p, const usb_handle& h) override {
    each(&event_listener::device_opened, v, p, h);
  }
  void device_listed(const usb_device_record& r, const char* c) override {
    each(&event_listener::device_listed, r, c);
  }
  void short_read(std::size_t got, std::size_t want) override {
    each(&event_listener::short_read, got, want);
  }
  void bad_status_signature(const std::uint8_t* s) override {
    each(&event_listener::bad_status_signature, s);
  }
  void status_error(std::uint8_t code) override { each(&event_listener::status_error, code); }
  void geometry_read(const flash_geometry& g) override { each(&event_listener::geometry_read, g); }
  void update_refused(update_refusal why, std::size_t length, const flash_geometry& g) override {
    each(&event_listener::update_refused, why, length, g);
  }
  void update_planned(std::size_t length, const flash_geometry& g) override {
    each(&event_listener::update_planned, length, g);
  }
  void phase_begins(update_phase p) override { each(&event_listener::phase_begins, p); }
  void block_erased(std::uint32_t done, std::uint32_t blocks) override {
    each(&event_listener::block_erased, done, blocks);
  }
  void chunk_written(std::uint32_t done, std::uint32_t chunks, std::uint32_t offset) override {
    each(&event_listener::chunk_written, done, chunks, offset);
  }
  void update_ends(const update_ending& how) override { each(&event_listener::update_ends, how); }

 private:
  template <typename Method, typename... Args>
  void each(Method method, const Args&... args) {
    for (event_listener* listener : listeners_) {
      (listener->*method)(args...);
    }
  }

  std::vector<event_listener*> listeners_;
};

}  // namespace vt
