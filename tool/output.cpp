#include "output.h"

#include <cstdio>
#include <string_view>

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

}  // namespace vt::out
