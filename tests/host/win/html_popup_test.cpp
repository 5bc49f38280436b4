// The HTML popup's own code under Wine: the window and its browser control, placement,
// hide-and-reuse, the inactivity timeout, stale close requests and the click path from the
// document sink through the owner to a probe module and back.
#include <gtest/gtest.h>
#include <windows.h>
#include <mshtml.h>

#include <fstream>
#include <stdexcept>
#include <string>
#include <thread>

#include "host/module_contract.h"
#include "host/win/html_popup.h"
#include "tests/common/win/fake_page_event.h"
#include "tests/common/win/win_test_support.h"
#include "tests/host/win/fake_html_document.h"

using host::AnswerClickReport;
using host::CDocSink;
using host::CHTMLPopupWindow;
using host::CIESink;

namespace {

// Handles every message waiting in this thread's queue, in order.
void PumpQueued() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

template <typename Done>
bool PumpUntil(Done done, DWORD ms) {
  const DWORD start = GetTickCount();
  for (PumpQueued(); !done() && GetTickCount() - start < ms; PumpQueued()) Sleep(5);
  return done();
}

bool g_markerFired = false;
void CALLBACK MarkerFired(HWND, UINT, UINT_PTR id, DWORD) {
  KillTimer(nullptr, id);
  g_markerFired = true;
}

// Pumps until a timer of `ms` fires: a timer of this thread due no later would have fired first.
bool PumpPast(UINT ms) {
  g_markerFired = false;
  if (!SetTimer(nullptr, 0, ms, MarkerFired)) return false;
  return PumpUntil([] { return g_markerFired; }, 30000);
}

RECT WorkArea() {
  RECT r = {};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &r, 0);
  return r;
}

RECT Bounds(HWND window) {
  RECT r = {};
  GetWindowRect(window, &r);
  return r;
}

// The browser's window covers the popup's client area.
bool BrowserFills(HWND popup) {
  HWND browser = FindWindowExW(popup, nullptr, L"Shell Embedding", nullptr);
  RECT client = {}, inner = {};
  GetClientRect(popup, &client);
  GetWindowRect(browser, &inner);
  return browser && inner.right - inner.left == client.right && inner.bottom - inner.top == client.bottom;
}

struct CloseCounter : host::IPopupCloseHandler {
  bool current = true;
  int closed = 0;
  bool PageCurrent() override { return current; }
  void PopupClosed() override {
    ++closed;
    current = false;
  }
};

class HtmlPopup : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
    ASSERT_TRUE(popup_.RegisterClass(GetModuleHandleW(nullptr), nullptr, L"Tellwick"));
    popup_.SetCloseHandler(&handler_);
  }
  void TearDown() override {
    if (HWND w = popup_.GetWindow()) DestroyWindow(w);
    CoUninitialize();
  }
  bool ShowPage(const wchar_t* page, int width, int height, int offsetX, int offsetY, uint32_t timeoutMs = 0) {
    popup_.SetPage(page);
    handler_.current = true;
    return popup_.Show(nullptr, width, height, offsetX, offsetY, timeoutMs, WM_HOST_POPUPCLICK);
  }

  CHTMLPopupWindow popup_;
  CloseCounter handler_;
};

TEST_F(HtmlPopup, ShowPlacesHidesOnCloseAndReusesTheWindow) {
  ASSERT_TRUE(ShowPage(L"C:\\windows\\win.ini", 700, 400, 0, 0));
  HWND window = popup_.GetWindow();
  ASSERT_TRUE(window);
  EXPECT_TRUE(IsWindowVisible(window));
  wchar_t cls[64] = {};
  GetClassNameW(window, cls, 64);
  EXPECT_STREQ(cls, L"HTMLPopupClass");
  EXPECT_TRUE(popup_.browser()) << "the browser control is created and in place";
  EXPECT_TRUE(BrowserFills(window)) << "its window fills the popup";
  const LONG style = GetWindowLongW(window, GWL_STYLE);
  EXPECT_TRUE(style & WS_THICKFRAME);
  EXPECT_FALSE(style & WS_MAXIMIZEBOX);
  const RECT work = WorkArea(), at = Bounds(window);
  EXPECT_EQ(at.right, work.right);
  EXPECT_EQ(at.bottom, work.bottom);
  EXPECT_EQ(at.right - at.left, 700);
  EXPECT_EQ(at.bottom - at.top, 400);

  // A close while no page is current changes nothing.
  handler_.current = false;
  SendMessageW(window, WM_CLOSE, 0, 0);
  EXPECT_TRUE(IsWindowVisible(window));
  EXPECT_EQ(handler_.closed, 0);

  handler_.current = true;
  SendMessageW(window, WM_CLOSE, 0, 0);
  EXPECT_TRUE(IsWindow(window)) << "closing only hides";
  EXPECT_FALSE(IsWindowVisible(window));
  EXPECT_FALSE(popup_.visible());
  EXPECT_EQ(handler_.closed, 1);

  ASSERT_TRUE(ShowPage(L"C:\\windows\\system.ini", 380, 520, 20, 30));
  EXPECT_EQ(popup_.GetWindow(), window) << "the second page reuses the window";
  EXPECT_TRUE(IsWindowVisible(window));
  EXPECT_EQ(popup_.page(), L"C:\\windows\\system.ini");
  const RECT again = Bounds(window);
  EXPECT_EQ(again.right, work.right - 20);
  EXPECT_EQ(again.bottom, work.bottom - 30);
  EXPECT_EQ(again.right - again.left, 380);
  EXPECT_TRUE(BrowserFills(window)) << "and follows the new size";

  // Already on screen: navigated, neither moved nor resized.
  ASSERT_TRUE(ShowPage(L"C:\\windows\\win.ini", 600, 300, 0, 0));
  const RECT kept = Bounds(window);
  EXPECT_EQ(kept.right - kept.left, 380);
  EXPECT_EQ(kept.bottom, work.bottom - 30);

  EXPECT_FALSE(popup_.Hide()) << "hide answers whether it is still visible";
  EXPECT_FALSE(IsWindowVisible(window));
}

TEST_F(HtmlPopup, TooLargeLandsAtTheOriginAndLongPathsAreCut) {
  const RECT work = WorkArea();
  const std::wstring longPath = L"C:\\" + std::wstring(400, L'p');
  ASSERT_TRUE(ShowPage(longPath.c_str(), work.right + 200, work.bottom + 100, 0, 0));
  const RECT at = Bounds(popup_.GetWindow());
  EXPECT_EQ(at.left, 0);
  EXPECT_EQ(at.top, 0);
  EXPECT_EQ(popup_.page().size(), CHTMLPopupWindow::kPageCapacity - 1);
}

TEST_F(HtmlPopup, TimeoutClosesOnlyWhileTheHostIsInactive) {
  ASSERT_TRUE(ShowPage(L"C:\\windows\\win.ini", 400, 300, 0, 0, 300));
  HWND window = popup_.GetWindow();
  // The user turns to another application: the countdown starts.
  SendMessageW(window, WM_ACTIVATEAPP, FALSE, 0);
  EXPECT_TRUE(popup_.timerRunning());
  EXPECT_TRUE(PumpUntil([&] { return handler_.closed == 1; }, 3000)) << "closed itself";
  EXPECT_FALSE(IsWindowVisible(window));
  EXPECT_FALSE(popup_.timerRunning());

  // Coming back before it runs out stops it; leaving again starts a full period.
  ASSERT_TRUE(ShowPage(L"C:\\windows\\win.ini", 400, 300, 0, 0, 300));
  SendMessageW(window, WM_ACTIVATEAPP, FALSE, 0);
  PumpQueued();
  SendMessageW(window, WM_ACTIVATEAPP, TRUE, 0);
  EXPECT_FALSE(popup_.timerRunning());
  ASSERT_TRUE(PumpPast(600));  // twice the popup's time-out
  EXPECT_TRUE(IsWindowVisible(window));
  EXPECT_EQ(handler_.closed, 1);
  SendMessageW(window, WM_ACTIVATEAPP, FALSE, 0);
  EXPECT_TRUE(PumpUntil([&] { return handler_.closed == 2; }, 3000));

  // No timeout given: leaving starts nothing.
  ASSERT_TRUE(ShowPage(L"C:\\windows\\win.ini", 400, 300, 0, 0, 0));
  SendMessageW(window, WM_ACTIVATEAPP, FALSE, 0);
  EXPECT_FALSE(popup_.timerRunning());
}

TEST_F(HtmlPopup, StaleCloseRequestLeavesTheNextPageAlone) {
  ASSERT_TRUE(ShowPage(L"C:\\windows\\win.ini", 400, 300, 0, 0));
  HWND window = popup_.GetWindow();
  ASSERT_TRUE(popup_.RequestClose());  // asked for the first page...
  popup_.Hide();                       // ...which goes another way before the request arrives
  ASSERT_TRUE(ShowPage(L"C:\\windows\\system.ini", 400, 300, 0, 0));
  PumpQueued();  // the stale request among them
  EXPECT_TRUE(IsWindowVisible(window)) << "the second page stays";
  EXPECT_EQ(handler_.closed, 0);

  ASSERT_TRUE(popup_.RequestClose());
  EXPECT_TRUE(PumpUntil([&] { return handler_.closed == 1; }, 2000));
  EXPECT_FALSE(IsWindowVisible(window));
}

// Whatever the host's side of a close throws stops in the popup's window procedure: nothing
// unwinds into the system's message dispatch.
TEST_F(HtmlPopup, AnExceptionInTheCloseStopsAtTheWindowProcedure) {
  struct Throwing : host::IPopupCloseHandler {
    bool PageCurrent() override { return true; }
    void PopupClosed() override { throw std::runtime_error("close"); }
  } throwing;
  ASSERT_TRUE(ShowPage(L"C:\\windows\\win.ini", 400, 300, 0, 0));
  popup_.SetCloseHandler(&throwing);
  bool escaped = false;
  try {
    SendMessageW(popup_.GetWindow(), WM_CLOSE, 0, 0);
  } catch (...) {
    escaped = true;
  }
  popup_.SetCloseHandler(&handler_);
  EXPECT_FALSE(escaped);
  EXPECT_TRUE(IsWindow(popup_.GetWindow()));
}

// No browser, no popup: a thread without COM cannot create the control, and an unregistered
// popup has no class. Show answers false and leaves no window behind.
TEST(HtmlPopupFailures, ShowAnswersFalseWithoutClassOrBrowser) {
  CHTMLPopupWindow unregistered;
  EXPECT_FALSE(unregistered.Show(nullptr, 400, 300, 0, 0, 0, WM_HOST_POPUPCLICK));
  EXPECT_EQ(unregistered.GetWindow(), nullptr);

  bool shown = true, windowLeft = true;
  std::thread([&] {
    CHTMLPopupWindow popup;
    if (!popup.RegisterClass(GetModuleHandleW(nullptr), nullptr, L"Tellwick")) return;
    popup.SetPage(L"C:\\windows\\win.ini");
    shown = popup.Show(nullptr, 400, 300, 0, 0, 0, WM_HOST_POPUPCLICK);
    windowLeft = popup.GetWindow() != nullptr || FindWindowW(L"HTMLPopupClass", nullptr) != nullptr;
  }).join();
  EXPECT_FALSE(shown);
  EXPECT_FALSE(windowLeft);
}

// ---- Clicks: a fake document hands the sink a fake event; the owner asks a probe module.

struct ClickOwner {
  CHTMLPopupWindow* popup = nullptr;
  WickpostHTMLOnClickFn module = nullptr;
  bool pageCurrent = true;
  int reports = 0;
};
ClickOwner g_owner;

LRESULT CALLBACK OwnerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message != WM_HOST_POPUPCLICK) return DefWindowProcW(window, message, wParam, lParam);
  ++g_owner.reports;
  if (!g_owner.pageCurrent) return AnswerClickReport(*g_owner.popup, wParam, nullptr);
  return AnswerClickReport(*g_owner.popup, wParam,
                           [](IHTMLEventObj* e) { return g_owner.module(e) != 0; });
}

int CountOf(const std::string& text, const std::string& needle) {
  int n = 0;
  for (size_t at = text.find(needle); at != std::string::npos; at = text.find(needle, at + 1)) ++n;
  return n;
}

class HtmlPopupClicks : public HtmlPopup {
 protected:
  void SetUp() override {
    HtmlPopup::SetUp();
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    dir_ = std::wstring(temp) + L"popup-click-" + std::to_wstring(GetCurrentProcessId());
    CreateDirectoryW(dir_.c_str(), nullptr);
    const std::wstring dll = dir_ + L"\\wkptrcvr.dll";
    ASSERT_TRUE(CopyFileW(wintest::WinePath(PROBE_DLL).c_str(), dll.c_str(), FALSE));
    SetAnswer(1);
    probe_ = LoadLibraryW(dll.c_str());
    ASSERT_TRUE(probe_);
    g_owner = {};
    g_owner.popup = &popup_;
    g_owner.module = reinterpret_cast<WickpostHTMLOnClickFn>(
        reinterpret_cast<void*>(GetProcAddress(probe_, "WickpostHTMLOnClick")));
    ASSERT_TRUE(g_owner.module);
    WNDCLASSW wc = {};
    wc.lpfnWndProc = OwnerProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"PopupClickOwner";
    RegisterClassW(&wc);
    owner_ = CreateWindowExW(0, L"PopupClickOwner", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
    ASSERT_TRUE(owner_);
    popup_.SetPage(L"C:\\windows\\win.ini");
    ASSERT_TRUE(popup_.Show(owner_, 400, 300, 0, 0, 0, WM_HOST_POPUPCLICK));
    const FakeClick next = {L"click", L"A", L"next"};
    event_ = FakePageEvent(&next);
    document_ = FakeDocumentWithEvent(event_, nullptr);
    sink_.attach(new CDocSink(&popup_, document_));
  }
  void TearDown() override {
    sink_.reset();
    if (document_) document_->Release();
    if (event_) event_->Release();
    if (owner_) DestroyWindow(owner_);
    if (probe_) FreeLibrary(probe_);
    DeleteFileW((dir_ + L"\\wkptrcvr.dll").c_str());
    DeleteFileW((dir_ + L"\\wkptrcvr.ini").c_str());
    DeleteFileW((dir_ + L"\\calls.log").c_str());
    RemoveDirectoryW(dir_.c_str());
    HtmlPopup::TearDown();
  }
  void SetAnswer(int answer) {
    std::ofstream ini((dir_ + L"\\wkptrcvr.ini").c_str(), std::ios::binary | std::ios::trunc);
    ini << "[probe]\r\nclick=" << answer << "\r\n";
  }
  HRESULT Fire(DISPID dispid, VARIANT* result) {
    DISPPARAMS none = {};
    VariantInit(result);
    return sink_->Invoke(dispid, IID_NULL, 0, DISPATCH_METHOD, &none, result, nullptr, nullptr);
  }
  std::string Log() const { return wintest::ReadAll(dir_ + L"\\calls.log"); }

  std::wstring dir_;
  HMODULE probe_ = nullptr;
  HWND owner_ = nullptr;
  IHTMLEventObj* event_ = nullptr;
  IHTMLDocument2* document_ = nullptr;
  ComPtr<CDocSink> sink_;
};

TEST_F(HtmlPopupClicks, TheModuleSeesTheClickAndItsAnswerReachesTheBrowser) {
  struct Case {
    int moduleAnswer;
    VARIANT_BOOL proceeds;
  } cases[] = {{1, VARIANT_TRUE}, {0, VARIANT_FALSE}, {7, VARIANT_TRUE}};
  int calls = 0;
  for (const Case& c : cases) {
    SetAnswer(c.moduleAnswer);
    VARIANT result;
    ASSERT_EQ(Fire(-600, &result), S_OK);
    ASSERT_EQ(result.vt, VT_BOOL);
    EXPECT_EQ(result.boolVal, c.proceeds) << c.moduleAnswer;
    EXPECT_EQ(CountOf(Log(), "wkptrcvr HTMLOnClick type=click tag=A"), ++calls) << Log();
  }
  EXPECT_EQ(popup_.ClickInFlight(), nullptr) << "trusted only while it is being sent";
}

TEST_F(HtmlPopupClicks, ContextMenuOtherEventsAndStrayReportsNeverReachTheModule) {
  VARIANT result;
  ASSERT_EQ(Fire(1023, &result), S_OK);
  ASSERT_EQ(result.vt, VT_BOOL);
  EXPECT_EQ(result.boolVal, VARIANT_FALSE) << "no context menu";
  EXPECT_EQ(Fire(-601, &result), DISP_E_MEMBERNOTFOUND);
  EXPECT_EQ(Fire(1024, &result), DISP_E_MEMBERNOTFOUND);
  EXPECT_EQ(g_owner.reports, 0);

  // A report that the popup is not sending: a post from elsewhere with some pointer.
  EXPECT_EQ(SendMessageW(owner_, WM_HOST_POPUPCLICK, reinterpret_cast<WPARAM>(event_), -600), -1);
  EXPECT_EQ(SendMessageW(owner_, WM_HOST_POPUPCLICK, 0, -600), -1);

  // No page current on the host's side: cancelled.
  g_owner.pageCurrent = false;
  ASSERT_EQ(Fire(-600, &result), S_OK);
  EXPECT_EQ(result.boolVal, VARIANT_FALSE);
  EXPECT_EQ(CountOf(Log(), "HTMLOnClick"), 0) << Log();
}

TEST_F(HtmlPopupClicks, WithoutAnOwnerOrListenerTheAnswersFollowTheRules) {
  // The sink without a listener lets the click go on.
  ComPtr<CDocSink> alone;
  alone.attach(new CDocSink(nullptr, document_));
  DISPPARAMS none = {};
  VARIANT result;
  VariantInit(&result);
  ASSERT_EQ(alone->Invoke(-600, IID_NULL, 0, DISPATCH_METHOD, &none, &result, nullptr, nullptr), S_OK);
  EXPECT_EQ(result.boolVal, VARIANT_TRUE);

  // After the popup window is gone there is no owner: the popup answers false.
  DestroyWindow(popup_.GetWindow());
  ASSERT_EQ(Fire(-600, &result), S_OK);
  EXPECT_EQ(result.boolVal, VARIANT_FALSE);
  EXPECT_EQ(g_owner.reports, 0);
}

// ---- The browser's events, with a fake browser: Wine's never completes a document.

struct CountingListener : host::IHTMLPopupEventListener {
  int calls = 0;
  IHTMLEventObj* seen = nullptr;
  bool OnDocumentEvent(DISPID, IHTMLEventObj* e) override {
    ++calls;
    seen = e;
    return true;
  }
};

HRESULT FireBrowserEvent(CIESink* sink, DISPID dispid, IDispatch* completed = nullptr) {
  VARIANT args[2];
  VariantInit(&args[0]);  // the address
  VariantInit(&args[1]);
  args[1].vt = VT_DISPATCH;
  args[1].pdispVal = completed;
  DISPPARAMS params = {args, nullptr, completed ? 2u : 0u, 0};
  return sink->Invoke(dispid, IID_NULL, 0, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr);
}

TEST(IESink, HooksOnlyThePageItselfRaisesTheZoomAndLetsGoOnNavigationAndQuit) {
  FakeSource browserEvents = {}, documentEvents = {}, frameEvents = {};
  const FakeClick logo = {L"click", L"IMG", L"logo"};
  IHTMLEventObj* event = FakePageEvent(&logo);
  IHTMLDocument2* document = FakeDocumentWithEvent(event, &documentEvents);
  IWebBrowser2* browser = FakeWebBrowser(document, &browserEvents);
  IWebBrowser2* frame = FakeWebBrowser(nullptr, &frameEvents);
  CountingListener listener;
  ComPtr<CIESink> sink;
  sink.attach(new CIESink(&listener));
  ASSERT_EQ(sink->Connect(browser), S_OK);
  EXPECT_EQ(browserEvents.advised, 1);
  EXPECT_TRUE(IsEqualIID(browserEvents.events, DIID_DWebBrowserEvents2));

  EXPECT_EQ(FireBrowserEvent(sink.get(), 259, reinterpret_cast<IDispatch*>(frame)), S_OK);
  EXPECT_EQ(documentEvents.advises, 0) << "a frame's document is not hooked";
  EXPECT_EQ(browserEvents.zoomSets, 0);

  struct Case {
    LONG zoom, after;
    int sets;
  } cases[] = {{0, 2, 1}, {1, 2, 1}, {2, 2, 0}, {4, 4, 0}};
  for (const Case& c : cases) {
    browserEvents.zoom = c.zoom;
    browserEvents.zoomSets = 0;
    EXPECT_EQ(FireBrowserEvent(sink.get(), 250), S_OK);  // BeforeNavigate2
    EXPECT_EQ(documentEvents.advised, 0) << "the old page is let go before the next";
    EXPECT_EQ(FireBrowserEvent(sink.get(), 259, reinterpret_cast<IDispatch*>(browser)), S_OK);
    EXPECT_EQ(documentEvents.advised, 1);
    EXPECT_EQ(browserEvents.zoom, c.after) << c.zoom;
    EXPECT_EQ(browserEvents.zoomSets, c.sets) << c.zoom;
  }
  const IID documentEventsIid = {0x3050F260, 0x98B5, 0x11CF, {0xBB, 0x82, 0x00, 0xAA, 0x00, 0xBD, 0xCE, 0x0B}};
  EXPECT_TRUE(IsEqualIID(documentEvents.events, documentEventsIid)) << "HTMLDocumentEvents";

  // A click in the hooked page reaches the listener with the window's current event.
  ComPtr<IDispatch> docSink;
  ASSERT_TRUE(documentEvents.sink);
  ASSERT_EQ(documentEvents.sink->QueryInterface(IID_PPV_ARGS(docSink.out())), S_OK);
  DISPPARAMS none = {};
  VARIANT result;
  VariantInit(&result);
  EXPECT_EQ(docSink->Invoke(-600, IID_NULL, 0, DISPATCH_METHOD, &none, &result, nullptr, nullptr), S_OK);
  EXPECT_EQ(listener.calls, 1);
  EXPECT_EQ(listener.seen, event);
  EXPECT_EQ(result.boolVal, VARIANT_TRUE);

  EXPECT_EQ(FireBrowserEvent(sink.get(), 253), S_OK);  // OnQuit
  EXPECT_EQ(browserEvents.advised, 0);
  EXPECT_EQ(documentEvents.advised, 0);
  // A sink let go of keeps no listener: a late event from the old page reports nothing.
  EXPECT_EQ(docSink->Invoke(-600, IID_NULL, 0, DISPATCH_METHOD, &none, &result, nullptr, nullptr), S_OK);
  EXPECT_EQ(listener.calls, 1);
  EXPECT_EQ(FireBrowserEvent(sink.get(), 102), DISP_E_MEMBERNOTFOUND) << "other browser events";

  docSink.reset();
  sink.reset();
  frame->Release();
  browser->Release();
  document->Release();
  event->Release();
}

}  // namespace
