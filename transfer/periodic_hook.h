// IPeriodicHook: an object the transfer manager's pump refreshes once a second (the progress
// meters of running downloads, the socket watchdog's sweep).
#pragma once

namespace tellweir {

class IPeriodicHook {
  public:
    // Called on the pump thread with the manager's hook lock held: it must not register or
    // unregister hooks, nor take the manager's lock.
    virtual void OnPeriodicRefresh() = 0;

  protected:
    ~IPeriodicHook() = default;
};

}  // namespace tellweir
