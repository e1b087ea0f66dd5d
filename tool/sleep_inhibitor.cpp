// The computer's hold on sleep and shutdown while the flash is erased and written.
#include "install_guard.h"

#if defined(__linux__)

#include <fcntl.h>
#include <systemd/sd-bus.h>
#include <unistd.h>

#include <cstdint>
#include <initializer_list>
#include <memory>

#include "output.h"

namespace vt {

namespace {

// logind answers at once; a system bus that cannot reach it must not hold up the installation.
constexpr std::uint64_t inhibit_timeout_us = 5 * 1000 * 1000;

struct bus_closer {
  void operator()(sd_bus* bus) const { sd_bus_flush_close_unref(bus); }
};
struct message_unref {
  void operator()(sd_bus_message* message) const { sd_bus_message_unref(message); }
};

// The errors that say no logind answered (none on this bus, or none in time), rather than that it
// answered with a refusal.
bool nobody_answered(const sd_bus_error& error) {
  for (const char* name :
       {SD_BUS_ERROR_SERVICE_UNKNOWN, SD_BUS_ERROR_NAME_HAS_NO_OWNER, SD_BUS_ERROR_NO_REPLY,
        SD_BUS_ERROR_TIMEOUT, SD_BUS_ERROR_DISCONNECTED, SD_BUS_ERROR_NO_SERVER}) {
    if (sd_bus_error_has_name(&error, name) != 0) {
      return true;
    }
  }
  return sd_bus_error_is_set(&error) == 0;
}

}  // namespace

// A logind "block" inhibitor: the file descriptor logind hands out holds it until it is closed.
int take_sleep_inhibitor() {
  sd_bus* raw_bus = nullptr;
  if (sd_bus_open_system(&raw_bus) < 0) {
    return -1;
  }
  const std::unique_ptr<sd_bus, bus_closer> bus(raw_bus);
  sd_bus_message* raw_call = nullptr;
  if (sd_bus_message_new_method_call(bus.get(), &raw_call, "org.freedesktop.login1",
                                     "/org/freedesktop/login1", "org.freedesktop.login1.Manager",
                                     "Inhibit") < 0) {
    return -1;
  }
  const std::unique_ptr<sd_bus_message, message_unref> call(raw_call);
  if (sd_bus_message_append(call.get(), "ssss", "sleep:shutdown:idle:handle-lid-switch", "Veltrin",
                            "The MPC4000 OS is being installed", "block") < 0) {
    return -1;
  }
  sd_bus_error error{};  // SD_BUS_ERROR_NULL, without its C compound literal
  sd_bus_message* raw_reply = nullptr;
  const int called = sd_bus_call(bus.get(), call.get(), inhibit_timeout_us, &error, &raw_reply);
  if (called < 0 && !nobody_answered(error)) {
    out::error(
        "Warning: logind refused to keep the computer awake (%s); it may go to sleep during the "
        "installation.\n",
        error.message != nullptr ? error.message : error.name);
  }
  sd_bus_error_free(&error);
  if (called < 0) {
    return -1;
  }
  const std::unique_ptr<sd_bus_message, message_unref> reply(raw_reply);
  int fd = -1;
  if (sd_bus_message_read(reply.get(), "h", &fd) < 0) {
    return -1;
  }
  // The reply owns its descriptor and closes it with the reply: keep a copy of our own.
  return ::fcntl(fd, F_DUPFD_CLOEXEC, 3);
}

void release_sleep_inhibitor(int inhibitor) {
  if (inhibitor >= 0) {
    ::close(inhibitor);
  }
}

}  // namespace vt

#elif defined(__APPLE__)

#include <IOKit/pwr_mgt/IOPMLib.h>

namespace vt {

// A power assertion against idle sleep; the assertion id is the handle.
int take_sleep_inhibitor() {
  IOPMAssertionID id = kIOPMNullAssertionID;
  if (IOPMAssertionCreateWithName(kIOPMAssertionTypePreventUserIdleSystemSleep,
                                  kIOPMAssertionLevelOn, CFSTR("The MPC4000 OS is being installed"),
                                  &id) != kIOReturnSuccess) {
    return -1;
  }
  return static_cast<int>(id);
}

void release_sleep_inhibitor(int inhibitor) {
  if (inhibitor >= 0) {
    IOPMAssertionRelease(static_cast<IOPMAssertionID>(inhibitor));
  }
}

}  // namespace vt

#else

namespace vt {

int take_sleep_inhibitor() {
  return -1;
}

void release_sleep_inhibitor(int) {}

}  // namespace vt

#endif
