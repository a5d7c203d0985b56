// TlsOptions: what the settings decide about a TLS connection, handed from the protocol client
// through the socket to the TLS client.
#pragma once

#include <cstdint>

namespace tellweir {

struct TlsOptions {
    // "Connections/SSL-TLS Version" (0 to 3: "SSLv2", "SSLv23", "SSLv3", "TLSv1.0"); every value
    // is served by TLS 1.2 or later, the oldest versions the library still offers.
    std::int32_t method = 1;
    // "Connections/Accept Untrusted Certificates": a server certificate that fails verification
    // is accepted (and the failure logged as an error) instead of ending the handshake.
    bool acceptUntrusted = false;
};

}  // namespace tellweir
