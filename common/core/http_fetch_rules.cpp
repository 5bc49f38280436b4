#include "common/core/http_fetch_rules.h"

#include <cstdio>

#include "common/core/crypto.h"
#include "common/core/text_case.h"

namespace http {
namespace {
bool StartsWithNoCase(const std::u16string& s, const char16_t* prefix) {
  size_t i = 0;
  for (; prefix[i]; ++i)
    if (i >= s.size() || text::AsciiLower(s[i]) != prefix[i]) return false;
  return true;
}

bool IsDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

bool ParsePort(const std::u16string& text, uint16_t& port) {
  if (text.empty() || text.size() > 5) return false;
  uint32_t value = 0;
  for (char16_t c : text) {
    if (!IsDigit(c)) return false;
    value = value * 10 + (c - u'0');
  }
  if (value == 0 || value > 65535) return false;
  port = static_cast<uint16_t>(value);
  return true;
}
}  // namespace

bool SplitHttpUrl(const std::u16string& url, UrlParts& out) {
  if (url.empty() || url.size() > kMaxUrlLength) return false;
  for (char16_t c : url)
    if (c <= u' ' || c == 0x7f) return false;
  UrlParts parts;
  size_t pos;
  if (StartsWithNoCase(url, u"https://")) {
    parts.secure = true;
    parts.port = 443;
    pos = 8;
  } else if (StartsWithNoCase(url, u"http://")) {
    parts.port = 80;
    pos = 7;
  } else {
    return false;
  }
  size_t end = url.find_first_of(u"/?#", pos);
  if (end == std::u16string::npos) end = url.size();
  const std::u16string authority = url.substr(pos, end - pos);
  if (authority.find(u'@') != std::u16string::npos) return false;
  std::u16string portText;
  bool hasPort = false;
  if (!authority.empty() && authority[0] == u'[') {
    const size_t close = authority.find(u']');
    if (close == std::u16string::npos) return false;
    parts.host = authority.substr(1, close - 1);
    const std::u16string rest = authority.substr(close + 1);
    if (!rest.empty()) {
      if (rest[0] != u':') return false;
      portText = rest.substr(1);
      hasPort = true;
    }
  } else {
    const size_t colon = authority.find(u':');
    parts.host = authority.substr(0, colon);
    if (colon != std::u16string::npos) {
      portText = authority.substr(colon + 1);
      hasPort = true;
    }
  }
  if (parts.host.empty()) return false;
  if (parts.host.find_first_of(u"[]:") != std::u16string::npos && authority[0] != u'[') return false;
  // "host:" keeps the scheme's port, as browsers do.
  if (hasPort && !portText.empty() && !ParsePort(portText, parts.port)) return false;

  std::u16string object = url.substr(end);
  const size_t hash = object.find(u'#');
  if (hash != std::u16string::npos) object.erase(hash);
  if (object.empty() || object[0] != u'/') object.insert(object.begin(), u'/');
  parts.object = object;
  out = parts;
  return true;
}

bool IsWebUrl(const std::u16string& url) {
  UrlParts parts;
  return SplitHttpUrl(url, parts);
}

bool IsFileUrl(const std::u16string& url) { return StartsWithNoCase(url, u"file:"); }

bool FileUrlToPath(const std::u16string& url, std::u16string& path) {
  if (!IsFileUrl(url)) return false;
  size_t pos = 5;
  while (pos < url.size() && url[pos] == u'/') ++pos;
  std::u16string result = url.substr(pos);
  if (result.empty()) return false;
  for (char16_t& c : result)
    if (c == u'/') c = u'\\';
  path.swap(result);
  return true;
}

std::string MachineTagInput(const std::string& model, const std::string& serial) {
  std::string text = model + " BRAMBLING SUNDERCLIFF KQVZ " + serial;
  if (text.size() > 99) text.resize(99);
  return text;
}

bool MachineTag(const std::string& model, const std::string& serial, std::string& tag) {
  const std::string input = MachineTagInput(model, serial);
  uint8_t digest[crypto::kMd5Size];
  if (!crypto::Md5(reinterpret_cast<const uint8_t*>(input.data()), input.size(), digest)) return false;
  return crypto::Base64(digest, sizeof digest, tag) && !tag.empty();
}

std::string UserAgent(const std::string& tag) {
  if (tag.empty()) return "Mozilla/4.0 (compatible; Tellwick V4.00;)";
  std::string agent = "Mozilla/4.0 (compatible; Tellwick V4.00; " + tag + ";)";
  if (agent.size() > 99) agent.resize(99);
  return agent;
}

bool ParseContentLength(const std::u16string& text, uint64_t& value) {
  size_t begin = 0, end = text.size();
  while (begin < end && (text[begin] == u' ' || text[begin] == u'\t')) ++begin;
  while (end > begin && (text[end - 1] == u' ' || text[end - 1] == u'\t')) --end;
  if (begin == end || end - begin > 19) return false;
  uint64_t v = 0;
  for (size_t i = begin; i < end; ++i) {
    if (!IsDigit(text[i])) return false;
    v = v * 10 + (text[i] - u'0');
  }
  value = v;
  return true;
}

bool BodyCheck::Start(uint32_t status, bool hasLength, uint64_t length) {
  started_ = status == 200;
  hasLength_ = hasLength;
  length_ = length;
  received_ = 0;
  return started_;
}

bool BodyCheck::Add(uint64_t bytes) {
  if (!started_) return false;
  received_ += bytes;
  return !hasLength_ || received_ <= length_;
}

bool BodyCheck::Complete() const { return started_ && (!hasLength_ || received_ == length_); }
}  // namespace http
