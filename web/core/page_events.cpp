#include "page_events.h"

#include <emscripten.h>

namespace {

// clang-format off
EM_JS(void, js_text, (int stream, const char* text), {
  if (Module.onText) Module.onText(stream, UTF8ToString(text));
});

EM_JS(void, js_phase, (int write), {
  if (Module.onPhase) Module.onPhase(write ? 'write' : 'erase');
});

EM_JS(void, js_progress, (int write, unsigned done, unsigned total), {
  if (Module.onProgress) Module.onProgress(write ? 'write' : 'erase', done >>> 0, total >>> 0);
});

EM_ASYNC_JS(void, js_pause, (unsigned ms), {
  await new Promise(resolve => setTimeout(resolve, ms));
});
// clang-format on

}  // namespace

namespace vt::web {

void send_text(stream where, const char* text) {
  js_text(static_cast<int>(where), text);
}

void page_listener::phase_begins(update_phase phase) {
  js_phase(phase == update_phase::write);
}

void page_listener::block_erased(std::uint32_t done, std::uint32_t blocks) {
  js_progress(0, done, blocks);
}

void page_listener::chunk_written(std::uint32_t done, std::uint32_t chunks, std::uint32_t) {
  js_progress(1, done, chunks);
}

void pause_for(unsigned ms) {
  js_pause(ms);
}

}  // namespace vt::web
