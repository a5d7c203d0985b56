// CHttpSession's body reading: plain, to the close of the connection, or chunked, into the local
// file or drained away so that the connection can carry the next reply.
#include <memory>

#include "base/ascii_text.h"
#include "base/text_format.h"
#include "log/error_words.h"
#include "log/status_message.h"
#include "net/http/body_decoder.h"
#include "net/http/content_range.h"
#include "net/http/header_lookup.h"
#include "net/http/http_session.h"
#include "net/http/keep_alive.h"
#include "net/net_log.h"
#include "transfer/progress_meter.h"

namespace tellweir {
namespace {

// The most one receive asks for: a fast connection fills it, so a large body costs few calls.
constexpr std::size_t kBodyPiece = 256 * 1024;

class CDiscardSink final : public IHttpBodySink {
  public:
    bool Write(std::string_view) override { return true; }
};

std::string ExpectedText(std::int64_t length) {
    return length < 0 ? std::string("?") : Format("%I64d", length);
}

void FinishMeter(CProgressMeter* meter) {
    if (meter) meter->SetTotal(meter->Position());
}

}  // namespace

TransferResult IHttpBodySink::WriteFailure(ILog* log) const {
    LogText(log, kLevelError, "Transfer aborted: cannot write to file, no disk space.");
    return result::kNoDiskSpace;
}

TransferResult CHttpSession::ReceiveBody(IHttpBodySink& sink, std::int64_t length, bool chunked,
                                         ILog* log, CProgressMeter* meter) {
    if (IsAborted()) {
        Disconnect();
        return result::kStopped;
    }
    CBodyDecoder decoder(chunked, length);
    BodyPieces pieces;
    // The bytes that came with the header block first.
    std::string_view held(received_);
    const TransferResult buffered = WriteBodyData(decoder, held, pieces, sink, log, meter);
    received_.erase(0, received_.size() - held.size());
    if (buffered != kMoreNeeded) return BodyWritten(buffered, log);
    // The socket's own receive buffer is left to the system, which grows it as the data flows.
    const std::size_t piece = length >= 1 && length < static_cast<std::int64_t>(kBodyPiece)
                                  ? static_cast<std::size_t>(length)
                                  : kBodyPiece;
    // Not zero-filled: the receive writes it, and only the bytes it gave are read.
    const std::unique_ptr<char[]> buffer(new char[piece]);
    for (;;) {
        if (IsAborted()) {
            Disconnect();
            return result::kStopped;
        }
        ArmSocket();
        const std::int32_t count = socket_.Receive(buffer.get(), static_cast<std::int32_t>(piece));
        if (count == 0) return BodyCutShort(decoder, chunked, log, meter);
        if (count < 0) return BodyReceiveFailed(decoder, log);
        TransferResult written;
        if (received_.empty()) {
            // The usual case: the body goes from the receive buffer straight to the sink, and
            // only an incomplete chunk line is kept for the next round.
            std::string_view input(buffer.get(), static_cast<std::size_t>(count));
            written = WriteBodyData(decoder, input, pieces, sink, log, meter);
            received_.assign(input);
        } else {
            received_.append(buffer.get(), static_cast<std::size_t>(count));
            std::string_view input(received_);
            written = WriteBodyData(decoder, input, pieces, sink, log, meter);
            received_.erase(0, received_.size() - input.size());
        }
        if (written != kMoreNeeded) return BodyWritten(written, log);
    }
}

TransferResult CHttpSession::BodyWritten(TransferResult written, ILog* log) {
    if (written != result::kOk) {
        LogText(log, kLevelError, "ReadHTTPRawBody error.");
        Disconnect();
    }
    return written;
}

// The server closed the connection: the end of a body without a length, else a cut body. A
// chunked body ends only with its last chunk, so a close before it is never a success.
TransferResult CHttpSession::BodyCutShort(const CBodyDecoder& decoder, bool chunked, ILog* log,
                                          CProgressMeter* meter) {
    Disconnect();
    const bool complete =
        !chunked && (decoder.Length() == -1 || decoder.Written() >= decoder.Length());
    if (complete) {
        FinishMeter(meter);
        return result::kOk;
    }
    LogMessage(log, kLevelError, msg::kTransferAborted, "closed by server",
               ExpectedText(decoder.Length()), Format("%I64d", decoder.Written()));
    return result::kControlClosed;
}

TransferResult CHttpSession::BodyReceiveFailed(const CBodyDecoder& decoder, ILog* log) {
    const TransferResult error = IsAborted() ? result::kStopped : socket_.LastError();
    Disconnect();
    if (error == result::kTimeout)
        LogMessage(log, kLevelError, msg::kTimeoutOn, "HTTP recv body");
    else if (error != result::kStopped)
        LogMessage(log, kLevelError, msg::kTransferAborted,
                   Format("connection closed (error: %s)", ErrorNumberText(error)),
                   ExpectedText(decoder.Length()), Format("%I64d", decoder.Written()));
    return error;
}

TransferResult CHttpSession::WriteBodyData(CBodyDecoder& decoder, std::string_view& input,
                                           BodyPieces& pieces, IHttpBodySink& sink, ILog* log,
                                           CProgressMeter* meter) {
    const TransferResult decoded = decoder.DecodeInPlace(input, pieces);
    std::string_view body;
    std::string joined;
    if (pieces.size() == 1) {
        body = pieces.front();
    } else if (pieces.size() > 1) {
        // Many small chunks in one receive make one write, not one each.
        for (const std::string_view part : pieces)
            joined.append(part);
        body = joined;
    }
    if (!body.empty()) {
        if (!sink.Write(body)) {
            SetConnected(false);
            return sink.WriteFailure(log);
        }
        if (meter) meter->Advance(static_cast<std::int64_t>(body.size()));
    }
    // Bytes beyond the wanted length, or broken chunking, leave the stream unusable.
    if (!decoder.KeepsConnection()) SetConnected(false);
    if (decoded == result::kOk) FinishMeter(meter);
    if (decoded == result::kControlClosed)
        LogFormat(log, kLevelError,
                  "Chunked transfer aborted: connection closed by server, bytes expected %I64d, "
                  "received %I64d.",
                  decoder.Length(), decoder.Written());
    return decoded;
}

TransferResult CHttpSession::DrainBody(std::string_view header, ILog* log) {
    if (IsAborted()) {
        Disconnect();
        return result::kStopped;
    }
    bool connected = IsConnected();
    UpdateKeepAlive(header, connected);
    if (!connected) SetConnected(false);
    CDiscardSink sink;
    TransferResult drained;
    if (EqualsIgnoreAsciiCase(FindFirstHeader(header, header::kTransferEncoding), "chunked")) {
        drained = ReceiveBody(sink, -1, true, log, nullptr);
    } else {
        const std::int64_t length =
            HasHeader(header, header::kContentLength)
                ? ParseContentLength(FindFirstHeader(header, header::kContentLength))
                : -1;
        // Without a length the body ends only with the connection.
        if (length == -1) {
            Disconnect();
            return result::kOk;
        }
        if (length == 0) return result::kOk;
        drained = ReceiveBody(sink, length, false, log, nullptr);
    }
    if (drained != result::kOk) Disconnect();
    return drained;
}

}  // namespace tellweir
