// The installation record on disk: its place, the writer's appends and the reader's look at the
// end of the file.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>

#include "install_record.h"
#include "record_lines.h"

namespace vt::record {

namespace {

// The home folder as the application's own log finds it: $HOME, else the root.
std::string home() {
  const char* home = std::getenv("HOME");
  return home != nullptr && home[0] != '\0' ? home : "/";
}

std::string folder_of(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
}

// Every folder of `folder` that is missing, made private to the user as the state folders of the
// base directory rules are.
bool make_folders(const std::string& folder, std::string& reason) {
  for (std::size_t slash = folder.find('/', 1);; slash = folder.find('/', slash + 1)) {
    const std::string part = folder.substr(0, slash);
    const bool made = ::mkdir(part.c_str(), 0700) == 0;
    const int error = errno;
    // Some systems refuse to make a folder that exists with another reason than EEXIST.
    struct stat info = {};
    if (!made && error != EEXIST && (::stat(part.c_str(), &info) != 0 || !S_ISDIR(info.st_mode))) {
      reason = std::strerror(error);
      return false;
    }
    if (slash == std::string::npos) {
      return true;
    }
  }
}

bool flush_to_disk(int fd) {
#if defined(__APPLE__)
  return ::fsync(fd) == 0;
#else
  return ::fdatasync(fd) == 0;
#endif
}

// One line in one write (only a short write leaves a rest), so that the appends of two processes
// never interleave; then on the disk.
bool append(int fd, const std::string& line, std::string& reason) {
  for (std::size_t done = 0; done < line.size();) {
    const ssize_t n = ::write(fd, line.data() + done, line.size() - done);
    if (n < 0 && errno == EINTR) {
      continue;
    }
    if (n < 0) {
      reason = std::strerror(errno);
      return false;
    }
    done += static_cast<std::size_t>(n);
  }
  if (!flush_to_disk(fd)) {
    reason = std::strerror(errno);
    return false;
  }
  return true;
}

std::string absolute(const std::string& path) {
  if (!path.empty() && path[0] == '/') {
    return path;
  }
  char folder[4096];
  return ::getcwd(folder, sizeof folder) != nullptr ? std::string(folder) + "/" + path : path;
}

std::int64_t now() {
  using namespace std::chrono;
  return duration_cast<seconds>(system_clock::now().time_since_epoch()).count();
}

}  // namespace

std::string default_path(const char* name) {
#if defined(__APPLE__)
  return home() + "/Library/Logs/Veltrin/" + name;
#else
  // A relative XDG_STATE_HOME is invalid and ignored, as the base directory rules say.
  const char* state = std::getenv("XDG_STATE_HOME");
  const std::string base = state != nullptr && state[0] == '/' ? state : home() + "/.local/state";
  return base + "/veltrin/" + name;
#endif
}

bool writer::begin(const std::string& path, const std::string& image_path,
                   const std::string& sha256, std::string& reason) {
  file_ = image::file_descriptor();
  const std::string folder = folder_of(path);
  if (!make_folders(folder, reason)) {
    return false;
  }
  struct stat info = {};
  bool created = ::stat(path.c_str(), &info) != 0;
  if (!created && S_ISREG(info.st_mode) && info.st_size >= rotate_size) {
    created = ::rename(path.c_str(), (path + ".1").c_str()) == 0;
  }
  image::file_descriptor file(
      ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC | O_NOCTTY, 0600));
  if (!file) {
    reason = std::strerror(errno);
    return false;
  }
  installation what;
  what.began = now();
  what.image = absolute(image_path);
  what.sha256 = sha256;
  what.process = this_process();
  if (!append(file.get(), begin_line(what), reason)) {
    return false;
  }
  if (created) {
    // A new file is found after a power cut only once its folder's entry is on the disk too.
    const image::file_descriptor parent(::open(folder.c_str(), O_RDONLY | O_CLOEXEC));
    if (parent) {
      ::fsync(parent.get());
    }
  }
  file_ = std::move(file);
  process_ = what.process;
  return true;
}

bool writer::end(const ending& how, std::string& reason) {
  const image::file_descriptor file = std::move(file_);
  const std::string line = end_line(process_, how);
  if (!file || line.empty()) {
    reason = std::strerror(!file ? EBADF : EINVAL);
    return false;
  }
  return append(file.get(), line, reason);
}

std::optional<installation> last_installation(const std::string& path) {
  std::string reason;
  const image::file_descriptor file = image::open_regular_file(path.c_str(), reason);
  struct stat info = {};
  if (!file || ::fstat(file.get(), &info) != 0) {
    return std::nullopt;
  }
  const off_t from = info.st_size > read_size ? info.st_size - read_size : 0;
  std::string text(static_cast<std::size_t>(info.st_size - from), '\0');
  const ssize_t n = ::pread(file.get(), text.data(), text.size(), from);
  if (n < 0) {
    return std::nullopt;
  }
  text.resize(static_cast<std::size_t>(n));
  if (from > 0) {
    // The first line read is most likely the end of one that began before.
    const std::size_t first_end = text.find('\n');
    text.erase(0, first_end == std::string::npos ? text.size() : first_end + 1);
  }
  std::optional<installation> last = last_in(text);
  if (last && last->end.how == outcome::interrupted && is_alive(last->process)) {
    last->end.how = outcome::running;
  }
  return last;
}

}  // namespace vt::record
