// The scenario of the simulated sampler, from a text such as
//   blocks=16,block_size=4096,erase_ms=5,fault=status:0x05@erase3,fault=gone:data@write1
#include <cerrno>
#include <cstdlib>
#include <sstream>

#include "loader.h"
#include "sampler.h"

namespace vt::sim {

namespace {

bool parse_unsigned(const std::string& text, std::uint64_t max, std::uint64_t& value) {
  if (text.empty() || text[0] == '-' || text[0] == '+' || text[0] == ' ') {
    return false;
  }
  char* end = nullptr;
  errno = 0;
  const unsigned long long parsed = std::strtoull(text.c_str(), &end, 0);
  if (errno != 0 || *end != '\0' || parsed > max) {
    return false;
  }
  value = parsed;
  return true;
}

template <typename T>
bool parse_into(const std::string& text, std::uint64_t max, T& out) {
  std::uint64_t value = 0;
  if (!parse_unsigned(text, max, value)) {
    return false;
  }
  out = static_cast<T>(value);
  return true;
}

bool parse_transfer(const std::string& text, transfer& out) {
  if (text == "command") {
    out = transfer::command;
  } else if (text == "data") {
    out = transfer::data;
  } else if (text == "reply") {
    out = transfer::reply;
  } else if (text == "status") {
    out = transfer::status;
  } else {
    return false;
  }
  return true;
}

// "erase3", "write0", "geometry" (same as "geometry0").
bool parse_exchange(const std::string& text, phase& where_out, std::uint32_t& index_out) {
  static const std::pair<const char*, phase> phases[] = {
      {"geometry", phase::geometry}, {"erase", phase::erase}, {"write", phase::write}};
  for (const auto& [name, where] : phases) {
    const std::string prefix = name;
    if (text.compare(0, prefix.size(), prefix) != 0) {
      continue;
    }
    where_out = where;
    const std::string index = text.substr(prefix.size());
    if (index.empty()) {
      index_out = 0;
      return true;
    }
    return parse_into(index, 0xFFFFFFFFu, index_out);
  }
  return false;
}

bool parse_fault(const std::string& text, fault& f, std::string& error) {
  const auto at = text.find('@');
  if (at == std::string::npos) {
    error = "fault '" + text + "' needs @PHASE<index> (geometry, erase3, write0)";
    return false;
  }
  const std::string what = text.substr(0, at);
  if (!parse_exchange(text.substr(at + 1), f.where, f.index)) {
    error = "fault '" + text + "': unknown exchange '" + text.substr(at + 1) + "'";
    return false;
  }
  const auto colon = what.find(':');
  const std::string kind = what.substr(0, colon);
  const std::string arg = colon == std::string::npos ? "" : what.substr(colon + 1);
  bool ok = false;
  if (kind == "status") {
    f.what = fault::kind::status_code;
    ok = parse_into(arg, 0xFF, f.code);
  } else if (kind == "short_status") {
    f.what = fault::kind::short_status;
    ok = parse_into(arg, status_block_size - 1, f.length);
  } else if (kind == "short_geometry") {
    f.what = fault::kind::short_geometry;
    ok = parse_into(arg, geometry_reply_size - 1, f.length) && f.where == phase::geometry;
  } else if (kind == "signature") {
    f.what = fault::kind::bad_signature;
    std::uint64_t value = 0;
    ok = arg.size() == 8 && parse_unsigned("0x" + arg, 0xFFFFFFFFu, value);
    for (int i = 0; i < 4; ++i) {
      f.signature[i] = static_cast<std::uint8_t>(value >> (8 * (3 - i)));
    }
  } else if (kind == "short_write") {
    f.what = fault::kind::short_write;
    ok = parse_into(arg, 0xFFFFFFFFu, f.length) && f.where == phase::write;
  } else if (kind == "stall" && !arg.empty() && arg[0] >= '0' && arg[0] <= '9') {
    // stall:SECONDS: the step's status block comes that late; stall:T is a stalled pipe.
    f.what = fault::kind::stall;
    ok = parse_into(arg, 3600, f.seconds);
  } else if (kind == "timeout" || kind == "gone" || kind == "stall") {
    f.what = fault::kind::transfer_error;
    f.error = kind == "timeout" ? usb_error::timeout
              : kind == "gone"  ? usb_error::no_device
                                : usb_error::stall;
    ok = parse_transfer(arg, f.on);
  }
  if (!ok) {
    error = "fault '" + text +
            "' is not one of status:0xNN, short_status:N (0-18), signature:HHHHHHHH, "
            "short_geometry:N (0-7, geometry only), short_write:N (write only), timeout:T, gone:T, "
            "stall:T (T = command, data, reply or status), stall:S (S seconds late, 0-3600)";
  }
  return ok;
}

bool parse_item(const std::string& key, const std::string& value, scenario& result,
                std::string& error) {
  bool ok = false;
  if (key == "blocks") {
    // Far beyond any real flash, yet small enough to keep one state byte per block.
    ok = parse_into(value, 1u << 20, result.sampler.blocks);
  } else if (key == "block_size") {
    ok = parse_into(value, 0xFFFFFFFFu, result.sampler.block_size);
  } else if (key == "erase_ms") {
    ok = parse_into(value, 60000, result.sampler.erase_ms);
  } else if (key == "byte_ns") {
    ok = parse_into(value, 1000000, result.sampler.byte_ns);
  } else if (key == "fault") {
    fault f;
    if (!parse_fault(value, f, error)) {
      return false;
    }
    result.sampler.faults.push_back(f);
    return true;
  } else if (key == "bus") {
    static const std::pair<const char*, scenario::bus_layout> layouts[] = {
        {"standard", scenario::bus_layout::standard},
        {"none", scenario::bus_layout::none},
        {"no_endpoints", scenario::bus_layout::no_endpoints},
        {"one_direction", scenario::bus_layout::one_direction},
        {"two_in", scenario::bus_layout::two_in},
        {"unusable", scenario::bus_layout::unusable}};
    for (const auto& [name, layout] : layouts) {
      if (value == name) {
        result.bus = layout;
        ok = true;
      }
    }
  } else if (key == "config") {
    ok = value == "inactive";
    result.config_inactive = ok;
  } else if (key == "busy") {
    ok = value == "interface" || value == "config";
    result.busy_interface = result.busy_interface || value == "interface";
    result.busy_config = result.busy_config || value == "config";
  } else if (key == "access") {
    ok = value == "denied";
    result.access_denied = ok;
  } else if (key == "product") {
    ok = parse_into(value, 0xFFFF, result.product_id);
  } else if (key == "holder") {
    // NAME:PID; the name may hold ':' itself, the id cannot.
    const auto colon = value.rfind(':');
    usb_node_holder holder;
    ok = colon != std::string::npos && parse_into(value.substr(colon + 1), 0x7fffffff, holder.pid);
    holder.name = value.substr(0, colon);
    if (ok) {
      result.holders.push_back(holder);
    }
  } else if (key == "search") {
    ok = value == "fails";
    result.search_fails = ok;
  } else if (key == "dump") {
    ok = !value.empty();
    result.dump_path = value;
  } else if (key == "plug") {
    ok = !value.empty();
    result.plug_path = value;
  } else if (key == "hotplug") {
    ok = value == "unsupported";
    result.no_hotplug = ok;
  } else if (key == "gate") {
    // PATH@erase3: the path may hold '@' itself, the exchange cannot.
    const auto at = value.rfind('@');
    ok = at != std::string::npos && at > 0 &&
         parse_exchange(value.substr(at + 1), result.gate_phase, result.gate_index);
    result.gate_path = ok ? value.substr(0, at) : "";
  } else {
    error = "unknown setting '" + key + "'";
    return false;
  }
  if (!ok) {
    error = "bad value '" + value + "' for " + key;
  }
  return ok;
}

}  // namespace

bool parse_scenario(const std::string& text, scenario& result, std::string& error) {
  std::stringstream items(text);
  std::string item;
  while (std::getline(items, item, ',')) {
    if (item.empty()) {
      continue;
    }
    const auto equals = item.find('=');
    if (equals == std::string::npos) {
      error = "'" + item + "' is not key=value";
      return false;
    }
    if (!parse_item(item.substr(0, equals), item.substr(equals + 1), result, error)) {
      return false;
    }
  }
  return true;
}

}  // namespace vt::sim
