// Fuzz target for the profile parser: any bytes parse, reads stay within their buffers, text
// that is already UTF-8 comes back byte for byte, and writes read back after a re-parse.

#include "core/platform/ProfileFile.h"
#include "core/platform/TextEncoding.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace {

// A broken invariant names itself before the fuzzer records the input.
#define CHECK(condition)                                                                           \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            std::fprintf(stderr, "%s:%d: %s\n", __FILE__, __LINE__, #condition);                   \
            std::abort();                                                                          \
        }                                                                                          \
    } while (false)

std::string_view Trim(std::string_view s) {
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\v' || c == '\f'; };
    while (!s.empty() && blank(s.front())) {
        s.remove_prefix(1);
    }
    while (!s.empty() && blank(s.back())) {
        s.remove_suffix(1);
    }
    return s;
}

// (section, key) pairs as a naive reading of the text finds them, with whether the section is
// the first of its name (only those are read).
struct Found {
    std::string section;
    std::string key;
    bool bFirstSection;
};

std::vector<Found> NaiveKeys(std::string_view text) {
    std::vector<Found> found;
    std::vector<std::string> seen;
    std::string section;
    bool bInSection = false;
    bool bFirst = false;
    const vext::NoCaseEqual equal;
    while (!text.empty()) {
        const std::size_t end = text.find_first_of("\r\n");
        const std::string_view line = Trim(text.substr(0, end));
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (!line.empty() && line.front() == '[' && line.find(']') != std::string_view::npos) {
            section = std::string(Trim(line.substr(1, line.rfind(']') - 1)));
            bInSection = true;
            bFirst = true;
            for (const std::string& s : seen) {
                bFirst = bFirst && !equal(s, section);
            }
            seen.push_back(section);
        } else if (bInSection && !line.empty() && line.front() != ';' &&
                   line.find('=') != std::string_view::npos && found.size() < 64) {
            found.push_back({section, std::string(Trim(line.substr(0, line.find('=')))), bFirst});
        }
    }
    return found;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    vext::ProfileFile file;
    file.Parse(bytes);
    if (vext::IsValidUtf8(bytes)) {
        CHECK(file.Text() == bytes);
    }

    const std::string text = file.Text();
    CHECK(vext::IsValidUtf8(text));
    std::string_view body = text;
    if (body.substr(0, 3) == "\xEF\xBB\xBF") {
        body.remove_prefix(3); // a byte order mark is not part of the first line
    }
    const std::vector<Found> keys = NaiveKeys(body);
    for (const Found& f : keys) {
        const std::string value = file.GetString(f.section, f.key);
        CHECK(value.size() <= vext::ProfileFile::kBufferSize - 1);
        CHECK(vext::IsValidUtf8(value));
        CHECK(file.GetString(f.section, f.key, "", 5).size() <= 4);
        static_cast<void>(file.GetInt(f.section, f.key, 0));
        if (f.bFirstSection) {
            CHECK(file.HasKey(f.section, f.key));
        }
    }

    for (std::size_t i = 0; i < keys.size(); i += 3) {
        const Found& f = keys[i];
        if (!f.bFirstSection || f.key.empty()) {
            continue;
        }
        file.SetString(f.section, f.key, "fuzz value");
        CHECK(file.GetString(f.section, f.key) == "fuzz value");
        vext::ProfileFile again;
        again.Parse(file.Text());
        CHECK(again.GetString(f.section, f.key) == "fuzz value");
        CHECK(again.Text() == file.Text());
    }

    file.SetString("Fuzz_New_Section", "Added", "'quoted'\r\nstray=1");
    CHECK(file.GetString("fuzz_new_section", "added") == "quoted");
    vext::ProfileFile reparsed;
    reparsed.Parse(file.Text());
    CHECK(reparsed.GetString("Fuzz_New_Section", "Added") == "quoted");
    CHECK(!reparsed.HasKey("Fuzz_New_Section", "stray"));

    if (!keys.empty()) {
        file.DeleteKey(keys.front().section, keys.front().key);
        file.DeleteSection(keys.back().section);
        reparsed.Parse(file.Text());
        CHECK(reparsed.Text() == file.Text());
    }
    return 0;
}
