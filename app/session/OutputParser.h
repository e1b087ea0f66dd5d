#pragma once

#include <QList>
#include <QString>
#include <QStringView>

// One line of the flash tool's output that the application recognises, and what it means. This
// is the one place that reads the tool's words: the runs' progress records ("\r%s %3u%% (%u/%u)"),
// the flash geometry, the phase lines, the completion line, the watch's lines of a device
// arriving or leaving, and the lines that tell why the sampler could not be used or a step failed.
struct OutputLine {
  enum class Kind {
    Erase,               // "Erase <n>%": the first half of the bar
    Write,               // "Write <n>%": the second half of the bar
    Geometry,            // contains "Flash geometry:"
    Completion,          // contains "OS upload complete"
    EraseBegins,         // contains "Erasing flash": the sampler's OS is being erased
    WriteBegins,         // contains "Writing firmware"
    DeviceConnected,     // "AKAI device VVVV:PPPP connected at PLACE."
    DeviceDisconnected,  // "AKAI device VVVV:PPPP disconnected from PLACE."
    OtherDevice,  // "Found AKAI device VVVV:PPPP ["NAME"] at PLACE: it is not an MPC4000 ..."
    Failure,      // a line that tells the cause of a failure
  };

  // Why the sampler could not be used, or why a step failed.
  enum class Cause {
    None,
    NotFound,          // "AKAI device VVVV:PPPP was not found."
    OtherDevice,       // another AKAI product is connected (`name`, ids, `place`)
    NoPermission,      // IOReturn 0xe00002c1, or the line naming the udev rule
    InUse,             // IOReturn 0xe00002c5, or the line naming the program (`name`, `detail`)
    Disconnected,      // IOReturn 0xe00002c0: the sampler left
    StoppedAnswering,  // IOReturn 0xe00002d6: a step timed out
    RefusedStep,       // "Device returned status error 0xNN." (`detail`: "0xNN")
    ImageChanged,      // "Firmware SHA-256 mismatch: ...": nothing was written
  };

  Kind kind = Kind::Erase;
  // The progress bar's value, 0 to 100 in half steps; only for progress and completion lines.
  double bar = 0;
  // The percentage shown beside the operation, 0 to 100, or -1 for none.
  int percent = -1;
  // The whole line, trimmed: the geometry line is shown as the tool printed it.
  QString text;
  // A device line's USB ids and its place ("bus 1, port 1.4").
  quint16 vendorId = 0;
  quint16 productId = 0;
  QString place = {};
  Cause cause = Cause::None;
  // The other device's product name, or the program that holds the sampler; may be empty.
  QString name = {};
  // The process id of that program, or the status code of a refused step.
  QString detail = {};

  // True for a progress or completion line, which moves the bar and names the operation.
  bool isProgress() const;
  // The text key of the operation a progress or completion line starts ("op.erase",
  // "op.write", "op.done"), or an empty string for any other line.
  QString operationKey() const;
  // True when a device line speaks of the MPC4000 in "OS Loader" mode (09e8:0061).
  bool isSampler() const;
};

// The recognised lines of one chunk of output, in order. Lines end at every line break
// character, the carriage returns of the progress records included. Nothing is carried over
// between chunks: a line split between two chunks is two partial lines, and neither matches.
QList<OutputLine> ParseToolOutput(QStringView text);
