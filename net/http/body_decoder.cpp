// Plain and chunked bodies. Chunk data is passed on as it arrives: a server announcing a 2 GiB
// chunk must not make the client buffer it.
#include "net/http/body_decoder.h"

#include <algorithm>

#include "net/http/chunk_size.h"

namespace tellweir {
namespace {

constexpr std::string_view kLineEnd = "\r\n";

}  // namespace

CBodyDecoder::CBodyDecoder(bool chunked, std::int64_t length)
    : chunked_(chunked), length_(length < 0 ? -1 : length) {}

TransferResult CBodyDecoder::Decode(std::string& buffer, std::string& out) {
    // The input is consumed through a view and cut from the buffer once, so that many small
    // chunks in one buffer cost no repeated moves of the rest.
    std::string_view input(buffer);
    Pieces pieces;
    const TransferResult result = DecodeInPlace(input, pieces);
    for (const std::string_view piece : pieces)
        out.append(piece);
    buffer.erase(0, buffer.size() - input.size());
    return result;
}

TransferResult CBodyDecoder::DecodeInPlace(std::string_view& input, Pieces& pieces) {
    pieces.clear();
    if (result_ != kMoreNeeded) return result_;
    return chunked_ ? DecodeChunked(input, pieces) : DecodePlain(input, pieces);
}

TransferResult CBodyDecoder::DecodePlain(std::string_view& input, Pieces& out) {
    std::size_t take = input.size();
    if (length_ >= 0 && static_cast<std::int64_t>(take) > length_ - written_) {
        // What follows the wanted bytes stays unread, so the connection is of no further use.
        take = static_cast<std::size_t>(length_ - written_);
        keepsConnection_ = false;
    }
    if (take > 0) out.push_back(input.substr(0, take));
    input.remove_prefix(take);
    written_ += static_cast<std::int64_t>(take);
    return LengthReached() ? End(result::kOk) : kMoreNeeded;
}

TransferResult CBodyDecoder::DecodeChunked(std::string_view& input, Pieces& out) {
    for (;;) {
        if (LengthReached()) {
            // The rest of the chunked body stays unread.
            keepsConnection_ = false;
            return End(result::kOk);
        }
        switch (state_) {
            case State::SizeLine:
                if (const TransferResult read = ReadSizeLine(input); read != result::kOk)
                    return read == kMoreNeeded ? read : End(read);
                break;
            case State::Data:
                if (input.empty()) return kMoreNeeded;
                TakeData(input, out);
                break;
            case State::DataEnd:
            case State::LastChunkEnd:
                if (input.size() < kLineEnd.size()) return kMoreNeeded;
                // Trailer fields are not supported: they fail here too.
                if (!input.starts_with(kLineEnd)) return End(result::kProtocolError);
                input.remove_prefix(kLineEnd.size());
                if (state_ == State::LastChunkEnd)
                    return End(length_ < 0 ? result::kOk : result::kControlClosed);
                state_ = State::SizeLine;
                break;
        }
    }
}

TransferResult CBodyDecoder::ReadSizeLine(std::string_view& input) {
    const std::string_view window = input.substr(0, kMaxChunkSizeLine + kLineEnd.size());
    const std::size_t lineEnd = window.find(kLineEnd);
    if (lineEnd == std::string_view::npos)
        return window.size() < kMaxChunkSizeLine + kLineEnd.size() ? kMoreNeeded
                                                                   : result::kProtocolError;
    std::int32_t size = 0;
    if (!ReadChunkSize(window.substr(0, lineEnd), size)) return result::kProtocolError;
    input.remove_prefix(lineEnd + kLineEnd.size());
    chunkLeft_ = size;
    state_ = size == 0 ? State::LastChunkEnd : State::Data;
    return result::kOk;
}

void CBodyDecoder::TakeData(std::string_view& input, Pieces& out) {
    std::int64_t take = std::min(chunkLeft_, static_cast<std::int64_t>(input.size()));
    if (length_ >= 0) take = std::min(take, length_ - written_);
    const auto count = static_cast<std::size_t>(take);
    if (count > 0) out.push_back(input.substr(0, count));
    input.remove_prefix(count);
    written_ += take;
    chunkLeft_ -= take;
    if (chunkLeft_ == 0) state_ = State::DataEnd;
}

TransferResult CBodyDecoder::End(TransferResult result) {
    result_ = result;
    if (result != result::kOk) keepsConnection_ = false;
    return result;
}

}  // namespace tellweir
