#pragma once

// A profile (INI) file read and written by the rules of the Windows profile services, which
// define the key-set file's format. The text is parsed once; reads are answered from an index,
// writes change the copy in memory, and Flush writes the whole file atomically.

#include "core/platform/AtomicFile.h"
#include "core/platform/NoCase.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace vext {

// The integer rules of GetPrivateProfileIntA applied to a value already read: an optional sign,
// "0x" for hexadecimal, else decimal digits up to the first other character, wrapped to 32 bits.
// An empty value gives the default; a value without digits gives 0.
int32_t ProfileValueToInt(std::string_view value, int32_t nDefault);

class ProfileFile {
public:
    // The buffer the profile services fill by default; values read back cut to one less.
    static constexpr std::size_t kBufferSize = 2048;
    // Key-set files are small; anything this large is not one.
    static constexpr std::size_t kMaxFileBytes = 256u << 20;

    // Reads the file at path; later writes go back to it. A missing file is no error: it reads
    // as empty and every read gives its default. Text that starts with the UTF-16LE
    // byte-order mark is UTF-16LE; other text that is not UTF-8 is Windows-1252.
    FileStatus Load(const std::string& path);
    // Starts an empty file at path that replaces whatever is there on the next Flush.
    void Create(const std::string& path);
    // Parses text held in memory (no path); used by tests and fuzzing.
    void Parse(std::string_view bytes);

    const std::string& Path() const { return m_strPath; }
    // Whether the file was there when loaded (or has been written since).
    bool Exists() const { return m_bExists; }

    // Lines of the text, blank ones included: an upper bound for any count the text can back.
    std::size_t LineCount() const;

    bool HasSection(std::string_view section) const;
    // Sections whose names begin with prefix (any case), sections of equal names counted once.
    std::size_t CountSections(std::string_view prefix) const;
    bool HasKey(std::string_view section, std::string_view key) const;

    // GetPrivateProfileStringA for one key: the value, or the default when the section or key
    // is missing; either cut to bufferSize - 1 bytes (never inside a UTF-8 sequence).
    std::string GetString(std::string_view section, std::string_view key,
                          std::string_view strDefault = {},
                          std::size_t bufferSize = kBufferSize) const;
    // GetPrivateProfileIntA: the default when the key is missing or its value empty.
    int32_t GetInt(std::string_view section, std::string_view key, int32_t nDefault) const;

    // WritePrivateProfileStringA with a value. A value is written up to its first line break;
    // the rest could only turn into stray lines of the file. Returns whether the text changed.
    bool SetString(std::string_view section, std::string_view key, std::string_view value);
    // ... with a NULL value: removes the key's line.
    bool DeleteKey(std::string_view section, std::string_view key);
    // ... with a NULL key: removes the section's header and all its lines.
    bool DeleteSection(std::string_view section);

    // Whether the text differs from the file on disk.
    bool IsDirty() const { return m_bDirty; }
    // The whole text as it will be written.
    std::string Text() const;
    // Writes the text to the path when it changed; a file nobody changed stays untouched.
    FileStatus Flush();

private:
    enum class Eol : uint8_t { kNone, kLf, kCr, kCrLf };
    // One line of the file without its line end; a key line knows where its name and value are.
    struct Line {
        std::string text;
        uint32_t nameBegin = 0;
        uint32_t nameLen = 0;
        uint32_t valueBegin = 0;
        uint32_t valueLen = 0;
        bool bKey = false;
        Eol eol = Eol::kNone;

        static Line Make(std::string text, Eol eol);
        std::string_view Name() const { return std::string_view(text).substr(nameBegin, nameLen); }
        std::string_view Value() const {
            return std::string_view(text).substr(valueBegin, valueLen);
        }
    };
    using KeyIndex = std::unordered_map<std::string, std::size_t, NoCaseHash, NoCaseEqual>;
    struct Section {
        Line header;
        std::string name;
        std::vector<Line> body;
        mutable std::unique_ptr<KeyIndex> keys; // built on demand for large sections
    };

    void Reset();
    void Index();
    const Section* FindSection(std::string_view section) const;
    Section* FindSection(std::string_view section);
    // Index of the key's line in the section body, or -1.
    std::ptrdiff_t FindKey(const Section& section, std::string_view key) const;
    Line* LastLine();
    void EndLine(Line& line) const;

    std::string m_strPath;
    bool m_bExists = false;
    bool m_bDirty = false;
    bool m_bBom = false;
    Eol m_newline = Eol::kCrLf;
    std::vector<Line> m_preamble; // lines before the first section header
    std::vector<std::unique_ptr<Section>> m_sections;
    std::unordered_map<std::string, Section*, NoCaseHash, NoCaseEqual> m_index;
};

} // namespace vext
