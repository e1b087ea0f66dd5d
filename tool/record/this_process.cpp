// Which process runs an installation, so that a reader of the record can tell one still running
// from one that was interrupted, even when the process id was given to another program since.
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>

#include "record_lines.h"

#if defined(__APPLE__)
#include <sys/sysctl.h>
#endif

namespace vt::record {

namespace {

#if defined(__linux__)

std::string small_file(const std::string& path) {
  std::uint8_t buffer[4096];
  const long n = image::read_head(path.c_str(), buffer, sizeof buffer);
  return n > 0 ? std::string(reinterpret_cast<const char*>(buffer), static_cast<std::size_t>(n))
               : std::string();
}

// The kernel's id of this boot of the system, a UUID.
std::string boot_id() {
  std::string id = small_file("/proc/sys/kernel/random/boot_id");
  while (!id.empty() && id.back() == '\n') {
    id.pop_back();
  }
  return id.empty() || id.find_first_of(" \\") != std::string::npos ? "-" : id;
}

// Whether the process has ended (a zombie, or dead), and its start time in clock ticks since the
// boot: fields 3 and 22 of /proc/PID/stat. The name in field 2 may hold spaces and parentheses,
// so the fields after it are counted from its last parenthesis.
bool process_info(long long pid, bool& ended, unsigned long long& start) {
  const std::string stat = small_file("/proc/" + std::to_string(pid) + "/stat");
  const std::size_t name_end = stat.rfind(')');
  if (name_end == std::string::npos || name_end + 2 >= stat.size()) {
    return false;
  }
  ended = stat[name_end + 2] == 'Z' || stat[name_end + 2] == 'X';
  std::size_t at = name_end + 2;
  for (int field = 3; field < 22 && at != std::string::npos; ++field) {
    at = stat.find(' ', at);
    at = at == std::string::npos ? at : at + 1;
  }
  if (at == std::string::npos) {
    return false;
  }
  start = std::strtoull(stat.c_str() + at, nullptr, 10);
  return true;
}

#elif defined(__APPLE__)

std::string boot_id() {
  char uuid[64] = {};
  std::size_t size = sizeof uuid - 1;
  if (::sysctlbyname("kern.bootsessionuuid", uuid, &size, nullptr, 0) != 0 || uuid[0] == '\0') {
    return "-";
  }
  return uuid;
}

// Whether the process has ended, and its start time in microseconds since 1970.
bool process_info(long long pid, bool& ended, unsigned long long& start) {
  int query[4] = {CTL_KERN, KERN_PROC, KERN_PROC_PID, static_cast<int>(pid)};
  struct kinfo_proc info = {};
  std::size_t size = sizeof info;
  if (::sysctl(query, 4, &info, &size, nullptr, 0) != 0 || size == 0) {
    return false;
  }
  ended = info.kp_proc.p_stat == SZOMB;
  start = static_cast<unsigned long long>(info.kp_proc.p_starttime.tv_sec) * 1000000 +
          static_cast<unsigned long long>(info.kp_proc.p_starttime.tv_usec);
  return true;
}

#endif

}  // namespace

#if defined(__linux__) || defined(__APPLE__)

process_id this_process() {
  process_id process;
  process.boot = boot_id();
  process.pid = ::getpid();
  bool ended = false;
  process_info(process.pid, ended, process.start);
  return process;
}

bool is_alive(const process_id& process) {
  bool ended = false;
  unsigned long long start = 0;
  return process.boot == boot_id() && process_info(process.pid, ended, start) &&
         start == process.start && !ended;
}

#else

// Without a boot id or start times only the process id is known: a process id given to another
// program since reads as still running.
process_id this_process() {
  process_id process;
  process.pid = ::getpid();
  return process;
}

bool is_alive(const process_id& process) {
  return ::kill(static_cast<pid_t>(process.pid), 0) == 0 || errno == EPERM;
}

#endif

}  // namespace vt::record
