#include "image_hash.h"

#include <nettle/sha2.h>

#include <cctype>
#include <cstring>

#include "output.h"

namespace vt {

std::string image_sha256(const std::uint8_t* bytes, std::size_t length) {
  sha256_ctx context;
  sha256_init(&context);
  sha256_update(&context, length, bytes);
  std::uint8_t digest[SHA256_DIGEST_SIZE];
  sha256_digest(&context, sizeof digest, digest);
  static constexpr char digits[] = "0123456789abcdef";
  std::string text;
  for (const std::uint8_t byte : digest) {
    text += digits[byte >> 4];
    text += digits[byte & 0x0f];
  }
  return text;
}

bool is_sha256_text(const char* text) {
  std::size_t length = 0;
  for (; text[length] != '\0'; ++length) {
    if (std::strchr("0123456789abcdefABCDEF", text[length]) == nullptr) {
      return false;
    }
  }
  return length == 2 * SHA256_DIGEST_SIZE;
}

int check_image_sha256(const std::string& actual, const char* expected) {
  if (expected == nullptr) {
    return 0;
  }
  std::string wanted = expected;
  for (char& c : wanted) {
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  if (wanted == actual) {
    return 0;
  }
  out::error("Firmware SHA-256 mismatch: expected %s, got %s.\n", wanted.c_str(), actual.c_str());
  return -1;
}

}  // namespace vt
