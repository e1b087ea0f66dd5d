#include "install_recorder.h"

#include "output.h"

namespace vt {

install_recorder::install_recorder(std::string path, const char* image_path, std::string sha256)
    : path_(std::move(path)), image_path_(image_path), sha256_(std::move(sha256)) {}

namespace {

record::ending record_ending(const update_ending& how) {
  const record::phase where =
      how.where == update_phase::erase ? record::phase::erase : record::phase::write;
  switch (how.how) {
    case update_ending::outcome::completed:
      break;
    case update_ending::outcome::failed:
      return {record::outcome::failed, where, how.position};
    case update_ending::outcome::stopped:
      return {record::outcome::stopped, where, how.position};
  }
  return {};
}

}  // namespace

void install_recorder::phase_begins(update_phase phase) {
  if (phase != update_phase::erase) {
    return;
  }
  std::string reason;
  begun_ = writer_.begin(path_, image_path_, sha256_, reason);
  if (!begun_) {
    warn(reason);
  }
}

// Without a beginning there is nothing to end, and its warning was given already.
void install_recorder::update_ends(const update_ending& how) {
  std::string reason;
  if (begun_ && !writer_.end(record_ending(how), reason)) {
    warn(reason);
  }
}

void install_recorder::warn(const std::string& reason) const {
  out::error("Warning: could not write the installation record %s: %s.\n", path_.c_str(),
             reason.c_str());
}

}  // namespace vt
