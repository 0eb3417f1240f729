#include "core/driver/DeviceProtocol.h"

#include "core/driver/WireWords.h"

namespace vext {

bool EncodeDeviceRequest(uint32_t nCode, std::span<const uint8_t> buffer,
                         std::vector<uint8_t>* pOut) {
    if (buffer.size() > kDeviceMaxBuffer) {
        return false;
    }
    PutU32(nCode, pOut);
    PutU32(static_cast<uint32_t>(buffer.size()), pOut);
    pOut->insert(pOut->end(), buffer.begin(), buffer.end());
    return true;
}

FrameResult DecodeDeviceRequestHeader(std::span<const uint8_t> bytes, uint32_t* pnCode,
                                      uint32_t* pnSize) {
    if (bytes.size() < kDeviceHeaderSize) {
        return FrameResult::kNeedMore;
    }
    *pnCode = GetU32(bytes, 0);
    *pnSize = GetU32(bytes, 4);
    return *pnSize > kDeviceMaxBuffer ? FrameResult::kInvalid : FrameResult::kComplete;
}

FrameResult DecodeDeviceRequest(std::span<const uint8_t> bytes, DeviceRequest* pRequest,
                                size_t* pnUsed) {
    uint32_t nCode = 0;
    uint32_t nSize = 0;
    const FrameResult header = DecodeDeviceRequestHeader(bytes, &nCode, &nSize);
    if (header != FrameResult::kComplete) {
        return header;
    }
    if (bytes.size() - kDeviceHeaderSize < nSize) {
        return FrameResult::kNeedMore;
    }
    const auto body = bytes.subspan(kDeviceHeaderSize, nSize);
    pRequest->nCode = nCode;
    pRequest->buffer.assign(body.begin(), body.end());
    *pnUsed = kDeviceHeaderSize + nSize;
    return FrameResult::kComplete;
}

bool EncodeDeviceAnswer(const DeviceAnswer& answer, uint32_t nRequestSize,
                        std::vector<uint8_t>* pOut) {
    if (answer.data.size() > nRequestSize || answer.data.size() > kDeviceMaxBuffer ||
        (!answer.bDone && !answer.data.empty())) {
        return false;
    }
    PutU32(static_cast<uint32_t>(answer.bDone ? kDeviceStatusDone : kDeviceStatusRefused), pOut);
    PutU32(static_cast<uint32_t>(answer.data.size()), pOut);
    pOut->insert(pOut->end(), answer.data.begin(), answer.data.end());
    return true;
}

FrameResult DecodeDeviceAnswer(std::span<const uint8_t> bytes, uint32_t nRequestSize,
                               DeviceAnswer* pAnswer) {
    if (bytes.size() < kDeviceHeaderSize) {
        return FrameResult::kNeedMore;
    }
    const auto nStatus = static_cast<int32_t>(GetU32(bytes, 0));
    const uint32_t nCount = GetU32(bytes, 4);
    if (nStatus != kDeviceStatusDone && nStatus != kDeviceStatusRefused) {
        return FrameResult::kInvalid;
    }
    if (nCount > nRequestSize || nCount > kDeviceMaxBuffer ||
        (nStatus == kDeviceStatusRefused && nCount != 0)) {
        return FrameResult::kInvalid;
    }
    const size_t nBody = bytes.size() - kDeviceHeaderSize;
    if (nBody < nCount) {
        return FrameResult::kNeedMore;
    }
    if (nBody > nCount) {
        return FrameResult::kInvalid;
    }
    const auto body = bytes.subspan(kDeviceHeaderSize, nCount);
    pAnswer->bDone = nStatus == kDeviceStatusDone;
    pAnswer->data.assign(body.begin(), body.end());
    return FrameResult::kComplete;
}

} // namespace vext
