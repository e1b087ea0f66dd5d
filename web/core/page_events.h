// What the core tells the page: the text the flash tool would print, piece by piece on its two
// streams, and each progress step as numbers. The page sets the receivers when it creates the
// module (onText, onProgress); without them the events go nowhere.
#pragma once

#include <cstdint>

namespace vt::web {

enum class stream { out = 1, err = 2 };

void send_text(stream where, const char* text);
void send_progress(const char* word, std::uint32_t done, std::uint32_t total);

// Lets the browser run (paint, timers, events) for at least `ms` milliseconds before going on.
void pause_for(unsigned ms);

}  // namespace vt::web
