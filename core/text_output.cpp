#include "text_output.h"

#include <cstdarg>
#include <cstdio>

namespace vt {

void text_output::report(std::string_view text) {
  end_progress();
  sink_.write(text_stream::standard, text);
}

void text_output::error(std::string_view text) {
  end_progress();
  sink_.write(text_stream::error, text);
}

void text_output::progress(const char* word, std::uint32_t done, std::uint32_t total) {
  const auto percent = static_cast<unsigned>(static_cast<std::uint64_t>(done) * 100 / total);
  sink_.write(text_stream::standard, format_text("\r%s %3u%% (%u/%u)", word, percent, done, total));
  record_open_ = true;
}

void text_output::end_progress() {
  if (record_open_) {
    record_open_ = false;
    sink_.write(text_stream::standard, "\n");
  }
}

std::string format_text_v(const char* format, std::va_list args) {
  std::va_list again;
  va_copy(again, args);
  const int length = std::vsnprintf(nullptr, 0, format, args);
  std::string text;
  if (length > 0) {
    text.resize(static_cast<std::size_t>(length) + 1);
    std::vsnprintf(text.data(), text.size(), format, again);
    text.resize(static_cast<std::size_t>(length));
  }
  va_end(again);
  return text;
}

std::string format_text(const char* format, ...) {
  std::va_list args;
  va_start(args, format);
  std::string text = format_text_v(format, args);
  va_end(args);
  return text;
}

}  // namespace vt
