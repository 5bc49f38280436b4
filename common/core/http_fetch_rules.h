// Rules of the one HTTP fetcher the modules share: how an address is split, what a "file:"
// address names, the user agent with its machine tag, and when an answer counts as a download.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

namespace http {

// Longer addresses are refused (the platform's own limit, without the terminator).
constexpr size_t kMaxUrlLength = 2083;

struct UrlParts {
  bool secure = false;   // "https://"
  std::u16string host;   // without brackets for an IPv6 literal
  uint16_t port = 0;     // the written port, else 443 or 80
  std::u16string object; // path and query from the first "/" on; "/" when none is written
};

// The scheme is read from the start of the address only ("http://" or "https://", any case);
// user information, empty hosts, bad ports and control characters are refused.
bool SplitHttpUrl(const std::u16string& url, UrlParts& out);

// An "http://" or "https://" address that SplitHttpUrl takes. Downloads named by the network
// must be one: a "file:" link to "\\host\share" would log on to that host as the user.
bool IsWebUrl(const std::u16string& url);

// "file:" at the start, any case.
bool IsFileUrl(const std::u16string& url);
// The text after "file:" without its leading slashes, with "\" for "/"; false when empty.
bool FileUrlToPath(const std::u16string& url, std::u16string& path);

// The ANSI text whose MD5 digest is the machine tag, limited to 99 characters.
std::string MachineTagInput(const std::string& model, const std::string& serial);
// Base64 of that digest (24 characters ending in "=="); false when hashing is unavailable.
bool MachineTag(const std::string& model, const std::string& serial, std::string& tag);
// The agent with the tag, or without one when the tag is empty.
std::string UserAgent(const std::string& tag);

// A Content-Length value: decimal digits only, surrounding blanks allowed.
bool ParseContentLength(const std::u16string& text, uint64_t& value);

// Decides whether what was received is a download: only a 200 answer whose body arrived
// whole (all the announced bytes, no more) is one.
class BodyCheck {
 public:
  // False when the status is not 200.
  bool Start(uint32_t status, bool hasLength, uint64_t length);
  // False when the bytes go beyond the announced length.
  bool Add(uint64_t bytes);
  bool Complete() const;
  uint64_t received() const { return received_; }
  // The announced length, 0 when none was given.
  uint64_t announced() const { return hasLength_ ? length_ : 0; }

 private:
  bool started_ = false;
  bool hasLength_ = false;
  uint64_t length_ = 0;
  uint64_t received_ = 0;
};

}  // namespace http
