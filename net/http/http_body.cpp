// CHttpSession's body reading: plain, to the close of the connection, or chunked, into the local
// file or drained away so that the connection can carry the next reply.
#include <vector>

#include "base/ascii_text.h"
#include "base/text_format.h"
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

constexpr std::int32_t kBodyPiece = 32768;

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
    const TransferResult buffered = WriteBodyData(decoder, sink, log, meter);
    if (buffered != kMoreNeeded) return BodyWritten(buffered, log);
    const std::int32_t piece =
        length >= 1 && length < kBodyPiece ? static_cast<std::int32_t>(length) : kBodyPiece;
    socket_.SetBufferSize(false, piece);
    std::vector<char> buffer(static_cast<std::size_t>(piece));
    for (;;) {
        if (IsAborted()) {
            Disconnect();
            return result::kStopped;
        }
        ArmSocket();
        const std::int32_t count = socket_.Receive(buffer.data(), piece);
        if (count == 0) return BodyCutShort(decoder, chunked, log, meter);
        if (count < 0) return BodyReceiveFailed(decoder, log);
        received_.append(buffer.data(), static_cast<std::size_t>(count));
        const TransferResult written = WriteBodyData(decoder, sink, log, meter);
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
                   Format("connection closed (error: %d)", error), ExpectedText(decoder.Length()),
                   Format("%I64d", decoder.Written()));
    return error;
}

TransferResult CHttpSession::WriteBodyData(CBodyDecoder& decoder, IHttpBodySink& sink, ILog* log,
                                           CProgressMeter* meter) {
    std::string body;
    const TransferResult decoded = decoder.Decode(received_, body);
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
