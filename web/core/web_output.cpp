// The flash tool's text output (output.h) in the page: the same lines and progress records as on
// a terminal, handed to the page's log. The tool's image messages (os_image.cpp) and the lines of
// the device search and the protocol (text_listener.h) share it, and so one progress record.
#include "output.h"

#include <cstdarg>

#include "page_events.h"
#include "text_listener.h"

namespace vt::out {

namespace {

class page_sink final : public line_sink {
 public:
  void write(text_stream stream, std::string_view text) override {
    const std::string copy(text);
    web::send_text(stream == text_stream::standard ? web::stream::out : web::stream::err,
                   copy.c_str());
  }
};

}  // namespace

void unbuffer() {}

text_output& console() {
  static page_sink sink;
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

void error_line(const char* format, ...) {
  std::va_list args;
  va_start(args, format);
  console().error_line(format_text_v(format, args));
  va_end(args);
}

}  // namespace vt::out

namespace vt {

void print_call_failure(const char* call, usb_error error) {
  out::console().error(call_failure_line(call, ioreturn_code(error)));
}

}  // namespace vt
