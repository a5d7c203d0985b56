// Property set: sparse storage, conversions, arithmetic, stamps, copy and merge.
#include "store/property_set.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace tellweir {
namespace {

TEST(PropertySet, SparseSetDropsZeroAndReadsMissingAsZero) {
    CPropertySet set;
    set.SetInt(7, 5);
    set.SetInt(7, 0);
    EXPECT_FALSE(set.Has(7));
    std::int32_t v = 99;
    EXPECT_TRUE(set.GetInt(7, v));
    EXPECT_EQ(v, 0);

    set.SetString(8, "x");
    set.SetString(8, "");
    set.SetBytes(9, "ab", 2);
    set.SetBytes(9, nullptr, 0);
    set.SetInt64(10, 0);
    EXPECT_FALSE(set.Has(8));
    EXPECT_FALSE(set.Has(9));
    EXPECT_FALSE(set.Has(10));
}

TEST(PropertySet, MapIsDroppedWithItsLastEntryAndMadeAgain) {
    CPropertySet set;
    EXPECT_FALSE(set.HoldsMap());
    set.SetInt(1, 3);
    EXPECT_TRUE(set.HoldsMap());
    EXPECT_TRUE(set.Remove(1));
    EXPECT_FALSE(set.HoldsMap());
    EXPECT_FALSE(set.Remove(1));
    set.SetString(2, "a");
    EXPECT_TRUE(set.HoldsMap());
}

// Values are kept in id order in one block that grows and shrinks in its middle: each must stay
// under its own id whatever the order of writes, removals and merges.
TEST(PropertySet, ValuesStayUnderTheirIdsWhateverTheOrderOfWrites) {
    constexpr int kIds = 200;
    const auto scrambled = [](int i) { return static_cast<PropertyId>((i * 73) % kIds + 1); };
    CPropertySet set;
    for (int i = 0; i < kIds; ++i)
        set.SetString(scrambled(i), "v" + std::to_string(scrambled(i)));
    for (int id = 3; id <= kIds; id += 3)
        EXPECT_TRUE(set.Remove(static_cast<PropertyId>(id)));
    for (int id = 2; id <= kIds; id += 4)
        set.SetInt(static_cast<PropertyId>(id), id);

    CPropertySet odd;
    odd.SetInt(0, -1);
    odd.SetInt(kIds + 1, -2);
    odd.Merge(set, /*replaceAll=*/false, [](PropertyId id) { return id % 2 == 1; });
    for (int id = 1; id <= kIds; ++id) {
        SCOPED_TRACE(id);
        const auto key = static_cast<PropertyId>(id);
        const std::string text = "v" + std::to_string(id);
        if (id % 3 == 0 && id % 4 != 2) {
            EXPECT_FALSE(set.Has(key));
        } else if (id % 4 == 2) {
            EXPECT_EQ(set.Int(key), id);
        } else {
            EXPECT_EQ(set.String(key), text);
        }
        EXPECT_EQ(odd.Has(key), id % 2 == 1 && id % 3 != 0);
        if (odd.Has(key)) {
            EXPECT_EQ(odd.String(key), text);
        }
    }
    EXPECT_EQ(odd.Int(0), -1);
    EXPECT_EQ(odd.Int(kIds + 1), -2);
}

TEST(PropertySet, SparseReadsConvertBetweenKinds) {
    CPropertySet set;
    set.SetString(1, "42");
    set.SetInt(2, 5);
    set.SetValue(3, PropertyValue::Double(1.5));
    set.SetInt64(4, 0x1'0000'0007LL);
    set.SetValue(5, PropertyValue::Time(45000.75));
    set.SetValue(6, PropertyValue::Double(-2.9));

    EXPECT_EQ(set.Int(1), 42);
    EXPECT_EQ(set.Int64(1), 42);
    EXPECT_EQ(set.String(2), "5");
    EXPECT_EQ(set.Int64(2), 5);
    EXPECT_EQ(set.String(3), "1.5000000000");
    EXPECT_EQ(set.Int(3), 1);
    EXPECT_EQ(set.Int(4), 7);  // low 32 bits
    EXPECT_EQ(set.String(4), "4294967303");
    EXPECT_EQ(set.Int(5), 45000);
    EXPECT_EQ(set.Int(6), -2);  // toward zero
    std::string text = "old";
    EXPECT_FALSE(set.GetString(5, text));  // a time never reads as text
    EXPECT_EQ(text, "");
}

TEST(PropertySet, BinaryNeverReadsAsNumberOrText) {
    CPropertySet set;
    const char bytes[] = {'1', '2', '3'};
    set.SetBytes(1, bytes, 3);
    std::int32_t i = 9;
    std::int64_t i64 = 9;
    std::string s = "x";
    EXPECT_FALSE(set.GetInt(1, i));
    EXPECT_FALSE(set.GetInt64(1, i64));
    EXPECT_FALSE(set.GetString(1, s));
    EXPECT_EQ(i, 0);
    EXPECT_EQ(i64, 0);
    EXPECT_EQ(s, "");

    std::uint32_t count = 0;
    EXPECT_TRUE(set.GetByteCount(1, count));
    EXPECT_EQ(count, 3u);
    char out[2] = {};
    std::uint32_t size = sizeof out;
    EXPECT_TRUE(set.CopyBytes(1, out, size));
    EXPECT_EQ(size, 2u);
    EXPECT_EQ(out[1], '2');
    EXPECT_EQ(set.GetBytes(1).size(), 3u);
    size = 2;
    EXPECT_FALSE(set.CopyBytes(2, out, size));
    EXPECT_EQ(size, 0u);
    set.SetInt(3, 1);
    EXPECT_FALSE(set.GetByteCount(3, count));
}

TEST(PropertySet, NonSparseSetReadsOnlyTheStoredKind) {
    CPropertySet set(CPropertySet::Locking::None, /*sparse=*/false);
    std::int32_t v = 1;
    EXPECT_FALSE(set.GetInt(1, v));  // missing fails
    set.SetInt(1, 0);                // zero is kept
    EXPECT_TRUE(set.Has(1));
    set.SetString(2, "42");
    EXPECT_FALSE(set.GetInt(2, v));
    EXPECT_TRUE(set.GetInt(1, v));
    EXPECT_EQ(v, 0);
}

TEST(PropertySet, AddFollowsTheStoredKind) {
    CPropertySet set;
    set.AddInt(1, 4);  // created as int 0
    set.AddInt(1, 3);
    EXPECT_EQ(set.GetKind(1), PropertyKind::Int);
    EXPECT_EQ(set.Int(1), 7);

    set.SetInt(2, 0x7fffffff);
    set.AddInt(2, 1);  // wraps in 32 bits
    EXPECT_EQ(set.Int(2), static_cast<std::int32_t>(0x80000000u));

    set.SetInt(3, 5);
    set.AddInt64(3, 10);  // int + int64 gives int64
    EXPECT_EQ(set.GetKind(3), PropertyKind::Int64);
    EXPECT_EQ(set.Int64(3), 15);

    set.SetString(4, "n=");
    set.AddInt(4, 12);
    EXPECT_EQ(set.String(4), "n=12");

    set.SetValue(5, PropertyValue::Double(0.5));
    set.AddInt(5, 2);
    EXPECT_EQ(set.String(5), "2.5000000000");

    set.SetBytes(6, "ab", 2);
    set.AddInt(6, 2);  // bytes become int 0, which a sparse set does not keep
    EXPECT_FALSE(set.Has(6));

    set.SetInt(7, 9);
    set.AddInt(7, 0);  // adding nothing keeps the property
    set.AddInt64(7, 0);
    EXPECT_EQ(set.Int(7), 9);
    set.AddInt(7, -9);
    EXPECT_FALSE(set.Has(7));
}

TEST(PropertySet, BitsReadAndWriteThroughTheInt) {
    CPropertySet set(CPropertySet::Locking::ThreadSafe);
    set.SetBit(1, 0, true);
    set.SetBit(1, 31, true);
    EXPECT_TRUE(set.TestBit(1, 31));
    EXPECT_FALSE(set.TestBit(1, 1));
    set.SetBit(1, 0, false);
    EXPECT_EQ(static_cast<std::uint32_t>(set.Int(1)), 0x80000000u);
    set.SetBit(1, 31, false);
    EXPECT_FALSE(set.Has(1));
}

TEST(PropertySet, StampStrictlyIncreasesOnChangesOnly) {
    CPropertySet set;
    std::uint32_t last = set.GetStamp();
    for (int i = 0; i < 1000; ++i) {  // far more changes than milliseconds pass
        set.SetInt(1, i + 1);
        ASSERT_GT(set.GetStamp(), last);
        last = set.GetStamp();
    }
    set.Int(1);
    set.Has(2);
    EXPECT_FALSE(set.Remove(2));
    EXPECT_EQ(set.GetStamp(), last);
    set.Clear();
    EXPECT_GT(set.GetStamp(), last);
}

TEST(PropertySet, CopyToSkipsDoubleAndTimeWhileMergeCopiesEverything) {
    CPropertySet source;
    source.SetInt(1, 1);
    source.SetInt64(2, 2);
    source.SetString(3, "three");
    source.SetBytes(4, "4", 1);
    source.SetValue(5, PropertyValue::Double(5.0));
    source.SetValue(6, PropertyValue::Time(6.0));

    CPropertySet copied;
    source.CopyTo(copied);
    EXPECT_TRUE(copied.Has(1) && copied.Has(2) && copied.Has(3) && copied.Has(4));
    EXPECT_FALSE(copied.Has(5));
    EXPECT_FALSE(copied.Has(6));

    CPropertySet merged;
    merged.SetInt(1, 100);
    merged.SetInt(9, 9);
    merged.Merge(source, /*replaceAll=*/false);
    EXPECT_EQ(merged.Int(1), 1);
    EXPECT_EQ(merged.Int(9), 9);
    EXPECT_EQ(merged.GetKind(5), PropertyKind::Double);
    EXPECT_EQ(merged.GetKind(6), PropertyKind::Time);

    merged.Merge(source, /*replaceAll=*/true, [](PropertyId id) { return id % 2 == 0; });
    EXPECT_FALSE(merged.Has(9));
    EXPECT_FALSE(merged.Has(1));
    EXPECT_TRUE(merged.Has(2) && merged.Has(4) && merged.Has(6));

    merged.Merge(CPropertySet(), /*replaceAll=*/true);
    EXPECT_FALSE(merged.HoldsMap());
}

TEST(PropertySet, ReplaceAllTakesTheSparseFlag) {
    CPropertySet plain(CPropertySet::Locking::None, /*sparse=*/false);
    CPropertySet sparse;
    sparse.Merge(plain, /*replaceAll=*/true);
    EXPECT_FALSE(sparse.IsSparse());
    CPropertySet copy(sparse);
    EXPECT_FALSE(copy.IsSparse());
}

TEST(PropertySet, ThreadSafeSetSurvivesConcurrentWritersAndMerges) {
    CPropertySet a(CPropertySet::Locking::ThreadSafe);
    CPropertySet b(CPropertySet::Locking::ThreadSafe);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 2000; ++i) {
                a.AddInt(1, 1);
                a.SetBit(2, t, i % 2 == 0);
                if (t == 0) b.Merge(a, false);
            }
        });
    }
    for (auto& th : threads)
        th.join();
    EXPECT_EQ(a.Int(1), 8000);
}

}  // namespace
}  // namespace tellweir
