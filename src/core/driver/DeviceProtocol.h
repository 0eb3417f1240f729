#pragma once

// The frames that travel on the device channel between the configurator and vextd: one request
// (code, buffer) and one answer (status, bytes), all fields little-endian. Pure byte work, so the
// client, the driver and the test double share exactly one reading of the wire.

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace vext {

// The largest buffer a code needs is the 160 bytes of the pads' live state with the presses;
// the bound keeps a peer from making the other side allocate or read much.
inline constexpr uint32_t kDeviceMaxBuffer = 256;
inline constexpr size_t kDeviceHeaderSize = 8;
inline constexpr size_t kDeviceMaxFrame = kDeviceHeaderSize + kDeviceMaxBuffer;

inline constexpr int32_t kDeviceStatusRefused = 0;
inline constexpr int32_t kDeviceStatusDone = 1;

struct DeviceRequest {
    uint32_t nCode = 0;
    std::vector<uint8_t> buffer;
};

struct DeviceAnswer {
    bool bDone = false;
    std::vector<uint8_t> data;
};

enum class FrameResult {
    kComplete, // a whole, valid frame
    kNeedMore, // valid so far, but bytes are missing
    kInvalid,  // can never become valid, whatever follows
};

// Appends the request frame to *pOut. False (and *pOut unchanged) when the buffer is larger
// than kDeviceMaxBuffer.
bool EncodeDeviceRequest(uint32_t nCode, std::span<const uint8_t> buffer,
                         std::vector<uint8_t>* pOut);

// Reads the 8-byte request header. kInvalid when the declared size exceeds kDeviceMaxBuffer;
// *pnCode is set whenever the header is complete, so the refusal can name the code.
FrameResult DecodeDeviceRequestHeader(std::span<const uint8_t> bytes, uint32_t* pnCode,
                                      uint32_t* pnSize);

// Reads one request from the front of bytes; *pnUsed is the frame's length when complete.
// Bytes after the frame are left to the caller.
FrameResult DecodeDeviceRequest(std::span<const uint8_t> bytes, DeviceRequest* pRequest,
                                size_t* pnUsed);

// Appends the answer frame to *pOut. False (and *pOut unchanged) when the answer could not be
// decoded by the asker: more bytes than the request's buffer, or a refusal carrying bytes.
bool EncodeDeviceAnswer(const DeviceAnswer& answer, uint32_t nRequestSize,
                        std::vector<uint8_t>* pOut);

// Reads a whole answer to a request whose buffer was nRequestSize bytes: exactly one frame and
// nothing after it. kInvalid for an unknown status, a count above nRequestSize, a refusal
// carrying bytes or trailing bytes; kNeedMore while it is a valid prefix.
FrameResult DecodeDeviceAnswer(std::span<const uint8_t> bytes, uint32_t nRequestSize,
                               DeviceAnswer* pAnswer);

} // namespace vext
