// The one COM pointer: every reference it takes is given back exactly once.
#include <gtest/gtest.h>

#include <utility>

#include "common/win/com_ptr.h"

namespace {
// An object that counts its references and answers only IUnknown and IDispatch's IID, the
// latter as a second interface of the same object.
class Counted : public IUnknown {
 public:
  STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
    if (iid != IID_IUnknown && iid != IID_IDispatch) {
      *out = nullptr;
      return E_NOINTERFACE;
    }
    *out = this;
    AddRef();
    return S_OK;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return ++refs; }
  STDMETHODIMP_(ULONG) Release() override { return --refs; }
  ULONG refs = 1;  // the creator's
};
}  // namespace

TEST(ComPtr, OutReleasesWhatItHeldBeforeHandingOutTheAddress) {
  Counted first, second;
  {
    ComPtr<IUnknown> p;
    *p.out() = &first;  // takes over the creator's reference
    IUnknown** slot = p.out();
    EXPECT_EQ(first.refs, 0u) << "released before a new one comes in";
    EXPECT_EQ(*slot, nullptr);
    *slot = &second;
    EXPECT_EQ(p.get(), &second);
  }
  EXPECT_EQ(second.refs, 0u);
}

TEST(ComPtr, CopiesMovesQueriesAndHandsOverBalanceTheirReferences) {
  Counted object;
  {
    ComPtr<IUnknown> shared(&object);  // shares: one more
    EXPECT_EQ(object.refs, 2u);
    ComPtr<IUnknown> copy(shared);
    EXPECT_EQ(object.refs, 3u);
    ComPtr<IUnknown> moved(std::move(copy));
    EXPECT_FALSE(copy);
    EXPECT_EQ(object.refs, 3u);
    moved = shared;
    moved = moved;
    EXPECT_EQ(object.refs, 3u);
    ComPtr<IUnknown> other;
    EXPECT_EQ(shared.As(&other), S_OK);
    EXPECT_EQ(object.refs, 4u);
    ComPtr<IClassFactory> none;
    EXPECT_EQ(shared.As(&none), E_NOINTERFACE);
    EXPECT_FALSE(none);
    EXPECT_FALSE(shared.As(IID_IClassFactory, none));
    ComPtr<IDispatch> byIid;
    EXPECT_TRUE(shared.As(IID_IDispatch, byIid));
    EXPECT_EQ(object.refs, 5u);
    byIid.reset();
    IUnknown* raw = other.detach();
    EXPECT_FALSE(other);
    EXPECT_EQ(object.refs, 4u) << "detach hands the reference over";
    other.attach(raw);
    other = nullptr;
    EXPECT_EQ(object.refs, 3u);
  }
  EXPECT_EQ(object.refs, 1u) << "only the creator's is left";
}
