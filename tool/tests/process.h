// Runs a program as a child process with its own environment and collects what it printed.
#pragma once

#include <string>
#include <vector>

namespace vt::test {

struct process_result {
  int status = -1;  // exit status, or -1 when the process did not exit normally
  std::string out;
  std::string err;
};

// `env` entries are "NAME=value" and are added to (or replace) the test's own environment.
process_result run_process(const std::string& program, const std::vector<std::string>& args,
                           const std::vector<std::string>& env = {});

// A program running beside the test, its standard output and error merged into one stream as
// Veltrin reads them. The test reads that stream as far as it needs, signals the program, and can
// take the reader away: close the pipe, or hang up the terminal the program runs on.
class child_process {
 public:
  enum class output_kind {
    pipe,      // a pipe, as Veltrin gives it
    terminal,  // a terminal (pseudo-terminal in raw mode) that is the program's controlling one
  };
  child_process(const std::string& program, const std::vector<std::string>& args,
                const std::vector<std::string>& env = {}, output_kind kind = output_kind::pipe);
  ~child_process();  // a program still running is killed
  child_process(const child_process&) = delete;
  child_process& operator=(const child_process&) = delete;

  // Reads until the output holds `text`; false when the output ended or a minute passed first.
  bool wait_for_output(const std::string& text);
  const std::string& output() const { return output_; }
  int pid() const { return pid_; }
  void send_signal(int number);
  // Its standard input, a pipe from the test that brings nothing, reaches its end.
  void close_input();
  // The reader goes away: the pipe's read end, or the terminal's master side, is closed.
  void close_output();
  // Reads the rest of the output (unless it was closed) and waits for the program to end: its
  // exit status, or -1 when a signal ended it.
  int finish();

 private:
  bool read_some();

  int pid_ = -1;
  int fd_ = -1;
  int input_fd_ = -1;
  std::string output_;
};

// A scratch directory removed with everything in it when the object goes.
class temp_dir {
 public:
  temp_dir();
  ~temp_dir();
  temp_dir(const temp_dir&) = delete;
  temp_dir& operator=(const temp_dir&) = delete;
  const std::string& path() const { return path_; }
  std::string file(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// XDG_STATE_HOME of every program a test starts unless it gives one: removed when the tests end.
const std::string& state_home();

// Opens the simulated sampler's gate (a FIFO, see gate= of VTFLASH_SIM) for writing, which returns
// once the sampler waits in it; closing the descriptor lets it go on. -1 when it did not wait
// there within a minute (the tool ended before), after opening the other end to free the wait.
int open_gate(const std::string& path);

// The SHA-256 of a file as another program, sha256sum, computes it: 64 hexadecimal digits.
std::string sha256sum(const std::string& path);

// Any bytes with the MPC4000 signature at offset 32: what the tool accepts as an OS image.
std::vector<unsigned char> make_image(std::size_t length, unsigned seed = 1);
void write_file(const std::string& path, const std::vector<unsigned char>& bytes);
std::vector<unsigned char> read_file(const std::string& path);

}  // namespace vt::test
