// Enumerates the texts a name pattern stands for: "Name(<1-10000>)" gives "Name(1)", "Name(2)",
// ... "Name(10000)". Used to make task names unique.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tellweir {

// A pattern is literal text with groups in angle brackets; a group lists alternatives separated
// by '|', each either a numeric range "a-b" (counting down when a > b) or literal text. Texts come
// out like an odometer with the first group turning fastest. A group without '>', or with a
// range bound outside 0..2000000000, makes the rest of the pattern from its '<' literal.
// Enumeration is lazy, so a pattern standing for billions of texts costs nothing until asked.
class CNamePattern {
  public:
    // Replaces the pattern and starts its enumeration again.
    void Parse(std::string_view pattern);
    // The next text, or nothing once every combination has been given.
    std::optional<std::string> Next();

  private:
    struct Alternative {
        std::string text;
        bool isRange = false;
        std::int64_t from = 0;
        std::int64_t to = 0;
    };
    struct Item {
        std::vector<Alternative> alternatives;
        std::size_t index = 0;    // the current alternative; past the end when exhausted
        std::int64_t number = 0;  // the current value of a range alternative
    };

    static bool ParseGroup(std::string_view content, std::vector<Alternative>& alternatives);
    void AddLiteral(std::string_view text);
    void AddItem(std::vector<Alternative> alternatives);
    static void Reset(Item& item);
    static void Advance(Item& item);
    static void EnterAlternative(Item& item);

    std::vector<Item> items_;
    bool ended_ = false;
};

}  // namespace tellweir
