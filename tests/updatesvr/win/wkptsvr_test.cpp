// wkptsvr.dll under Wine: regsvr32 registers it for elevation and unregisters it without a
// trace; the object, created directly (Wine has no elevation moniker), runs and refuses as
// it should; its merged proxy/stub carries the calls between apartments.
#include <windows.h>
#include <oleauto.h>
#include <tlhelp32.h>
#include <shlobj.h>
#include <wintrust.h>

#include <gtest/gtest.h>

#include <cctype>
#include <functional>
#include <set>
#include <string>
#include <thread>

#include "common/win/com_ptr.h"
#include "modules/updatesvr/module/svr_ids.h"
#include "modules/updatesvr/module/svr_run_folder.h"
#include "modules/web/module/update_server_port.h"
#include "tests/common/win/win_test_support.h"

namespace {
using wintest::WinePath;

std::wstring Guid(REFGUID id) {
  wchar_t text[40] = {};
  StringFromGUID2(id, text, 40);
  return text;
}

// Every key and value name below a registry key, with its path.
void Collect(HKEY root, const std::wstring& path, std::set<std::wstring>& out) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return;
  wchar_t name[512];
  for (DWORD i = 0;; ++i) {
    DWORD n = 512;
    if (RegEnumValueW(key, i, name, &n, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    out.insert(path + L"=" + name);
  }
  std::vector<std::wstring> children;
  for (DWORD i = 0;; ++i) {
    DWORD n = 512;
    if (RegEnumKeyExW(key, i, name, &n, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    children.push_back(path + L"\\" + name);
  }
  RegCloseKey(key);
  for (const auto& child : children) {
    out.insert(child);
    Collect(root, child, out);
  }
}

std::set<std::wstring> ClassesSnapshot() {
  std::set<std::wstring> all;
  Collect(HKEY_LOCAL_MACHINE, L"Software\\Classes", all);
  Collect(HKEY_CURRENT_USER, L"Software\\Classes", all);
  return all;
}

std::wstring ReadText(const std::wstring& key, const wchar_t* name) {
  wchar_t value[1024] = {};
  DWORD size = sizeof value;
  if (RegGetValueW(HKEY_CLASSES_ROOT, key.c_str(), name, RRF_RT_REG_SZ, nullptr, value, &size) != ERROR_SUCCESS)
    return L"<missing>";
  return value;
}

DWORD ReadDword(const std::wstring& key, const wchar_t* name) {
  DWORD value = 0, size = sizeof value;
  return RegGetValueW(HKEY_CLASSES_ROOT, key.c_str(), name, RRF_RT_REG_DWORD, nullptr, &value, &size) == ERROR_SUCCESS
             ? value
             : 0xFFFFFFFF;
}

int Regsvr32(const std::wstring& options) {
  std::string output;
  return wintest::RunProgram(L"regsvr32.exe " + options + L" \"" + WinePath(WKPTSVR_DLL) + L"\"", output);
}

// Runs `f` on a thread of the multithreaded apartment while this apartment pumps its messages.
void OnOtherApartment(const std::function<void()>& f) {
  HANDLE done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  std::thread t([&] {
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    f();
    CoUninitialize();
    SetEvent(done);
  });
  while (MsgWaitForMultipleObjects(1, &done, FALSE, 30000, QS_ALLINPUT) == WAIT_OBJECT_0 + 1) {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
  }
  t.join();
  CloseHandle(done);
}

class Apartment : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))); }
  void TearDown() override { CoUninitialize(); }
};

using Registration = Apartment;

TEST_F(Registration, Regsvr32RegistersForElevationAndRemovesEveryKey) {
  const std::set<std::wstring> before = ClassesSnapshot();
  ASSERT_EQ(Regsvr32(L"/s"), 0);

  const std::wstring dll = WinePath(WKPTSVR_DLL);
  const std::wstring clsid = L"CLSID\\" + Guid(CLSID_Cwkptcom), app = std::wstring(L"AppID\\") + kWkptsvrAppId;
  EXPECT_EQ(ReadText(app, nullptr), L"wkptsvr");
  EXPECT_EQ(ReadText(app, L"DllSurrogate"), L"");
  EXPECT_EQ(ReadText(L"AppID\\wkptsvr.DLL", L"AppID"), kWkptsvrAppId);
  EXPECT_EQ(ReadText(clsid, nullptr), L"wkptcom Class");
  EXPECT_EQ(ReadText(clsid, L"AppID"), kWkptsvrAppId);
  EXPECT_EQ(ReadText(clsid, L"LocalizedString"), L"@" + dll + L",-101");
  EXPECT_EQ(ReadText(clsid + L"\\InprocServer32", nullptr), dll);
  EXPECT_EQ(ReadText(clsid + L"\\InprocServer32", L"ThreadingModel"), L"Apartment");
  EXPECT_EQ(ReadDword(clsid + L"\\Elevation", L"Enabled"), 1u);
  EXPECT_EQ(ReadText(clsid + L"\\Elevation", L"IconReference"), L"@" + dll + L",-202");
  EXPECT_EQ(ReadText(clsid + L"\\ProgID", nullptr), L"wkptsvr.wkptcom.1");
  EXPECT_EQ(ReadText(clsid + L"\\VersionIndependentProgID", nullptr), L"wkptsvr.wkptcom");
  EXPECT_EQ(ReadText(clsid + L"\\TypeLib", nullptr), Guid(LIBID_wkptsvrLib));
  EXPECT_EQ(ReadText(L"wkptsvr.wkptcom\\CurVer", nullptr), L"wkptsvr.wkptcom.1");
  EXPECT_EQ(ReadText(L"wkptsvr.wkptcom.1\\CLSID", nullptr), Guid(CLSID_Cwkptcom));
  // The interface is marshalled by the server's own proxy/stub, not the automation one.
  EXPECT_EQ(ReadText(L"Interface\\" + Guid(IID_Iwkptcom) + L"\\ProxyStubClsid32", nullptr), Guid(IID_Iwkptcom));

  {
    // Through the registration: created by ProgID, then called from another apartment over the proxy.
    CLSID fromProgId = {};
    ASSERT_EQ(CLSIDFromProgID(L"wkptsvr.wkptcom", &fromProgId), S_OK);
    ComPtr<Iwkptcom> server;
    ASSERT_EQ(CoCreateInstance(fromProgId, nullptr, CLSCTX_INPROC_SERVER, IID_Iwkptcom,
                               reinterpret_cast<void**>(server.out())),
              S_OK);
    IStream* stream = nullptr;
    ASSERT_EQ(CoMarshalInterThreadInterfaceInStream(IID_Iwkptcom, server.get(), &stream), S_OK);
    HRESULT isAdmin = E_FAIL, missing = E_FAIL;
    bool proxied = false;
    OnOtherApartment([&] {
      ComPtr<Iwkptcom> proxy;
      if (FAILED(CoGetInterfaceAndReleaseStream(stream, IID_Iwkptcom, reinterpret_cast<void**>(proxy.out())))) return;
      proxied = proxy.get() != server.get();
      isAdmin = proxy->IsAdmin();
      Bstr cls(L"WKPTUPDATE"), title(L"WKPTUPDATE_ADMIN");
      missing = proxy->FindWindowAndPostMessage(cls.get(), title.get(), 0x8000, 1, 0);
    });
    EXPECT_TRUE(proxied);
    EXPECT_EQ(isAdmin, S_OK);
    EXPECT_EQ(missing, HRESULT_FROM_WIN32(ERROR_NOT_FOUND));
  }
  CoFreeUnusedLibraries();

  ASSERT_EQ(Regsvr32(L"/u /s"), 0);
  const std::set<std::wstring> after = ClassesSnapshot();
  std::wstring added, removed;
  for (const auto& k : after)
    if (!before.count(k)) added += k + L"\n";
  for (const auto& k : before)
    if (!after.count(k)) removed += k + L"\n";
  EXPECT_EQ(added, L"");
  EXPECT_EQ(removed, L"");
}

// The object made straight from the DLL's class factory, as the surrogate does.
class Server : public Apartment {
 protected:
  void SetUp() override {
    Apartment::SetUp();
    // A download folder of this user's, and the maker's thumbprint as the operator sets it.
    wchar_t local[MAX_PATH];
    ASSERT_EQ(SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, local), S_OK);
    CreateDirectoryW((std::wstring(local) + L"\\Velmorant").c_str(), nullptr);
    folder_ = std::wstring(local) + L"\\Velmorant\\" + std::to_wstring(GetCurrentProcessId()) + L"\\";
    CreateDirectoryW(folder_.c_str(), nullptr);
    const std::string thumbprint = wintest::ReadAll(WinePath(TEST_PKI "/maker.thumbprint"));
    ASSERT_TRUE(setting_.SetString(L"MakerThumbprint", std::wstring(thumbprint.begin(), thumbprint.end())));
    log_ = folder_ + L"record.log";
    DeleteFileW(log_.c_str());  // each test reads only its own record
    SetEnvironmentVariableW(L"TELLWICK_UPDATE_LOG", log_.c_str());
    dll_ = LoadLibraryW(WinePath(WKPTSVR_DLL).c_str());
    ASSERT_NE(dll_, nullptr);
    auto get = reinterpret_cast<HRESULT(WINAPI*)(REFCLSID, REFIID, void**)>(GetProcAddress(dll_, "DllGetClassObject"));
    ASSERT_NE(get, nullptr);
    ComPtr<IClassFactory> factory;
    ASSERT_EQ(get(CLSID_Cwkptcom, IID_IClassFactory, reinterpret_cast<void**>(factory.out())), S_OK);
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_Iwkptcom, reinterpret_cast<void**>(server_.out())), S_OK);
  }
  void TearDown() override {
    server_.reset();
    if (dll_) FreeLibrary(dll_);
    SetEnvironmentVariableW(L"TELLWICK_UPDATE_LOG", nullptr);
    Apartment::TearDown();
  }
  std::string Record() { return wintest::ReadAll(log_); }
  // The record in lower case: Windows paths in it are compared without regard to case.
  std::string LowerRecord() { return Lower(Record()); }
  static std::string Lower(std::string s) {
    for (char& c : s) c = char(std::tolower(static_cast<unsigned char>(c)));
    return s;
  }
  // Extracts the maker's package from the download folder, as every run starts.
  void Extract() {
    Bstr package(Copy(L"package.exe", L"package.exe").c_str());
    ASSERT_EQ(server_->ExpandArchive(package.get()), S_OK) << Record();
  }
  // The folder that the run's package was last extracted in, from the package's record.
  std::wstring Extracted() {
    const std::string record = Record(), mark = " extracted ";
    const size_t at = record.rfind(mark);
    if (at == std::string::npos) return L"";
    const size_t end = record.find_first_of("\r\n", at);
    const std::string target = record.substr(at + mark.size(), end - at - mark.size());
    const std::string folder = target.substr(0, target.rfind('\\'));
    return std::wstring(folder.begin(), folder.end());
  }
  // A build-made update program copied into the download folder.
  std::wstring Copy(const wchar_t* from, const wchar_t* name) {
    const std::wstring to = folder_ + name;
    EXPECT_TRUE(CopyFileW((WinePath(SIM_UPDATES_DIR) + L"\\" + from).c_str(), to.c_str(), FALSE));
    return to;
  }

  wintest::ScopedKey setting_{HKEY_LOCAL_MACHINE, L"SOFTWARE\\Velmorant\\WICKPOST\\WKPTRSS", KEY_WOW64_64KEY};
  HMODULE dll_ = nullptr;
  ComPtr<Iwkptcom> server_;
  std::wstring folder_, log_;
};

TEST_F(Server, ExecAndWaitExRunsByQuotedFullPathAndKeepsTheExitCode) {
  Extract();
  // Named by the caller's package folder, run from the extraction folder.
  const std::wstring setup = folder_ + L"setup.exe";
  struct Case {
    std::wstring line;
    HRESULT result;
    ULONG exitCode;
  } cases[] = {
      {L"\"" + setup + L"\" -s", S_OK, 0},
      {L"\"" + setup + L"\" -s -fail", S_OK, 1603},
      {L"\"" + setup + L"\" -restart", S_OK, 3010},
      {setup + L" -s", E_INVALIDARG, 0xDEAD},                    // unquoted: never searched for
      {L"\"setup.exe\" -s", E_INVALIDARG, 0xDEAD},               // not a full path
      {L"\"" + folder_ + L"none.exe\"", HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND), 0xDEAD},
  };
  for (const Case& c : cases) {
    Bstr line(c.line.c_str());
    ULONG exitCode = 0xDEAD;
    EXPECT_EQ(server_->ExecAndWaitEx(line.get(), &exitCode), c.result) << std::string(c.line.begin(), c.line.end());
    EXPECT_EQ(exitCode, c.exitCode);
  }
  Bstr noCode((L"\"" + setup + L"\" null").c_str());
  EXPECT_EQ(server_->ExecAndWaitEx(noCode.get(), nullptr), S_OK);
  const std::string record = Record();
  EXPECT_NE(record.find("[-s] exit 0"), std::string::npos) << record;
  EXPECT_NE(record.find("[-s -fail] exit 1603"), std::string::npos);
  EXPECT_NE(record.find("[null] exit 0"), std::string::npos);
  size_t runs = 0;
  for (size_t at = record.find("setup "); at != std::string::npos; at = record.find("setup ", at + 1)) ++runs;
  EXPECT_EQ(runs, 4u) << "only the four allowed lines run:\n" << record;
}

TEST_F(Server, ExpandArchiveSucceedsOnlyWhenTheExtractorDoes) {
  const std::wstring good = Copy(L"package.exe", L"package.exe");
  const std::wstring broken = Copy(L"package-broken.exe", L"package-broken.exe");
  Bstr goodPath(good.c_str()), brokenPath(broken.c_str()), missing((folder_ + L"gone.exe").c_str());
  EXPECT_EQ(server_->ExpandArchive(goodPath.get()), S_OK);
  EXPECT_NE(GetFileAttributesW((Extracted() + L"\\setup.exe").c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(GetFileAttributesW((folder_ + L"setup.exe").c_str()), INVALID_FILE_ATTRIBUTES) << "nothing in place";
  EXPECT_EQ(server_->ExpandArchive(brokenPath.get()), WKPTSVR_E_PROGRAM_FAILED);
  EXPECT_EQ(server_->ExpandArchive(missing.get()), HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
  EXPECT_NE(Record().find("extraction failed"), std::string::npos);
}

// Before a package of the maker's is extracted, nothing else runs at all.
TEST_F(Server, RunsNothingThatIsNotTheMakersOrWasNotExtracted) {
  const struct {
    std::wstring path;
    HRESULT result;
  } cases[] = {
      {Copy(L"package-unsigned.exe", L"unsigned.exe"), TRUST_E_NOSIGNATURE},
      {Copy(L"package-foreign.exe", L"foreign.exe"), WKPTSVR_E_FOREIGN_SIGNER},
      {Copy(L"package-tampered.exe", L"tampered.exe"), TRUST_E_BAD_DIGEST},
      {Copy(L"package-redigested.exe", L"redigested.exe"), TRUST_E_BAD_DIGEST},
      {Copy(L"package-appended.exe", L"appended.exe"), TRUST_E_SUBJECT_FORM_UNKNOWN},
      {Copy(L"package-widened.exe", L"widened.exe"), TRUST_E_SUBJECT_FORM_UNKNOWN},
      {folder_ + L"..\\..\\package.exe", E_INVALIDARG},
  };
  for (const auto& c : cases) {
    Bstr path(c.path.c_str()), line((L"\"" + c.path + L"\" -s").c_str());
    ULONG exitCode = 0xDEAD;
    const HRESULT notRun = c.result == E_INVALIDARG ? E_INVALIDARG : WKPTSVR_E_NOT_ALLOWED;
    EXPECT_EQ(server_->ExpandArchive(path.get()), c.result) << std::string(c.path.begin(), c.path.end());
    EXPECT_EQ(server_->ExecAndWaitEx(line.get(), &exitCode), notRun);
    EXPECT_EQ(server_->ExecAndNoWait(line.get()), notRun);
  }
  // Without the operator's thumbprint nothing runs at all.
  // In the 64-bit view, where the setting is read, whatever this build's own view.
  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Velmorant\\WICKPOST\\WKPTRSS", 0, KEY_SET_VALUE | KEY_WOW64_64KEY, &key),
            ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteValueW(key, L"MakerThumbprint"), ERROR_SUCCESS);
  RegCloseKey(key);
  Bstr good(Copy(L"package.exe", L"package.exe").c_str());
  EXPECT_EQ(server_->ExpandArchive(good.get()), WKPTSVR_E_NOT_ALLOWED);
  EXPECT_EQ(Record(), "") << "a refused program ran";
}

// The package runs from a folder of the run's own that only Administrators and SYSTEM may
// write, and the folder goes with the run.
TEST_F(Server, PackagesRunFromAFolderOnlyAdministratorsCanWrite) {
  Extract();
  const std::wstring extracted = Extracted(), run = extracted.substr(0, extracted.rfind(L'\\'));
  wchar_t windows[MAX_PATH];
  GetSystemWindowsDirectoryW(windows, MAX_PATH);
  EXPECT_EQ(_wcsnicmp(run.c_str(), (std::wstring(windows) + L"\\Temp\\wkpt").c_str(), wcslen(windows) + 9), 0) << run;
  // Wine keeps no DACL of its own on a file: it answers one made from the Unix mode. So the
  // DACL the folder is made and set with is read back from its descriptor.
  PSECURITY_DESCRIPTOR descriptor = updsvr::RunFolderSecurity();
  ASSERT_NE(descriptor, nullptr);
  BOOL present = FALSE, defaulted = FALSE;
  PACL dacl = nullptr;
  ASSERT_TRUE(GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted));
  EXPECT_TRUE(present);
  SECURITY_DESCRIPTOR_CONTROL control = 0;
  DWORD revision = 0;
  ASSERT_TRUE(GetSecurityDescriptorControl(descriptor, &control, &revision));
  EXPECT_TRUE(control & SE_DACL_PROTECTED) << "nothing inherited from Temp";
  ASSERT_NE(dacl, nullptr);
  BYTE admins[SECURITY_MAX_SID_SIZE], system[SECURITY_MAX_SID_SIZE];
  DWORD size = sizeof admins;
  ASSERT_TRUE(CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, admins, &size));
  size = sizeof system;
  ASSERT_TRUE(CreateWellKnownSid(WinLocalSystemSid, nullptr, system, &size));
  const ACCESS_MASK writing = FILE_WRITE_DATA | FILE_APPEND_DATA | FILE_WRITE_EA | FILE_WRITE_ATTRIBUTES | DELETE |
                              WRITE_DAC | WRITE_OWNER | GENERIC_WRITE | GENERIC_ALL | FILE_DELETE_CHILD;
  int adminWrites = 0, systemWrites = 0;
  for (DWORD i = 0; i < dacl->AceCount; ++i) {
    ACE_HEADER* ace = nullptr;
    ASSERT_TRUE(GetAce(dacl, i, reinterpret_cast<void**>(&ace)));
    if (ace->AceType != ACCESS_ALLOWED_ACE_TYPE) continue;
    const auto* allowed = reinterpret_cast<ACCESS_ALLOWED_ACE*>(ace);
    if (!(allowed->Mask & writing)) continue;
    PSID sid = const_cast<DWORD*>(&allowed->SidStart);
    const bool admin = EqualSid(sid, admins), local = EqualSid(sid, system);
    EXPECT_TRUE(admin || local) << "write access for another account";
    adminWrites += admin;
    systemWrites += local;
  }
  EXPECT_GT(adminWrites, 0);
  EXPECT_GT(systemWrites, 0);
  LocalFree(descriptor);
  server_.reset();
  EXPECT_EQ(GetFileAttributesW(run.c_str()), INVALID_FILE_ATTRIBUTES) << "the run's folder is deleted at its end";
}

// Each run has its fixed form: a quote in the updater's folder, a UNC program or a quote in
// an installer's arguments is refused before anything is opened.
TEST_F(Server, CommandLinesOutsideTheirFormsAreRefused) {
  Extract();
  const std::wstring package = folder_ + L"setup.exe";
  const std::wstring updater = Copy(L"package.exe", L"wkptupdate.exe");
  const std::wstring quoted = L"\"" + updater + L"\" \"" + folder_ + L"a\" -x \"b\"";
  Bstr self(quoted.c_str()), unc(L"\"\\\\127.0.0.1\\share\\setup.exe\" -s"),
      args((L"\"" + package + L"\" -silent /d=\"C:\\x\"").c_str());
  EXPECT_EQ(server_->ExecAndNoWait(self.get()), WKPTSVR_E_NOT_ALLOWED);
  ULONG exitCode = 0xDEAD;
  EXPECT_EQ(server_->ExecAndWaitEx(unc.get(), &exitCode), WKPTSVR_E_NOT_ALLOWED);
  EXPECT_EQ(server_->ExecAndWaitEx(args.get(), &exitCode), WKPTSVR_E_NOT_ALLOWED);
  EXPECT_EQ(exitCode, 0xDEADu);
  EXPECT_EQ(Record().find("setup "), std::string::npos) << "a refused command ran: " << Record();
  EXPECT_EQ(Record().find("updater"), std::string::npos) << Record();
}

using wintest::WaitFor;

TEST_F(Server, TheUpdaterTakesTheHandOffThroughTheServer) {
  Extract();
  const std::wstring updater = folder_ + L"wkptupdate.exe";
  ASSERT_TRUE(CopyFileW(WinePath(SIM_DIR "/wkptupdate.exe").c_str(), updater.c_str(), FALSE));
  const std::wstring updateFolder = folder_.substr(0, folder_.size() - 1);  // a trailing "\" would escape the quote
  Bstr line((L"\"" + updater + L"\" \"" + updateFolder + L"\"").c_str());
  ASSERT_EQ(server_->ExecAndNoWait(line.get()), S_OK);
  Bstr cls(L"WKPTUPDATE"), title(L"WKPTUPDATE_ADMIN");
  ASSERT_TRUE(WaitFor([&] { return server_->FindWindowAndPostMessage(cls.get(), title.get(), 0x8000, 4242, 0) == S_OK; }));
  ASSERT_TRUE(WaitFor([&] { return Record().find("updater hand-off host 4242") != std::string::npos; })) << Record();
  // The package's folder, as the same place in the extraction folder; left to the updater.
  const std::wstring extracted = Extracted();
  EXPECT_NE(LowerRecord().find(Lower("folder [" + std::string(extracted.begin(), extracted.end()) + "]")), std::string::npos)
      << Record();
  server_.reset();
  EXPECT_NE(GetFileAttributesW(extracted.c_str()), INVALID_FILE_ATTRIBUTES);
}

// The host's window for the runner's last act: it only notes the close it is asked for.
LRESULT CALLBACK NoteClose(HWND w, UINT m, WPARAM wp, LPARAM lp) {
  if (m == WM_CLOSE) {
    SetPropW(w, L"closed", reinterpret_cast<HANDLE>(1));
    return 0;
  }
  return DefWindowProcW(w, m, wp, lp);
}

TEST_F(Server, AScriptRunsThroughTheServerFromExtractionToTheHandOff) {
  Bstr package(Copy(L"package.exe", L"package.exe").c_str());
  ASSERT_EQ(server_->ExpandArchive(package.get()), S_OK);
  WNDCLASSW wc = {};
  wc.lpfnWndProc = NoteClose;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = L"TestHost";
  RegisterClassW(&wc);
  HWND host = CreateWindowW(L"TestHost", L"", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr, wc.hInstance, nullptr);
  ASSERT_NE(host, nullptr);
  HANDLE cancel = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  const std::wstring folder = folder_.substr(0, folder_.size() - 1), root = folder.substr(0, folder.rfind(L'\\'));
  web::ServerInstallPort port(server_.get(), root, WinePath(SIM_DIR "/wkptupdate.exe"), cancel, host);
  const std::u16string packageFolder(folder.begin(), folder.end());

  const auto steps = web::ParseInstallScript(
      u"# the maker's update\nUNINST#{not-there}#'old.exe';INST#a#'setup.exe' -s;INST#b#setup.exe -restart;"
      u"SELF#x#'" + packageFolder + u"\\Wickpost.exe';");
  ASSERT_TRUE(steps);
  const web::ScriptResult result = web::RunInstallScript(*steps, packageFolder, port);
  EXPECT_TRUE(result.ok);
  EXPECT_TRUE(result.restartNeeded);
  ASSERT_TRUE(WaitFor([&] { return Record().find("updater hand-off") != std::string::npos; })) << Record();
  const std::string record = Record();
  EXPECT_NE(record.find("setup.exe [-s] exit 0"), std::string::npos) << record;
  EXPECT_NE(record.find("setup.exe [-restart] exit 3010"), std::string::npos) << record;
  const std::wstring extracted = Extracted();
  EXPECT_NE(Lower(record).find(Lower("updater hand-off host " + std::to_string(GetCurrentProcessId()) + " folder [" +
                                    std::string(extracted.begin(), extracted.end()) + "]")),
            std::string::npos)
      << record;
  MSG msg;
  while (PeekMessageW(&msg, host, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
  EXPECT_NE(GetPropW(host, L"closed"), nullptr);

  // A failing installer fails the script; a tampered program in the folder never starts.
  ASSERT_TRUE(CopyFileW((WinePath(SIM_UPDATES_DIR) + L"\\package-tampered.exe").c_str(), (folder_ + L"evil.exe").c_str(), FALSE));
  DeleteFileW(log_.c_str());
  const web::ScriptResult failing = web::RunInstallScript(*web::ParseInstallScript(u"INST#a#setup.exe -fail;INST#b#x.exe;"), packageFolder, port);
  EXPECT_FALSE(failing.ok);
  EXPECT_EQ(failing.failedStep, 0);
  const web::ScriptResult tampered = web::RunInstallScript(*web::ParseInstallScript(u"INST#a#evil.exe -silent;"), packageFolder, port);
  EXPECT_FALSE(tampered.ok);
  EXPECT_EQ(Record().find("package"), std::string::npos) << Record();
  RemovePropW(host, L"closed");
  DestroyWindow(host);
  CloseHandle(cancel);
}

LRESULT CALLBACK Keep(HWND w, UINT m, WPARAM wp, LPARAM lp) { return DefWindowProcW(w, m, wp, lp); }

// Registered, the server runs out of process in the system's DLL surrogate through its AppID,
// as the elevation moniker runs it: the calls cross the process boundary over the proxy/stub.
// The ids of the running surrogates.
std::set<DWORD> Surrogates() {
  std::set<DWORD> ids;
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  PROCESSENTRY32W entry = {sizeof entry};
  for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry))
    if (_wcsicmp(entry.szExeFile, L"dllhost.exe") == 0) ids.insert(entry.th32ProcessID);
  CloseHandle(snapshot);
  return ids;
}

TEST_F(Server, RunsOutOfProcessInTheDllSurrogate) {
  if (sizeof(void*) == 8)
    GTEST_SKIP() << "Wine 8 starts its 32-bit dllhost for the default surrogate, which cannot load a 64-bit "
                    "server (\"class not registered\"); the 32-bit build runs this";
  const std::set<DWORD> before = Surrogates();
  ASSERT_EQ(Regsvr32(L"/s"), 0);
  {
    ComPtr<Iwkptcom> remote;
    ASSERT_EQ(CoCreateInstance(CLSID_Cwkptcom, nullptr, CLSCTX_LOCAL_SERVER, IID_Iwkptcom,
                               reinterpret_cast<void**>(remote.out())),
              S_OK);
    EXPECT_EQ(remote->IsAdmin(), S_OK);
    Bstr package(Copy(L"package.exe", L"package.exe").c_str()), setup((L"\"" + folder_ + L"setup.exe\" -s").c_str());
    EXPECT_EQ(remote->ExpandArchive(package.get()), S_OK);
    ULONG exitCode = 0xDEAD;
    EXPECT_EQ(remote->ExecAndWaitEx(setup.get(), &exitCode), S_OK);
    EXPECT_EQ(exitCode, 0u);
    const std::string record = Record();
    EXPECT_NE(record.find("extracted"), std::string::npos) << record;
    EXPECT_NE(record.find("setup.exe [-s] exit 0"), std::string::npos) << record;
  }
  CoFreeUnusedLibraries();
  EXPECT_EQ(Regsvr32(L"/u /s"), 0);
  // Wine's dllhost stays after its last object has gone (Windows' ends after a while): the
  // one this test started is ended, or it would hold the test's output open.
  for (DWORD id : Surrogates()) {
    if (before.count(id)) continue;
    HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, id);
    if (!process) continue;
    TerminateProcess(process, 0);
    WaitForSingleObject(process, 10000);
    CloseHandle(process);
  }
}

// Only the hand-off, and only to the window of the updater the server started: a window of
// the same name in another process (here the test's own) gets nothing.
TEST_F(Server, PostsOnlyTheHandOffToTheUpdaterItStarted) {
  WNDCLASSW wc = {};
  wc.lpfnWndProc = Keep;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = L"WKPTUPDATE";
  RegisterClassW(&wc);
  Bstr cls(L"WKPTUPDATE"), title(L"WKPTUPDATE_ADMIN"), other(L"Shell_TrayWnd");
  EXPECT_EQ(server_->FindWindowAndPostMessage(cls.get(), title.get(), 0x8000, 42, 0), HRESULT_FROM_WIN32(ERROR_NOT_FOUND));

  HWND spoof = CreateWindowW(L"WKPTUPDATE", L"WKPTUPDATE_ADMIN", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr,
                             wc.hInstance, nullptr);
  ASSERT_NE(spoof, nullptr);
  EXPECT_EQ(server_->FindWindowAndPostMessage(cls.get(), title.get(), WM_CLOSE, 0, 0), WKPTSVR_E_NOT_ALLOWED);
  EXPECT_EQ(server_->FindWindowAndPostMessage(other.get(), title.get(), 0x8000, 42, 0), WKPTSVR_E_NOT_ALLOWED);
  EXPECT_EQ(server_->FindWindowAndPostMessage(cls.get(), title.get(), 0x8000, 42, 0), HRESULT_FROM_WIN32(ERROR_NOT_FOUND))
      << "nothing started: no window may take it";

  Extract();
  const std::wstring updater = folder_ + L"wkptupdate.exe";
  ASSERT_TRUE(CopyFileW(WinePath(SIM_DIR "/wkptupdate.exe").c_str(), updater.c_str(), FALSE));
  const std::wstring updateFolder = folder_.substr(0, folder_.size() - 1);
  Bstr line((L"\"" + updater + L"\" \"" + updateFolder + L"\"").c_str());
  ASSERT_EQ(server_->ExecAndNoWait(line.get()), S_OK);
  ASSERT_TRUE(WaitFor([&] { return server_->FindWindowAndPostMessage(cls.get(), title.get(), 0x8000, 4343, 0) == S_OK; }));
  ASSERT_TRUE(WaitFor([&] { return Record().find("updater hand-off host 4343") != std::string::npos; })) << Record();
  MSG msg;
  EXPECT_FALSE(PeekMessageW(&msg, spoof, 0, 0, PM_REMOVE)) << "the other window took a message";
  DestroyWindow(spoof);
  UnregisterClassW(L"WKPTUPDATE", wc.hInstance);
}

TEST_F(Server, IsAdminAnswersThroughIDispatchFromTheEmbeddedTypeLibrary) {
  EXPECT_EQ(server_->IsAdmin(), S_OK);  // Wine's user is an administrator
  ComPtr<IDispatch> dispatch;
  ASSERT_TRUE(server_.As(IID_IDispatch, dispatch));
  LPOLESTR name = const_cast<LPOLESTR>(L"IsAdmin");
  DISPID id = 0;
  ASSERT_EQ(dispatch->GetIDsOfNames(IID_NULL, &name, 1, LOCALE_USER_DEFAULT, &id), S_OK);
  EXPECT_EQ(id, 6);
  DISPPARAMS none = {};
  EXPECT_EQ(dispatch->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &none, nullptr, nullptr, nullptr), S_OK);
}

TEST_F(Server, TheLibraryStaysWhileAnObjectLives) {
  auto canUnload = reinterpret_cast<HRESULT(WINAPI*)()>(GetProcAddress(dll_, "DllCanUnloadNow"));
  ASSERT_NE(canUnload, nullptr);
  EXPECT_EQ(canUnload(), S_FALSE);
  server_.reset();
  EXPECT_EQ(canUnload(), S_OK);
}
}  // namespace
