// Record lines: the frame texts sent to the boot loader.
#pragma once

#include <cstddef>
#include <cstdint>

namespace pellin {

// Frame types the library builds.
enum : uint8_t {
    kTypeEnd = 0x00,
    kTypeAnnounce = 0x01,
    kTypePrepare = 0x02,
};

inline constexpr char kEndFrame[] = "=0000000000\n";
inline constexpr char kShutDownFrame[] = "=000000AA56\n";
inline constexpr char kStartFrame[] = "=0000009967\n";

// Two's complement of the 8-bit sum of the bytes.
uint8_t RecordChecksum(const uint8_t* bytes, size_t count);

// Writes a control frame ("=" + hex pairs + LF + NUL) with address 0 into out, which must hold
// 2 * (count + 5) + 3 bytes. Returns the checksum.
uint8_t FormatControlFrame(char* out, uint8_t type, const uint8_t* data, uint8_t count);

} // namespace pellin
