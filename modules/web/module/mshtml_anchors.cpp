#include "modules/web/module/mshtml_anchors.h"

#include <mshtml.h>
#include <oleauto.h>

#include <memory>

#include "common/win/com_ptr.h"
#include "modules/kit/module/kit_com.h"
#include "modules/kit/module/kit_win.h"

namespace web {
namespace {

// Handles this thread's messages for `ms`; false when a WM_QUIT came (put back for the
// thread's own loop).
bool PumpFor(DWORD ms) {
  const DWORD start = GetTickCount();
  for (;;) {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_QUIT) {
        PostQuitMessage(static_cast<int>(msg.wParam));
        return false;
      }
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    const DWORD spent = GetTickCount() - start;
    if (spent >= ms) return true;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, ms - spent, QS_ALLINPUT);
  }
}

struct ArrayDestroy {
  void operator()(SAFEARRAY* array) const { SafeArrayDestroy(array); }
};

// document.write of one string.
HRESULT Write(IHTMLDocument2& document, const wchar_t* text) {
  std::unique_ptr<SAFEARRAY, ArrayDestroy> lines(SafeArrayCreateVector(VT_VARIANT, 0, 1));
  Variant line(text);
  if (!lines || line.get().vt != VT_BSTR) return E_OUTOFMEMORY;
  LONG first = 0;
  const HRESULT put = SafeArrayPutElement(lines.get(), &first, &line.get());
  return FAILED(put) ? put : document.write(lines.get());
}

}  // namespace

bool PollPumping(const std::function<bool()>& ready, DWORD intervalMs, int polls) {
  for (int waits = 0;; ++waits) {
    if (ready()) return true;
    if (waits >= polls || !PumpFor(intervalMs)) return false;
  }
}

IHtmlAnchors::Result DocumentAnchors::Fail(Result result, const char* call, HRESULT hr) {
  failedCall_ = call;
  failure_ = hr;
  return result;
}

IHtmlAnchors::Result DocumentAnchors::Read(const std::u16string& path, std::vector<Anchor>& anchors) {
  anchors.clear();
  failedCall_ = "";
  failure_ = S_OK;
  // The objects below are released before the apartment is left.
  kit::ComScope apartment;

  // A blank document, only to create the page's document from.
  ComPtr<IHTMLDocument2> blank;
  HRESULT hr = CoCreateInstance(__uuidof(HTMLDocument), nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(blank.out()));
  if (FAILED(hr) || !blank) return Fail(Result::Unavailable, "CoCreateInstance", FAILED(hr) ? hr : E_NOINTERFACE);
  if (FAILED(hr = Write(*blank.get(), L"<html></html>"))) return Fail(Result::Unavailable, "write", hr);
  if (FAILED(hr = blank->close())) return Fail(Result::Unavailable, "close", hr);
  ComPtr<IHTMLDocument4> factory;
  if (FAILED(hr = blank.As(&factory))) return Fail(Result::Unavailable, "QueryInterface", hr);

  Bstr url(kit::Wide(path));
  if (!url.get()) return Fail(Result::Failed, "SysAllocString", E_OUTOFMEMORY);
  ComPtr<IHTMLDocument2> page;
  hr = factory->createDocumentFromUrl(url.get(), nullptr, page.out());
  // An engine that cannot load from a location at all fails every page alike.
  if (hr == E_NOTIMPL) return Fail(Result::Unavailable, "createDocumentFromUrl", hr);
  if (FAILED(hr) || !page) return Fail(Result::Failed, "createDocumentFromUrl", FAILED(hr) ? hr : E_POINTER);

  HRESULT state = S_OK;
  const bool complete = PollPumping(
      [&] {
        Bstr text;
        state = page->get_readyState(text.out());
        return FAILED(state) || text.str() == u"complete";
      },
      pollMs_, polls_);
  if (FAILED(state)) return Fail(Result::Failed, "get_readyState", state);
  if (!complete) return Result::TimedOut;

  ComPtr<IHTMLElementCollection> all;
  if (FAILED(hr = page->get_all(all.out())) || !all) return Fail(Result::Failed, "get_all", FAILED(hr) ? hr : E_POINTER);
  Variant tag(L"A");
  ComPtr<IDispatch> tagged;
  if (FAILED(hr = all->tags(tag.get(), tagged.out())) || !tagged)
    return Fail(Result::Failed, "tags", FAILED(hr) ? hr : E_POINTER);
  ComPtr<IHTMLElementCollection> links;
  if (FAILED(hr = tagged.As(&links))) return Fail(Result::Failed, "QueryInterface", hr);
  LONG count = 0;
  if (FAILED(hr = links->get_length(&count))) return Fail(Result::Failed, "get_length", hr);

  std::vector<Anchor> read;
  for (LONG i = 0; i < count; ++i) {
    Variant index(i), none;
    ComPtr<IDispatch> item;
    ComPtr<IHTMLAnchorElement> link;
    ComPtr<IHTMLElement> element;
    Bstr href, text;
    if (FAILED(hr = links->item(index.get(), none.get(), item.out())) || FAILED(hr = item.As(&link)) ||
        FAILED(hr = item.As(&element)) || FAILED(hr = link->get_href(href.out())) ||
        FAILED(hr = element->get_innerText(text.out())))
      return Fail(Result::Failed, "item", hr);
    // An "a" without an address is a mark, not a link.
    if (href.str().empty()) continue;
    read.push_back({href.str(), text.str()});
  }
  anchors = std::move(read);
  return Result::Ok;
}

}  // namespace web
