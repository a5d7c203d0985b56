// Fuzz target of ParseAttributeList: any bytes, with sinks that check every piece they receive
// lies inside the input and that the count matches the pairs delivered.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "store/attribute_list.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    auto inside = [text](std::string_view piece) {
        if (piece.empty()) return;
        if (piece.data() < text.data() || piece.data() + piece.size() > text.data() + text.size())
            std::abort();
    };
    // The first byte chooses after how many values the value sink stops the parse.
    const int stopAfter = size > 0 ? data[0] % 8 : 0;
    int names = 0;
    int values = 0;
    const int pairs = tellweir::ParseAttributeList(
        text,
        [&](std::string_view name) {
            inside(name);
            ++names;
            return true;
        },
        [&](std::string_view value) {
            inside(value);
            return ++values != stopAfter;
        },
        [&](std::string_view flag) {
            inside(flag);
            if (flag.empty()) std::abort();
        });
    if (pairs != names || pairs != values) std::abort();
    return 0;
}
