// Address splitting, "file:" paths, the machine tag and the download rule. The tag case also
// runs under Wine, where MD5 and Base64 come from CryptoAPI.
#include <gtest/gtest.h>

#include <string>

#include "common/core/http_fetch_rules.h"

namespace {
std::string Narrow(const std::u16string& s) { return std::string(s.begin(), s.end()); }
}  // namespace

TEST(HttpUrl, SplitsSchemeHostPortAndObject) {
  struct Case {
    const char16_t* url;
    bool secure;
    const char* host;
    int port;
    const char* object;
  };
  const Case cases[] = {
      {u"http://server/s/wkpt.xml", false, "server", 80, "/s/wkpt.xml"},
      {u"https://server/r/wkpt.xml", true, "server", 443, "/r/wkpt.xml"},
      {u"HTTPS://Server/x", true, "Server", 443, "/x"},
      // A written port is honoured, for either scheme.
      {u"http://127.0.0.1:8123/s/wkpt.xml", false, "127.0.0.1", 8123, "/s/wkpt.xml"},
      {u"https://localhost:8443/a?b=c", true, "localhost", 8443, "/a?b=c"},
      {u"http://host:/a", false, "host", 80, "/a"},
      // "https:" elsewhere in the address does not make it secure.
      {u"http://server/go?to=https://elsewhere/", false, "server", 80, "/go?to=https://elsewhere/"},
      {u"http://server/https:/x", false, "server", 80, "/https:/x"},
      // No path: the root; a query straight after the host keeps its "/"; fragments stay home.
      {u"http://server", false, "server", 80, "/"},
      {u"http://server?q=1", false, "server", 80, "/?q=1"},
      {u"http://server/a#part", false, "server", 80, "/a"},
      {u"http://[::1]:8080/a", false, "::1", 8080, "/a"},
  };
  for (const Case& c : cases) {
    http::UrlParts parts;
    ASSERT_TRUE(http::SplitHttpUrl(c.url, parts)) << Narrow(c.url);
    EXPECT_EQ(parts.secure, c.secure) << Narrow(c.url);
    EXPECT_EQ(Narrow(parts.host), c.host) << Narrow(c.url);
    EXPECT_EQ(parts.port, c.port) << Narrow(c.url);
    EXPECT_EQ(Narrow(parts.object), c.object) << Narrow(c.url);
  }
}

TEST(HttpUrl, RefusesWhatItCannotReachSafely) {
  const char16_t* cases[] = {
      u"", u"server/s/wkpt.xml", u"ftp://server/x", u"xhttps://server/x", u"http:/server/x",
      u"http:///x", u"http://:80/x", u"http://host:0/x", u"http://host:65536/x", u"http://host:8a/x",
      u"http://host:1:2/x", u"http://user@host/x", u"http://ho st/x", u"http://host/a\nb",
      u"http://[::1/x", u"http://[::1]x/y", u"http://ho]st/x",
  };
  for (const char16_t* url : cases) {
    http::UrlParts parts;
    EXPECT_FALSE(http::SplitHttpUrl(url, parts)) << Narrow(url);
  }
  std::u16string longUrl = u"http://server/";
  longUrl.append(http::kMaxUrlLength - longUrl.size(), u'a');
  http::UrlParts parts;
  EXPECT_TRUE(http::SplitHttpUrl(longUrl, parts));
  EXPECT_FALSE(http::SplitHttpUrl(longUrl + u"a", parts));
}

TEST(HttpUrl, FileUrlsNameLocalPaths) {
  struct Case {
    const char16_t* url;
    const char* path;  // nullptr: refused
  };
  const Case cases[] = {
      {u"file:///C:/feeds/wkpt.xml", "C:\\feeds\\wkpt.xml"},
      {u"FILE:C:/x.xml", "C:\\x.xml"},
      {u"file:wkpt.xml", "wkpt.xml"},
      {u"file:", nullptr},
      {u"file:///", nullptr},
      {u"http://server/x", nullptr},
  };
  for (const Case& c : cases) {
    std::u16string path;
    const bool ok = http::FileUrlToPath(c.url, path);
    EXPECT_EQ(ok, c.path != nullptr) << Narrow(c.url);
    if (ok && c.path) {
      EXPECT_EQ(Narrow(path), c.path) << Narrow(c.url);
    }
  }
}

TEST(HttpAgent, MachineTagOfTheModelAndSerial) {
  EXPECT_EQ(http::MachineTagInput("QZ-S10ABC", "1AKSA12345"), "QZ-S10ABC BRAMBLING SUNDERCLIFF KQVZ 1AKSA12345");
  std::string tag;
  ASSERT_TRUE(http::MachineTag("QZ-S10ABC", "1AKSA12345", tag));
  EXPECT_EQ(tag, "xkCmKzGFrZ+4acriwISq4A==");
  EXPECT_EQ(http::UserAgent(tag), "Mozilla/4.0 (compatible; Tellwick V4.00; xkCmKzGFrZ+4acriwISq4A==;)");
  EXPECT_EQ(http::UserAgent(""), "Mozilla/4.0 (compatible; Tellwick V4.00;)");
  // The hashed text stops at 99 characters, so a runaway model number cannot grow it.
  EXPECT_EQ(http::MachineTagInput(std::string(120, 'M'), "1AKSA12345"), std::string(99, 'M'));
}

TEST(HttpBody, OnlyAWhole200AnswerIsADownload) {
  http::BodyCheck whole;
  ASSERT_TRUE(whole.Start(200, true, 10));
  EXPECT_TRUE(whole.Add(4));
  EXPECT_FALSE(whole.Complete()) << "cut short";
  EXPECT_TRUE(whole.Add(6));
  EXPECT_TRUE(whole.Complete());
  EXPECT_FALSE(whole.Add(1)) << "more than announced";
  EXPECT_EQ(whole.announced(), 10u);

  http::BodyCheck unannounced;
  ASSERT_TRUE(unannounced.Start(200, false, 0));
  EXPECT_TRUE(unannounced.Add(1000));
  EXPECT_TRUE(unannounced.Complete());
  EXPECT_EQ(unannounced.announced(), 0u);

  for (uint32_t status : {204u, 206u, 301u, 404u, 500u}) {
    http::BodyCheck error;
    EXPECT_FALSE(error.Start(status, true, 3)) << status;
    EXPECT_FALSE(error.Add(3)) << status;
    EXPECT_FALSE(error.Complete()) << status;
  }
}

TEST(HttpBody, ContentLengthIsDigitsOnly) {
  uint64_t v = 0;
  EXPECT_TRUE(http::ParseContentLength(u" 1234 ", v));
  EXPECT_EQ(v, 1234u);
  EXPECT_TRUE(http::ParseContentLength(u"0", v));
  EXPECT_EQ(v, 0u);
  for (const char16_t* bad : {u"", u" ", u"-1", u"12a", u"1 2", u"0x10", u"99999999999999999999"})
    EXPECT_FALSE(http::ParseContentLength(bad, v)) << Narrow(bad);
}
