#pragma once

// A window placement as the key-set file stores it: eleven 32-bit fields in the order of the
// Windows WINDOWPLACEMENT record. A record whose length is 0 is empty.

#include <array>
#include <cstdint>

namespace vext {

struct WindowPlacement {
    static constexpr int32_t kLength = 44;
    static constexpr int32_t kShowNormal = 1;
    static constexpr int32_t kShowMinimized = 2;
    static constexpr int32_t kShowMaximized = 3;
    static constexpr int32_t kShowRestore = 9;

    int32_t length = 0;
    int32_t flags = 0;
    int32_t showCmd = 0;
    int32_t minX = 0;
    int32_t minY = 0;
    int32_t maxX = 0;
    int32_t maxY = 0;
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;

    bool IsEmpty() const { return length == 0; }

    // The fields in record order, for reading and writing them one by one.
    std::array<int32_t*, 11> Fields() {
        return {&length, &flags, &showCmd, &minX,  &minY,  &maxX,
                &maxY,   &left,  &top,     &right, &bottom};
    }
    std::array<int32_t, 11> Values() const {
        return {length, flags, showCmd, minX, minY, maxX, maxY, left, top, right, bottom};
    }
    bool operator==(const WindowPlacement&) const = default;
};

} // namespace vext
