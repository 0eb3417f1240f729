#pragma once

// The device channel's 32-bit words: little-endian on the wire whatever the host's order.
// GetU32's caller has checked that four bytes are there.

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace vext {

inline void PutU32(uint32_t value, std::vector<uint8_t>* pOut) {
    for (int shift = 0; shift < 32; shift += 8) {
        pOut->push_back(static_cast<uint8_t>(value >> shift));
    }
}

// For a fixed buffer; the caller has checked that four bytes are there.
inline void SetU32(uint32_t value, std::span<uint8_t> out, size_t offset) {
    for (size_t i = 0; i < 4; ++i) {
        out[offset + i] = static_cast<uint8_t>(value >> (8 * i));
    }
}

inline uint32_t GetU32(std::span<const uint8_t> bytes, size_t offset) {
    uint32_t value = 0;
    for (size_t i = 0; i < 4; ++i) {
        value |= static_cast<uint32_t>(bytes[offset + i]) << (8 * i);
    }
    return value;
}

} // namespace vext
