// Everything the flash tool prints goes through these functions: the lines a run reports on
// standard output, the progress records, and every failure line on standard error.
//
// Both streams are unbuffered, so a reader (the application reads both through one pipe) sees
// each line and each progress record the moment it is printed, in the order it was printed.
//
// A progress record ("\rErase  50% (32/64)") starts with a carriage return and ends without a
// line end, so on a terminal each record overwrites the one before. A record stays open until
// the phase ends it (`end_progress`), a caller's context line after a failed step ends it
// (`failure_context`), or a line on standard output starts.
//
// A failed write (a reader that closed the pipe, a terminal that went away) never changes what
// the tool does next: the output is lost, the run goes on and ends with the status it earns.
#pragma once

#include <cstdint>

namespace vt::out {

// Switches both streams to unbuffered mode; called before anything is printed.
void unbuffer();

// Text on standard output; `format` carries its own line end. An open record is ended first.
void report(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Text on standard error; `format` carries its own line end. A failed step's own message follows
// an open record on its line; the caller's context line after it ends the record.
void error(const char* format, ...) __attribute__((format(printf, 1, 2)));

// The caller's line of context after a failed step ("Erase failed at block 3.\n"): a line end
// first, which ends an open record (and stands the line apart from the step's message when none
// was open), then the text, all on standard error.
void failure_context(const char* format, ...) __attribute__((format(printf, 1, 2)));

// A line on standard error that ends an open record first, and only then: for messages that come
// while a phase runs but are no step's failure.
void error_line(const char* format, ...) __attribute__((format(printf, 1, 2)));

// The progress record "\r%s %3u%% (%u/%u)": the percentage is done * 100 / total, rounded down.
void progress(const char* word, std::uint32_t done, std::uint32_t total);

// Ends an open record with a line end on standard output; does nothing when none is open.
void end_progress();

// Whether a progress record was printed and not yet ended.
bool progress_open();

}  // namespace vt::out
