// Intrusive reference counting for objects shared across threads (logs, tasks, sessions):
// RefCounted keeps the interlocked count (CRefCounted for a plain object, RefCounted<ILog> for
// an implementation of a counted interface), RefPtr owns one reference so none is forgotten.
#pragma once

#include <atomic>
#include <cstdint>
#include <utility>

namespace tellweir {

// The reference-counting interface, for interfaces whose implementations may count differently
// (ILog: a test's log may live on its stack).
class IRefCounted {
  public:
    virtual std::int32_t AddRef() = 0;
    // Deletes the object when the last reference goes; gives the references left.
    virtual std::int32_t Release() = 0;

  protected:
    virtual ~IRefCounted() = default;
};

// Implements AddRef and Release of `Interface` (IRefCounted or an interface derived from it)
// with an interlocked count that starts at 1 (the creator's): class CItemLog : public
// RefCounted<ILog>.
template <class Interface = IRefCounted>
class RefCounted : public Interface {
  public:
    RefCounted() = default;
    RefCounted(const RefCounted&) = delete;
    RefCounted& operator=(const RefCounted&) = delete;

    std::int32_t AddRef() override { return refs_.fetch_add(1, std::memory_order_relaxed) + 1; }
    std::int32_t Release() override {
        const std::int32_t left = refs_.fetch_sub(1, std::memory_order_acq_rel) - 1;
        if (left == 0) delete this;
        return left;
    }

  protected:
    ~RefCounted() override = default;

  private:
    std::atomic<std::int32_t> refs_{1};
};

// Base for objects whose lifetime is a reference count and that implement no other counted
// interface.
using CRefCounted = RefCounted<>;

// Owns one reference of T (anything with AddRef and Release). Adopt() takes over a reference
// the caller already holds; Share() takes a new one.
template <class T>
class RefPtr {
  public:
    RefPtr() = default;
    RefPtr(std::nullptr_t) {}
    RefPtr(const RefPtr& other) : p_(other.p_) {
        if (p_) p_->AddRef();
    }
    RefPtr(RefPtr&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
    template <class U>
    RefPtr(RefPtr<U>&& other) noexcept : p_(other.Detach()) {}
    template <class U>
    RefPtr(const RefPtr<U>& other) : p_(other.get()) {
        if (p_) p_->AddRef();
    }
    ~RefPtr() { reset(); }

    RefPtr& operator=(RefPtr other) noexcept {
        std::swap(p_, other.p_);
        return *this;
    }

    static RefPtr Adopt(T* p) {
        RefPtr r;
        r.p_ = p;
        return r;
    }
    static RefPtr Share(T* p) {
        if (p) p->AddRef();
        return Adopt(p);
    }

    T* get() const { return p_; }
    T* operator->() const { return p_; }
    T& operator*() const { return *p_; }
    explicit operator bool() const { return p_ != nullptr; }

    // Gives up ownership without releasing: the caller now holds the reference.
    T* Detach() { return std::exchange(p_, nullptr); }
    void reset() {
        if (T* p = std::exchange(p_, nullptr)) p->Release();
    }

  private:
    T* p_ = nullptr;
};

template <class T, class... Args>
RefPtr<T> MakeRef(Args&&... args) {
    return RefPtr<T>::Adopt(new T(std::forward<Args>(args)...));
}

}  // namespace tellweir
