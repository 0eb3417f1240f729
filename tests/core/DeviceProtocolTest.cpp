#include "core/driver/DeviceProtocol.h"

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace vext {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes Le32(uint32_t value) {
    return {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
            static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 24)};
}

Bytes Concat(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& part : parts) {
        all.insert(all.end(), part.begin(), part.end());
    }
    return all;
}

TEST(DeviceProtocol, RequestIsCodeSizeThenBufferLittleEndian) {
    Bytes frame;
    ASSERT_TRUE(EncodeDeviceRequest(29, Bytes{2, 0, 0, 0}, &frame));
    EXPECT_EQ(frame, (Bytes{29, 0, 0, 0, 4, 0, 0, 0, 2, 0, 0, 0}));

    frame.clear();
    ASSERT_TRUE(EncodeDeviceRequest(0x01020304, {}, &frame));
    EXPECT_EQ(frame, (Bytes{4, 3, 2, 1, 0, 0, 0, 0}));
}

TEST(DeviceProtocol, RequestLargerThanTheLimitIsNotEncoded) {
    Bytes frame{0xAA};
    EXPECT_TRUE(EncodeDeviceRequest(16, Bytes(kDeviceMaxBuffer, 0), &frame));
    EXPECT_EQ(frame.size(), 1 + kDeviceHeaderSize + kDeviceMaxBuffer);

    Bytes untouched{0xAA};
    EXPECT_FALSE(EncodeDeviceRequest(16, Bytes(kDeviceMaxBuffer + 1, 0), &untouched));
    EXPECT_EQ(untouched, Bytes{0xAA});
}

struct RequestCase {
    std::string name;
    Bytes bytes;
    FrameResult result;
    uint32_t nCode;
    Bytes buffer;
    size_t nUsed;
};

void PrintTo(const RequestCase& c, std::ostream* os) {
    *os << c.name;
}

class DeviceRequestDecode : public testing::TestWithParam<RequestCase> {};

TEST_P(DeviceRequestDecode, ChecksEveryCountBeforeReading) {
    const RequestCase& c = GetParam();
    DeviceRequest request{0xDEAD, {9}};
    size_t nUsed = 12345;
    EXPECT_EQ(DecodeDeviceRequest(c.bytes, &request, &nUsed), c.result);
    if (c.result == FrameResult::kComplete) {
        EXPECT_EQ(request.nCode, c.nCode);
        EXPECT_EQ(request.buffer, c.buffer);
        EXPECT_EQ(nUsed, c.nUsed);
    } else {
        EXPECT_EQ(request.nCode, 0xDEADu);
        EXPECT_EQ(request.buffer, Bytes{9});
        EXPECT_EQ(nUsed, 12345u);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DeviceRequestDecode,
    testing::Values(
        RequestCase{"Empty", {}, FrameResult::kNeedMore, 0, {}, 0},
        RequestCase{"HalfHeader", {16, 0, 0, 0, 4, 0, 0}, FrameResult::kNeedMore, 0, {}, 0},
        RequestCase{"BodyMissing",
                    Concat({Le32(16), Le32(4), {1, 2, 3}}),
                    FrameResult::kNeedMore,
                    0,
                    {},
                    0},
        RequestCase{"NoBuffer", Concat({Le32(23), Le32(0)}), FrameResult::kComplete, 23, {}, 8},
        RequestCase{"WithBuffer",
                    Concat({Le32(29), Le32(4), {3, 0, 0, 0}}),
                    FrameResult::kComplete,
                    29,
                    {3, 0, 0, 0},
                    12},
        RequestCase{"LargestBuffer",
                    Concat({Le32(1), Le32(kDeviceMaxBuffer), Bytes(kDeviceMaxBuffer, 7)}),
                    FrameResult::kComplete, 1, Bytes(kDeviceMaxBuffer, 7),
                    kDeviceHeaderSize + kDeviceMaxBuffer},
        RequestCase{"TrailingBytesLeftToCaller",
                    Concat({Le32(22), Le32(4), {1, 0, 0, 0, 9, 9}}),
                    FrameResult::kComplete,
                    22,
                    {1, 0, 0, 0},
                    12},
        RequestCase{"OneOverTheLimit",
                    Concat({Le32(16), Le32(kDeviceMaxBuffer + 1)}),
                    FrameResult::kInvalid,
                    0,
                    {},
                    0},
        RequestCase{"SizeThatWouldWrap",
                    Concat({Le32(16), Le32(0xFFFFFFFF), Bytes(64, 0)}),
                    FrameResult::kInvalid,
                    0,
                    {},
                    0}),
    [](const testing::TestParamInfo<RequestCase>& info) { return info.param.name; });

TEST(DeviceProtocol, OversizedHeaderStillNamesItsCode) {
    uint32_t nCode = 0;
    uint32_t nSize = 0;
    const Bytes header = Concat({Le32(22), Le32(1000)});
    EXPECT_EQ(DecodeDeviceRequestHeader(header, &nCode, &nSize), FrameResult::kInvalid);
    EXPECT_EQ(nCode, 22u);
    EXPECT_EQ(nSize, 1000u);
}

TEST(DeviceProtocol, RequestRoundTrips) {
    Bytes frame;
    ASSERT_TRUE(EncodeDeviceRequest(0xFFFFFFFF, Bytes{1, 2, 3}, &frame));
    DeviceRequest request;
    size_t nUsed = 0;
    ASSERT_EQ(DecodeDeviceRequest(frame, &request, &nUsed), FrameResult::kComplete);
    EXPECT_EQ(request.nCode, 0xFFFFFFFFu);
    EXPECT_EQ(request.buffer, (Bytes{1, 2, 3}));
    EXPECT_EQ(nUsed, frame.size());
}

TEST(DeviceProtocol, AnswerIsStatusCountThenBytes) {
    Bytes frame;
    ASSERT_TRUE(EncodeDeviceAnswer(DeviceAnswer{true, {0x34, 0x12, 0, 0}}, 4, &frame));
    EXPECT_EQ(frame, (Bytes{1, 0, 0, 0, 4, 0, 0, 0, 0x34, 0x12, 0, 0}));

    frame.clear();
    ASSERT_TRUE(EncodeDeviceAnswer(DeviceAnswer{}, 4, &frame));
    EXPECT_EQ(frame, Bytes(8, 0));
}

TEST(DeviceProtocol, AnswerTheAskerCouldNotReadIsNotEncoded) {
    Bytes frame{0xAA};
    EXPECT_FALSE(EncodeDeviceAnswer(DeviceAnswer{true, {1, 2, 3, 4, 5}}, 4, &frame));
    EXPECT_FALSE(EncodeDeviceAnswer(DeviceAnswer{false, {1}}, 4, &frame));
    EXPECT_FALSE(
        EncodeDeviceAnswer(DeviceAnswer{true, Bytes(kDeviceMaxBuffer + 1, 0)}, 0xFFFFFFFF, &frame));
    EXPECT_EQ(frame, Bytes{0xAA});
}

struct AnswerCase {
    std::string name;
    Bytes bytes;
    uint32_t nRequestSize;
    FrameResult result;
    bool bDone;
    Bytes data;
};

void PrintTo(const AnswerCase& c, std::ostream* os) {
    *os << c.name;
}

class DeviceAnswerDecode : public testing::TestWithParam<AnswerCase> {};

TEST_P(DeviceAnswerDecode, AcceptsExactlyOneWellFormedFrame) {
    const AnswerCase& c = GetParam();
    DeviceAnswer answer{true, {0xEE}};
    EXPECT_EQ(DecodeDeviceAnswer(c.bytes, c.nRequestSize, &answer), c.result);
    if (c.result == FrameResult::kComplete) {
        EXPECT_EQ(answer.bDone, c.bDone);
        EXPECT_EQ(answer.data, c.data);
    } else {
        EXPECT_TRUE(answer.bDone);
        EXPECT_EQ(answer.data, Bytes{0xEE});
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DeviceAnswerDecode,
    testing::Values(
        AnswerCase{"Done",
                   Concat({Le32(1), Le32(4), {0, 2, 0, 0}}),
                   4,
                   FrameResult::kComplete,
                   true,
                   {0, 2, 0, 0}},
        AnswerCase{"FewerBytesThanTheBuffer",
                   Concat({Le32(1), Le32(2), {5, 6}}),
                   4,
                   FrameResult::kComplete,
                   true,
                   {5, 6}},
        AnswerCase{
            "DoneWithoutBytes", Concat({Le32(1), Le32(0)}), 0, FrameResult::kComplete, true, {}},
        AnswerCase{"Refused", Concat({Le32(0), Le32(0)}), 4, FrameResult::kComplete, false, {}},
        AnswerCase{"Nothing", {}, 4, FrameResult::kNeedMore, false, {}},
        AnswerCase{"HalfHeader", {1, 0, 0, 0, 4}, 4, FrameResult::kNeedMore, false, {}},
        AnswerCase{
            "ShortBody", Concat({Le32(1), Le32(4), {1, 2}}), 4, FrameResult::kNeedMore, false, {}},
        AnswerCase{
            "UnknownStatus", Concat({Le32(2), Le32(0)}), 4, FrameResult::kInvalid, false, {}},
        AnswerCase{"NegativeStatus",
                   Concat({Le32(0xFFFFFFFF), Le32(0)}),
                   4,
                   FrameResult::kInvalid,
                   false,
                   {}},
        AnswerCase{"MoreThanTheBuffer",
                   Concat({Le32(1), Le32(8), Bytes(8, 1)}),
                   4,
                   FrameResult::kInvalid,
                   false,
                   {}},
        AnswerCase{"ClaimsMoreBeforeItArrives",
                   Concat({Le32(1), Le32(5)}),
                   4,
                   FrameResult::kInvalid,
                   false,
                   {}},
        AnswerCase{"CountThatWouldWrap",
                   Concat({Le32(1), Le32(0xFFFFFFFF)}),
                   0xFFFFFFFF,
                   FrameResult::kInvalid,
                   false,
                   {}},
        AnswerCase{"RefusalWithBytes",
                   Concat({Le32(0), Le32(4), Bytes(4, 1)}),
                   4,
                   FrameResult::kInvalid,
                   false,
                   {}},
        AnswerCase{"TrailingByte",
                   Concat({Le32(1), Le32(4), Bytes(5, 1)}),
                   4,
                   FrameResult::kInvalid,
                   false,
                   {}},
        AnswerCase{"BytesForAControlCode",
                   Concat({Le32(1), Le32(1), {1}}),
                   0,
                   FrameResult::kInvalid,
                   false,
                   {}}),
    [](const testing::TestParamInfo<AnswerCase>& info) { return info.param.name; });

} // namespace
} // namespace vext
