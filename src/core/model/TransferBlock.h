#pragma once

// The blocks that carry functions and button assignments between windows in the "VEXTFUNCTION"
// format: a function block (a whole function, from a function list) and a button block (a
// mapped pad button being dragged). Twelve 32-bit little-endian fields, then NUL-terminated
// strings. The block's length is not stored in it, so every reader is given the length and
// refuses a block that does not hold what its header announces.

#include "core/model/KeyFunction.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

class CVextKeyDoc;

namespace vext {

inline constexpr char kTransferFormat[] = "VEXTFUNCTION";
inline constexpr char kTransferMimeType[] = "application/x-vextfunction";
inline constexpr std::size_t kTransferHeaderSize = 48;

// A value that tells one function list from every other, for the block's source field.
uint32_t NewSourceListId();

// The block of function f of the document titled strTitle, from the list nSourceList.
std::vector<uint8_t> BuildFunctionBlock(const CKeyFunction& f, const std::string& strTitle,
                                        uint32_t nSourceList);

// The block of the pad button nButtonId of the document titled strTitle.
std::vector<uint8_t> BuildButtonBlock(uint32_t nButtonId, const std::string& strTitle);

// What a function block says besides the function itself.
struct FunctionBlockSource {
    uint32_t nSourceList = 0;
    std::string strTitle;
};

// Fills f from a function block and returns true. Returns false and leaves f untouched for a
// button block or a block whose header or strings do not fit its length. The step strings are
// appended to f.m_steps.
bool ReadFunctionBlock(std::span<const uint8_t> block, CKeyFunction& f,
                       FunctionBlockSource* pSource = nullptr);

struct ButtonBlock {
    int32_t nSlot = 0;
    int32_t nX = 0;
    int32_t nY = 0;
    int32_t nKind = 0;
    std::string strTitle;

    uint32_t ButtonId() const;
};

// A button block: slot 1 to 4, indexes and kind that fit their byte of a button ID, and a
// terminated title. Anything else is refused.
std::optional<ButtonBlock> ReadButtonBlock(std::span<const uint8_t> block);

// True for a function block that ReadFunctionBlock accepts: what makes Paste available.
bool IsFunctionBlock(std::span<const uint8_t> block);

// The source document's title of either kind of block; nothing for a block neither reader takes.
std::optional<std::string> BlockDocumentTitle(std::span<const uint8_t> block);

// Paste and drops onto a function list: a new function from the block, added to doc with a new
// cookie (and a companion when it is a Step function), the document marked modified. Returns the
// new function, or nullptr when the block is not a readable function block.
CKeyFunction* PasteFunctionBlock(CVextKeyDoc& doc, std::span<const uint8_t> block);

} // namespace vext
