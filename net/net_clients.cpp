// The network layer's registrations with the transfer manager.
#include "net/net_clients.h"

#include "net/cookie/cookie_store.h"
#include "net/ftp/ftp_session.h"
#include "net/http/http_session.h"
#include "net/socket/socket_watchdog.h"
#include "store/password_store.h"
#include "transfer/periodic_hook.h"
#include "transfer/session_factory.h"
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
    RegisterSessionFactory(ProtocolId::Ftp, [&manager](const SessionParams& params) {
        return SessionPtr::Adopt(new CFtpSession(params, &manager.Settings()));
    });
    // One factory for both schemes; ftp through an http:// proxy is sent here by the manager.
    const CPropertySet* settings = &manager.Settings();
    const SessionFactory http = [settings](const SessionParams& params) {
        return SessionPtr::Adopt(new CHttpSession(params, *settings, CCookieStore::Instance(),
                                                  CPasswordStore::Instance()));
    };
    RegisterSessionFactory(ProtocolId::Http, http);
    RegisterSessionFactory(ProtocolId::Https, http);
}

}  // namespace tellweir
