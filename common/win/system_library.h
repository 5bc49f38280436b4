// Functions of system libraries looked up when first called, not imported.
//
// Two reasons: some libraries cost memory or a chain of others when they load (the common
// controls, the certificate and network libraries), and some functions do not exist on the
// oldest Windows the programs run on. A missing function is not a crash: the call answers the
// value-initialised result (FALSE, NULL, 0) with ERROR_PROC_NOT_FOUND as the last error, and
// `Available()` lets a caller take its older path first.
//
//   TW_SYSTEM_FUNCTION(L"comctl32.dll", PropertySheetW)(&header);
//
// The headers are set to the oldest Windows each build runs on (XP, XP x64), so they do not
// declare what is newer: give its pointer type, from Microsoft's page for the function.
//
//   using GetProductInfoFn = BOOL(WINAPI*)(DWORD, DWORD, DWORD, DWORD, PDWORD);
//   const auto& productInfo = TW_SYSTEM_FUNCTION_TYPED(L"kernel32.dll", GetProductInfo, GetProductInfoFn);
//   if (!productInfo.Available()) ...   (the XP path)
#pragma once

#include <windows.h>

#include <string>

namespace tw::win {

// The library from the system folder, never from the program's folder or the current
// directory, where anyone who can write there could plant a copy. It stays loaded.
inline HMODULE LoadSystemLibrary(const wchar_t* name) {
  wchar_t folder[MAX_PATH];
  const UINT n = GetSystemDirectoryW(folder, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return nullptr;
  std::wstring path(folder, n);
  path += L'\\';
  path += name;
  return LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

inline FARPROC SystemProcAddress(const wchar_t* library, const char* name) {
  HMODULE module = LoadSystemLibrary(library);
  return module ? GetProcAddress(module, name) : nullptr;
}

// The call's signature of a function pointer type; the call itself goes through the original
// type. 32-bit Windows has two calling conventions, 64-bit one.
template <typename Fn>
struct FunctionSignature;
template <typename R, typename... P>
struct FunctionSignature<R (*)(P...)> {
  using Type = R(P...);
};
#ifndef _WIN64
template <typename R, typename... P>
struct FunctionSignature<R(WINAPI*)(P...)> {
  using Type = R(P...);
};
#endif

template <typename Fn, typename Signature = typename FunctionSignature<Fn>::Type>
class SystemFunction;

// One function of one system library, resolved once. Fn is the function's pointer type, so
// the compiler checks every call against the platform's declaration, and arguments convert to
// its parameters as in a direct call (NULL stays a null pointer).
template <typename Fn, typename R, typename... P>
class SystemFunction<Fn, R(P...)> {
 public:
  SystemFunction(const wchar_t* library, const char* name)
      : fn_(reinterpret_cast<Fn>(reinterpret_cast<void*>(SystemProcAddress(library, name)))) {}

  bool Available() const { return fn_ != nullptr; }

  R operator()(P... args) const {
    if (!fn_) {
      SetLastError(ERROR_PROC_NOT_FOUND);
      return R();
    }
    return fn_(args...);
  }

 private:
  Fn fn_;
};

}  // namespace tw::win

// One resolved function per place of use, thread-safe through the local static. The typed
// form is for functions newer than the headers' Windows release, which they do not declare.
#define TW_SYSTEM_FUNCTION_TYPED(library, function, Fn)                            \
  ([]() -> const ::tw::win::SystemFunction<Fn>& {                                  \
    static const ::tw::win::SystemFunction<Fn> resolved(library, #function);       \
    return resolved;                                                               \
  }())
#define TW_SYSTEM_FUNCTION(library, function) TW_SYSTEM_FUNCTION_TYPED(library, function, decltype(&::function))
