// The mini popup: a borderless list of the pending lines just above the taskbar.
#pragma once
#include <windows.h>

#include <memory>
#include <string>
#include <type_traits>
#include <vector>

#include "host/core/module_manager.h"

namespace host {

struct GdiFree {
  void operator()(void* object) const { DeleteObject(static_cast<HGDIOBJ>(object)); }
};
template <typename H>
using GdiHandle = std::unique_ptr<std::remove_pointer_t<H>, GdiFree>;

class MiniPopup {
 public:
  MiniPopup(HINSTANCE instance, HWND owner, std::wstring caption);
  ~MiniPopup();
  MiniPopup(const MiniPopup&) = delete;
  MiniPopup& operator=(const MiniPopup&) = delete;

  void Attach(ModuleManager* manager) { manager_ = manager; }
  bool Register();
  bool Show(const NotificationList& list, int dx, int dy);
  void Close();
  HWND window() const { return window_; }

  static constexpr UINT_PTR kMiniTimer = 0x696E694D;  // "Mini": cursor watch
  static constexpr UINT_PTR kDrawTimer = 0x77617244;  // "Draw": one late repaint

 private:
  struct Row {
    size_t slot;
    std::wstring text;
    bool warning;
  };
  static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT OnMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  void Paint(HWND window);
  void Click(int x, int y);
  bool CursorInside(HWND window) const;
  void SetRegion(HWND window, int height) const;

  HINSTANCE instance_;
  HWND owner_;
  std::wstring caption_;
  ModuleManager* manager_ = nullptr;
  bool registered_ = false;
  HWND window_ = nullptr;
  bool closing_ = false;  // our own close: the manager already knows
  bool inside_ = false;   // the cursor was over the window when it appeared
  std::vector<Row> rows_;
  GdiHandle<HFONT> font_;
  GdiHandle<HBRUSH> background_;
  std::vector<std::pair<int, GdiHandle<HBITMAP>>> bitmaps_;
};

}  // namespace host
