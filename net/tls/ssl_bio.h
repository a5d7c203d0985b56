// ChannelBio: the program's own OpenSSL I/O channel, whose reads and writes go to the raw
// receive and send of the socket under an SSLConnection.
#pragma once

#include <openssl/types.h>

namespace tellweir {

class SSLConnection;

struct ChannelBio {
    // A new channel over `connection`, which must outlive it; the SSL session that it is given
    // to frees it.
    static BIO* New(SSLConnection& connection);

    static int Read(BIO* bio, char* buffer, int size);
    static int Write(BIO* bio, const char* data, int length);
    static long Control(BIO* bio, int command, long number, void* pointer);
    static int Create(BIO* bio);
    static int Destroy(BIO* bio);
};

}  // namespace tellweir
