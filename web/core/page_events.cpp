#include "page_events.h"

#include <emscripten.h>

namespace {

// clang-format off
EM_JS(void, js_text, (int stream, const char* text), {
  if (Module.onText) Module.onText(stream, UTF8ToString(text));
});

EM_JS(void, js_progress, (const char* word, unsigned done, unsigned total), {
  if (Module.onProgress) Module.onProgress(UTF8ToString(word), done >>> 0, total >>> 0);
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

void send_progress(const char* word, std::uint32_t done, std::uint32_t total) {
  js_progress(word, done, total);
}

void pause_for(unsigned ms) {
  js_pause(ms);
}

}  // namespace vt::web
