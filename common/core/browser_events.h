// How a page's document events are answered in the browser control, for every window that
// hosts one: clicks go to the window's listener, the context menu never shows.
#pragma once
#include <cstdint>
#include <optional>

namespace browser {

constexpr int32_t kDispidClick = -600;
constexpr int32_t kDispidContextMenu = 1023;

enum class DocumentEventAnswer {
  AskListener,  // a click: the owner decides whether its default action goes on
  Cancel,       // the context menu: handled, and never shown
  NotHandled,   // everything else: left to the document
};
DocumentEventAnswer AnswerDocumentEvent(int32_t dispid);

// Pages are never shown smaller than the medium text size (2).
std::optional<int32_t> RaisedZoom(int32_t current);

}  // namespace browser
