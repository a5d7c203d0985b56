// CLogPair: writes go to the first log, then to the second.
#include "log/log_pair.h"

namespace tellweir {

CLogPair::CLogPair(ILog* first, ILog* second)
    : first_(LogPtr::Share(first)), second_(LogPtr::Share(second)) {}

void CLogPair::Write(int level, std::string_view text) {
    if (first_) first_->Write(level, text);
    if (second_) second_->Write(level, text);
}

void CLogPair::WriteFormatV(int level, std::string_view format, FormatArgs args) {
    if (first_) first_->WriteFormatV(level, format, args);
    if (second_) second_->WriteFormatV(level, format, args);
}

void CLogPair::WriteMessageV(int level, int index, FormatArgs args) {
    if (first_) first_->WriteMessageV(level, index, args);
    if (second_) second_->WriteMessageV(level, index, args);
}

RefPtr<ILog> MakeLogPair(ILog* first, ILog* second) {
    if (!first && !second) return nullptr;
    return RefPtr<ILog>::Adopt(new CLogPair(first, second));
}

}  // namespace tellweir
