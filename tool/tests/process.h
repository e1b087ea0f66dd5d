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

// Any bytes with the MPC4000 signature at offset 32: what the tool accepts as an OS image.
std::vector<unsigned char> make_image(std::size_t length, unsigned seed = 1);
void write_file(const std::string& path, const std::vector<unsigned char>& bytes);
std::vector<unsigned char> read_file(const std::string& path);

}  // namespace vt::test
