// Bodies of HTTP replies: chunked ones with their odd size lines, malformed chunking, the bounds
// on size lines, known lengths, and plain bodies.
#include "net/http/body_decoder.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "net/http/chunk_size.h"

namespace tellweir {
namespace {

struct Outcome {
    TransferResult result;
    std::string body;
    std::string left;  // what stays in the receive buffer
    bool keeps = true;
};

// Feeds `input` in pieces of `piece` bytes, as a server might send it.
Outcome Decode(std::string_view input, bool chunked, std::int64_t length, std::size_t piece) {
    CBodyDecoder decoder(chunked, length);
    Outcome outcome{kMoreNeeded, "", ""};
    std::string buffer;
    for (std::size_t pos = 0; pos < input.size() && outcome.result == kMoreNeeded; pos += piece) {
        buffer.append(input.substr(pos, piece));
        outcome.result = decoder.Decode(buffer, outcome.body);
    }
    EXPECT_EQ(decoder.Written(), static_cast<std::int64_t>(outcome.body.size()));
    EXPECT_EQ(decoder.Complete(), outcome.result == 0);
    outcome.left = buffer;
    outcome.keeps = decoder.KeepsConnection();
    return outcome;
}

TEST(ChunkSizeTest, SizeLines) {
    const std::pair<const char*, std::int32_t> read[] = {
        {"5", 5}, {"0x5", 5}, {"00X0a", 10},           {"1F;name=value", 31},
        {"0", 0}, {"zz", 0},  {"7fffffff", INT32_MAX}, {"00000000000000007fffffff", INT32_MAX},
    };
    for (const auto& [line, expected] : read) {
        std::int32_t size = -1;
        ASSERT_TRUE(ReadChunkSize(line, size)) << line;
        EXPECT_EQ(size, expected) << line;
    }
    for (const char* line : {"", "80000000", "fffffffffffffffff"}) {
        std::int32_t size = -1;
        EXPECT_FALSE(ReadChunkSize(line, size)) << line;
    }
}

TEST(BodyDecoderTest, ChunkedBodies) {
    struct Case {
        const char* input;
        TransferResult result;
        const char* body;
    };
    const Case cases[] = {
        {"5\r\nhello\r\n0\r\n\r\n", 0, "hello"},
        {"0x5\r\nhello\r\n0\r\n\r\n", 0, "hello"},
        {"3;ext=1\r\nabc\r\n2\r\nde\r\n000\r\n\r\n", 0, "abcde"},
        {"\r\nhello\r\n0\r\n\r\n", 1009, ""},
        {"5\r\nhello\r\n\r\n", 1009, "hello"},
        {"5\r\nhelloXY0\r\n\r\n", 1009, "hello"},
        {"5\r\nhello\r\n0\r\nTrailer: x\r\n\r\n", 1009, "hello"},
        {"80000000\r\n", 1009, ""},
        {"5\r\nhel", kMoreNeeded, "hel"},
        {"5\r\nhello\r\n0\r\n", kMoreNeeded, "hello"},
    };
    for (const Case& c : cases) {
        for (const std::size_t piece : {std::size_t(1), std::size_t(4096)}) {
            const Outcome outcome = Decode(c.input, true, -1, piece);
            EXPECT_EQ(outcome.result, c.result) << c.input << " in pieces of " << piece;
            EXPECT_EQ(outcome.body, c.body) << c.input << " in pieces of " << piece;
            EXPECT_EQ(outcome.keeps, c.result == 0 || c.result == kMoreNeeded) << c.input;
        }
    }
}

TEST(BodyDecoderTest, WhatFollowsTheBodyStaysInTheBuffer) {
    const Outcome outcome = Decode("2\r\nab\r\n0\r\n\r\nHTTP/1.1 200 OK\r\n", true, -1, 4096);
    EXPECT_EQ(outcome.result, 0);
    EXPECT_EQ(outcome.left, "HTTP/1.1 200 OK\r\n");
    EXPECT_TRUE(outcome.keeps);
}

TEST(BodyDecoderTest, SizeLineIsBounded) {
    const std::string longest = std::string(kMaxChunkSizeLine - 1, '0') + "3\r\nabc\r\n0\r\n\r\n";
    EXPECT_EQ(Decode(longest, true, -1, 4096).result, 0);
    const std::string over = std::string(kMaxChunkSizeLine, '0') + "3\r\nabc\r\n0\r\n\r\n";
    EXPECT_EQ(Decode(over, true, -1, 4096).result, 1009);
    EXPECT_EQ(Decode(std::string(10 * kMaxChunkSizeLine, '0'), true, -1, 100).result, 1009);
}

TEST(BodyDecoderTest, KnownLengths) {
    // The wanted length ends the body, even inside a chunk; the rest stays unread.
    Outcome outcome = Decode("5\r\nhello\r\n0\r\n\r\n", true, 3, 1);
    EXPECT_EQ(outcome.result, 0);
    EXPECT_EQ(outcome.body, "hel");
    EXPECT_FALSE(outcome.keeps);
    // The last chunk before the wanted length.
    outcome = Decode("5\r\nhello\r\n0\r\n\r\n", true, 8, 4096);
    EXPECT_EQ(outcome.result, result::kControlClosed);
    EXPECT_EQ(outcome.body, "hello");

    outcome = Decode("hello world", false, 5, 4096);
    EXPECT_EQ(outcome.result, 0);
    EXPECT_EQ(outcome.body, "hello");
    EXPECT_EQ(outcome.left, " world");
    EXPECT_FALSE(outcome.keeps);

    outcome = Decode("hello", false, 5, 2);
    EXPECT_EQ(outcome.result, 0);
    EXPECT_TRUE(outcome.keeps);

    // Without a length a plain body ends only with the connection.
    outcome = Decode("hello", false, -1, 2);
    EXPECT_EQ(outcome.result, kMoreNeeded);
    EXPECT_EQ(outcome.body, "hello");

    std::string empty;
    std::string out;
    EXPECT_EQ(CBodyDecoder(false, 0).Decode(empty, out), 0);
}

// The body reader writes straight from its receive buffer: the pieces must be views into the
// input, one a chunk, with an incomplete size line left in the input for the next receive.
TEST(BodyDecoderTest, InPlacePiecesAreViewsIntoTheInput) {
    const std::string wire = "3\r\nabc\r\n2\r\nde\r\n1";
    CBodyDecoder decoder(true, -1);
    std::string_view input(wire);
    std::vector<std::string_view> pieces;
    ASSERT_EQ(decoder.DecodeInPlace(input, pieces), kMoreNeeded);
    ASSERT_EQ(pieces.size(), 2u);
    EXPECT_EQ(pieces[0], "abc");
    EXPECT_EQ(pieces[1], "de");
    for (const std::string_view piece : pieces) {
        EXPECT_GE(piece.data(), wire.data());
        EXPECT_LE(piece.data() + piece.size(), wire.data() + wire.size());
    }
    EXPECT_EQ(input, "1");

    const std::string rest = "0\r\n0123456789abcdef\r\n0\r\n\r\nnext";
    const std::string joined = std::string(input) + rest;
    input = joined;
    ASSERT_EQ(decoder.DecodeInPlace(input, pieces), 0);
    ASSERT_EQ(pieces.size(), 1u);
    EXPECT_EQ(pieces[0], "0123456789abcdef");
    EXPECT_EQ(input, "next");
    // Once ended it takes nothing and hands out nothing.
    EXPECT_EQ(decoder.DecodeInPlace(input, pieces), 0);
    EXPECT_TRUE(pieces.empty());
    EXPECT_EQ(input, "next");

    // A plain body is one piece, cut at the wanted length.
    CBodyDecoder plain(false, 4);
    const std::string bytes = "bodyHTTP/1.1";
    input = bytes;
    ASSERT_EQ(plain.DecodeInPlace(input, pieces), 0);
    ASSERT_EQ(pieces.size(), 1u);
    EXPECT_EQ(pieces[0].data(), bytes.data());
    EXPECT_EQ(pieces[0], "body");
    EXPECT_EQ(input, "HTTP/1.1");
}

}  // namespace
}  // namespace tellweir
