// The framework's one IUnknown and its owning pointer: what every COM object of the module
// counts and answers through.
#include <gtest/gtest.h>

#include <stdexcept>

#include "framework/ComBase.h"

namespace {

constexpr IID IID_ITestA{0x1A, 0, 0, {0, 0, 0, 0, 0, 0, 0, 1}};
constexpr IID IID_ITestB{0x1B, 0, 0, {0, 0, 0, 0, 0, 0, 0, 2}};
constexpr IID IID_ITestBase{0x1C, 0, 0, {0, 0, 0, 0, 0, 0, 0, 3}};
constexpr IID IID_IThrows{0x1D, 0, 0, {0, 0, 0, 0, 0, 0, 0, 4}};

class ITestA : public IUnknown {
public:
    virtual int A() = 0;

protected:
    ~ITestA() = default;
};

class ITestB : public IUnknown {
public:
    virtual int B() = 0;

protected:
    ~ITestB() = default;
};

}  // namespace

template <>
struct CInterfaceId<ITestA> {
    static const IID& Get() { return IID_ITestA; }
};

template <>
struct CInterfaceId<ITestB> {
    static const IID& Get() { return IID_ITestB; }
};

namespace {

// Counts the objects alive, so a test sees the last Release delete its object.
int g_alive = 0;

class CTestObject final : public CComObject<CTestObject, ITestA, ITestB> {
public:
    CTestObject() { ++g_alive; }
    ~CTestObject() { --g_alive; }
    int A() override { return 1; }
    int B() override { return 2; }
    ComRefCount Refs() {
        AddRef();
        return Release();
    }

protected:
    void* FindInterface(const IID& iid) override {
        if (iid == IID_ITestBase) return static_cast<ITestB*>(this);
        if (iid == IID_IThrows) throw std::runtime_error("lookup failed");
        return nullptr;
    }
};

class CTestPart final : public CComPart<ITestB> {
public:
    using CComPart::CComPart;
    int B() override { return 3; }
};

class CTestStatic final : public CComStatic<ITestA> {
public:
    int A() override { return 4; }
    int references = 0;

private:
    void OnReference(bool added) override { references += added ? 1 : -1; }
};

class ComBaseTest : public ::testing::Test {
protected:
    void SetUp() override { g_alive = 0; }
    void TearDown() override { EXPECT_EQ(g_alive, 0) << "an object outlived its references"; }
};

TEST_F(ComBaseTest, AnObjectAnswersItsListedInterfacesAndTheExtraIdsItNames) {
    auto object = CComPtr<CTestObject>::Adopt(new CTestObject);
    CComPtr<ITestA> a = object.As<ITestA>();
    CComPtr<ITestB> b = object.As<ITestB>();
    ASSERT_TRUE(a && b);
    EXPECT_EQ(a->A(), 1);
    EXPECT_EQ(b->B(), 2);
    // IUnknown is the first interface, whichever is asked for it.
    CComPtr<IUnknown> fromA = a.As<IUnknown>();
    CComPtr<IUnknown> fromB = b.As<IUnknown>();
    EXPECT_EQ(fromA.Get(), fromB.Get());
    EXPECT_EQ(static_cast<void*>(fromA.Get()), static_cast<void*>(a.Get()));
    // An id the class answers beside its list.
    EXPECT_EQ(object.As<ITestB>(IID_ITestBase).Get(), b.Get());
    // Each answer holds a reference of its own: object, a, b, fromA, fromB.
    EXPECT_EQ(object->Refs(), 5u);
}

TEST_F(ComBaseTest, AQuestionItCannotAnswerLeavesNoReferenceAndNoException) {
    auto object = CComPtr<CTestObject>::Adopt(new CTestObject);
    void* out = object.Get();
    EXPECT_EQ(object->QueryInterface(GUID_NULL, &out), E_NOINTERFACE);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(object->QueryInterface(IID_ITestA, nullptr), E_POINTER);
    // A lookup that throws is answered by the guard, not let through.
    out = object.Get();
    EXPECT_EQ(object->QueryInterface(IID_IThrows, &out), E_UNEXPECTED);
    EXPECT_EQ(object->Refs(), 1u);
}

TEST_F(ComBaseTest, TheLastReferenceDeletesTheObjectOnce) {
    {
        auto object = CComPtr<CTestObject>::Adopt(new CTestObject);
        EXPECT_EQ(g_alive, 1);
        CComPtr<ITestA> copy = object.As<ITestA>();
        object.Reset();
        EXPECT_EQ(g_alive, 1) << "released while a copy held it";
        CComPtr<ITestA> moved = std::move(copy);
        EXPECT_FALSE(copy);
        EXPECT_EQ(moved->A(), 1);
    }
    EXPECT_EQ(g_alive, 0);
}

TEST_F(ComBaseTest, ThePointerReleasesWhatItHeldBeforeItTakesAnother) {
    auto first = CComPtr<CTestObject>::Adopt(new CTestObject);
    CComPtr<ITestA> a = first.As<ITestA>();
    first.Reset();
    ASSERT_EQ(g_alive, 1);
    // An out parameter lets go of the old object before the call fills it.
    auto second = CComPtr<CTestObject>::Adopt(new CTestObject);
    ASSERT_EQ(g_alive, 2);
    EXPECT_EQ(second->QueryInterface(IID_ITestA, a.OutVoid()), S_OK);
    EXPECT_EQ(g_alive, 1);
    second.Reset();
    EXPECT_EQ(a->A(), 1);
    // Assignment shares; CopyOut hands a reference the caller must give back; Detach gives
    // the pointer's own.
    CComPtr<ITestA> shared;
    shared = a;
    ITestA* handed = shared.CopyOut();
    CComPtr<ITestA>::Adopt(handed);
    ITestA* detached = shared.Detach();
    EXPECT_FALSE(shared);
    CComPtr<ITestA>::Adopt(detached);
    EXPECT_EQ(g_alive, 1);
    a.Reset();
    EXPECT_EQ(g_alive, 0);
}

TEST_F(ComBaseTest, APartCountsWithItsOwnerAndAStaticObjectHearsItsReferences) {
    auto owner = CComPtr<CTestObject>::Adopt(new CTestObject);
    CComPtr<ITestA> ownerA = owner.As<ITestA>();
    {
        CTestPart part(*ownerA.Get());
        CComPtr<ITestB> direct(&part);
        CComPtr<ITestB> held = direct.As<ITestB>();
        EXPECT_EQ(held->B(), 3);
        EXPECT_EQ(owner->Refs(), 4u);  // owner, ownerA, and the part's two
    }
    EXPECT_EQ(owner->Refs(), 2u);

    CTestStatic factory;
    {
        CComPtr<ITestA> a = CComPtr<IUnknown>(&factory).As<ITestA>();
        EXPECT_EQ(a->A(), 4);
        EXPECT_EQ(factory.references, 1);
    }
    EXPECT_EQ(factory.references, 0);
}

}  // namespace
