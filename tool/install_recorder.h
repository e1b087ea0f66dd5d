// The record of the installation main runs (install_record.h): begun just before the first erase,
// ended when the installation ends, in the user's state folder. A record that cannot be written
// (a folder that cannot be made or written, a full disk) costs one warning line on standard error
// and never stops or fails the installation.
#pragma once

#include <string>

#include "events.h"
#include "install_record.h"

namespace vt {

// The record this program keeps (install_record.h): the real tool's, or the simulated sampler's
// own, so that a demo never stands for the state of the user's sampler.
std::string platform_record_path();

// Listens to the installation: phase_begins(erase) begins the record, update_ends ends it.
class install_recorder final : public event_listener {
 public:
  // The record's file, the image as given on the command line, and the SHA-256 of its loaded
  // bytes.
  install_recorder(std::string path, const char* image_path, std::string sha256);

  void phase_begins(update_phase phase) override;
  void update_ends(const update_ending& how) override;

 private:
  void warn(const std::string& reason) const;

  std::string path_;
  std::string image_path_;
  std::string sha256_;
  record::writer writer_;
  bool begun_ = false;
};

}  // namespace vt
