// The SHA-256 of the OS image the tool loaded: what --sha256 is checked against and what the
// installation record names. Computed once, in one pass over the very bytes that are written.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace vt {

// 64 lower-case hexadecimal digits.
std::string image_sha256(const std::uint8_t* bytes, std::size_t length);

// Whether `text` is what --sha256 takes: exactly 64 hexadecimal digits, in either case.
bool is_sha256_text(const char* text);

// 0 when `expected` (from --sha256; nullptr when it was not given) names the hash `actual`, in
// either case; else -1 after the mismatch line, which names both.
int check_image_sha256(const std::string& actual, const char* expected);

}  // namespace vt
