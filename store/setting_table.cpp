// CSettingTable: load, save, defaults and the name=value list forms of a setting table.
#include "store/setting_table.h"

#include <algorithm>
#include <bit>
#include <cstdlib>

#include "base/ascii_text.h"
#include "base/decimal_text.h"
#include "base/text_format.h"
#include "store/attribute_list.h"
#include "store/xml_escape.h"

namespace tellweir {
namespace {

// 64-bit entries in the set: int64, and doubles and date-times as bit patterns.
bool IsWide(PropertyKind kind) {
    return kind == PropertyKind::Int64 || kind == PropertyKind::Double ||
           kind == PropertyKind::Time;
}

std::string DefaultText(const CSettingDef& def) {
    const std::string* s = def.defaultValue.get_if<std::string>();
    return s ? *s : std::string();
}

}  // namespace

std::int64_t RawBits(const PropertyValue& value) {
    if (const auto* v = value.get_if<std::int64_t>()) return *v;
    if (const auto* v = value.get_if<double>()) return std::bit_cast<std::int64_t>(*v);
    if (const auto* v = value.get_if<TimeValue>()) return std::bit_cast<std::int64_t>(v->days);
    return 0;
}

void CSettingTable::AddSetting(std::string_view key, PropertyId id, PropertyValue defaultValue,
                               bool keepAsStored) {
    std::erase_if(entries_, [id](const CSettingDef& d) { return d.id == id; });
    entries_.push_back({std::string(key), id, std::move(defaultValue), keepAsStored});
}

const CSettingDef* CSettingTable::FindById(PropertyId id) const {
    for (const CSettingDef& d : entries_) {
        if (d.id == id) return &d;
    }
    return nullptr;
}

void CSettingTable::SaveTo(CKeyValueStore& store, const CPropertySet& set) const {
    for (const CSettingDef& def : entries_) {
        const PropertyKind kind = def.defaultValue.kind();
        if (kind == PropertyKind::Int) {
            store.WriteInt(def.key, set.Int(def.id));
        } else if (kind == PropertyKind::String) {
            store.WriteString(def.key, set.String(def.id));
        } else if (IsWide(kind)) {
            store.WriteInt64(def.key, set.Int64(def.id));
        }
    }
}

void CSettingTable::LoadFrom(CKeyValueStore& store, CPropertySet& set) const {
    for (const CSettingDef& def : entries_) {
        const PropertyKind kind = def.defaultValue.kind();
        if (kind == PropertyKind::Int) {
            std::int32_t v = 0;
            set.SetInt(def.id,
                       store.ReadInt(def.key, v) ? v : *def.defaultValue.get_if<std::int32_t>());
        } else if (kind == PropertyKind::String) {
            std::string v;
            if (!store.ReadString(def.key, v)) {
                v = DefaultText(def);
            } else if (!def.keepAsStored) {
                v = std::string(TrimAscii(v, IsBlankOrLineBreak));
                if (v.empty()) v = DefaultText(def);
            }
            set.SetString(def.id, v);
        } else if (IsWide(kind)) {
            std::int64_t v = 0;
            const bool read = store.ReadInt64(def.key, v);
            const bool useDefault = !read || (kind == PropertyKind::Time && v == 0);
            set.SetInt64(def.id, useDefault ? RawBits(def.defaultValue) : v);
        }
    }
}

void CSettingTable::ApplyDefaults(CPropertySet& set) const {
    for (const CSettingDef& def : entries_) {
        const PropertyKind kind = def.defaultValue.kind();
        if (kind == PropertyKind::Int) {
            set.SetInt(def.id, *def.defaultValue.get_if<std::int32_t>());
        } else if (kind == PropertyKind::String) {
            set.SetString(def.id, DefaultText(def));
        } else if (IsWide(kind)) {
            set.SetInt64(def.id, RawBits(def.defaultValue));
        }
    }
}

std::string CSettingTable::FormatNonDefaults(const CPropertySet& set) const {
    std::string out;
    auto append = [&out](const std::string& pair) {
        if (!out.empty()) out += ' ';
        out += pair;
    };
    for (const CSettingDef& def : entries_) {
        if (!set.Has(def.id)) continue;
        const PropertyKind kind = def.defaultValue.kind();
        if (kind == PropertyKind::Int) {
            const std::int32_t v = set.Int(def.id);
            if (v != *def.defaultValue.get_if<std::int32_t>())
                append(Format("%s=\"%d\"", def.key, v));
        } else if (kind == PropertyKind::String) {
            const std::string v = set.String(def.id);
            if (v != DefaultText(def)) append(Format("%s=\"%s\"", def.key, XmlEscape(v)));
        } else if (kind == PropertyKind::Int64) {
            const std::int64_t v = set.Int64(def.id);
            if (v != RawBits(def.defaultValue)) append(Format("%s=\"%I64d\"", def.key, v));
        }
    }
    return out;
}

void CSettingTable::ApplyValueList(std::string_view text, CPropertySet& set,
                                   bool caseSensitive) const {
    const CSettingDef* current = nullptr;
    ParseAttributeList(
        text,
        [&](std::string_view name) {
            current = nullptr;
            for (const CSettingDef& def : entries_) {
                if (caseSensitive ? def.key == name : EqualsIgnoreAsciiCase(def.key, name)) {
                    current = &def;
                    break;
                }
            }
            return true;
        },
        [&](std::string_view rawValue) {
            if (!current) return true;
            const std::string value = XmlUnescape(rawValue);
            switch (current->defaultValue.kind()) {
                case PropertyKind::Int:
                    set.SetInt(current->id, ReadAtoi32(value));
                    break;
                case PropertyKind::Int64:
                    set.SetInt64(current->id, std::strtoll(value.c_str(), nullptr, 10));
                    break;
                case PropertyKind::Double:
                case PropertyKind::Time:
                    set.SetInt64(current->id,
                                 std::bit_cast<std::int64_t>(std::strtod(value.c_str(), nullptr)));
                    break;
                case PropertyKind::String:
                    set.SetString(current->id, value);
                    break;
                default:
                    break;
            }
            return true;
        });
}

}  // namespace tellweir
