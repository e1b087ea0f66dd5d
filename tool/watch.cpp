#include "watch.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <set>
#include <string>
#include <utility>

#include "diagnosis.h"
#include "output.h"

namespace vt {

namespace {

int stop_write_fd = -1;

// Runs between any two instructions of the tool: one write(2), which a signal handler may make.
void on_stop_signal(int) {
  const int saved_errno = errno;
  const char byte = 0;
  const ssize_t ignored = ::write(stop_write_fd, &byte, 1);
  static_cast<void>(ignored);  // a full pipe holds the news already
  errno = saved_errno;
}

// SIGINT and SIGTERM turned into a pipe that becomes readable, so the one wait of the watch sees
// them, with no gap between a look at a flag and the wait. When the object goes, the signals get
// back the effect they had. Without a pipe (no descriptor left) they keep their usual effect.
class stop_signals {
 public:
  stop_signals() {
    int fds[2];
    if (::pipe(fds) != 0) {
      return;
    }
    for (const int fd : fds) {
      ::fcntl(fd, F_SETFD, FD_CLOEXEC);
      ::fcntl(fd, F_SETFL, O_NONBLOCK);
    }
    read_fd_ = fds[0];
    stop_write_fd = fds[1];
    struct sigaction action = {};
    action.sa_handler = on_stop_signal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, &old_int_);
    sigaction(SIGTERM, &action, &old_term_);
  }
  ~stop_signals() {
    if (read_fd_ < 0) {
      return;
    }
    sigaction(SIGTERM, &old_term_, nullptr);
    sigaction(SIGINT, &old_int_, nullptr);
    ::close(stop_write_fd);
    stop_write_fd = -1;
    ::close(read_fd_);
  }
  stop_signals(const stop_signals&) = delete;
  stop_signals& operator=(const stop_signals&) = delete;

  int fd() const { return read_fd_; }  // -1, which a wait skips, when there is none

 private:
  int read_fd_ = -1;
  struct sigaction old_int_ = {};
  struct sigaction old_term_ = {};
};

// The line for a device of the vendor with another product: named as the system's records name
// it, when they have it by now.
std::string other_product_arrival(usb_platform& platform, const usb_hotplug_event& event) {
  std::vector<usb_device_record> records;
  platform.device_records(records);  // without them the line names no product
  usb_device_record found{event.vendor_id, event.product_id, "", "", event.place};
  for (usb_device_record& record : records) {
    if (record.vendor_id == event.vendor_id && record.place.bus == event.place.bus &&
        record.place.address == event.place.address) {
      found.product_name = std::move(record.product_name);
    }
  }
  return other_product_line(found);
}

// Takes what standard input brings and drops it; false once it has ended or cannot be read.
bool input_goes_on(short revents) {
  if ((revents & POLLNVAL) != 0) {
    return false;
  }
  char buffer[512];
  const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
  return n > 0 || (n < 0 && (errno == EINTR || errno == EAGAIN));
}

}  // namespace

int run_watch(usb_platform& platform, unsigned vendor_id, unsigned product_id) {
  if (!platform.has_hotplug()) {
    out::error("USB hotplug is not supported on this system.\n");
    return 1;
  }
  const stop_signals stop;
  // The devices reported connected, by bus and address. A platform may tell of one arrival twice
  // (a device that came while the watch started) or of a departure it never told the arrival of.
  std::set<std::pair<unsigned, unsigned>> connected;
  const usb_hotplug_listener report = [&](const usb_hotplug_event& event) {
    const std::pair<unsigned, unsigned> key{event.place.bus, event.place.address};
    if (event.arrived ? !connected.insert(key).second : connected.erase(key) == 0) {
      return;
    }
    if (event.arrived && event.product_id != product_id) {
      out::report("%s", other_product_arrival(platform, event).c_str());
      return;
    }
    out::report("AKAI device %04x:%04x %s %s.\n", event.vendor_id, event.product_id,
                event.arrived ? "connected at" : "disconnected from",
                place_text(event.place).c_str());
  };
  std::unique_ptr<usb_watch> watch;
  if (const usb_error error = platform.watch(static_cast<std::uint16_t>(vendor_id), report, watch);
      error != usb_error::ok) {
    print_call_failure("IOServiceGetMatchingServices", error);
    return 1;
  }
  for (;;) {
    std::vector<pollfd> fds = {{STDIN_FILENO, POLLIN, 0}, {stop.fd(), POLLIN, 0}};
    int timeout_ms = -1;
    watch->wait_set(fds, timeout_ms);
    usb_error error = usb_error::ok;
    if (::poll(fds.data(), static_cast<nfds_t>(fds.size()), timeout_ms) < 0 && errno != EINTR) {
      error = errno == ENOMEM ? usb_error::no_memory : usb_error::other;
    } else if (fds[1].revents != 0 || (fds[0].revents != 0 && !input_goes_on(fds[0].revents))) {
      return 0;
    } else {
      error = watch->dispatch();
    }
    if (error != usb_error::ok) {
      print_call_failure("USB events", error);
      return 1;
    }
  }
}

}  // namespace vt
