#include "process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <future>
#include <iterator>
#include <stdexcept>
#include <utility>

extern char** environ;

namespace vt::test {

namespace {

struct pipe_pair {
  int fd[2] = {-1, -1};
  pipe_pair() {
    if (::pipe2(fd, O_CLOEXEC) != 0) {
      throw std::runtime_error("pipe failed");
    }
  }
  ~pipe_pair() {
    for (int f : fd) {
      if (f >= 0) {
        ::close(f);
      }
    }
  }
  void close_end(int i) {
    ::close(fd[i]);
    fd[i] = -1;
  }
};

// Each of `entries` ("NAME=value") replaces the entry of the same name in `environment`.
void set_entries(std::vector<std::string>& environment, const std::vector<std::string>& entries) {
  for (const std::string& entry : entries) {
    const std::string name = entry.substr(0, entry.find('=') + 1);
    std::erase_if(environment,
                  [&name](const std::string& e) { return e.compare(0, name.size(), name) == 0; });
    environment.push_back(entry);
  }
}

// The test's own environment, with what keeps a program apart from the computer the tests run on
// (unless the test sets it itself): no system bus, so the host's logind neither holds the computer
// awake for a test nor refuses to; a state folder of the test's, so no installation a test runs
// is recorded in the home of whoever runs the tests.
std::vector<std::string> merged_environment(const std::vector<std::string>& extra) {
  std::vector<std::string> result;
  for (char** e = environ; *e != nullptr; ++e) {
    result.emplace_back(*e);
  }
  set_entries(result, {"DBUS_SYSTEM_BUS_ADDRESS=unix:path=/nonexistent/vtflash-test-bus",
                       "XDG_STATE_HOME=" + state_home()});
  set_entries(result, extra);
  return result;
}

std::vector<char*> pointers(std::vector<std::string>& strings) {
  std::vector<char*> result;
  for (std::string& s : strings) {
    result.push_back(s.data());
  }
  result.push_back(nullptr);
  return result;
}

}  // namespace

process_result run_process(const std::string& program, const std::vector<std::string>& args,
                           const std::vector<std::string>& env) {
  pipe_pair out;
  pipe_pair err;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out.fd[1], 1);
  posix_spawn_file_actions_adddup2(&actions, err.fd[1], 2);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);

  std::vector<std::string> argv_strings{program};
  argv_strings.insert(argv_strings.end(), args.begin(), args.end());
  std::vector<std::string> env_strings = merged_environment(env);
  std::vector<char*> argv = pointers(argv_strings);
  std::vector<char*> envp = pointers(env_strings);

  pid_t pid = 0;
  const int spawned =
      posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) {
    throw std::runtime_error("could not start " + program + ": " + std::strerror(spawned));
  }
  out.close_end(1);
  err.close_end(1);

  process_result result;
  pollfd fds[2] = {{out.fd[0], POLLIN, 0}, {err.fd[0], POLLIN, 0}};
  std::string* sinks[2] = {&result.out, &result.err};
  int open_streams = 2;
  while (open_streams > 0) {
    if (::poll(fds, 2, -1) < 0) {
      continue;
    }
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || fds[i].revents == 0) {
        continue;
      }
      char buffer[65536];
      const ssize_t n = ::read(fds[i].fd, buffer, sizeof buffer);
      if (n > 0) {
        sinks[i]->append(buffer, static_cast<std::size_t>(n));
      } else {
        fds[i].fd = -1;
        --open_streams;
      }
    }
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

child_process::child_process(const std::string& program, const std::vector<std::string>& args,
                             const std::vector<std::string>& env, output_kind kind) {
  std::vector<std::string> argv_strings{program};
  argv_strings.insert(argv_strings.end(), args.begin(), args.end());
  std::vector<std::string> env_strings = merged_environment(env);
  std::vector<char*> argv = pointers(argv_strings);
  std::vector<char*> envp = pointers(env_strings);

  pipe_pair input;
  int child_end = -1;
  if (kind == output_kind::pipe) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) {
      throw std::runtime_error("pipe failed");
    }
    fd_ = fds[0];
    child_end = fds[1];
  } else {
    fd_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (fd_ < 0 || ::grantpt(fd_) != 0 || ::unlockpt(fd_) != 0) {
      throw std::runtime_error("no pseudo-terminal");
    }
    child_end = ::open(::ptsname(fd_), O_RDWR | O_NOCTTY | O_CLOEXEC);
    termios mode{};
    if (child_end < 0 || ::tcgetattr(child_end, &mode) != 0) {
      throw std::runtime_error("cannot open the terminal");
    }
    ::cfmakeraw(&mode);  // the output arrives as the program wrote it, no \r added
    ::tcsetattr(child_end, TCSANOW, &mode);
  }
  const pid_t pid = ::fork();
  if (pid < 0) {
    throw std::runtime_error("fork failed");
  }
  if (pid == 0) {
    // Only calls a forked child of a threaded program may make, up to the exec. The signals get
    // their default effect, as a shell gives them to a command it starts in the foreground.
    for (const int number : {SIGHUP, SIGINT, SIGTERM, SIGPIPE}) {
      ::signal(number, SIG_DFL);
    }
    if (kind == output_kind::terminal) {
      ::setsid();
      ::ioctl(child_end, TIOCSCTTY, 0);
    }
    ::dup2(input.fd[0], 0);
    ::dup2(child_end, 1);
    ::dup2(child_end, 2);
    ::execve(program.c_str(), argv.data(), envp.data());
    ::_exit(127);
  }
  ::close(child_end);
  input_fd_ = std::exchange(input.fd[1], -1);
  pid_ = pid;
}

child_process::~child_process() {
  if (pid_ > 0) {
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
  }
  close_output();
  close_input();
}

bool child_process::read_some() {
  pollfd ready = {fd_, POLLIN, 0};
  if (fd_ < 0 || ::poll(&ready, 1, 60000) <= 0) {
    return false;
  }
  char buffer[65536];
  const ssize_t n = ::read(fd_, buffer, sizeof buffer);
  if (n <= 0) {
    return false;  // the end of a pipe; EIO on a terminal whose program closed it
  }
  output_.append(buffer, static_cast<std::size_t>(n));
  return true;
}

bool child_process::wait_for_output(const std::string& text) {
  while (output_.find(text) == std::string::npos) {
    if (!read_some()) {
      return false;
    }
  }
  return true;
}

void child_process::send_signal(int number) {
  ::kill(pid_, number);
}

void child_process::close_input() {
  if (input_fd_ >= 0) {
    ::close(input_fd_);
    input_fd_ = -1;
  }
}

void child_process::close_output() {
  if (fd_ >= 0) {
    ::close(fd_);
    fd_ = -1;
  }
}

int child_process::finish() {
  while (read_some()) {
  }
  int status = 0;
  ::waitpid(pid_, &status, 0);
  pid_ = -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

temp_dir::temp_dir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "vtflash-test-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) {
    throw std::runtime_error("mkdtemp failed");
  }
  path_ = pattern;
}

temp_dir::~temp_dir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

const std::string& state_home() {
  static const temp_dir folder;
  return folder.path();
}

int open_gate(const std::string& path) {
  auto opening = std::async(std::launch::async,
                            [&path] { return ::open(path.c_str(), O_WRONLY | O_CLOEXEC); });
  if (opening.wait_for(std::chrono::minutes(1)) == std::future_status::ready) {
    return opening.get();
  }
  const int other_end = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  ::close(opening.get());
  ::close(other_end);
  return -1;
}

std::string sha256sum(const std::string& path) {
  return run_process("/usr/bin/sha256sum", {path}).out.substr(0, 64);
}

std::vector<unsigned char> make_image(std::size_t length, unsigned seed) {
  std::vector<unsigned char> bytes(length);
  unsigned state = seed * 2654435761u + 1;
  for (unsigned char& b : bytes) {
    state = state * 1103515245u + 12345u;
    b = static_cast<unsigned char>(state >> 16);
  }
  const char* signature = "MPC4000 Operating System";
  for (std::size_t i = 0; i < 24 && 32 + i < length; ++i) {
    bytes[32 + i] = static_cast<unsigned char>(signature[i]);
  }
  return bytes;
}

void write_file(const std::string& path, const std::vector<unsigned char>& bytes) {
  std::ofstream file(path, std::ios::binary);
  file.write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
}

std::vector<unsigned char> read_file(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

}  // namespace vt::test
