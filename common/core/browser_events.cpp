#include "common/core/browser_events.h"

namespace browser {

DocumentEventAnswer AnswerDocumentEvent(int32_t dispid) {
  if (dispid == kDispidClick) return DocumentEventAnswer::AskListener;
  if (dispid == kDispidContextMenu) return DocumentEventAnswer::Cancel;
  return DocumentEventAnswer::NotHandled;
}

std::optional<int32_t> RaisedZoom(int32_t current) {
  constexpr int32_t kMedium = 2;
  if (current < kMedium) return kMedium;
  return std::nullopt;
}

}  // namespace browser
