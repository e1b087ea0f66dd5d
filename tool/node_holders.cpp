#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>

#include "libusb_platform.h"

namespace vt {

namespace {

struct dir_close {
  void operator()(DIR* dir) const { ::closedir(dir); }
};
using dir_ptr = std::unique_ptr<DIR, dir_close>;

// Whether `file` is the device node `node`: the same file, or a character device of the same
// number (another node of the same device).
bool is_node(const struct stat& file, const struct stat& node) {
  return (file.st_dev == node.st_dev && file.st_ino == node.st_ino) ||
         (S_ISCHR(file.st_mode) && S_ISCHR(node.st_mode) && file.st_rdev == node.st_rdev);
}

// Whether one of the process's open files is the node. Only the files are looked at, through
// their /proc links; none is opened.
bool holds(const std::string& process, const struct stat& node) {
  const dir_ptr fds(::opendir((process + "/fd").c_str()));
  if (!fds) {
    return false;  // gone, or another user's
  }
  while (const dirent* entry = ::readdir(fds.get())) {
    struct stat file = {};
    if (entry->d_name[0] != '.' && ::stat((process + "/fd/" + entry->d_name).c_str(), &file) == 0 &&
        is_node(file, node)) {
      return true;
    }
  }
  return false;
}

std::string program_name(const std::string& process) {
  std::ifstream comm(process + "/comm");
  std::string name;
  std::getline(comm, name);
  return name;
}

// A process's folder in /proc: its id, digits only.
int process_id(const char* name) {
  char* end = nullptr;
  const long pid = std::strtol(name, &end, 10);
  return name[0] >= '0' && name[0] <= '9' && *end == '\0' && pid > 0 && pid <= 0x7fffffff
             ? static_cast<int>(pid)
             : 0;
}

}  // namespace

std::vector<usb_node_holder> linux_node_holders(const usb_place& place) {
  char path[64];
  std::snprintf(path, sizeof path, "/dev/bus/usb/%03u/%03u", place.bus, place.address);
  struct stat node = {};
  const dir_ptr processes(::opendir("/proc"));
  if (::stat(path, &node) != 0 || !processes) {
    return {};
  }
  std::vector<usb_node_holder> holders;
  const int self = static_cast<int>(::getpid());
  while (const dirent* entry = ::readdir(processes.get())) {
    const int pid = process_id(entry->d_name);
    const std::string process = std::string("/proc/") + entry->d_name;
    if (pid != 0 && pid != self && holds(process, node)) {
      holders.push_back({pid, program_name(process)});
    }
  }
  std::sort(holders.begin(), holders.end(),
            [](const usb_node_holder& a, const usb_node_holder& b) { return a.pid < b.pid; });
  return holders;
}

}  // namespace vt
