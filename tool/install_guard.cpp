#include "install_guard.h"

#include <unistd.h>

#include <cerrno>

namespace vt {

namespace {

// Stop signals (SIGINT, SIGTERM) seen while the guard lives, counted up to 2.
volatile std::sig_atomic_t stop_signals = 0;
// The token the second one sets: the living guard's.
cancel_token* volatile guarded = nullptr;

constexpr char warning[] =
    "\nWarning: stopping now leaves the MPC4000 without a working OS; the installation goes on. "
    "Press Ctrl-C again to stop it after the current step.\n";

// Runs between any two instructions of the tool: it only counts, and writes the fixed warning
// with one write(2), which a signal handler may do.
void on_stop_signal(int) {
  const int saved_errno = errno;
  if (stop_signals < 2) {
    stop_signals = stop_signals + 1;
    if (stop_signals == 1) {
      const ssize_t ignored = ::write(STDERR_FILENO, warning, sizeof warning - 1);
      static_cast<void>(ignored);  // a terminal that is gone loses the warning, nothing more
    } else if (guarded != nullptr) {
      guarded->request();
    }
  }
  errno = saved_errno;
}

void set_action(int signal, void (*handler)(int), struct sigaction& old) {
  struct sigaction action = {};
  action.sa_handler = handler;
  sigemptyset(&action.sa_mask);
  // Interrupted reads and writes resume; a USB transfer waiting for the sampler goes on waiting.
  action.sa_flags = SA_RESTART;
  sigaction(signal, &action, &old);
}

}  // namespace

install_guard::install_guard(cancel_token& cancel) {
  stop_signals = 0;
  guarded = &cancel;
  inhibitor_ = take_sleep_inhibitor();
  set_action(SIGHUP, SIG_IGN, old_hup_);
  set_action(SIGINT, on_stop_signal, old_int_);
  set_action(SIGTERM, on_stop_signal, old_term_);
}

install_guard::~install_guard() {
  sigaction(SIGTERM, &old_term_, nullptr);
  sigaction(SIGINT, &old_int_, nullptr);
  sigaction(SIGHUP, &old_hup_, nullptr);
  stop_signals = 0;
  guarded = nullptr;
  release_sleep_inhibitor(inhibitor_);
}

}  // namespace vt
