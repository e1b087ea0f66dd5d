#pragma once

#include <QString>
#include <optional>

#include "install_record.h"

// The last installation the flash tool recorded (its record lives beside Veltrin's log file), as
// the window tells it when it did not complete.

// The record's file: the user's own installations, or the demo's simulated ones.
QString InstallationRecordPath(bool demo);

// Reads the last installation of the record at `path`; nothing when none is recorded.
std::optional<vt::record::installation> ReadLastInstallation(const QString& path);

// The sentence for an installation that did not complete, in the current language: when it
// began, where it stopped, and that the OS must be installed again before the MPC4000 is
// restarted. The empty string for one that completed or still runs.
QString DescribeUnfinishedInstallation(const vt::record::installation& last);
