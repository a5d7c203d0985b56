// The errno to Windows Sockets number table.
#include "net/socket/socket_error.h"

#include <cerrno>

namespace tellweir {
namespace {

struct ErrnoRow {
    int error;
    TransferResult code;
};

constexpr ErrnoRow kRows[] = {
    {ENETDOWN, 10050},      {ENETUNREACH, 10051},  {ENETRESET, 10052},   {ECONNABORTED, 10053},
    {EPIPE, 10053},         {ECONNRESET, 10054},   {ENOBUFS, 10055},     {EISCONN, 10056},
    {ENOTCONN, 10057},      {ESHUTDOWN, 10058},    {ETIMEDOUT, 10060},   {ECONNREFUSED, 10061},
    {EHOSTDOWN, 10064},     {EHOSTUNREACH, 10065}, {EINTR, 10004},       {EBADF, 10009},
    {EACCES, 10013},        {EFAULT, 10014},       {EINVAL, 10022},      {EMFILE, 10024},
    {EWOULDBLOCK, 10035},   {EAGAIN, 10035},       {EINPROGRESS, 10036}, {EADDRINUSE, 10048},
    {EADDRNOTAVAIL, 10049},
};

}  // namespace

TransferResult SocketErrorFromErrno(int error) {
    for (const ErrnoRow& row : kRows) {
        if (row.error == error) return row.code;
    }
    return sockerr::kInvalidArgument;
}

TransferResult LastSocketError() {
    return SocketErrorFromErrno(errno);
}

}  // namespace tellweir
