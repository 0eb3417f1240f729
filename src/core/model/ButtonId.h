#pragma once

// A pad input is named by a 32-bit button ID: slot in bits 31-24, first index in 23-16,
// second index in 15-8, input kind in 7-0.

#include <cstdint>

namespace vext {

enum : int { kInputButton = 1, kInputDirection = 2 };

constexpr uint32_t MakeButtonId(int nSlot, int nX, int nY, int nKind) {
    return (static_cast<uint32_t>(nSlot & 0xFF) << 24) | (static_cast<uint32_t>(nX & 0xFF) << 16) |
           (static_cast<uint32_t>(nY & 0xFF) << 8) | static_cast<uint32_t>(nKind & 0xFF);
}

constexpr int ButtonSlot(uint32_t id) {
    return static_cast<int>(id >> 24);
}
constexpr int ButtonX(uint32_t id) {
    return static_cast<int>((id >> 16) & 0xFF);
}
constexpr int ButtonY(uint32_t id) {
    return static_cast<int>((id >> 8) & 0xFF);
}
constexpr int ButtonKind(uint32_t id) {
    return static_cast<int>(id & 0xFF);
}

} // namespace vext
