// What keeps an installation running from its first erase to its last chunk: a flash stopped in
// between leaves the sampler without a working OS.
//
// While a guard lives:
// - SIGHUP is ignored: closing the terminal does not stop the installation.
// - The first SIGINT or SIGTERM prints a warning and changes nothing: a logout that sends one
//   SIGTERM to the session, or a Ctrl-C pressed by mistake, cannot break a flash.
// - A second one asks to stop through the guard's cancellation token; the installation looks at
//   it between two steps, so the exchange in progress (command, data, status) always completes.
// - The computer is kept from sleeping, shutting down, idling and reacting to its lid, where the
//   system offers that (a logind inhibitor on Linux, a power assertion on macOS).
// When it goes, the signals get back the effect they had and the computer may sleep again.
//
// SIGPIPE is not handled here: the tool ignores it for the whole run (see main).
#pragma once

#include <csignal>

#include "cancel.h"

namespace vt {

class install_guard {
 public:
  // `cancel` is asked to stop by the second stop signal; it must outlive the guard.
  explicit install_guard(cancel_token& cancel);
  ~install_guard();
  install_guard(const install_guard&) = delete;
  install_guard& operator=(const install_guard&) = delete;

 private:
  struct sigaction old_hup_ = {};
  struct sigaction old_int_ = {};
  struct sigaction old_term_ = {};
  int inhibitor_ = -1;  // held for as long as the guard lives; -1 when none could be taken
};

// The platform's hold on sleep and shutdown: a handle to give back to `release_sleep_inhibitor`,
// or -1 when there is none. Silent when nothing answers (no logind on the system bus, a
// container); one warning line when logind answers with a refusal (a session over SSH that may
// not keep the computer awake).
int take_sleep_inhibitor();
void release_sleep_inhibitor(int inhibitor);

}  // namespace vt
