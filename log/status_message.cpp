// The status message templates, exactly as the logs show them.
#include "log/status_message.h"

namespace tellweir {
namespace {

constexpr std::string_view kTemplates[kStatusMessageCount] = {
    "Cannot socket (error: %d).",
    "Cannot connect to %s:%d.",
    "Cannot connect to %s:%d (error: %d).",
    "Connecting to %s:%d...",
    "Connected to %s:%d.",
    "Cannot find server or DNS Error, host name: \"%s\".",
    "Host name resolved: \"%s\" => \"%s\".",
    "Incorrect parameter \"%s\".",
    "Login type is not supported: \"%s\".",
    "Skey pass phrase generated \"%s\".",
    "File not found \"%s\".",
    "Directory not found \"%s\".",
    "Access denied \"%s\".",
    "Cannot get file info \"%s\".",
    "Getting file info \"%s\".",
    "Transfer finished.",
    "Transfer failed.",
    "Transferring...",
    "Connection failed.",
    "Connecting...",
    "Removing file \"%s\".",
    "Removing dir \"%s\".",
    "Cannot remove file \"%s\".",
    "Cannot remove dir \"%s\".",
    "Connection closed.",
    "Control connection closed.",
    "Control connection closed (%d).",
    "Data connection closed.",
    "Data connection closed (%d).",
    "Cannot open file \"%s\".",
    "Cannot create dir \"%s\".",
    "Cannot copy file \"%s\" to \"%s\".",
    "Cannot copy dir \"%s\" to \"%s\".",
    "Cannot connect to %s:%d via proxy.",
    "Cannot connect to %s:%d via proxy (error: %d).",
    "Reusing existing connection.",
    "Protocol or operation is not supported or implemented: \"%s\".",
    "Timeout on: \"%s\".",
    "Sending request.",
    "Sending request: \"%s\".",
    "Received reply.",
    "Received reply: \"%s\".",
    "--- Retry #%d ---",
    "--- Retry #%d from %d ---",
    "File: \"%s\", size: %I64d, modified: %s.",
    "Waiting %d milliseconds...",
    "Waiting %d seconds...",
    "Transfer retry #%d.",
    "Protocol error: %s.",
    "Transfer aborted: %s, bytes expected %s, received %s.",
    "Server certificate was auto accepted.",
    "Server certificate info: valid from %s, to %s.",
    "Server certificate denied by user.",
};

}  // namespace

std::string_view StatusMessage(int index) {
    if (index < 0 || index >= kStatusMessageCount) return {};
    return kTemplates[index];
}

}  // namespace tellweir
