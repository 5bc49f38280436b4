// Cwkptcom: the elevated half of the update engine. It decides nothing beyond refusing
// what its rules (svr_rules.h) do not allow; every failure is a failure HRESULT.
#include <windows.h>
#include <oleauto.h>
#include <shlobj.h>

#include <new>
#include <string>

#include "common/win/authority.h"
#include "common/win/com_ptr.h"
#include "modules/updatesvr/module/svr_ids.h"
#include "modules/updatesvr/module/svr_server.h"
#include "modules/updatesvr/module/svr_start.h"
#include "modules/updatesvr/svr_rules.h"

namespace updsvr {
namespace {

std::u16string Text(BSTR s) {
  return s ? std::u16string(reinterpret_cast<const char16_t*>(s), SysStringLen(s)) : std::u16string();
}
const wchar_t* W(const std::u16string& s) { return reinterpret_cast<const wchar_t*>(s.c_str()); }

HRESULT LastError() {
  const DWORD e = GetLastError();
  return e ? HRESULT_FROM_WIN32(e) : E_FAIL;
}

// The caller's download folders: "Velmorant" in its local application data. In the
// surrogate the caller is the client, whose profile may not be the elevated user's.
std::u16string DownloadRoot() {
  const bool impersonating = SUCCEEDED(CoImpersonateClient());
  HANDLE token = nullptr;
  if (impersonating) OpenThreadToken(GetCurrentThread(), TOKEN_QUERY | TOKEN_IMPERSONATE, TRUE, &token);
  wchar_t path[MAX_PATH] = {};
  const HRESULT hr = SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, token, SHGFP_TYPE_CURRENT, path);
  if (token) CloseHandle(token);
  if (impersonating) CoRevertToSelf();
  if (FAILED(hr)) return {};
  return reinterpret_cast<const char16_t*>(path) + std::u16string(u"\\Velmorant");
}

// Starts `line` when its program lies in the caller's download folders and is the maker's.
HRESULT Start(const std::u16string& line, DWORD* exitCode) { return StartVerified(line, DownloadRoot(), exitCode); }

template <class F>
HRESULT Guarded(F f) {
  try {
    return f();
  } catch (...) {  // nothing may leave a COM method
    return E_OUTOFMEMORY;
  }
}

class Wkptcom final : public Iwkptcom {
 public:
  explicit Wkptcom(IUnknown* outer) : outer_(outer ? outer : &inner_) {
    inner_.self = this;
    LockModule();
  }
  ~Wkptcom() { UnlockModule(); }

  IUnknown* Inner() { return &inner_; }

  // IUnknown, delegated to the controlling object.
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override { return outer_->QueryInterface(riid, out); }
  ULONG STDMETHODCALLTYPE AddRef() override { return outer_->AddRef(); }
  ULONG STDMETHODCALLTYPE Release() override { return outer_->Release(); }

  // IDispatch, from the type library in the module's resources.
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    if (!count) return E_POINTER;
    *count = 1;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID, ITypeInfo** info) override {
    if (!info) return E_POINTER;
    *info = nullptr;
    if (index != 0) return DISP_E_BADINDEX;
    const HRESULT hr = LoadTypeInfo();
    if (FAILED(hr)) return hr;
    *info = typeInfo_.get();
    (*info)->AddRef();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
    const HRESULT hr = LoadTypeInfo();
    return FAILED(hr) ? hr : DispGetIDsOfNames(typeInfo_.get(), names, count, ids);
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                                   EXCEPINFO* excep, UINT* argErr) override {
    const HRESULT hr = LoadTypeInfo();
    return FAILED(hr) ? hr
                      : DispInvoke(static_cast<Iwkptcom*>(this), typeInfo_.get(), id, flags, params, result, excep,
                                   argErr);
  }

  // Iwkptcom
  HRESULT STDMETHODCALLTYPE ExpandArchive(BSTR path) override {
    return Guarded([&] {
      const std::u16string p = Text(path);
      if (!IsFullPath(p)) return E_INVALIDARG;
      DWORD exitCode = 0;
      const HRESULT hr = Start(u"\"" + p + u"\" -silent", &exitCode);
      if (FAILED(hr)) return hr;
      return exitCode == 0 ? S_OK : WKPTSVR_E_PROGRAM_FAILED;
    });
  }
  HRESULT STDMETHODCALLTYPE ExecAndWait(BSTR command) override { return ExecAndWaitEx(command, nullptr); }
  HRESULT STDMETHODCALLTYPE ExecAndWaitEx(BSTR command, ULONG* exitCode) override {
    return Guarded([&] {
      DWORD code = 0;
      const HRESULT hr = Start(Text(command), &code);
      if (SUCCEEDED(hr) && exitCode) *exitCode = code;
      return hr;
    });
  }
  HRESULT STDMETHODCALLTYPE ExecAndNoWait(BSTR command) override {
    return Guarded([&] { return Start(Text(command), nullptr); });
  }
  HRESULT STDMETHODCALLTYPE FindWindowAndPostMessage(BSTR windowClass, BSTR title, ULONG message, ULONG_PTR wParam,
                                                     LONG_PTR lParam) override {
    return Guarded([&] {
      if (!IsUpdaterHandOff(Text(windowClass), Text(title), message)) return WKPTSVR_E_NOT_ALLOWED;
      HWND window = FindWindowW(W(Text(windowClass)), W(Text(title)));
      if (!window) return HRESULT_FROM_WIN32(ERROR_NOT_FOUND);
      return PostMessageW(window, message, wParam, lParam) ? S_OK : LastError();
    });
  }
  HRESULT STDMETHODCALLTYPE IsAdmin() override { return CAuthority().HasAdministratorRights() ? S_OK : E_ACCESSDENIED; }

 private:
  // The object's own identity, which an aggregating object holds.
  struct InnerUnknown final : IUnknown {
    Wkptcom* self = nullptr;
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
      if (!out) return E_POINTER;
      *out = nullptr;
      if (riid == IID_IUnknown) {
        *out = this;
      } else if (riid == IID_IDispatch || riid == IID_Iwkptcom) {
        *out = static_cast<Iwkptcom*>(self);
      } else {
        return E_NOINTERFACE;
      }
      static_cast<IUnknown*>(*out)->AddRef();
      return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return InterlockedIncrement(&refs); }
    ULONG STDMETHODCALLTYPE Release() override {
      const LONG left = InterlockedDecrement(&refs);
      if (left == 0) delete self;
      return left;
    }
    LONG refs = 1;
  };

  HRESULT LoadTypeInfo() {
    if (typeInfo_) return S_OK;
    wchar_t path[MAX_PATH];
    const DWORD n = GetModuleFileNameW(g_module, path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return LastError();
    ComPtr<ITypeLib> lib;
    HRESULT hr = LoadTypeLibEx(path, REGKIND_NONE, lib.out());
    if (SUCCEEDED(hr)) hr = lib->GetTypeInfoOfGuid(IID_Iwkptcom, typeInfo_.out());
    return hr;
  }

  InnerUnknown inner_;
  IUnknown* const outer_;
  ComPtr<ITypeInfo> typeInfo_;
};

class Factory final : public IClassFactory {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
    if (!out) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IClassFactory) {
      *out = static_cast<IClassFactory*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override {
    LockModule();
    return 2;
  }
  ULONG STDMETHODCALLTYPE Release() override {
    UnlockModule();
    return 1;
  }
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (outer && riid != IID_IUnknown) return CLASS_E_NOAGGREGATION;
    Wkptcom* object = new (std::nothrow) Wkptcom(outer);
    if (!object) return E_OUTOFMEMORY;
    IUnknown* inner = object->Inner();
    const HRESULT hr = inner->QueryInterface(riid, out);
    inner->Release();  // the creation reference; the query holds the object, or it goes
    return hr;
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
    if (lock)
      LockModule();
    else
      UnlockModule();
    return S_OK;
  }
};

Factory g_factory;
LONG g_locks = 0;
}  // namespace

void LockModule() { InterlockedIncrement(&g_locks); }
void UnlockModule() { InterlockedDecrement(&g_locks); }
bool ModuleIdle() { return InterlockedCompareExchange(&g_locks, 0, 0) == 0; }
IClassFactory* ClassFactory() { return &g_factory; }

}  // namespace updsvr
