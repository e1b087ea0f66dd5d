// What the core tells the page: the text the flash tool would print, piece by piece on its two
// streams, and the installation's phases and steps as numbers. The page sets the receivers when it
// creates the module (onText, onPhase, onProgress); without them the events go nowhere.
#pragma once

#include <cstdint>

#include "events.h"

namespace vt::web {

enum class stream { out = 1, err = 2 };

void send_text(stream where, const char* text);

// The phases and steps of an installation, for the page's operation line and bar.
class page_listener final : public event_listener {
 public:
  void phase_begins(update_phase phase) override;
  void block_erased(std::uint32_t done, std::uint32_t blocks) override;
  void chunk_written(std::uint32_t done, std::uint32_t chunks, std::uint32_t offset) override;
};

// Lets the browser run (paint, timers, events) for at least `ms` milliseconds before going on.
void pause_for(unsigned ms);

}  // namespace vt::web
