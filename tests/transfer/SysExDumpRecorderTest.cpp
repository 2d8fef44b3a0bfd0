#include "transfer/SysExDumpRecorder.h"
#include "transfer/SysExRequest.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace
{
using Bytes = std::vector<unsigned char>;

Bytes Kept(const CSysExDumpRecorder& recorder)
{
    Bytes bytes;
    recorder.ForEachPiece(
        [&](const unsigned char* pData, size_t nLength)
        {
            bytes.insert(bytes.end(), pData, pData + nLength);
            return true;
        });
    return bytes;
}
} // namespace

TEST(DumpRecorderStorage, ManyMessagesAcrossPiecesComeBackInOrderAndClearForgets)
{
    CSysExDumpRecorder recorder;
    Bytes expected;
    // Messages of growing length straddle the piece boundaries; an interrupted one
    // between them must leave no trace.
    for (int i = 0; expected.size() < 3 * CSysExDumpRecorder::sm_nPieceSize; ++i)
    {
        Bytes message{0xF0};
        for (int j = 0; j < 100 + i % 300; ++j)
            message.push_back(uint8_t((i + j) & 0x7F));
        message.push_back(0xF7);
        expected.insert(expected.end(), message.begin(), message.end());
        recorder.Take(message.data(), message.size());
        const Bytes broken{0xF0, 0x11, 0x22, 0x80};
        recorder.Take(broken.data(), broken.size());
    }
    EXPECT_EQ(Kept(recorder), expected);
    EXPECT_EQ(recorder.Counts().llMessageBytes, int64_t(expected.size()));

    size_t nPieces = 0;
    EXPECT_FALSE(
        recorder.ForEachPiece([&](const unsigned char*, size_t) { return ++nPieces < 2; }));
    EXPECT_EQ(nPieces, 2u);

    recorder.Clear();
    EXPECT_TRUE(Kept(recorder).empty());
    EXPECT_EQ(recorder.Counts().llMessages, 0);
    EXPECT_EQ(recorder.BytesSeen(), 0u);
}

// --- Requests ---------------------------------------------------------------------

// A request given in hex parses or says what is wrong and where; a valid one comes back
// from its hex. One too long for the output is refused.
TEST(SysExRequest, ParsesHexOrSaysWhatIsWrongAndWhereAndRefusesOneTooLong)
{
    const struct
    {
        const char* pszText;
        CSysExRequest::Problem problem;
        size_t nWhere; // of the problem
        Bytes bytes;   // when valid
    } kCases[] = {
        {"F0 43 20 09 F7", CSysExRequest::kNoProblem, 0, {0xF0, 0x43, 0x20, 0x09, 0xF7}},
        {" F0,7D\t01 ,F7 ", CSysExRequest::kNoProblem, 0, {0xF0, 0x7D, 0x01, 0xF7}},
        {"  ", CSysExRequest::kEmpty, 0, {}},
        {"F0 4G F7", CSysExRequest::kNotHex, 4, {}},
        {"F0 43 F7 1", CSysExRequest::kNotHex, 10, {}},
        {"43 20 F7", CSysExRequest::kNotFramed, 0, {}},
        {"F0 43 20", CSysExRequest::kNotFramed, 2, {}},
        {"F0 01 F7 02 F0 03 F7", CSysExRequest::kNotFramed, 3, {}},
        {"F0 43 80 F7", CSysExRequest::kDataTooHigh, 2, {}},
    };
    for (const auto& c : kCases)
    {
        SCOPED_TRACE(c.pszText);
        Bytes bytes{0x55};
        size_t nWhere = 999;
        EXPECT_EQ(CSysExRequest::ParseHex(c.pszText, &bytes, &nWhere), c.problem);
        if (c.problem == CSysExRequest::kNoProblem)
        {
            EXPECT_EQ(bytes, c.bytes);
            Bytes again;
            EXPECT_EQ(CSysExRequest::ParseHex(CSysExRequest::ToHex(bytes).c_str(), &again, nullptr),
                      CSysExRequest::kNoProblem);
            EXPECT_EQ(again, bytes);
        }
        else
        {
            EXPECT_EQ(nWhere, c.nWhere);
            EXPECT_EQ(bytes, Bytes{0x55}) << "a failed parse leaves the bytes alone";
        }
    }

    Bytes bytes(CSysExRequest::sm_nMaxSize + 1, 0x01);
    bytes.front() = 0xF0;
    bytes.back() = 0xF7;
    EXPECT_EQ(CSysExRequest::Check(bytes, nullptr), CSysExRequest::kTooLong);
    bytes.erase(bytes.begin() + 1);
    EXPECT_EQ(CSysExRequest::Check(bytes, nullptr), CSysExRequest::kNoProblem);
}
