#include "core/platform/ProfileFile.h"

#include "core/platform/TextEncoding.h"

#include <algorithm>

namespace vext {

namespace {

constexpr std::string_view kBom = "\xEF\xBB\xBF";
// What a Windows editor's "Unicode" (UTF-16LE) starts with.
constexpr std::string_view kUtf16LeBom = "\xFF\xFE";
// Sections longer than this get a hash index of their keys; shorter ones are scanned.
constexpr std::size_t kScanLimit = 48;

constexpr bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\v' || c == '\f';
}

std::string_view Trim(std::string_view s) {
    std::size_t b = 0;
    std::size_t e = s.size();
    while (b < e && IsBlank(s[b])) {
        ++b;
    }
    while (e > b && IsBlank(s[e - 1])) {
        --e;
    }
    return s.substr(b, e - b);
}

std::string_view Unquote(std::string_view v) {
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front()) {
        return v.substr(1, v.size() - 2);
    }
    return v;
}

// A header is a trimmed line that starts with "[" and holds a "]"; the name lies between the
// "[" and the last "]".
bool ParseHeader(std::string_view line, std::string_view* pName) {
    const std::string_view t = Trim(line);
    if (t.empty() || t.front() != '[') {
        return false;
    }
    const std::size_t close = t.rfind(']');
    if (close == std::string_view::npos) {
        return false;
    }
    *pName = Trim(t.substr(1, close - 1));
    return true;
}

// What a caller's buffer of bufferSize bytes would hold: a C string stops at its first NUL.
std::string Fit(std::string_view v, std::size_t bufferSize) {
    if (bufferSize == 0) {
        return {};
    }
    v = v.substr(0, v.find('\0'));
    return std::string(Utf8Prefix(v, bufferSize - 1));
}

} // namespace

int32_t ProfileValueToInt(std::string_view value, int32_t nDefault) {
    if (value.empty()) {
        return nDefault;
    }
    std::size_t i = 0;
    while (i < value.size() && IsBlank(value[i])) {
        ++i;
    }
    bool bNegative = false;
    if (i < value.size() && (value[i] == '-' || value[i] == '+')) {
        bNegative = value[i] == '-';
        ++i;
    }
    uint32_t base = 10;
    if (value.substr(i, 2) == "0x") {
        base = 16;
        i += 2;
    }
    uint32_t n = 0; // unsigned, so overflow wraps as the Windows service's does
    for (; i < value.size(); ++i) {
        const char c = value[i];
        uint32_t digit = 0;
        if (c >= '0' && c <= '9') {
            digit = static_cast<uint32_t>(c - '0');
        } else if (base == 16 && LowerAscii(c) >= 'a' && LowerAscii(c) <= 'f') {
            digit = static_cast<uint32_t>(LowerAscii(c) - 'a' + 10);
        } else {
            break;
        }
        n = n * base + digit;
    }
    if (bNegative) {
        n = 0u - n;
    }
    return static_cast<int32_t>(n);
}

ProfileFile::Line ProfileFile::Line::Make(std::string text, Eol eol) {
    Line line;
    line.text = std::move(text);
    line.eol = eol;
    const std::string_view all = line.text;
    const std::string_view t = Trim(all);
    if (t.empty() || t.front() == ';') {
        return line;
    }
    const std::size_t eq = t.find('=');
    if (eq == std::string_view::npos) {
        return line;
    }
    const std::string_view name = Trim(t.substr(0, eq));
    const std::string_view value = Trim(t.substr(eq + 1));
    line.bKey = true;
    line.nameBegin = static_cast<uint32_t>(name.data() - all.data());
    line.nameLen = static_cast<uint32_t>(name.size());
    line.valueBegin = static_cast<uint32_t>(value.data() - all.data());
    line.valueLen = static_cast<uint32_t>(value.size());
    return line;
}

void ProfileFile::Reset() {
    m_bExists = false;
    m_bDirty = false;
    m_bBom = false;
    m_newline = Eol::kCrLf;
    m_preamble.clear();
    m_sections.clear();
    m_index.clear();
}

FileStatus ProfileFile::Load(const std::string& path) {
    Reset();
    m_strPath = path;
    std::string bytes;
    bool bExists = false;
    FileStatus status = ReadWholeFile(path, &bytes, &bExists, kMaxFileBytes);
    if (!status.ok()) {
        return status;
    }
    Parse(bytes);
    m_bExists = bExists;
    return status;
}

void ProfileFile::Create(const std::string& path) {
    Reset();
    m_strPath = path;
    m_bDirty = true;
}

void ProfileFile::Parse(std::string_view bytes) {
    Reset();
    if (bytes.substr(0, kBom.size()) == kBom) {
        m_bBom = true;
        bytes.remove_prefix(kBom.size());
    }
    std::string decoded;
    if (bytes.substr(0, kUtf16LeBom.size()) == kUtf16LeBom) {
        // Read as the Windows profile services read it; written back, it is UTF-8.
        decoded = Utf16LeToUtf8(bytes.substr(kUtf16LeBom.size()));
        bytes = decoded;
    } else if (!IsValidUtf8(bytes)) {
        decoded = Cp1252ToUtf8(bytes);
        bytes = decoded;
    }

    bool bNewlineSeen = false;
    Section* pCurrent = nullptr;
    const std::size_t n = bytes.size();
    std::size_t pos = 0;
    while (pos < n) {
        std::size_t end = pos;
        while (end < n && bytes[end] != '\r' && bytes[end] != '\n') {
            ++end;
        }
        Eol eol = Eol::kNone;
        std::size_t next = end;
        if (end < n) {
            if (bytes[end] == '\r' && end + 1 < n && bytes[end + 1] == '\n') {
                eol = Eol::kCrLf;
                next = end + 2;
            } else {
                eol = bytes[end] == '\r' ? Eol::kCr : Eol::kLf;
                next = end + 1;
            }
            if (!bNewlineSeen) {
                m_newline = eol;
                bNewlineSeen = true;
            }
        }
        const std::string_view text = bytes.substr(pos, end - pos);
        std::string_view name;
        if (ParseHeader(text, &name)) {
            auto section = std::make_unique<Section>();
            section->header.text = std::string(text);
            section->header.eol = eol;
            section->name = std::string(name);
            pCurrent = section.get();
            m_sections.push_back(std::move(section));
        } else if (pCurrent != nullptr) {
            pCurrent->body.push_back(Line::Make(std::string(text), eol));
        } else {
            m_preamble.push_back(Line::Make(std::string(text), eol));
        }
        pos = next;
    }
    Index();
}

void ProfileFile::Index() {
    m_index.clear();
    m_index.reserve(m_sections.size());
    for (const auto& section : m_sections) {
        m_index.try_emplace(section->name, section.get()); // the first of equal names wins
    }
}

const ProfileFile::Section* ProfileFile::FindSection(std::string_view section) const {
    const auto it = m_index.find(section);
    return it == m_index.end() ? nullptr : it->second;
}

ProfileFile::Section* ProfileFile::FindSection(std::string_view section) {
    const auto it = m_index.find(section);
    return it == m_index.end() ? nullptr : it->second;
}

std::ptrdiff_t ProfileFile::FindKey(const Section& section, std::string_view key) const {
    const std::vector<Line>& body = section.body;
    if (body.size() <= kScanLimit) {
        const NoCaseEqual equal;
        for (std::size_t i = 0; i < body.size(); ++i) {
            if (body[i].bKey && equal(body[i].Name(), key)) {
                return static_cast<std::ptrdiff_t>(i);
            }
        }
        return -1;
    }
    if (!section.keys) {
        section.keys = std::make_unique<KeyIndex>();
        section.keys->reserve(body.size());
        for (std::size_t i = 0; i < body.size(); ++i) {
            if (body[i].bKey) {
                section.keys->try_emplace(std::string(body[i].Name()), i);
            }
        }
    }
    const auto it = section.keys->find(key);
    return it == section.keys->end() ? -1 : static_cast<std::ptrdiff_t>(it->second);
}

std::size_t ProfileFile::LineCount() const {
    std::size_t n = m_preamble.size();
    for (const auto& s : m_sections) {
        n += 1 + s->body.size();
    }
    return n;
}

bool ProfileFile::HasSection(std::string_view section) const {
    return FindSection(section) != nullptr;
}

std::size_t ProfileFile::CountSections(std::string_view prefix) const {
    const NoCaseEqual equal;
    return static_cast<std::size_t>(
        std::count_if(m_index.begin(), m_index.end(), [&](const auto& entry) {
            return entry.first.size() >= prefix.size() &&
                   equal(std::string_view(entry.first).substr(0, prefix.size()), prefix);
        }));
}

bool ProfileFile::HasKey(std::string_view section, std::string_view key) const {
    const Section* s = FindSection(section);
    return s != nullptr && FindKey(*s, key) >= 0;
}

std::string ProfileFile::GetString(std::string_view section, std::string_view key,
                                   std::string_view strDefault, std::size_t bufferSize) const {
    const Section* s = FindSection(section);
    if (s != nullptr) {
        const std::ptrdiff_t i = FindKey(*s, key);
        if (i >= 0) {
            return Fit(Unquote(s->body[static_cast<std::size_t>(i)].Value()), bufferSize);
        }
    }
    return Fit(strDefault, bufferSize);
}

int32_t ProfileFile::GetInt(std::string_view section, std::string_view key,
                            int32_t nDefault) const {
    const Section* s = FindSection(section);
    if (s == nullptr) {
        return nDefault;
    }
    const std::ptrdiff_t i = FindKey(*s, key);
    if (i < 0) {
        return nDefault;
    }
    std::string_view value = Unquote(s->body[static_cast<std::size_t>(i)].Value());
    return ProfileValueToInt(value.substr(0, value.find('\0')), nDefault);
}

ProfileFile::Line* ProfileFile::LastLine() {
    if (!m_sections.empty()) {
        Section& last = *m_sections.back();
        return last.body.empty() ? &last.header : &last.body.back();
    }
    return m_preamble.empty() ? nullptr : &m_preamble.back();
}

void ProfileFile::EndLine(Line& line) const {
    if (line.eol == Eol::kNone) {
        line.eol = m_newline;
    }
}

bool ProfileFile::SetString(std::string_view section, std::string_view key,
                            std::string_view value) {
    value = value.substr(0, value.find_first_of("\r\n"));
    std::string keyLine;
    keyLine.reserve(key.size() + 1 + value.size());
    keyLine.append(key).append("=").append(value);

    Section* s = FindSection(section);
    if (s == nullptr) {
        if (Line* last = LastLine()) {
            EndLine(*last);
        }
        auto added = std::make_unique<Section>();
        // Appended to an empty string: GCC 12 at -O3 warns falsely (-Wrestrict) on assigning a
        // literal or on "literal" + string here.
        added->header.text += '[';
        added->header.text.append(section);
        added->header.text += ']';
        added->header.eol = m_newline;
        added->name = std::string(section);
        added->body.push_back(Line::Make(std::move(keyLine), m_newline));
        m_index.try_emplace(added->name, added.get());
        m_sections.push_back(std::move(added));
        m_bDirty = true;
        return true;
    }

    const std::ptrdiff_t found = FindKey(*s, key);
    if (found >= 0) {
        Line& line = s->body[static_cast<std::size_t>(found)];
        if (line.Value() == value) {
            return false;
        }
        std::string text;
        text.reserve(line.nameLen + 1 + value.size());
        text.append(line.Name()).append("=").append(value);
        line = Line::Make(std::move(text), line.eol);
        m_bDirty = true;
        return true;
    }

    // After the section's last line that is not blank, so blank lines stay between sections.
    std::size_t pos = s->body.size();
    while (pos > 0 && Trim(s->body[pos - 1].text).empty()) {
        --pos;
    }
    EndLine(pos == 0 ? s->header : s->body[pos - 1]);
    s->body.insert(s->body.begin() + static_cast<std::ptrdiff_t>(pos),
                   Line::Make(std::move(keyLine), m_newline));
    if (s->keys) {
        s->keys->try_emplace(std::string(key), pos); // lines after pos are blank, not keys
    }
    m_bDirty = true;
    return true;
}

bool ProfileFile::DeleteKey(std::string_view section, std::string_view key) {
    Section* s = FindSection(section);
    if (s == nullptr) {
        return false;
    }
    const std::ptrdiff_t found = FindKey(*s, key);
    if (found < 0) {
        return false;
    }
    s->body.erase(s->body.begin() + found);
    s->keys.reset();
    m_bDirty = true;
    return true;
}

bool ProfileFile::DeleteSection(std::string_view section) {
    const Section* s = FindSection(section);
    if (s == nullptr) {
        return false;
    }
    const auto it = std::find_if(m_sections.begin(), m_sections.end(),
                                 [s](const auto& p) { return p.get() == s; });
    m_sections.erase(it);
    Index();
    m_bDirty = true;
    return true;
}

std::string ProfileFile::Text() const {
    std::size_t size = m_bBom ? kBom.size() : 0;
    auto measure = [&size](const Line& line) { size += line.text.size() + 2; };
    std::for_each(m_preamble.begin(), m_preamble.end(), measure);
    for (const auto& s : m_sections) {
        measure(s->header);
        std::for_each(s->body.begin(), s->body.end(), measure);
    }
    std::string out;
    out.reserve(size);
    if (m_bBom) {
        out.append(kBom);
    }
    auto append = [&out](const Line& line) {
        out.append(line.text);
        switch (line.eol) {
        case Eol::kNone:
            break;
        case Eol::kLf:
            out.push_back('\n');
            break;
        case Eol::kCr:
            out.push_back('\r');
            break;
        case Eol::kCrLf:
            out.append("\r\n");
            break;
        }
    };
    std::for_each(m_preamble.begin(), m_preamble.end(), append);
    for (const auto& s : m_sections) {
        append(s->header);
        std::for_each(s->body.begin(), s->body.end(), append);
    }
    return out;
}

FileStatus ProfileFile::Flush() {
    if (!m_bDirty) {
        return {};
    }
    if (m_strPath.empty()) {
        return FileStatus::Fail(FileError::kCannotWrite, "Cannot write: the text has no file");
    }
    FileStatus status = WriteFileAtomically(m_strPath, Text());
    if (status.ok()) {
        m_bDirty = false;
        m_bExists = true;
    }
    return status;
}

} // namespace vext
