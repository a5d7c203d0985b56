// The process-wide table of session factories.
#include "transfer/session_factory.h"

#include <map>
#include <mutex>

namespace tellweir {

namespace {

struct FactoryTable {
    std::mutex lock;
    std::map<ProtocolId, SessionFactory> factories;
};

FactoryTable& Table() {
    static FactoryTable table;
    return table;
}

}  // namespace

void RegisterSessionFactory(ProtocolId protocol, SessionFactory factory) {
    FactoryTable& table = Table();
    std::lock_guard guard(table.lock);
    if (factory)
        table.factories[protocol] = std::move(factory);
    else
        table.factories.erase(protocol);
}

SessionFactory FindSessionFactory(ProtocolId protocol) {
    FactoryTable& table = Table();
    std::lock_guard guard(table.lock);
    const auto found = table.factories.find(protocol);
    return found == table.factories.end() ? SessionFactory() : found->second;
}

}  // namespace tellweir
