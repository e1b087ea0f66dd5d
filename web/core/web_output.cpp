// The flash tool's output functions (output.h) in the page: the same texts, progress records and
// line ends, handed to the page instead of written to the terminal.
#include <cstdarg>
#include <cstdio>
#include <string>

#include "output.h"
#include "page_events.h"

namespace vt::out {

namespace {

bool record_open = false;

void print(web::stream where, const char* format, std::va_list args) {
  std::va_list copy;
  va_copy(copy, args);
  const int length = std::vsnprintf(nullptr, 0, format, copy);
  va_end(copy);
  if (length < 0) {
    return;
  }
  std::string text(static_cast<std::size_t>(length), '\0');
  std::vsnprintf(text.data(), text.size() + 1, format, args);
  web::send_text(where, text.c_str());
}

}  // namespace

void unbuffer() {}

void report(const char* format, ...) {
  end_progress();
  std::va_list args;
  va_start(args, format);
  print(web::stream::out, format, args);
  va_end(args);
}

void error(const char* format, ...) {
  std::va_list args;
  va_start(args, format);
  print(web::stream::err, format, args);
  va_end(args);
}

void failure_context(const char* format, ...) {
  record_open = false;
  web::send_text(web::stream::err, "\n");
  std::va_list args;
  va_start(args, format);
  print(web::stream::err, format, args);
  va_end(args);
}

void error_line(const char* format, ...) {
  if (record_open) {
    record_open = false;
    web::send_text(web::stream::err, "\n");
  }
  std::va_list args;
  va_start(args, format);
  print(web::stream::err, format, args);
  va_end(args);
}

void progress(const char* word, std::uint32_t done, std::uint32_t total) {
  const auto percent = static_cast<unsigned>(static_cast<std::uint64_t>(done) * 100 / total);
  char text[64];
  std::snprintf(text, sizeof text, "\r%s %3u%% (%u/%u)", word, percent, done, total);
  web::send_text(web::stream::out, text);
  web::send_progress(word, done, total);
  record_open = true;
}

void end_progress() {
  if (record_open) {
    record_open = false;
    web::send_text(web::stream::out, "\n");
  }
}

bool progress_open() {
  return record_open;
}

}  // namespace vt::out

namespace vt {

// Nothing in the page can ask an installation to stop half-way: closing the tab asks first.
bool stop_requested() {
  return false;
}

}  // namespace vt
