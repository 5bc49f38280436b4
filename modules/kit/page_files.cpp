#include "modules/kit/page_files.h"

#include <algorithm>

namespace kit {

const std::u16string PageFiles::kNone;

bool FitsBuffer(const std::u16string& path, int capacity) {
  return capacity > 0 && path.size() < static_cast<size_t>(capacity);
}

PageFiles::~PageFiles() {
  Abandon();
  Withdraw();
}

void PageFiles::DeleteExcept(std::vector<std::u16string>& files, const std::vector<std::u16string>& keep) {
  for (const std::u16string& f : files)
    if (std::find(keep.begin(), keep.end(), f) == keep.end()) files_.Delete(f);
  files.clear();
}

bool PageFiles::Begin() {
  Abandon();
  std::u16string path;
  if (!files_.NewPagePath(path) || path.empty()) return false;
  draft_.push_back(path);
  return true;
}

void PageFiles::Attach(const std::u16string& path) {
  if (!draft_.empty() && !path.empty()) draft_.push_back(path);
}

bool PageFiles::Write(const std::string& bytes) {
  if (draft_.empty()) return false;
  if (files_.WritePage(draft_.front(), bytes)) return true;
  Abandon();
  return false;
}

bool PageFiles::Commit(int pageCapacity) {
  if (draft_.empty() || !FitsBuffer(draft_.front(), pageCapacity)) {
    Abandon();
    return false;
  }
  DeleteExcept(held_, draft_);
  held_.swap(draft_);
  return true;
}

void PageFiles::Abandon() { DeleteExcept(draft_, held_); }

void PageFiles::Withdraw() { DeleteExcept(held_, {}); }

void CopyText(const std::u16string& from, char16_t* to, int capacity) {
  if (!to || capacity <= 0) return;
  const size_t n = std::min(from.size(), static_cast<size_t>(capacity - 1));
  std::copy(from.begin(), from.begin() + static_cast<std::ptrdiff_t>(n), to);
  to[n] = u'\0';
}

uint32_t Deliver(const CheckAnswer& a, CheckCall call, PageFiles* pages, char16_t* text, int textCapacity,
                 char16_t* page, int pageCapacity, uint16_t* code) {
  uint32_t result = a.result;
  if ((result & kCheckKindMask) == kCheckPage) {
    if (!text || !page || !FitsBuffer(a.page, pageCapacity)) {
      if (pages && pages->Path() == a.page) pages->Withdraw();
      result = kCheckNothing;
    } else {
      CopyText(a.text, text, textCapacity);
      CopyText(a.page, page, pageCapacity);
    }
  } else if ((result & kCheckKindMask) == kCheckAction && text) {
    CopyText(a.text, text, textCapacity);
  }
  if ((result & kCheckKindMask) == kCheckNothing && call == CheckCall::Automatic && pages) pages->Withdraw();
  if (code && (result & kCheckKindMask) != kCheckNothing) *code = a.code;
  return result;
}

}  // namespace kit
