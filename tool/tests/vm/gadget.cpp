// vtflash-gadget: the simulated sampler as a real USB device, for a Linux machine with a USB
// device controller (dummy_hcd in a test VM). It serves the loader through FunctionFS: one
// interface with a bulk IN and a bulk OUT endpoint, full-speed and high-speed descriptors; the
// bytes of every transfer go to the same vt::sim::sampler model that vtflash-sim and the usbfs
// test use, set up by the same scenario text, faults included.
//
//   vtflash-gadget --gadget /sys/kernel/config/usb_gadget/G --ffs /dev/ffs --udc dummy_udc.0
//                  --speed full|high --scenario TEXT --dump FILE [--hold N]
//
// The configfs gadget G (vendor id, product string, a configuration with the ffs function) and
// the FunctionFS mount exist already. The program binds G to the UDC, prints "ready" once the host
// has configured the device, and serves until SIGTERM; then it writes the flash to FILE. With
// --hold N it prints "held" before its Nth reply and waits for a line on standard input.
//
// Faults a device can make: status and reply contents, no reply (nothing is sent), a stall (the
// endpoint is halted) and the device gone (the gadget is unbound from the UDC, in the middle of a
// chunk when the fault is on its data). A gadget cannot see which exchange a command block opens
// before it has taken it, so a fault on a command transfer is made before the command that a host
// following the protocol sends next: the geometry query, every block's erase, then the chunks.
// The device gone there races with the host taking the reply before: the kernel may fail that
// read instead of the command's write.
#include <fcntl.h>
#include <linux/usb/ch9.h>
#include <linux/usb/functionfs.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "protocol.h"
#include "sim/sampler.h"

namespace {

namespace sim = vt::sim;
using vt::usb_error;

volatile std::sig_atomic_t stopping = 0;

void on_terminate(int) {
  stopping = 1;
}

// Sleeps until SIGTERM, also when it came just before.
void wait_for_stop() {
  sigset_t term;
  sigset_t previous;
  sigemptyset(&term);
  sigaddset(&term, SIGTERM);
  sigprocmask(SIG_BLOCK, &term, &previous);
  while (stopping == 0) {
    sigsuspend(&previous);
  }
  sigprocmask(SIG_SETMASK, &previous, nullptr);
}

struct options {
  std::string gadget, ffs, udc, speed = "high", scenario, dump;
  unsigned hold = 0;
};

bool parse_options(int argc, char** argv, options& o) {
  std::map<std::string, std::string*> texts = {{"--gadget", &o.gadget},     {"--ffs", &o.ffs},
                                               {"--udc", &o.udc},           {"--speed", &o.speed},
                                               {"--scenario", &o.scenario}, {"--dump", &o.dump}};
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string name = argv[i];
    if (name == "--hold") {
      o.hold = static_cast<unsigned>(std::stoul(argv[i + 1]));
    } else if (texts.count(name) != 0) {
      *texts[name] = argv[i + 1];
    } else {
      return false;
    }
  }
  return argc % 2 == 1 && !o.gadget.empty() && !o.ffs.empty() && !o.udc.empty() &&
         !o.dump.empty() && (o.speed == "full" || o.speed == "high");
}

void fail(const std::string& what) {
  std::fprintf(stderr, "vtflash-gadget: %s: %s\n", what.c_str(), std::strerror(errno));
}

bool write_file(const std::string& path, const std::string& text) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
  const bool ok = fd >= 0 && ::write(fd, text.data(), text.size()) == ssize_t(text.size());
  if (!ok) {
    fail("writing " + path);
  }
  if (fd >= 0) {
    ::close(fd);
  }
  return ok;
}

void put_le16(std::vector<std::uint8_t>& out, unsigned value) {
  out.push_back(static_cast<std::uint8_t>(value));
  out.push_back(static_cast<std::uint8_t>(value >> 8));
}

void put_le32(std::vector<std::uint8_t>& out, std::uint32_t value) {
  put_le16(out, value & 0xFFFF);
  put_le16(out, value >> 16);
}

// One speed's descriptors: the interface, then bulk IN (pipe 1) and bulk OUT (pipe 2), as the
// simulated bus lays out the loader's interface.
void put_interface(std::vector<std::uint8_t>& out, unsigned max_packet) {
  out.insert(out.end(),
             {USB_DT_INTERFACE_SIZE, USB_DT_INTERFACE, 0, 0, 2, USB_CLASS_VENDOR_SPEC, 0, 0, 0});
  for (const std::uint8_t address : {1 | USB_DIR_IN, 2 | USB_DIR_OUT}) {
    out.insert(out.end(), {USB_DT_ENDPOINT_SIZE, USB_DT_ENDPOINT, address, USB_ENDPOINT_XFER_BULK});
    put_le16(out, max_packet);
    out.push_back(0);
  }
}

std::vector<std::uint8_t> descriptors() {
  std::vector<std::uint8_t> body;
  put_le32(body, 3);  // descriptors at full speed
  put_le32(body, 3);  // and at high speed
  put_interface(body, 64);
  put_interface(body, 512);
  std::vector<std::uint8_t> out;
  put_le32(out, FUNCTIONFS_DESCRIPTORS_MAGIC_V2);
  put_le32(out, static_cast<std::uint32_t>(12 + body.size()));
  put_le32(out, FUNCTIONFS_HAS_FS_DESC | FUNCTIONFS_HAS_HS_DESC);
  out.insert(out.end(), body.begin(), body.end());
  return out;
}

// No strings of the function's own: the product string is the gadget's.
std::vector<std::uint8_t> strings() {
  std::vector<std::uint8_t> out;
  put_le32(out, FUNCTIONFS_STRINGS_MAGIC);
  put_le32(out, 16);
  put_le32(out, 0);
  put_le32(out, 0);
  return out;
}

// Waits on ep0 until the host has set the configuration that enables the endpoints.
bool wait_for_enable(int ep0) {
  for (;;) {
    usb_functionfs_event events[4];
    const ssize_t n = ::read(ep0, events, sizeof events);
    if (n < 0) {
      fail("reading ep0 events");
      return false;
    }
    for (ssize_t i = 0; i < n / ssize_t(sizeof events[0]); ++i) {
      if (events[i].type == FUNCTIONFS_ENABLE) {
        return true;
      }
    }
  }
}

class gadget {
 public:
  gadget(const options& o, const sim::sampler_config& config, sim::sampler& loader)
      : options_(o), config_(config), loader_(loader) {}
  ~gadget() {
    for (const int fd : {in_, out_, ep0_}) {
      if (fd >= 0) {
        ::close(fd);
      }
    }
  }
  gadget(const gadget&) = delete;
  gadget& operator=(const gadget&) = delete;

  bool start();
  void serve();

 private:
  bool send_reply();
  bool take_data(std::size_t length);
  bool take_command();
  usb_error command_fault() const;
  void count_command(const std::uint8_t* command, std::size_t length);
  void act_on(usb_error error, int halted_fd);
  void unbind() { write_file(options_.gadget + "/UDC", "\n"); }
  // Reads up to `length` bytes of one host transfer; fewer when the host ended it with a short
  // packet. -1 when interrupted.
  ssize_t read_transfer(std::uint8_t* data, std::size_t length);

  const options& options_;
  const sim::sampler_config& config_;
  sim::sampler& loader_;
  bool geometry_seen_ = false;
  std::uint32_t erases_ = 0;
  std::uint32_t writes_ = 0;
  int ep0_ = -1;
  int in_ = -1;
  int out_ = -1;
  unsigned replies_ = 0;
  bool done_ = false;  // a fault ended the device's part; it only waits to be stopped
};

bool gadget::start() {
  const std::vector<std::uint8_t> d = descriptors();
  const std::vector<std::uint8_t> s = strings();
  ep0_ = ::open((options_.ffs + "/ep0").c_str(), O_RDWR | O_CLOEXEC);
  if (ep0_ < 0 || ::write(ep0_, d.data(), d.size()) != ssize_t(d.size()) ||
      ::write(ep0_, s.data(), s.size()) != ssize_t(s.size())) {
    fail("setting up " + options_.ffs + "/ep0");
    return false;
  }
  in_ = ::open((options_.ffs + "/ep1").c_str(), O_RDWR | O_CLOEXEC);
  out_ = ::open((options_.ffs + "/ep2").c_str(), O_RDWR | O_CLOEXEC);
  if (in_ < 0 || out_ < 0) {
    fail("opening the endpoints");
    return false;
  }
  const char* speed = options_.speed == "full" ? "full-speed\n" : "high-speed\n";
  if (!write_file(options_.gadget + "/max_speed", speed) ||
      !write_file(options_.gadget + "/UDC", options_.udc + "\n") || !wait_for_enable(ep0_)) {
    return false;
  }
  std::printf("ready\n");
  std::fflush(stdout);
  return true;
}

void gadget::serve() {
  while (stopping == 0) {
    if (done_) {
      wait_for_stop();
    } else if (send_reply()) {
    } else if (const std::size_t length = loader_.awaited_data(); length > 0) {
      take_data(length);
    } else {
      take_command();
    }
  }
}

// What the loader has to send, as one transfer (a short packet ends it; an empty reply is a
// zero-length packet). False when it has nothing to send.
bool gadget::send_reply() {
  std::uint8_t reply[512];
  std::size_t produced = 0;
  const usb_error error = loader_.send(reply, sizeof reply, produced);
  if (error == usb_error::timeout) {
    return false;  // nothing to send, or a fault that says no reply: the host's read waits
  }
  if (error != usb_error::ok) {
    act_on(error, in_);
    return true;
  }
  if (++replies_ == options_.hold) {
    std::printf("held\n");
    std::fflush(stdout);
    char line[16];
    if (std::fgets(line, sizeof line, stdin) == nullptr) {
      return true;
    }
  }
  if (::write(in_, reply, produced) < 0 && errno != EINTR) {
    fail("writing ep1");
  }
  return true;
}

bool gadget::take_data(std::size_t length) {
  std::vector<std::uint8_t> data(length);
  switch (loader_.injected_error(sim::transfer::data)) {
    case usb_error::ok:
      break;
    case usb_error::no_device: {
      // Gone with part of the chunk taken: the host's transfer fails in the middle.
      const std::size_t part = length / 2 / 512 * 512;
      if (part > 0 && read_transfer(data.data(), part) < 0) {
        return false;
      }
      std::size_t accepted = 0;
      act_on(loader_.receive(data.data(), part, accepted), out_);
      return true;
    }
    case usb_error::stall:
      act_on(usb_error::stall, out_);
      return true;
    default:
      done_ = true;  // no data taken: the host's write waits until its time-out
      return true;
  }
  const ssize_t n = read_transfer(data.data(), length);
  if (n < 0) {
    return false;
  }
  std::size_t accepted = 0;
  act_on(loader_.receive(data.data(), static_cast<std::size_t>(n), accepted), in_);
  return true;
}

bool gadget::take_command() {
  if (const usb_error fault = command_fault(); fault != usb_error::ok) {
    act_on(fault, out_);
    return true;
  }
  std::uint8_t command[512];
  const ssize_t n = read_transfer(command, sizeof command);
  if (n < 0) {
    return false;
  }
  count_command(command, static_cast<std::size_t>(n));
  std::size_t accepted = 0;
  act_on(loader_.receive(command, static_cast<std::size_t>(n), accepted), in_);
  return true;
}

// The fault on the command transfer of the exchange the host opens next, ok when none.
usb_error gadget::command_fault() const {
  sim::phase where = sim::phase::write;
  std::uint32_t index = writes_;
  if (!geometry_seen_) {
    where = sim::phase::geometry;
    index = 0;
  } else if (erases_ < config_.blocks && writes_ == 0) {
    where = sim::phase::erase;
    index = erases_;
  }
  for (const sim::fault& f : config_.faults) {
    if (f.what == sim::fault::kind::transfer_error && f.on == sim::transfer::command &&
        f.where == where && f.index == index) {
      return f.error;
    }
  }
  return usb_error::ok;
}

void gadget::count_command(const std::uint8_t* command, std::size_t length) {
  if (length != vt::command_field::size) {
    return;
  }
  switch (command[vt::command_field::code]) {
    case vt::CMD_GET_GEOMETRY:
      geometry_seen_ = true;
      break;
    case vt::CMD_ERASE_BLOCK:
      ++erases_;
      break;
    case vt::CMD_WRITE_CHUNK:
      ++writes_;
      break;
    default:
      break;
  }
}

// A transfer the loader refused: the device goes away, halts the endpoint or stops answering.
void gadget::act_on(usb_error error, int halted_fd) {
  if (error == usb_error::ok) {
    return;
  }
  done_ = true;
  if (error == usb_error::no_device) {
    unbind();
  } else if (error == usb_error::stall) {
    // I/O against an endpoint's direction halts it.
    std::uint8_t byte = 0;
    if (halted_fd == in_) {
      (void)!::read(in_, &byte, 1);
    } else {
      (void)!::write(out_, &byte, 1);
    }
  }
}

ssize_t gadget::read_transfer(std::uint8_t* data, std::size_t length) {
  // Whole packets at a time, so the last piece ends where the host's transfer ends.
  constexpr std::size_t piece = 65536;
  std::size_t done = 0;
  while (done < length) {
    const std::size_t want = std::min(piece, length - done);
    const ssize_t n = ::read(out_, data + done, want);
    if (n < 0) {
      // Unbound from the UDC by someone else: the next read waits until the gadget is bound again.
      if (errno != EINTR && !(errno == ESHUTDOWN && done == 0)) {
        fail("reading ep2");
        done_ = true;
      }
      return -1;
    }
    done += static_cast<std::size_t>(n);
    if (static_cast<std::size_t>(n) < want) {
      break;
    }
  }
  return static_cast<ssize_t>(done);
}

bool write_dump(const std::string& path, const sim::sampler& loader) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) {
    fail("writing " + path);
    return false;
  }
  const std::vector<std::uint8_t> flash = loader.flash_contents();
  const bool ok = std::fwrite(flash.data(), 1, flash.size(), file) == flash.size();
  return std::fclose(file) == 0 && ok;
}

}  // namespace

int main(int argc, char** argv) {
  options o;
  if (!parse_options(argc, argv, o)) {
    std::fprintf(stderr,
                 "usage: %s --gadget DIR --ffs DIR --udc NAME --speed full|high --scenario TEXT "
                 "--dump FILE [--hold N]\n",
                 argv[0]);
    return 2;
  }
  sim::scenario setup;
  std::string error;
  if (!sim::parse_scenario(o.scenario, setup, error)) {
    std::fprintf(stderr, "vtflash-gadget: %s.\n", error.c_str());
    return 2;
  }
  // No SA_RESTART: SIGTERM interrupts a blocked endpoint read, and the flash is written out.
  struct sigaction action = {};
  action.sa_handler = on_terminate;
  sigaction(SIGTERM, &action, nullptr);

  // The product id is the scenario's: another one is an AKAI device in another mode.
  char product_id[16];
  std::snprintf(product_id, sizeof product_id, "0x%04x\n", setup.product_id);
  if (!write_file(o.gadget + "/idProduct", product_id)) {
    return 1;
  }
  sim::sampler loader(setup.sampler);
  {
    gadget device(o, setup.sampler, loader);
    if (!device.start()) {
      return 1;
    }
    device.serve();
  }
  return write_dump(o.dump, loader) ? 0 : 1;
}
