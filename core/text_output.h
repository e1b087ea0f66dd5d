// The flash tool's two streams as lines of text, written to a sink: standard output and standard
// error for the tool, anything else for another front end that shows the same lines.
//
// A progress record ("\rErase  50% (32/64)") starts with a carriage return and ends without a
// line end, so on a terminal each record overwrites the one before. A record stays open until
// the phase ends it (`end_progress`), a caller's context line after a failed step ends it
// (`failure_context`), or a line on standard output starts.
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
  // Text on standard error; `text` carries its own line end. A failed step's own message follows
  // an open record on its line; the caller's context line after it ends the record.
  void error(std::string_view text);
  // The caller's line of context after a failed step ("Erase failed at block 3.\n"): a line end
  // first, which ends an open record (and stands the line apart from the step's message when
  // none was open), then the text, all on standard error.
  void failure_context(std::string_view text);
  // A line on standard error that ends an open record first, and only then: for messages that
  // come while a phase runs but are no step's failure.
  void error_line(std::string_view text);
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
