// CSettingTable: the ordered description of persistent properties (key path, id, typed default,
// trimming rule) that loads, saves, formats and parses the persistent part of a property set.
// The application settings, the monitor task properties and the INFO files each use one.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "store/key_value_store.h"
#include "store/property_set.h"

namespace tellweir {

struct CSettingDef {
    std::string key;  // "Group/Name": registry subkey and value name, XML path
    PropertyId id = 0;
    PropertyValue defaultValue;  // its kind is the setting's type
    bool keepAsStored = true;    // for texts: false trims blanks and falls back to the default
};

class CSettingTable {
  public:
    // Appends an entry; an entry with the same id is removed first.
    void AddSetting(std::string_view key, PropertyId id, PropertyValue defaultValue,
                    bool keepAsStored = true);

    const std::vector<CSettingDef>& Entries() const { return entries_; }
    const CSettingDef* FindById(PropertyId id) const;

    // Writes every entry's value from `set` into `store`: ints as ints, texts as texts, and
    // 64-bit integers, doubles and date-times as raw 64-bit patterns.
    void SaveTo(CKeyValueStore& store, const CPropertySet& set) const;
    // Reads every entry from `store` into `set`, taking the default when a read fails.
    void LoadFrom(CKeyValueStore& store, CPropertySet& set) const;
    // Puts every entry's default into `set`.
    void ApplyDefaults(CPropertySet& set) const;
    // "key=\"value\"" pairs, separated by blanks, for the int, text and 64-bit entries whose
    // value in `set` is present and differs from the default.
    std::string FormatNonDefaults(const CPropertySet& set) const;
    // Parses "key=value" pairs and stores each value whose key names an entry, converted to the
    // entry's type.
    void ApplyValueList(std::string_view text, CPropertySet& set, bool caseSensitive) const;

  private:
    std::vector<CSettingDef> entries_;
};

// The raw 64-bit pattern under which a set keeps a default of kind int64, double or time.
std::int64_t RawBits(const PropertyValue& value);

}  // namespace tellweir
