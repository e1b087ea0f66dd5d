#include "output.h"

#include <cstdarg>
#include <cstdio>
#include <string>

#include "text_listener.h"

namespace vt::out {

namespace {

class stdio_sink final : public line_sink {
 public:
  // The result of a write is not looked at: a lost line must not change the run.
  void write(text_stream stream, std::string_view text) override {
    std::fwrite(text.data(), 1, text.size(), stream == text_stream::standard ? stdout : stderr);
  }
};

}  // namespace

void unbuffer() {
  std::setvbuf(stdout, nullptr, _IONBF, 0);
  std::setvbuf(stderr, nullptr, _IONBF, 0);
}

text_output& console() {
  static stdio_sink sink;
  static text_output output(sink);
  return output;
}

void report(const char* format, ...) {
  std::va_list args;
  va_start(args, format);
  console().report(format_text_v(format, args));
  va_end(args);
}

void error(const char* format, ...) {
  std::va_list args;
  va_start(args, format);
  console().error(format_text_v(format, args));
  va_end(args);
}

}  // namespace vt::out

namespace vt {

void print_call_failure(const char* call, usb_error error) {
  out::console().error(call_failure_line(call, ioreturn_code(error)));
}

}  // namespace vt
