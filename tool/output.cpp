#include "output.h"

#include <cstdarg>
#include <cstdio>

namespace vt::out {

namespace {

bool record_open = false;

// The result of a print is not looked at: a lost line must not change the run.
void print(std::FILE* stream, const char* format, std::va_list args) {
  std::vfprintf(stream, format, args);
}

}  // namespace

void unbuffer() {
  std::setvbuf(stdout, nullptr, _IONBF, 0);
  std::setvbuf(stderr, nullptr, _IONBF, 0);
}

void report(const char* format, ...) {
  end_progress();
  std::va_list args;
  va_start(args, format);
  print(stdout, format, args);
  va_end(args);
}

void error(const char* format, ...) {
  std::va_list args;
  va_start(args, format);
  print(stderr, format, args);
  va_end(args);
}

void failure_context(const char* format, ...) {
  record_open = false;
  std::fputc('\n', stderr);
  std::va_list args;
  va_start(args, format);
  print(stderr, format, args);
  va_end(args);
}

void error_line(const char* format, ...) {
  if (record_open) {
    record_open = false;
    std::fputc('\n', stderr);
  }
  std::va_list args;
  va_start(args, format);
  print(stderr, format, args);
  va_end(args);
}

void progress(const char* word, std::uint32_t done, std::uint32_t total) {
  const auto percent = static_cast<unsigned>(static_cast<std::uint64_t>(done) * 100 / total);
  std::printf("\r%s %3u%% (%u/%u)", word, percent, done, total);
  std::fflush(stdout);
  record_open = true;
}

void end_progress() {
  if (record_open) {
    record_open = false;
    std::fputc('\n', stdout);
  }
}

bool progress_open() {
  return record_open;
}

}  // namespace vt::out
