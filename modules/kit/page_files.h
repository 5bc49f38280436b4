// A module's page files and the one rule for an old page: it goes only when a new page
// replaces it, or when the host no longer lists it (an automatic check answered nothing, so
// the host withdrew it; the page closed; the module unloads). A manual check that answers
// nothing leaves the host's line, so the page it points at stays.
#pragma once
#include <cstddef>
#include <string>
#include <vector>

namespace kit {

// The files behind the pages: fresh temporary files with the module's prefix.
class IPageFiles {
 public:
  virtual ~IPageFiles() = default;
  virtual bool NewPagePath(std::u16string& path) = 0;  // a fresh, empty temporary file
  virtual bool WritePage(const std::u16string& path, const std::string& bytes) = 0;
  virtual void Delete(const std::u16string& path) = 0;
};

// True when `path` and its terminator fit a host buffer of `capacity` characters: the host
// takes no more, and a cut path would name another file.
bool FitsBuffer(const std::u16string& path, int capacity);

class PageFiles {
 public:
  explicit PageFiles(IPageFiles& files) : files_(files) {}
  ~PageFiles();  // what is still held goes
  PageFiles(const PageFiles&) = delete;
  PageFiles& operator=(const PageFiles&) = delete;

  // Starts a new page in a fresh file; the page held so far stays until Commit.
  bool Begin();
  const std::u16string& DraftPath() const { return draft_.empty() ? kNone : draft_.front(); }
  // Another file the new page shows (an image); it goes with the page.
  void Attach(const std::u16string& path);
  // Writes the new page; on failure the new page's files go.
  bool Write(const std::string& bytes);
  // The new page replaces the held one when its path fits the host's buffer; otherwise the
  // new page's files go and the held page stays. False then.
  bool Commit(int pageCapacity);
  // The new page's files go (those the held page does not show too).
  void Abandon();
  // The host no longer lists the held page: its files go.
  void Withdraw();

  bool Held() const { return !held_.empty(); }
  const std::u16string& Path() const { return held_.empty() ? kNone : held_.front(); }

 private:
  static const std::u16string kNone;
  void DeleteExcept(std::vector<std::u16string>& files, const std::vector<std::u16string>& keep);

  IPageFiles& files_;
  std::vector<std::u16string> held_, draft_;  // the page first, then what it shows
};

// The contract's check kinds (host/module_contract.h; the Win32 side asserts they agree).
constexpr uint32_t kCheckNothing = 0, kCheckPage = 1, kCheckAction = 2, kCheckKeep = 10;
constexpr uint32_t kCheckKindMask = 0xFFFFu;

enum class CheckCall { Automatic, Manual };

// What a check answers: the result (kind and flags), the line, the page and the code.
struct CheckAnswer {
  uint32_t result = kCheckNothing;
  std::u16string text, page;
  uint16_t code = 0;
};

// Delivers an answer into the host's buffers (the host has zeroed them); an action answer
// carries its line too. A page answer
// whose path does not fit is refused: CHECK_NOTHING, and the page it names goes with nothing
// left pending. An automatic check that answers nothing makes the host withdraw its line,
// so the held page goes then too. `pages` may be null for a module without pages.
uint32_t Deliver(const CheckAnswer& answer, CheckCall call, PageFiles* pages, char16_t* text, int textCapacity,
                 char16_t* page, int pageCapacity, uint16_t* code);

// Copies at most capacity - 1 characters and a terminator; nothing with no room.
void CopyText(const std::u16string& from, char16_t* to, int capacity);

}  // namespace kit
