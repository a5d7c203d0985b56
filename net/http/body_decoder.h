// CBodyDecoder: takes the body of an HTTP reply out of the received bytes, plain or chunked,
// without doing any I/O itself. The client's body reader receives, feeds the decoder and writes
// what comes out.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "net/more_needed.h"

namespace tellweir {

class CBodyDecoder {
  public:
    // `length` is the number of body bytes wanted, -1 for all of them.
    CBodyDecoder(bool chunked, std::int64_t length);

    // Takes what it can from the front of `buffer` (the bytes received so far) and appends the
    // body bytes among them to `out`; bytes not taken stay in `buffer`. Chunk data is handed
    // out as it arrives, so no chunk is ever held whole. Gives:
    // - kMoreNeeded: the body goes on; receive more and call again (a plain body of unknown
    //   length ends only when the server closes the connection);
    // - 0: the body is complete (Complete() is then true);
    // - 1009: a malformed chunk: an empty or overlong size line, a size beyond 31 bits, chunk
    //   data not followed by "\r\n", or trailer fields after the last chunk;
    // - 1006: the last chunk came before the wanted length was reached.
    // Once it has given anything but kMoreNeeded it gives the same again and takes nothing.
    [[nodiscard]] TransferResult Decode(std::string& buffer, std::string& out);
    // As Decode, without copying: takes from the front of `input` and sets `pieces` to the body
    // bytes among them, as views into `input`'s memory (one for a plain body, one a chunk for a
    // chunked one). What is not taken stays in `input`.
    [[nodiscard]] TransferResult DecodeInPlace(std::string_view& input,
                                               std::vector<std::string_view>& pieces);

    std::int64_t Length() const { return length_; }
    // Body bytes handed out so far.
    std::int64_t Written() const { return written_; }
    // True once the body has ended with 0.
    bool Complete() const { return result_ == 0; }
    // False once the connection cannot carry another reply: bytes beyond the wanted length were
    // left unread, or the chunking failed.
    bool KeepsConnection() const { return keepsConnection_; }

  private:
    enum class State { SizeLine, Data, DataEnd, LastChunkEnd };

    // These take from the front of `input`.
    using Pieces = std::vector<std::string_view>;
    [[nodiscard]] TransferResult DecodePlain(std::string_view& input, Pieces& out);
    [[nodiscard]] TransferResult DecodeChunked(std::string_view& input, Pieces& out);
    [[nodiscard]] TransferResult ReadSizeLine(std::string_view& input);
    void TakeData(std::string_view& input, Pieces& out);
    [[nodiscard]] TransferResult End(TransferResult result);
    bool LengthReached() const { return length_ >= 0 && written_ >= length_; }

    const bool chunked_;
    const std::int64_t length_;
    std::int64_t written_ = 0;
    std::int64_t chunkLeft_ = 0;
    State state_ = State::SizeLine;
    TransferResult result_ = kMoreNeeded;
    bool keepsConnection_ = true;
};

}  // namespace tellweir
