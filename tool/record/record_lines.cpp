#include "record_lines.h"

#include <charconv>
#include <chrono>
#include <cstdio>

namespace vt::record {

namespace {

std::string utc_time(std::int64_t seconds) {
  using namespace std::chrono;
  const sys_seconds when{std::chrono::seconds{seconds}};
  const sys_days day = floor<days>(when);
  const year_month_day date{day};
  const auto in_day = static_cast<long long>((when - day).count());
  char text[64];  // wide enough for any year the compiler cannot rule out, not only four digits
  std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02lld:%02lld:%02lldZ",
                static_cast<int>(date.year()), static_cast<unsigned>(date.month()),
                static_cast<unsigned>(date.day()), in_day / 3600, in_day / 60 % 60, in_day % 60);
  return text;
}

template <typename T>
bool number(std::string_view text, T& value, int base = 10) {
  const char* end = text.data() + text.size();
  const auto [stop, error] = std::from_chars(text.data(), end, value, base);
  return !text.empty() && error == std::errc{} && stop == end;
}

// "2025-03-01T14:05:09Z", and nothing else.
bool parse_utc_time(std::string_view text, std::int64_t& seconds) {
  using namespace std::chrono;
  int y = 0;
  unsigned mo = 0, d = 0, h = 0, mi = 0, s = 0;
  if (text.size() != 20 || text[4] != '-' || text[7] != '-' || text[10] != 'T' || text[13] != ':' ||
      text[16] != ':' || text[19] != 'Z' || !number(text.substr(0, 4), y) ||
      !number(text.substr(5, 2), mo) || !number(text.substr(8, 2), d) ||
      !number(text.substr(11, 2), h) || !number(text.substr(14, 2), mi) ||
      !number(text.substr(17, 2), s)) {
    return false;
  }
  const year_month_day date{year{y}, month{mo}, day{d}};
  if (!date.ok() || h > 23 || mi > 59 || s > 60) {
    return false;
  }
  seconds = duration_cast<std::chrono::seconds>(sys_days{date}.time_since_epoch()).count() +
            h * 3600 + mi * 60 + s;
  return true;
}

std::string escaped(const std::string& bytes) {
  std::string text;
  for (const char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7f || c == '\\') {
      char escape[5];
      std::snprintf(escape, sizeof escape, "\\x%02x", byte);
      text += escape;
    } else {
      text += c;
    }
  }
  return text;
}

bool unescaped(std::string_view text, std::string& bytes) {
  bytes.clear();
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\') {
      bytes += text[i];
      continue;
    }
    unsigned char byte = 0;
    if (i + 3 >= text.size() || text[i + 1] != 'x' || !number(text.substr(i + 2, 2), byte, 16)) {
      return false;
    }
    bytes += static_cast<char>(byte);
    i += 3;
  }
  return !bytes.empty();
}

// Takes the next field, up to a space or the end, off the front of `rest`.
bool next_field(std::string_view& rest, std::string_view& field) {
  const std::size_t space = rest.find(' ');
  field = rest.substr(0, space);
  rest = space == std::string_view::npos ? std::string_view{} : rest.substr(space + 1);
  return !field.empty();
}

bool is_sha256(std::string_view text) {
  if (text.size() != 64) {
    return false;
  }
  for (const char c : text) {
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) {
      return false;
    }
  }
  return true;
}

std::string process_fields(const process_id& process) {
  return process.boot + " " + std::to_string(process.pid) + " " + std::to_string(process.start);
}

bool parse_process(std::string_view& rest, process_id& process) {
  std::string_view boot, pid, start;
  if (!next_field(rest, boot) || !next_field(rest, pid) || !next_field(rest, start) ||
      !number(pid, process.pid) || !number(start, process.start)) {
    return false;
  }
  process.boot = std::string(boot);
  return true;
}

bool parse_begin(std::string_view line, installation& what) {
  std::string_view word, time, sha256;
  if (!next_field(line, word) || word != "begin" || !next_field(line, time) ||
      !parse_utc_time(time, what.began) || !parse_process(line, what.process) ||
      !next_field(line, sha256) || !is_sha256(sha256)) {
    return false;
  }
  what.sha256 = std::string(sha256);
  return unescaped(line, what.image);
}

bool parse_end(std::string_view line, process_id& process, ending& how) {
  std::string_view word, result, where, position;
  if (!next_field(line, word) || word != "end" || !parse_process(line, process) ||
      !next_field(line, result)) {
    return false;
  }
  if (result == "completed") {
    how = ending{};
    return line.empty();
  }
  if (result != "failed" && result != "stopped") {
    return false;
  }
  how.how = result == "failed" ? outcome::failed : outcome::stopped;
  if (!next_field(line, where) || !next_field(line, position) || !line.empty()) {
    return false;
  }
  if (where == "erase") {
    how.where = phase::erase;
    return number(position, how.position);
  }
  how.where = phase::write;
  return where == "write" && position.substr(0, 2) == "0x" &&
         number(position.substr(2), how.position, 16);
}

}  // namespace

std::string begin_line(const installation& what) {
  return "begin " + utc_time(what.began) + " " + process_fields(what.process) + " " + what.sha256 +
         " " + escaped(what.image) + "\n";
}

std::string end_line(const process_id& process, const ending& how) {
  const std::string start = "end " + process_fields(process) + " ";
  if (how.how == outcome::completed) {
    return start + "completed\n";
  }
  if (how.how != outcome::failed && how.how != outcome::stopped) {
    return "";
  }
  char position[16];
  std::snprintf(position, sizeof position, how.where == phase::erase ? "%u" : "0x%08x",
                how.position);
  return start + (how.how == outcome::failed ? "failed " : "stopped ") +
         (how.where == phase::erase ? "erase " : "write ") + position + "\n";
}

std::optional<installation> last_in(std::string_view text) {
  std::optional<installation> last;
  bool ended = false;
  for (std::size_t end = text.find('\n'); end != std::string_view::npos; end = text.find('\n')) {
    const std::string_view line = text.substr(0, end);
    text.remove_prefix(end + 1);
    installation begun;
    process_id process;
    ending how;
    if (parse_begin(line, begun)) {
      last = std::move(begun);
      ended = false;
    } else if (last && !ended && parse_end(line, process, how) && process == last->process) {
      last->end = how;
      ended = true;
    }
  }
  if (last && !ended) {
    last->end = ending{outcome::interrupted};
  }
  return last;
}

}  // namespace vt::record
