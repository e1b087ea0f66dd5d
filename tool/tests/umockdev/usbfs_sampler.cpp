#include "usbfs_sampler.h"

#include <linux/usb/ch9.h>
#include <linux/usbdevice_fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <umockdev.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <mutex>
#include <stdexcept>

namespace vt::test {

namespace {

constexpr char sysfs_name[] = "1-1";
constexpr char device_node[] = "/dev/bus/usb/001/002";
constexpr std::uint8_t in_endpoint = 0x82;
constexpr std::uint8_t out_endpoint = 0x01;
constexpr std::uint8_t product_index = 2;
constexpr char product_name[] = "MPC4000";  // the string descriptor; sysfs shows the setup's

// The sampler's descriptors as sysfs shows them in "descriptors": the device descriptor, then
// configuration 1 with interface 0, whose first endpoint (pipe 1) is bulk IN 0x82 and second
// (pipe 2) bulk OUT 0x01. The addresses differ from the pipe numbers, so a tool that mixes the two
// up talks to an endpoint the device does not have.
// clang-format off
constexpr std::uint8_t descriptors[] = {
    // device: USB 1.1, class per interface, 64-byte control pipe, 09e8:0061, product string 2
    0x12, 0x01, 0x10, 0x01, 0x00, 0x00, 0x00, 0x40, 0xe8, 0x09, 0x61, 0x00, 0x00, 0x01, 0x00,
    product_index, 0x00, 0x01,
    // configuration 1, 32 bytes in all, one interface, self-powered
    0x09, 0x02, 0x20, 0x00, 0x01, 0x01, 0x00, 0xc0, 0x00,
    // interface 0, alternate setting 0, two endpoints, vendor-specific class
    0x09, 0x04, 0x00, 0x00, 0x02, 0xff, 0x00, 0x00, 0x00,
    // endpoint 0x82 bulk IN, endpoint 0x01 bulk OUT, 64-byte packets
    0x07, 0x05, in_endpoint, 0x02, 0x40, 0x00, 0x00,
    0x07, 0x05, out_endpoint, 0x02, 0x40, 0x00, 0x00};
// clang-format on

// What a current kernel offers on an xHCI controller. With scatter-gather libusb submits a bulk
// transfer of any length as one URB, so every URB here is one whole transfer of the loader.
constexpr std::uint32_t capabilities =
    USBDEVFS_CAP_ZERO_PACKET | USBDEVFS_CAP_BULK_CONTINUATION | USBDEVFS_CAP_NO_PACKET_SIZE_LIM |
    USBDEVFS_CAP_BULK_SCATTER_GATHER | USBDEVFS_CAP_REAP_AFTER_DISCONNECT;

struct gobject_unref {
  void operator()(gpointer object) const { g_object_unref(object); }
};
using testbed_ptr = std::unique_ptr<UMockdevTestbed, gobject_unref>;
using handler_ptr = std::unique_ptr<UMockdevIoctlBase, gobject_unref>;
using data_ptr = std::unique_ptr<UMockdevIoctlData, gobject_unref>;

struct answer {
  long result = 0;
  int error = 0;
};

answer done() {
  return {0, 0};
}
answer fail(int error) {
  return {-1, error};
}

// The client's memory that a pointer in `data` points to, as a local copy that is written back
// when the request completes. Null when the pointer is null or the memory cannot be read.
data_ptr resolve(UMockdevIoctlData* data, std::size_t offset, std::size_t length) {
  GError* error = nullptr;
  data_ptr result(umockdev_ioctl_data_resolve(data, offset, length, &error));
  if (error != nullptr) {
    g_error_free(error);
    return nullptr;
  }
  return result;
}

// The URB status the kernel reports for a transfer the loader did not complete. A transfer the
// loader is not ready for would wait for libusb's two-minute timer; it fails at once here, so a
// tool that breaks the order of an exchange fails in a moment (the simulator covers time-outs).
int urb_status(usb_error error) {
  switch (error) {
    case usb_error::ok:
      return 0;
    case usb_error::stall:
      return -EPIPE;
    case usb_error::overflow:
      return -EOVERFLOW;
    default:
      return -EPROTO;
  }
}

std::vector<std::uint8_t> string_descriptor(std::uint8_t index) {
  if (index == 0) {
    return {0x04, 0x03, 0x09, 0x04};  // one language: English (US)
  }
  if (index != product_index) {
    return {};
  }
  std::vector<std::uint8_t> text = {0, 0x03};
  for (const char* c = product_name; *c != '\0'; ++c) {
    text.push_back(static_cast<std::uint8_t>(*c));
    text.push_back(0);
  }
  text[0] = static_cast<std::uint8_t>(text.size());
  return text;
}

std::string hex(const std::uint8_t* bytes, std::size_t length) {
  std::string text;
  for (std::size_t i = 0; i < length; ++i) {
    char digits[3];
    std::snprintf(digits, sizeof digits, "%02X", bytes[i]);
    text += digits;
  }
  return text;
}

// The sampler as umockdev-record would describe it: udev properties (E), sysfs attributes (A, with
// the newline sysfs ends them with; H for binary ones) and its device node (N), a file that the
// preload library opens in place of the real node. The product string comes with the rest, so a
// program that hears of the device can read it.
std::string device_record(std::uint16_t product_id, const std::string& sysfs_product) {
  char product[5];
  char uevent_product[32];  // hexadecimal without leading zeros, as the kernel writes it
  std::snprintf(product, sizeof product, "%04x", product_id);
  std::snprintf(uevent_product, sizeof uevent_product, "PRODUCT=9e8/%x/100\n", product_id);
  std::string record = std::string("P: /devices/usb1/") + sysfs_name + "\n";
  record += std::string("N: ") + (device_node + std::strlen("/dev/")) + "\n";
  record += std::string("E: DEVNAME=") + device_node + "\n";
  record += std::string("E: SUBSYSTEM=usb\nE: DEVTYPE=usb_device\nE: ") + uevent_product;
  record += "E: BUSNUM=001\nE: DEVNUM=002\n";
  const char* attributes[][2] = {{"busnum", "1"},
                                 {"devnum", "2"},
                                 {"dev", "189:1"},
                                 {"idVendor", "09e8"},
                                 {"idProduct", product},
                                 {"bcdDevice", "0100"},
                                 {"bNumConfigurations", "1"},
                                 {"bConfigurationValue", "1"},
                                 {"speed", "12"}};
  for (const auto& [name, value] : attributes) {
    record += std::string("A: ") + name + "=" + value + "\\n\n";
  }
  record += "H: descriptors=";
  std::vector<std::uint8_t> bytes(std::begin(descriptors), std::end(descriptors));
  bytes[10] = static_cast<std::uint8_t>(product_id);  // idProduct of the device descriptor
  bytes[11] = static_cast<std::uint8_t>(product_id >> 8);
  record += hex(bytes.data(), bytes.size()) + "\n";
  const std::string product_line = sysfs_product + "\n";  // sysfs ends its text attributes so
  return record + "H: product=" +
         hex(reinterpret_cast<const std::uint8_t*>(product_line.data()), product_line.size()) +
         "\n";
}

// VTFLASH_USBFS_TRACE=1 in the test's environment prints every request the bus answers.
bool tracing() {
  return std::getenv("VTFLASH_USBFS_TRACE") != nullptr;
}

// `first` in front of what the test's own environment has for `name`, joined by ':'.
std::string prepend(const char* name, const std::string& first) {
  const char* existing = std::getenv(name);
  if (existing == nullptr || existing[0] == '\0') {
    return first;
  }
  return first + ":" + existing;
}

// The environment that puts a program on the mocked bus, as umockdev-wrapper does. A vtflash built
// with AddressSanitizer refuses to start when its runtime is not the first library; with the
// preload library in front, the runtime's interceptors still run behind umockdev's wrappers.
std::vector<std::string> bus_environment(const std::string& root) {
  return {"UMOCKDEV_DIR=" + root, "LD_PRELOAD=" + prepend("LD_PRELOAD", "libumockdev-preload.so.0"),
          "ASAN_OPTIONS=" + prepend("ASAN_OPTIONS", "verify_asan_link_order=0")};
}

}  // namespace

struct usbfs_sampler::bus {
  explicit bus(usbfs_setup s) : setup(std::move(s)), loader(setup.loader) {}
  ~bus();
  bus(const bus&) = delete;
  bus& operator=(const bus&) = delete;

  void plug_in();
  // The sampler on the bus, its node served by the handler: at the start and when plugged again.
  void add_device();
  static gboolean on_ioctl(UMockdevIoctlBase* handler, UMockdevIoctlClient* client, gpointer self);
  static void on_connected(UMockdevIoctlBase* handler, UMockdevIoctlClient* client, gpointer self);
  static void on_vanished(UMockdevIoctlBase* handler, UMockdevIoctlClient* client, gpointer self);
  answer handle(UMockdevIoctlClient* client, gulong request, UMockdevIoctlData* arg);
  answer claim(UMockdevIoctlClient* client, UMockdevIoctlData* arg);
  answer submit(UMockdevIoctlData* arg);
  answer reap(UMockdevIoctlData* arg);
  void answer_control(usbdevfs_urb& urb, std::uint8_t* buffer);
  answer answer_bulk(usbdevfs_urb& urb, std::uint8_t* buffer);

  usbfs_setup setup;
  std::string root;
  // Requests arrive on the testbed's worker thread; the test reads the results on its own.
  mutable std::mutex mutex;
  sim::sampler loader;
  std::deque<data_ptr> reapable;  // completed URBs, in the order they completed
  std::vector<std::string> unknown;
  // The program that claimed the interface, as the kernel keeps it: until it releases it or
  // closes the node.
  UMockdevIoctlClient* holder = nullptr;
  unsigned opens = 0;
  unsigned releases = 0;  // of a claimed interface, by the program that held it
  bool hold_due = false;  // the loader is about to send the held status block
  data_ptr held;          // that status block's URB, completed but not yet reapable
  std::condition_variable held_changed;
  testbed_ptr testbed;
  handler_ptr handler;
};

usbfs_sampler::bus::~bus() {
  if (testbed && handler) {
    umockdev_testbed_detach_ioctl(testbed.get(), device_node, nullptr);
  }
  testbed.reset();
  handler.reset();
}

void usbfs_sampler::bus::plug_in() {
  testbed.reset(umockdev_testbed_new());
  gchar* root_dir = umockdev_testbed_get_root_dir(testbed.get());
  root = root_dir;
  g_free(root_dir);
  if (setup.hold) {
    loader.on_step([this](sim::phase where, std::uint32_t index) {
      hold_due = hold_due || (where == setup.hold_phase && index == setup.hold_index);
    });
  }
  handler.reset(umockdev_ioctl_base_new());
  g_signal_connect(handler.get(), "handle-ioctl", G_CALLBACK(on_ioctl), this);
  g_signal_connect(handler.get(), "client-connected", G_CALLBACK(on_connected), this);
  g_signal_connect(handler.get(), "client-vanished", G_CALLBACK(on_vanished), this);
  add_device();
  if (setup.node_locked && ::chmod((root + device_node).c_str(), 0) != 0) {
    throw std::runtime_error("could not lock " + root + device_node);
  }
}

void usbfs_sampler::bus::add_device() {
  GError* error = nullptr;
  if (!umockdev_testbed_add_from_string(
          testbed.get(), device_record(setup.product_id, setup.product).c_str(), &error)) {
    const std::string reason = error != nullptr ? error->message : "unknown error";
    g_clear_error(&error);
    throw std::runtime_error("umockdev could not add the sampler: " + reason);
  }
  if (!umockdev_testbed_attach_ioctl(testbed.get(), device_node, handler.get(), &error)) {
    const std::string reason = error != nullptr ? error->message : "unknown error";
    g_clear_error(&error);
    throw std::runtime_error("umockdev could not attach the usbfs handler: " + reason);
  }
}

gboolean usbfs_sampler::bus::on_ioctl(UMockdevIoctlBase*, UMockdevIoctlClient* client,
                                      gpointer self) {
  auto& bus = *static_cast<usbfs_sampler::bus*>(self);
  answer result;
  {
    const std::lock_guard lock(bus.mutex);
    result = bus.handle(client, umockdev_ioctl_client_get_request(client),
                        umockdev_ioctl_client_get_arg(client));
  }
  umockdev_ioctl_client_complete(client, result.result, result.error);
  return TRUE;
}

void usbfs_sampler::bus::on_connected(UMockdevIoctlBase*, UMockdevIoctlClient*, gpointer self) {
  auto& bus = *static_cast<usbfs_sampler::bus*>(self);
  const std::lock_guard lock(bus.mutex);
  ++bus.opens;
}

// The kernel gives a claimed interface back when the program that claimed it closes the node.
void usbfs_sampler::bus::on_vanished(UMockdevIoctlBase*, UMockdevIoctlClient* client,
                                     gpointer self) {
  auto& bus = *static_cast<usbfs_sampler::bus*>(self);
  const std::lock_guard lock(bus.mutex);
  if (bus.holder == client) {
    bus.holder = nullptr;
  }
}

answer usbfs_sampler::bus::handle(UMockdevIoctlClient* client, gulong request,
                                  UMockdevIoctlData* arg) {
  if (tracing()) {
    std::fprintf(stderr, "usbfs: request 0x%08lx (number %lu)\n", request, _IOC_NR(request));
  }
  // Completed URBs can still be reaped after the device went away.
  if (request == USBDEVFS_REAPURBNDELAY || request == USBDEVFS_REAPURB) {
    return reap(arg);
  }
  if (loader.gone()) {
    return fail(ENODEV);
  }
  // What libusb 1.0.26 asks for, with a sysfs that has the descriptors and the active
  // configuration. Anything else is recorded, so that a test notices when libusb asks for more:
  // detaching a kernel driver (USBDEVFS_DISCONNECT_CLAIM, USBDEVFS_IOCTL) is such a request, and
  // the tool must never make it.
  switch (request) {
    case USBDEVFS_GET_CAPABILITIES: {
      const data_ptr value = resolve(arg, 0, sizeof(std::uint32_t));
      if (!value) {
        return fail(EFAULT);
      }
      std::memcpy(value->data, &capabilities, sizeof capabilities);
      return done();
    }
    case USBDEVFS_CLAIMINTERFACE:
      return claim(client, arg);
    case USBDEVFS_RELEASEINTERFACE:
      if (holder == client) {
        holder = nullptr;
        ++releases;
      }
      return done();
    case USBDEVFS_SUBMITURB:
      return submit(arg);
    default:
      break;
  }
  char text[64];
  std::snprintf(text, sizeof text, "0x%08lx", request);
  unknown.emplace_back(text);
  return fail(ENOTTY);
}

answer usbfs_sampler::bus::claim(UMockdevIoctlClient* client, UMockdevIoctlData* arg) {
  const data_ptr value = resolve(arg, 0, sizeof(unsigned int));
  if (!value) {
    return fail(EFAULT);
  }
  unsigned int number = 0;
  std::memcpy(&number, value->data, sizeof number);
  if (number != 0) {
    return fail(EINVAL);
  }
  if (setup.claim_error != 0) {
    return fail(setup.claim_error);
  }
  // One program at a time: another one that claims the interface meanwhile finds it busy.
  if (holder != nullptr && holder != client) {
    return fail(EBUSY);
  }
  holder = client;
  return done();
}

answer usbfs_sampler::bus::submit(UMockdevIoctlData* arg) {
  data_ptr urb_data = resolve(arg, 0, sizeof(usbdevfs_urb));
  if (!urb_data) {
    return fail(EFAULT);
  }
  auto& urb = *reinterpret_cast<usbdevfs_urb*>(urb_data->data);
  if (urb.buffer_length < 0) {
    return fail(EINVAL);
  }
  data_ptr buffer;
  if (urb.buffer_length > 0) {
    buffer = resolve(urb_data.get(), offsetof(usbdevfs_urb, buffer),
                     static_cast<std::size_t>(urb.buffer_length));
    if (!buffer) {
      return fail(EFAULT);
    }
  }
  std::uint8_t* bytes = buffer ? buffer->data : nullptr;
  if (tracing()) {
    std::fprintf(stderr, "usbfs: URB type %u endpoint 0x%02x flags 0x%x, %d bytes\n", urb.type,
                 urb.endpoint, urb.flags, urb.buffer_length);
  }
  if (urb.endpoint == 0 && urb.type == USBDEVFS_URB_TYPE_CONTROL) {
    if (urb.buffer_length < 8) {
      return fail(EINVAL);
    }
    answer_control(urb, bytes);
  } else if (const answer refused = answer_bulk(urb, bytes); refused.result != 0) {
    return refused;
  }
  if (hold_due) {
    hold_due = false;
    held = std::move(urb_data);
    held_changed.notify_all();
    return done();
  }
  reapable.push_back(std::move(urb_data));
  return done();
}

// The default pipe answers the string descriptors (language list and product name) and stalls
// anything else.
void usbfs_sampler::bus::answer_control(usbdevfs_urb& urb, std::uint8_t* buffer) {
  const std::uint8_t request_type = buffer[0];
  const std::uint8_t request = buffer[1];
  const std::uint8_t descriptor_type = buffer[3];
  const std::uint8_t descriptor_index = buffer[2];
  const auto wanted = static_cast<std::size_t>(buffer[6] | buffer[7] << 8);
  std::vector<std::uint8_t> reply;
  if (request_type == USB_DIR_IN && request == USB_REQ_GET_DESCRIPTOR &&
      descriptor_type == USB_DT_STRING) {
    reply = string_descriptor(descriptor_index);
  }
  if (reply.empty()) {
    urb.status = -EPIPE;
    urb.actual_length = 0;
    return;
  }
  const std::size_t room = static_cast<std::size_t>(urb.buffer_length) - 8;
  const std::size_t length = std::min({reply.size(), wanted, room});
  std::memcpy(buffer + 8, reply.data(), length);
  urb.status = 0;
  urb.actual_length = static_cast<int>(length);
}

// A bulk URB is one transfer of the loader: the OUT endpoint hands its bytes to the sampler, the
// IN endpoint takes what the sampler sends. An URB for an endpoint the interface does not have is
// refused as the kernel refuses it.
answer usbfs_sampler::bus::answer_bulk(usbdevfs_urb& urb, std::uint8_t* buffer) {
  if (urb.endpoint != in_endpoint && urb.endpoint != out_endpoint) {
    return fail(ENOENT);
  }
  if (urb.type != USBDEVFS_URB_TYPE_BULK) {
    return fail(EINVAL);
  }
  const auto length = static_cast<std::size_t>(urb.buffer_length);
  std::size_t moved = 0;
  const usb_error error = urb.endpoint == in_endpoint ? loader.send(buffer, length, moved)
                                                      : loader.receive(buffer, length, moved);
  if (error == usb_error::no_device) {
    return fail(ENODEV);  // unplugged: the kernel refuses the URB
  }
  urb.status = urb_status(error);
  urb.actual_length = static_cast<int>(moved);
  return done();
}

answer usbfs_sampler::bus::reap(UMockdevIoctlData* arg) {
  if (reapable.empty()) {
    return fail(loader.gone() ? ENODEV : EAGAIN);
  }
  // The argument points to the caller's URB pointer: it gets the address of the completed URB,
  // whose status, length and data are written back with it.
  const data_ptr slot = resolve(arg, 0, sizeof(void*));
  if (!slot) {
    return fail(EFAULT);
  }
  umockdev_ioctl_data_set_ptr(slot.get(), 0, reapable.front().get());
  reapable.pop_front();
  return done();
}

usbfs_sampler::usbfs_sampler(usbfs_setup setup) : bus_(std::make_unique<bus>(std::move(setup))) {
  bus_->plug_in();
}

usbfs_sampler::~usbfs_sampler() = default;

void usbfs_sampler::unplug() {
  const std::string syspath = std::string("/sys/devices/usb1/") + sysfs_name;
  umockdev_testbed_uevent(bus_->testbed.get(), syspath.c_str(), "remove");
  umockdev_testbed_detach_ioctl(bus_->testbed.get(), device_node, nullptr);
  umockdev_testbed_remove_device(bus_->testbed.get(), syspath.c_str());
}

void usbfs_sampler::plug() {
  bus_->add_device();
}

process_result usbfs_sampler::run(const std::string& program,
                                  const std::vector<std::string>& args) {
  const std::vector<std::string> env = bus_environment(bus_->root);
  if (!bus_->setup.node_locked || ::geteuid() != 0) {
    return run_process(program, args, env);
  }
  // Root opens a node whatever its mode: run the program without the capabilities that let it,
  // as a user without the udev rule.
  std::vector<std::string> wrapped = {"--inh-caps=-dac_override,-dac_read_search",
                                      "--bounding-set=-dac_override,-dac_read_search", "--",
                                      program};
  wrapped.insert(wrapped.end(), args.begin(), args.end());
  return run_process(VTFLASH_SETPRIV_PATH, wrapped, env);
}

std::unique_ptr<child_process> usbfs_sampler::start(const std::string& program,
                                                    const std::vector<std::string>& args) {
  return std::make_unique<child_process>(program, args, bus_environment(bus_->root));
}

bool usbfs_sampler::wait_until_held() {
  std::unique_lock lock(bus_->mutex);
  return bus_->held_changed.wait_for(lock, std::chrono::minutes(1),
                                     [this] { return bus_->held != nullptr; });
}

void usbfs_sampler::release() {
  const std::lock_guard lock(bus_->mutex);
  if (bus_->held) {
    bus_->reapable.push_back(std::move(bus_->held));
  }
}

unsigned usbfs_sampler::opens() const {
  const std::lock_guard lock(bus_->mutex);
  return bus_->opens;
}

unsigned usbfs_sampler::releases() const {
  const std::lock_guard lock(bus_->mutex);
  return bus_->releases;
}

std::vector<std::uint8_t> usbfs_sampler::flash_contents() const {
  const std::lock_guard lock(bus_->mutex);
  return bus_->loader.flash_contents();
}

std::vector<std::uint32_t> usbfs_sampler::erased_blocks() const {
  const std::lock_guard lock(bus_->mutex);
  return bus_->loader.erased_blocks();
}

std::vector<std::string> usbfs_sampler::unknown_requests() const {
  const std::lock_guard lock(bus_->mutex);
  return bus_->unknown;
}

}  // namespace vt::test
