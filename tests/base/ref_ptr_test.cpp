// RefCounted: the interlocked count behind CRefCounted and the counted interfaces, and RefPtr's
// ownership of one reference.
#include "base/ref_ptr.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace tellweir {
namespace {

// A counted interface of the kind ILog is.
class IThing : public IRefCounted {
  public:
    virtual int Value() const = 0;
};

class CThing final : public RefCounted<IThing> {
  public:
    explicit CThing(bool* destroyed) : destroyed_(destroyed) {}
    int Value() const override { return 7; }

  private:
    ~CThing() override { *destroyed_ = true; }
    bool* destroyed_;
};

class CPlain final : public CRefCounted {
  public:
    explicit CPlain(bool* destroyed) : destroyed_(destroyed) {}

  private:
    ~CPlain() override { *destroyed_ = true; }
    bool* destroyed_;
};

TEST(RefCounted, CountsFromOneAndDeletesAtTheLastRelease) {
    bool destroyed = false;
    IThing* thing = new CThing(&destroyed);
    EXPECT_EQ(thing->AddRef(), 2);
    EXPECT_EQ(thing->AddRef(), 3);
    EXPECT_EQ(thing->Release(), 2);
    EXPECT_EQ(thing->Release(), 1);
    EXPECT_FALSE(destroyed);
    EXPECT_EQ(thing->Release(), 0);
    EXPECT_TRUE(destroyed);
}

TEST(RefCounted, RefPtrOwnsOneReference) {
    bool destroyed = false;
    {
        RefPtr<IThing> first = RefPtr<IThing>::Adopt(new CThing(&destroyed));
        RefPtr<IThing> second = first;
        EXPECT_EQ(second->Value(), 7);
        first.reset();
        EXPECT_FALSE(destroyed);
    }
    EXPECT_TRUE(destroyed);

    bool plainDestroyed = false;
    { const RefPtr<CPlain> plain = MakeRef<CPlain>(&plainDestroyed); }
    EXPECT_TRUE(plainDestroyed);
}

TEST(RefCounted, CountIsInterlocked) {
    bool destroyed = false;
    IThing* thing = new CThing(&destroyed);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([thing] {
            for (int i = 0; i < 10000; ++i) {
                thing->AddRef();
                thing->Release();
            }
        });
    }
    for (std::thread& t : threads)
        t.join();
    EXPECT_FALSE(destroyed);
    EXPECT_EQ(thing->Release(), 0);
    EXPECT_TRUE(destroyed);
}

}  // namespace
}  // namespace tellweir
