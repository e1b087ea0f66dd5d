// Everything the flash tool prints goes through these functions: the lines a run reports on
// standard output, the progress records, and every failure line on standard error. They are the
// tool's text_output (text_output.h) over its two streams, so the lines of the device search and
// the protocol (text_listener.h) and the tool's own lines share one progress record.
//
// Both streams are unbuffered, so a reader (the application reads both through one pipe) sees
// each line and each progress record the moment it is printed, in the order it was printed.
//
// A failed write (a reader that closed the pipe, a terminal that went away) never changes what
// the tool does next: the output is lost, the run goes on and ends with the status it earns.
#pragma once

#include <cstdint>

#include "text_output.h"
#include "usb.h"

namespace vt::out {

// Switches both streams to unbuffered mode; called before anything is printed.
void unbuffer();

// The tool's text output on standard output and standard error.
text_output& console();

// Text on standard output; `format` carries its own line end. An open record is ended first.
void report(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Text on standard error; `format` carries its own line end. An open record is ended first.
void error(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace vt::out

namespace vt {

// "%s failed: IOReturn 0x%08x.\n" on standard error: the one line for a failed platform call.
void print_call_failure(const char* call, usb_error error);

}  // namespace vt
