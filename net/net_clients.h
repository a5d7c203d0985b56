// Plugs the network layer into the transfer manager: the socket watchdog's periodic sweep and
// the protocol clients' session factories.
#pragma once

namespace tellweir {

class CTransferManager;

// Registers the network layer's periodic hook with `manager` and the session factories of the
// protocols that have a client. Call once after creating the manager.
void RegisterNetworkClients(CTransferManager& manager);

}  // namespace tellweir
