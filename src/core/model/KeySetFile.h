#pragma once

// The pieces of the key-set file that are not the document's: the file-version text, the check
// made before a file is opened, the text forms of placement records and mappings, and the
// source the reader takes its keys from.

#include "core/model/WindowPlacement.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace vext {

class ProfileFile;

// String 118: files written with another text are refused.
inline constexpr std::string_view kKeySetFileVersion = "VextKey Key Set File Version 2.0";
inline constexpr int kIdsKeySetFileVersion = 118;
inline constexpr int kIdsOtherFileVersion = 119;
inline constexpr int kIdsFileMissing = 120; // takes the path as its one argument

// What the template does with a file before a document is made for it.
struct KeySetOpenCheck {
    enum Verdict {
        kOpen,         // go on and open it (or make a new document without a path)
        kMissingFile,  // show message 120 with the path
        kOtherVersion, // show message 119
        kCannotRead,   // the file is there but cannot be read: show strMessage
        kNotKeySet,    // empty, or no key-set file at all: show strMessage, which names it
    };
    Verdict verdict = kOpen;
    int nMessageId = 0;
    std::string strMessage; // the path for message 120, the system's reason for kCannotRead
};

// The version check of CKeySetDocTemplate::OpenDocumentFile; pszPath may be null.
KeySetOpenCheck CheckKeySetFile(const char* pszPath);
// The same check of a file already read: kOpen, kNotKeySet or kOtherVersion.
KeySetOpenCheck CheckKeySetText(const ProfileFile& file, const std::string& strPath);

// Where the reader takes its keys from, with the profile services' rules.
class IKeySetSource {
public:
    virtual ~IKeySetSource() = default;
    virtual std::string GetString(std::string_view section, std::string_view key,
                                  std::string_view strDefault) const = 0;
    virtual int32_t GetInt(std::string_view section, std::string_view key,
                           int32_t nDefault) const = 0;
    // Lines of the file: no count in it can truly be larger.
    virtual std::size_t LineCount() const = 0;
    // Sections whose names begin with prefix (any case), equal names counted once.
    virtual std::size_t CountSections(std::string_view prefix) const = 0;
};

// A source over a parsed profile file, the reader's normal source.
class ProfileFileSource : public IKeySetSource {
public:
    explicit ProfileFileSource(const ProfileFile& file) : m_file(file) {}
    std::string GetString(std::string_view section, std::string_view key,
                          std::string_view strDefault) const override;
    int32_t GetInt(std::string_view section, std::string_view key, int32_t nDefault) const override;
    std::size_t LineCount() const override;
    std::size_t CountSections(std::string_view prefix) const override;

private:
    const ProfileFile& m_file;
};

// "%X %X %X %X %X %X %X %X %X %X %X" of the eleven fields in record order.
std::string FormatPlacement(const WindowPlacement& wp);
// Scans text with that format as sscanf would, into the fields in order; stops at the first
// field that does not parse and leaves it and the later fields as they were. Returns the number
// of fields set.
int ScanPlacement(std::string_view text, WindowPlacement& wp);

// "%08X %d": button ID and cookie.
std::string FormatMapping(uint32_t nButtonId, int32_t nCookie);
// Scans "%08X %d" as sscanf would; true only when both numbers parse.
bool ScanMapping(std::string_view text, uint32_t& nButtonId, int32_t& nCookie);

// The file title of the pad-window captions: the path's last component cut at its first ".".
std::string FileTitleForCaption(std::string_view strPath);

} // namespace vext
