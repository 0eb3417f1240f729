#include "core/model/TransferBlock.h"

#include "core/model/ButtonId.h"
#include "core/model/VextKeyDoc.h"

#include <atomic>
#include <cstring>
#include <memory>
#include <random>
#include <string_view>

namespace vext {
namespace {

enum : std::size_t {
    kKindAt = 0,
    kButtonXAt = 4,
    kButtonYAt = 8,
    kButtonKindAt = 12,
    kSourceListAt = 16,
    kModeAt = 20,
    kTurboAt = 24,
    kLoopAt = 28,
    kStepDownAt = 32,
    kStepCountAt = 36,
    kCookieAt = 40,
    kLinkCookieAt = 44,
};

void PutU32(std::vector<uint8_t>& block, std::size_t at, uint32_t value) {
    for (std::size_t i = 0; i < 4; ++i) {
        block[at + i] = static_cast<uint8_t>(value >> (8 * i));
    }
}

uint32_t GetU32(std::span<const uint8_t> block, std::size_t at) {
    return static_cast<uint32_t>(block[at]) | (static_cast<uint32_t>(block[at + 1]) << 8) |
           (static_cast<uint32_t>(block[at + 2]) << 16) |
           (static_cast<uint32_t>(block[at + 3]) << 24);
}

int32_t GetI32(std::span<const uint8_t> block, std::size_t at) {
    return static_cast<int32_t>(GetU32(block, at));
}

// The block stores C strings: a string holding a NUL ends there.
std::string_view AsCString(const std::string& s) {
    return std::string_view(s.c_str());
}

void AppendString(std::vector<uint8_t>& block, const std::string& s) {
    const std::string_view text = AsCString(s);
    block.insert(block.end(), text.begin(), text.end());
    block.push_back(0);
}

// Reads strings one after another, never past the end of the block.
class StringCursor {
public:
    StringCursor(std::span<const uint8_t> block, std::size_t at) : m_block(block), m_at(at) {}

    bool Next(std::string& out) {
        if (m_at >= m_block.size()) {
            return false;
        }
        const std::span<const uint8_t> rest = m_block.subspan(m_at);
        const void* nul = std::memchr(rest.data(), 0, rest.size());
        if (!nul) {
            return false;
        }
        const std::size_t length =
            static_cast<std::size_t>(static_cast<const uint8_t*>(nul) - rest.data());
        out.assign(reinterpret_cast<const char*>(rest.data()), length);
        m_at += length + 1;
        return true;
    }

private:
    std::span<const uint8_t> m_block;
    std::size_t m_at;
};

struct ParsedFunction {
    CKeyFunction f;
    FunctionBlockSource source;
};

// The title, the four strings of a function and its steps.
constexpr uint64_t kFixedStrings = 5;

// Whether the block holds nCount NUL-terminated strings from offset at; counts them without
// keeping any, so a header's count costs nothing before the bytes are known to back it.
bool HoldsStrings(std::span<const uint8_t> block, std::size_t at, uint64_t nCount) {
    for (uint64_t i = 0; i < nCount; ++i) {
        if (at >= block.size()) {
            return false;
        }
        const void* nul = std::memchr(block.data() + at, 0, block.size() - at);
        if (!nul) {
            return false;
        }
        at = static_cast<std::size_t>(static_cast<const uint8_t*>(nul) - block.data()) + 1;
    }
    return true;
}

bool IsWholeFunctionBlock(std::span<const uint8_t> block) {
    return block.size() >= kTransferHeaderSize && GetU32(block, kKindAt) == 0 &&
           HoldsStrings(block, kTransferHeaderSize, kFixedStrings + GetU32(block, kStepCountAt));
}

std::unique_ptr<ParsedFunction> ParseFunctionBlock(std::span<const uint8_t> block) {
    if (!IsWholeFunctionBlock(block)) {
        return nullptr;
    }
    const uint32_t nSteps = GetU32(block, kStepCountAt);
    StringCursor cursor(block, kTransferHeaderSize);
    auto parsed = std::make_unique<ParsedFunction>();
    CKeyFunction& f = parsed->f;
    cursor.Next(parsed->source.strTitle);
    cursor.Next(f.m_strDescription);
    cursor.Next(f.m_strComments);
    cursor.Next(f.m_strPress);
    cursor.Next(f.m_strRelease);
    f.m_steps.resize(nSteps);
    for (std::string& step : f.m_steps) {
        cursor.Next(step);
    }
    parsed->source.nSourceList = GetU32(block, kSourceListAt);
    f.m_nMode = GetI32(block, kModeAt);
    f.m_bTurbo = GetI32(block, kTurboAt);
    f.m_bLoop = GetI32(block, kLoopAt);
    f.m_bStepDown = GetI32(block, kStepDownAt);
    f.m_nCookie = GetI32(block, kCookieAt);
    f.m_nLinkCookie = GetI32(block, kLinkCookieAt);
    return parsed;
}

} // namespace

uint32_t NewSourceListId() {
    // A random start keeps lists of two running programs apart as well; 0 is never handed out.
    static std::atomic<uint32_t> next{std::random_device{}() | 1u};
    uint32_t id = 0;
    while (id == 0) {
        id = next.fetch_add(1);
    }
    return id;
}

std::vector<uint8_t> BuildFunctionBlock(const CKeyFunction& f, const std::string& strTitle,
                                        uint32_t nSourceList) {
    std::vector<uint8_t> block(kTransferHeaderSize, 0);
    AppendString(block, strTitle);
    AppendString(block, f.m_strDescription);
    AppendString(block, f.m_strComments);
    AppendString(block, f.m_strPress);
    AppendString(block, f.m_strRelease);
    for (const std::string& step : f.m_steps) {
        AppendString(block, step);
    }
    PutU32(block, kStepCountAt, static_cast<uint32_t>(f.m_steps.size()));
    PutU32(block, kSourceListAt, nSourceList);
    PutU32(block, kModeAt, static_cast<uint32_t>(f.m_nMode));
    PutU32(block, kTurboAt, static_cast<uint32_t>(f.m_bTurbo));
    PutU32(block, kLoopAt, static_cast<uint32_t>(f.m_bLoop));
    PutU32(block, kStepDownAt, static_cast<uint32_t>(f.m_bStepDown));
    PutU32(block, kCookieAt, static_cast<uint32_t>(f.m_nCookie));
    PutU32(block, kLinkCookieAt, static_cast<uint32_t>(f.m_nLinkCookie));
    return block;
}

std::vector<uint8_t> BuildButtonBlock(uint32_t nButtonId, const std::string& strTitle) {
    std::vector<uint8_t> block(kTransferHeaderSize, 0);
    AppendString(block, strTitle);
    PutU32(block, kKindAt, static_cast<uint32_t>(ButtonSlot(nButtonId)));
    PutU32(block, kButtonXAt, static_cast<uint32_t>(ButtonX(nButtonId)));
    PutU32(block, kButtonYAt, static_cast<uint32_t>(ButtonY(nButtonId)));
    PutU32(block, kButtonKindAt, static_cast<uint32_t>(ButtonKind(nButtonId)));
    return block;
}

bool ReadFunctionBlock(std::span<const uint8_t> block, CKeyFunction& f,
                       FunctionBlockSource* pSource) {
    std::unique_ptr<ParsedFunction> parsed = ParseFunctionBlock(block);
    if (!parsed) {
        return false;
    }
    f.m_strDescription = std::move(parsed->f.m_strDescription);
    f.m_strComments = std::move(parsed->f.m_strComments);
    f.m_strPress = std::move(parsed->f.m_strPress);
    f.m_strRelease = std::move(parsed->f.m_strRelease);
    for (std::string& step : parsed->f.m_steps) {
        f.m_steps.push_back(std::move(step));
    }
    f.m_nMode = parsed->f.m_nMode;
    f.m_bTurbo = parsed->f.m_bTurbo;
    f.m_bLoop = parsed->f.m_bLoop;
    f.m_bStepDown = parsed->f.m_bStepDown;
    f.m_nCookie = parsed->f.m_nCookie;
    f.m_nLinkCookie = parsed->f.m_nLinkCookie;
    if (pSource) {
        *pSource = std::move(parsed->source);
    }
    return true;
}

uint32_t ButtonBlock::ButtonId() const {
    return MakeButtonId(nSlot, nX, nY, nKind);
}

std::optional<ButtonBlock> ReadButtonBlock(std::span<const uint8_t> block) {
    if (block.size() < kTransferHeaderSize) {
        return std::nullopt;
    }
    ButtonBlock button;
    button.nSlot = GetI32(block, kKindAt);
    button.nX = GetI32(block, kButtonXAt);
    button.nY = GetI32(block, kButtonYAt);
    button.nKind = GetI32(block, kButtonKindAt);
    if (button.nSlot < 1 || button.nSlot > CVextKeyDoc::kSlotCount) {
        return std::nullopt;
    }
    // Parts that spill out of their byte would name some other button.
    for (int32_t part : {button.nX, button.nY, button.nKind}) {
        if (part < 0 || part > 0xFF) {
            return std::nullopt;
        }
    }
    StringCursor cursor(block, kTransferHeaderSize);
    if (!cursor.Next(button.strTitle)) {
        return std::nullopt;
    }
    return button;
}

bool IsFunctionBlock(std::span<const uint8_t> block) {
    return IsWholeFunctionBlock(block);
}

std::optional<std::string> BlockDocumentTitle(std::span<const uint8_t> block) {
    if (std::unique_ptr<ParsedFunction> parsed = ParseFunctionBlock(block)) {
        return std::move(parsed->source.strTitle);
    }
    if (std::optional<ButtonBlock> button = ReadButtonBlock(block)) {
        return std::move(button->strTitle);
    }
    return std::nullopt;
}

CKeyFunction* PasteFunctionBlock(CVextKeyDoc& doc, std::span<const uint8_t> block) {
    auto f = std::make_unique<CKeyFunction>();
    if (!ReadFunctionBlock(block, *f)) {
        return nullptr;
    }
    // A pasted function never keeps the block's cookie, link or companion mark: AddFunction
    // issues a new cookie, clears both and adds the companion of a Step function.
    return doc.AddFunction(std::move(f));
}

} // namespace vext
