// The flash tool's two streams as lines of text, written to a sink: standard output and standard
// error for the tool, anything else for another front end that shows the same lines.
//
// A progress record ("\rErase  50% (32/64)") starts with a carriage return and ends without a
// line end, so on a terminal each record overwrites the one before. No other line ever continues
// it: an open record is ended with a line end on standard output before any line on either
// stream.
#pragma once

#include <cstdarg>
#include <cstdint>
#include <string>
#include <string_view>

namespace vt {

enum class text_stream { standard, error };

class line_sink {
 public:
  virtual ~line_sink() = default;
  // Writes `text` as it is; a lost write must not change what the caller does next.
  virtual void write(text_stream stream, std::string_view text) = 0;
};

class text_output {
 public:
  explicit text_output(line_sink& sink) : sink_(sink) {}

  // Text on standard output; `text` carries its own line end. An open record is ended first.
  void report(std::string_view text);
  // Text on standard error; `text` carries its own line end. An open record is ended first.
  void error(std::string_view text);
  // The progress record "\r%s %3u%% (%u/%u)": the percentage is done * 100 / total, rounded
  // down.
  void progress(const char* word, std::uint32_t done, std::uint32_t total);
  // Ends an open record with a line end on standard output; does nothing when none is open.
  void end_progress();

 private:
  line_sink& sink_;
  bool record_open_ = false;
};

// printf into a string.
std::string format_text(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string format_text_v(const char* format, std::va_list args)
    __attribute__((format(printf, 1, 0)));

}  // namespace vt
