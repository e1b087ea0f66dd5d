// The one function of libdeflate the loader uses, for the WebAssembly build, where the system's
// library is not available: a plain CRC-32 with libdeflate's convention (the running value is
// inverted on the way in and out).
#pragma once

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

uint32_t libdeflate_crc32(uint32_t crc, const void* buffer, size_t length);

#ifdef __cplusplus
}
#endif
