// What the flash tool costs on top of the USB transfers themselves.
//
// BM_ChunkCrc: checksum throughput on the default and the largest chunk.
// BM_Install / BM_TransferFloor: a full installation of a 64 MiB image (4096 blocks of 16 KiB,
// 1 MiB chunks) through the simulated sampler with no device latency, against a loop that makes
// exactly the same transfers with no work of its own (command blocks made in advance, no
// checksums, no printing). The sampler's own work (checking each command and chunk, keeping the
// flash) is in both, as a real device's time would be.
// BM_PeakMemory: the peak resident memory of vtflash-sim installing the same image, less the
// simulated flash it keeps, against the image size.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "device.h"
#include "loader.h"
#include "sim/native/sim_platform.h"
#include "text_listener.h"

namespace {

constexpr std::uint32_t blocks = 4096;
constexpr std::uint32_t block_size = 16384;
constexpr std::size_t image_size = std::size_t{blocks} * block_size;
constexpr std::uint32_t chunk_size = 1048576;

std::vector<std::uint8_t> make_image(std::size_t length) {
  std::vector<std::uint8_t> bytes(length);
  std::uint32_t state = 12345;
  for (std::uint8_t& b : bytes) {
    state = state * 1103515245u + 12345u;
    b = static_cast<std::uint8_t>(state >> 16);
  }
  std::memcpy(bytes.data() + 32, "MPC4000 Operating System", 24);
  return bytes;
}

void BM_ChunkCrc(benchmark::State& state) {
  const auto data = make_image(static_cast<std::size_t>(state.range(0)));
  for (auto _ : state) {
    benchmark::DoNotOptimize(vt::chunk_crc(data.data(), data.size()));
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0));
}
BENCHMARK(BM_ChunkCrc)->Arg(32768)->Arg(1048576);

// The tool prints progress to standard output; the benchmark sends it to /dev/null.
struct quiet_stdout {
  int saved = ::dup(1);
  quiet_stdout() {
    std::fflush(stdout);
    const int null = ::open("/dev/null", O_WRONLY);
    ::dup2(null, 1);
    ::close(null);
  }
  ~quiet_stdout() {
    std::fflush(stdout);
    ::dup2(saved, 1);
    ::close(saved);
  }
};

std::unique_ptr<vt::sim::sim_platform> make_sampler() {
  vt::sim::scenario setup;
  setup.sampler.blocks = blocks;
  setup.sampler.block_size = block_size;
  return std::make_unique<vt::sim::sim_platform>(setup);
}

// A freshly opened sampler for each iteration, made and thrown away while the clock is stopped.
// The tool's lines, written as the tool writes them: each one at once.
struct stdout_sink final : vt::line_sink {
  void write(vt::text_stream, std::string_view text) override {
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
  }
};

struct session {
  std::unique_ptr<vt::sim::sim_platform> platform;
  std::unique_ptr<vt::usb_handle> handle;
  stdout_sink sink;
  vt::text_output output{sink};
  vt::text_listener lines{output};
  const vt::cancel_token never;
  void renew() {
    handle.reset();
    platform = make_sampler();
    handle = std::make_unique<vt::usb_handle>();
    quiet_stdout quiet;
    vt::open_device(*platform, 0x09E8, 0x0061, *handle, lines);
  }
};

void BM_Install(benchmark::State& state) {
  const auto image = make_image(image_size);
  session s;
  for (auto _ : state) {
    state.PauseTiming();
    s.renew();
    quiet_stdout quiet;
    state.ResumeTiming();
    vt::flash_geometry geometry;
    if (vt::query_geometry(*s.handle, geometry, s.lines) != 0 ||
        vt::run_update(*s.handle, image.data(), image.size(), geometry, chunk_size, s.lines,
                       s.never) != 0) {
      state.SkipWithError("installation failed");
    }
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * image_size);
}
BENCHMARK(BM_Install)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_TransferFloor(benchmark::State& state) {
  const auto image = make_image(image_size);
  // Everything the protocol sends, prepared before the clock runs.
  std::vector<vt::command_block> erases;
  for (std::uint32_t b = 0; b < blocks; ++b) {
    erases.push_back(vt::make_erase_command(b));
  }
  std::vector<vt::command_block> writes;
  for (std::size_t offset = 0; offset < image_size; offset += chunk_size) {
    writes.push_back(vt::make_write_command(static_cast<std::uint32_t>(offset), chunk_size,
                                            vt::chunk_crc(image.data() + offset, chunk_size)));
  }
  const vt::command_block geometry = vt::make_geometry_command();
  session s;
  for (auto _ : state) {
    state.PauseTiming();
    s.renew();
    state.ResumeTiming();
    const vt::usb_handle& handle = *s.handle;
    vt::usb_connection& usb = *handle.connection;
    std::uint8_t reply[vt::status_block_size];
    std::size_t moved = 0;
    const unsigned timeout = vt::transfer_timeout_ms;
    usb.bulk_write(handle.out_endpoint, geometry.data(), geometry.size(), moved, timeout);
    usb.bulk_read(handle.in_endpoint, reply, vt::geometry_reply_size, moved, timeout);
    usb.bulk_read(handle.in_endpoint, reply, vt::status_block_size, moved, timeout);
    for (const auto& erase : erases) {
      usb.bulk_write(handle.out_endpoint, erase.data(), erase.size(), moved, timeout);
      usb.bulk_read(handle.in_endpoint, reply, vt::status_block_size, moved, timeout);
    }
    for (std::size_t i = 0; i < writes.size(); ++i) {
      usb.bulk_write(handle.out_endpoint, writes[i].data(), writes[i].size(), moved, timeout);
      usb.bulk_write(handle.out_endpoint, image.data() + i * chunk_size, chunk_size, moved,
                     timeout);
      usb.bulk_read(handle.in_endpoint, reply, vt::status_block_size, moved, timeout);
      if (reply[vt::status_field::code] != 0) {
        state.SkipWithError("the sampler refused a chunk");
      }
    }
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * image_size);
}
BENCHMARK(BM_TransferFloor)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_PeakMemory(benchmark::State& state) {
  const std::string path = "/tmp/veltrin-bench-image.bin";
  {
    const auto image = make_image(image_size);
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(image.data()), image.size());
  }
  long peak_kib = 0;
  for (auto _ : state) {
    const pid_t pid = ::fork();
    if (pid == 0) {
      const int null = ::open("/dev/null", O_WRONLY);
      ::dup2(null, 1);
      ::setenv("VTFLASH_SIM", "blocks=4096,block_size=16384", 1);
      ::execl(VTFLASH_SIM_PATH, "vtflash-sim", "--firmware", path.c_str(), "--yes", "--chunk",
              "1048576", static_cast<char*>(nullptr));
      ::_exit(127);
    }
    int status = 0;
    rusage usage{};
    ::wait4(pid, &status, 0, &usage);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
      state.SkipWithError("vtflash-sim failed");
    }
    peak_kib = usage.ru_maxrss;
  }
  ::unlink(path.c_str());
  const double image_mib = static_cast<double>(image_size) / 1048576.0;
  // The simulated sampler keeps the whole written flash in the same process.
  state.counters["peak_MiB"] = static_cast<double>(peak_kib) / 1024.0;
  state.counters["image_MiB"] = image_mib;
  state.counters["tool_over_image_MiB"] = static_cast<double>(peak_kib) / 1024.0 - 2 * image_mib;
}
BENCHMARK(BM_PeakMemory)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
