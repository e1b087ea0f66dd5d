// The installation record: what each installation of an OS image began with and how it ended,
// kept on disk by the flash tool itself, so that an installation run from a terminal, one that
// Veltrin's window let go, and one that was interrupted are all remembered. The tool writes it
// with `writer`; the application reads it with `last_installation`. Plain C++, no Qt.
//
// Where: the file "installations.log" in the folder of Veltrin's own log (`default_path`):
// $XDG_STATE_HOME/veltrin/ on Linux and other Unix systems (~/.local/state/veltrin/ when
// XDG_STATE_HOME is unset or not an absolute path), ~/Library/Logs/Veltrin/ on macOS. The demo
// bundle's simulated tool keeps its own beside it in "demo-installations.log", so that a demo
// never stands for the state of the user's sampler.
//
// The format, written down here once. Text, one event a line, each line ended by a line feed and
// appended with a single write (O_APPEND), so the lines of two tools never mix; fields are
// separated by one space:
//
//   begin TIME BOOT PID START SHA256 IMAGE
//   end BOOT PID START completed
//   end BOOT PID START failed erase BLOCK
//   end BOOT PID START failed write OFFSET
//   end BOOT PID START stopped erase BLOCK
//   end BOOT PID START stopped write OFFSET
//
// - begin is written when the sampler's flash geometry was read and accepted, just before the
//   first erase: from then on the sampler has no working OS until the installation completes.
//   end is written when the installation ends: completed after the last chunk was confirmed;
//   failed when a step failed (the tool's "Erase failed at block N." or "Write failed at offset
//   0x...." line); stopped after a second Ctrl-C or SIGTERM ("Erase stopped at ..." / "Write
//   stopped at ..."). Both lines are flushed to the disk before the tool goes on.
// - TIME: when the installation began, in UTC, as 2025-03-01T14:05:09Z.
// - BOOT PID START: the tool's process: the system's boot id ("-" where the system has none), the
//   process id, and when the process started, in the system's own units (0 where unknown). An end
//   line belongs to the begin line with the same three fields.
// - SHA256: the SHA-256 of the bytes installed, 64 lower-case hexadecimal digits.
// - IMAGE: the image file's path made absolute, to the end of the line; every byte below 0x20,
//   0x7f and the backslash are written as \xNN (two lower-case hexadecimal digits).
// - BLOCK: the erase block (counted from 0) where the installation failed or stopped; OFFSET: the
//   byte offset of the chunk in the image, as 0x%08x, as the tool's own lines give them.
//
// A begin line without its end line is an installation still running (its process is alive) or
// interrupted: killed, a power cut, the computer crashed. A reader skips every line it does not
// understand, so a later format adds lines with other first words.
//
// Size: before it begins a record, the tool moves a file of 64 KiB or more to the same name with
// ".1" added (replacing the one before), so the file holds the last few hundred
// installations; a reader looks at its last 128 KiB only, whatever its size.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "image_file.h"

namespace vt::record {

// How an installation ended, or that it has not: running and interrupted describe a begin line
// without its end line.
enum class outcome { completed, failed, stopped, running, interrupted };

// Where a failed or stopped installation was.
enum class phase { erase, write };

struct ending {
  outcome how = outcome::completed;
  phase where = phase::erase;  // failed and stopped only
  std::uint32_t position = 0;  // the erase block, or the write chunk's byte offset in the image
};

// The process that ran an installation.
struct process_id {
  std::string boot = "-";
  long long pid = 0;
  unsigned long long start = 0;
  bool operator==(const process_id&) const = default;
};

// One installation as the record tells it.
struct installation {
  std::int64_t began = 0;  // seconds since 1970-01-01 00:00:00 UTC
  std::string image;       // the image file's absolute path (its bytes, unescaped)
  std::string sha256;      // 64 lower-case hexadecimal digits
  process_id process;
  ending end;
};

constexpr const char* file_name = "installations.log";
constexpr const char* demo_file_name = "demo-installations.log";
constexpr std::int64_t rotate_size = 64 * 1024;
constexpr std::int64_t read_size = 128 * 1024;

// The place of the file `name` on this system (see above), from the environment of the calling
// process.
std::string default_path(const char* name = file_name);

// The installation whose begin line comes last in the file at `path`, with its end; without an
// end line, running when its process is still alive on this boot of the system, else
// interrupted. Nothing when the file records no installation, is missing or cannot be read.
std::optional<installation> last_installation(const std::string& path);

// Writes the record of one installation: `begin`, then `end`. Owns the open file in between, so
// the end goes into the file the beginning went into.
class writer {
 public:
  writer() = default;
  writer(const writer&) = delete;
  writer& operator=(const writer&) = delete;

  // Makes the folder when needed, moves a full file aside, appends the begin line of this
  // process for the image at `image_path` (made absolute) and flushes it to the disk. False with
  // the system's reason in `reason` when any of that fails.
  bool begin(const std::string& path, const std::string& image_path, const std::string& sha256,
             std::string& reason);
  // Appends the end line, flushes it to the disk and closes the file. False with the reason when
  // that fails, or when no record was begun.
  bool end(const ending& how, std::string& reason);

 private:
  image::file_descriptor file_;
  process_id process_;
};

}  // namespace vt::record
