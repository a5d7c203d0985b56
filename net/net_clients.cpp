// The network layer's registrations with the transfer manager.
#include "net/net_clients.h"

#include "net/socket_watchdog.h"
#include "transfer/periodic_hook.h"
#include "transfer/transfer_manager.h"

namespace tellweir {

namespace {

// Once a second the pump wakes every socket call whose time limit has passed.
class CWatchdogSweep final : public IPeriodicHook {
  public:
    void OnPeriodicRefresh() override { SocketWatchdog::Instance().Sweep(); }
};

}  // namespace

void RegisterNetworkClients(CTransferManager& manager) {
    static CWatchdogSweep sweep;
    manager.RegisterPeriodicHook(&sweep);
}

}  // namespace tellweir
