// The flash tool's text output (output.h) in the page: the same lines and progress records as on
// a terminal, handed to the page's log. The tool's image messages (os_image.cpp) and the lines of
// the device search and the protocol (text_listener.h) share it, and so one progress record.
#include "output.h"

#include <string>

#include "page_events.h"

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

}  // namespace vt::out
