// Operator settings of the web module: the support server the feed comes from and the
// product series that have the notices on by default. The defaults fit the simulated
// notebook (sim/); an operator changes them here for a product line.
#pragma once
#include <optional>
#include <string>
#include <vector>

namespace web {

struct OperatorSettings {
  // Host name of the maker's support server; the feeds lie at "/s/wkpt.xml" (models ending
  // in "S" or "C") and "/r/wkpt.xml" (models ending in "R" or "P").
  std::u16string supportHost;
  // Series codes (the one or two characters after the model's "-") whose models may have
  // the module on by default.
  std::vector<std::u16string> seriesCodes;
  // Base address of the maker's FAQ server (its download search and documents), ending in "/".
  std::u16string faqBase;
};

const OperatorSettings& DefaultOperatorSettings();

// The feed address for a model by its last character; nothing for another suffix (the
// module is not available on that model).
std::optional<std::u16string> FeedUrlFor(const std::u16string& model, const OperatorSettings& s);

// The name a local feed is read from, in the current folder.
constexpr char16_t kLocalFeedName[] = u"wkpt.xml";

// Where a check reads the feed from.
struct FeedSource {
  enum Kind { Unreachable, LocalFile, Server } kind = Unreachable;
  std::u16string location;
};

// "LocalMode" on: "wkpt.xml" in the current folder when it exists, else unreachable.
// Off: unreachable while the system works offline, else the feed address.
FeedSource ChooseFeedSource(bool localMode, bool localFileExists, bool offline, const std::u16string& feedUrl);

}  // namespace web
