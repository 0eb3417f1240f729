#pragma once

// Collects key events as "+1F" (down) and "-1F" (up), hex key numbers, for easy comparison.

#include "vextd/output/KeyOutput.h"

#include <cstdio>
#include <string>
#include <vector>

namespace vext::test {

class FakeKeyOutput : public KeyOutput {
public:
    bool KeyEvent(int nKeyNumber, bool bDown) override {
        char text[8];
        std::snprintf(text, sizeof text, "%c%02X", bDown ? '+' : '-', nKeyNumber);
        events.emplace_back(text);
        return true;
    }
    std::string Name() const override { return "fake"; }

    // The events so far, space-separated, and forgets them.
    std::string Take() {
        std::string out;
        for (const std::string& e : events) {
            out += out.empty() ? "" : " ";
            out += e;
        }
        events.clear();
        return out;
    }

    std::vector<std::string> events;
};

} // namespace vext::test
