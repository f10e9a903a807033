// The one IUnknown of the framework's COM objects, and the one owning interface pointer.
//
// A class states only the interfaces it offers: CComObject<Derived, I...> counts its own
// references and deletes itself at the last Release; CComPart<I...> is a piece of a larger
// object whose references are that object's (a connection point, an event relay); CComStatic<I...>
// lives as long as its module (a class factory) and hears of each reference it is given.
// Each answers QueryInterface for IUnknown (its first interface) and for the listed ones, and
// asks FindInterface for any other id (an interface's base, an id known only at run time).
// QueryInterface runs through the COM guard, the only exception barrier.
//
// CComPtr<T> owns one reference; no code outside these classes calls Release by hand.
#pragma once

#include <atomic>
#include <cstddef>
#include <tuple>
#include <utility>

#include "framework/Com.h"
#include "framework/ComGuard.h"

#ifdef _WIN32
#define FRAMEWORK_COM_CALL STDMETHODCALLTYPE
using ComRefCount = ULONG;
#else
#define FRAMEWORK_COM_CALL
using ComRefCount = uint32_t;

inline constexpr IID IID_IUnknown{0x00000000, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

class IUnknown {
public:
    // S_OK and an added reference, or E_NOINTERFACE and *object null.
    virtual HRESULT QueryInterface(const IID& iid, void** object) = 0;
    virtual uint32_t AddRef() = 0;
    virtual uint32_t Release() = 0;

protected:
    ~IUnknown() = default;  // objects go away through Release
};
#endif

// The id an interface is asked by. The system's interfaces carry theirs; an interface of the
// framework's own names its id with a specialisation beside its declaration.
template <class I>
struct CInterfaceId {
#ifdef _WIN32
    static const IID& Get() {
        return __uuidof(I);
    }
#endif
};

template <>
struct CInterfaceId<IUnknown> {
    static const IID& Get() { return IID_IUnknown; }
};

// One reference to an interface, released when the pointer lets go of it.
template <class T>
class CComPtr {
public:
    CComPtr() = default;
    CComPtr(std::nullptr_t) {}
    // Shares the reference: the pointer takes one of its own.
    CComPtr(T* p) : m_p(p) {
        if (m_p) m_p->AddRef();
    }
    CComPtr(const CComPtr& other) : CComPtr(other.m_p) {}
    CComPtr(CComPtr&& other) noexcept : m_p(std::exchange(other.m_p, nullptr)) {}
    ~CComPtr() { Reset(); }
    CComPtr& operator=(CComPtr other) noexcept {
        std::swap(m_p, other.m_p);
        return *this;
    }

    // Takes over a reference someone else took (a new object's first one).
    static CComPtr Adopt(T* p) {
        CComPtr held;
        held.m_p = p;
        return held;
    }

    T* Get() const { return m_p; }
    T* operator->() const { return m_p; }
    explicit operator bool() const { return m_p != nullptr; }

    void Reset() {
        if (T* p = std::exchange(m_p, nullptr)) p->Release();
    }
    // Where a call that hands out a reference puts it; what was held goes first.
    T** Out() {
        Reset();
        return &m_p;
    }
    void** OutVoid() { return reinterpret_cast<void**>(Out()); }
    // Gives the reference up to the caller.
    T* Detach() { return std::exchange(m_p, nullptr); }
    // The interface with a reference for the caller, as out parameters hand them.
    T* CopyOut() const {
        if (m_p) m_p->AddRef();
        return m_p;
    }
    // Asks the object for another of its interfaces; empty when it has none.
    template <class U>
    CComPtr<U> As(const IID& iid = CInterfaceId<U>::Get()) const {
        CComPtr<U> other;
        if (m_p) m_p->QueryInterface(iid, other.OutVoid());
        return other;
    }

private:
    T* m_p = nullptr;
};

namespace com_detail {

// The listed interfaces' own QueryInterface, shared by the three lifetimes below.
template <class... Interfaces>
class CInterfaces : public Interfaces... {
public:
    HRESULT FRAMEWORK_COM_CALL QueryInterface(const IID& iid, void** out) override {
        return Guard([&] {
            if (!out) return E_POINTER;
            void* found =
                iid == IID_IUnknown ? static_cast<First*>(this) : FindListed<Interfaces...>(iid);
            if (!found) found = FindInterface(iid);
            *out = found;
            if (!found) return E_NOINTERFACE;
            static_cast<First*>(this)->AddRef();
            return S_OK;
        });
    }

protected:
    ~CInterfaces() = default;
    using First = std::tuple_element_t<0, std::tuple<Interfaces...>>;
    // An interface not in the list, with no reference added; null when there is none.
    virtual void* FindInterface(const IID&) { return nullptr; }

private:
    template <class I, class... Rest>
    void* FindListed(const IID& iid) {
        if (iid == CInterfaceId<I>::Get()) return static_cast<I*>(this);
        if constexpr (sizeof...(Rest) > 0) {
            return FindListed<Rest...>(iid);
        } else {
            return nullptr;
        }
    }
};

}  // namespace com_detail

// An object on the heap, with one reference when made.
template <class Derived, class... Interfaces>
class CComObject : public com_detail::CInterfaces<Interfaces...> {
public:
    ComRefCount FRAMEWORK_COM_CALL AddRef() override { return ++m_refs; }
    ComRefCount FRAMEWORK_COM_CALL Release() override {
        const ComRefCount left = --m_refs;
        if (left == 0) delete static_cast<Derived*>(this);
        return left;
    }

protected:
    CComObject() = default;
    ~CComObject() = default;
    CComObject(const CComObject&) = delete;
    CComObject& operator=(const CComObject&) = delete;

private:
    std::atomic<ComRefCount> m_refs{1};
};

// A piece of another object, counted with it.
template <class... Interfaces>
class CComPart : public com_detail::CInterfaces<Interfaces...> {
public:
    explicit CComPart(IUnknown& owner) : m_owner(owner) {}
    CComPart(const CComPart&) = delete;
    CComPart& operator=(const CComPart&) = delete;

    ComRefCount FRAMEWORK_COM_CALL AddRef() override { return m_owner.AddRef(); }
    ComRefCount FRAMEWORK_COM_CALL Release() override { return m_owner.Release(); }

protected:
    ~CComPart() = default;
    IUnknown& Owner() const { return m_owner; }

private:
    IUnknown& m_owner;
};

// An object as long-lived as its module: its references only tell it they come and go.
template <class... Interfaces>
class CComStatic : public com_detail::CInterfaces<Interfaces...> {
public:
    ComRefCount FRAMEWORK_COM_CALL AddRef() override {
        OnReference(true);
        return 2;
    }
    ComRefCount FRAMEWORK_COM_CALL Release() override {
        OnReference(false);
        return 1;
    }

protected:
    CComStatic() = default;
    ~CComStatic() = default;
    CComStatic(const CComStatic&) = delete;
    CComStatic& operator=(const CComStatic&) = delete;
    virtual void OnReference(bool /*added*/) {}
};
