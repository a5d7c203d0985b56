// The raw channel of the TLS client: a source/sink BIO over the socket's plain receive and send.
#include "net/tls/ssl_bio.h"

#include <openssl/bio.h>

#include "net/tls/ssl_connection.h"

namespace tellweir {
namespace {

// One method table for the process, made on first use (thread-safe) and kept until exit.
BIO_METHOD* ChannelMethod() {
    static BIO_METHOD* const method = [] {
        BIO_METHOD* made =
            BIO_meth_new(BIO_get_new_index() | BIO_TYPE_SOURCE_SINK, "tellweir socket channel");
        if (made == nullptr) return made;
        BIO_meth_set_read(made, ChannelBio::Read);
        BIO_meth_set_write(made, ChannelBio::Write);
        BIO_meth_set_ctrl(made, ChannelBio::Control);
        BIO_meth_set_create(made, ChannelBio::Create);
        BIO_meth_set_destroy(made, ChannelBio::Destroy);
        return made;
    }();
    return method;
}

SSLConnection* ConnectionOf(BIO* bio) {
    return static_cast<SSLConnection*>(BIO_get_data(bio));
}

}  // namespace

BIO* ChannelBio::New(SSLConnection& connection) {
    BIO_METHOD* method = ChannelMethod();
    if (method == nullptr) return nullptr;
    BIO* bio = BIO_new(method);
    if (bio != nullptr) BIO_set_data(bio, &connection);
    return bio;
}

int ChannelBio::Read(BIO* bio, char* buffer, int size) {
    BIO_clear_retry_flags(bio);
    SSLConnection* connection = ConnectionOf(bio);
    if (connection == nullptr || size <= 0) return 0;
    bool retry = false;
    const int count = connection->ChannelRead(buffer, size, retry);
    if (retry) BIO_set_retry_read(bio);
    return count;
}

int ChannelBio::Write(BIO* bio, const char* data, int length) {
    BIO_clear_retry_flags(bio);
    SSLConnection* connection = ConnectionOf(bio);
    if (connection == nullptr || length <= 0) return 0;
    bool retry = false;
    const int count = connection->ChannelWrite(data, length, retry);
    if (retry) BIO_set_retry_write(bio);
    return count;
}

long ChannelBio::Control(BIO*, int command, long, void*) {
    // Sends are never buffered here, so a flush has nothing to do; nothing else is supported.
    return command == BIO_CTRL_FLUSH ? 1 : 0;
}

int ChannelBio::Create(BIO* bio) {
    BIO_set_init(bio, 1);
    return 1;
}

int ChannelBio::Destroy(BIO* bio) {
    BIO_set_data(bio, nullptr);
    return 1;
}

}  // namespace tellweir
