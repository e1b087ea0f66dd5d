// The tool's own lines through whichever console the front end links (output.h): the command
// line's two streams, or the page's log.
#include <cstdarg>

#include "output.h"
#include "text_listener.h"

namespace vt::out {

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
