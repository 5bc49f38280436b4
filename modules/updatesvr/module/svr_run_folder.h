// Where the elevated server runs an update from: a folder of its own for each run, which only
// Administrators and SYSTEM may write, filled with copies of verified programs. Nothing runs
// elevated in place from the caller's folders, which the caller's user can write.
#pragma once
#include <windows.h>

#include <string>

namespace updsvr {

// The run's folder under the Windows folder's "Temp", made on first use with an explicit,
// protected DACL (full access for Administrators and SYSTEM, nothing inherited). Deleted with
// everything in it when the run ends, unless it was handed to the updater.
class RunFolder {
 public:
  RunFolder() = default;
  RunFolder(const RunFolder&) = delete;
  RunFolder& operator=(const RunFolder&) = delete;
  ~RunFolder() { Remove(); }

  HRESULT Make();
  bool Made() const { return !path_.empty(); }
  const std::u16string& path() const { return path_; }
  // A new folder inside for one package, which takes the run folder's DACL.
  HRESULT MakeExtractionFolder(std::u16string& folder);
  // The updater reads the update from the folder after this process has gone.
  void HandOver() { handedOver_ = true; }

 private:
  void Remove();
  std::u16string path_;
  bool handedOver_ = false;
  unsigned extractions_ = 0;
};

// The run folder's security descriptor: a protected DACL giving Administrators and SYSTEM full
// access, handed down to everything inside, and nothing to anyone else. Freed with LocalFree;
// null on failure (the last error kept).
PSECURITY_DESCRIPTOR RunFolderSecurity();

// Copies the maker's program at `source` (a local full path) into `folder` under its own name:
// a source whose path holds a reparse point, or whose opened file lies elsewhere than its path
// says, is refused; the copy is made from the handle that was verified, and verified again.
HRESULT CopyVerified(const std::u16string& source, const std::u16string& folder, std::u16string& copy);

// The opened file's final path (GetFinalPathNameByHandleW, which Windows XP lacks: then
// nothing, and the reparse-point check of the path stands alone).
bool FinalPath(HANDLE file, std::u16string& path);

}  // namespace updsvr
