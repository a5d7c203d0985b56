// The process-wide id counters and their first values.
#include "base/id_counter.h"

namespace tellweir {

CIdCounter& TransferIds() {
    static CIdCounter counter(100);
    return counter;
}

CIdCounter& SchedulerTaskIds() {
    static CIdCounter counter(1);
    return counter;
}

CIdCounter& PromptRequestIds() {
    static CIdCounter counter(500);
    return counter;
}

CIdCounter& PulserEntryIds() {
    static CIdCounter counter(500);
    return counter;
}

}  // namespace tellweir
