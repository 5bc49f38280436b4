#include "modules/web/web_operator.h"

namespace web {

const OperatorSettings& DefaultOperatorSettings() {
  static const OperatorSettings settings{
      u"support.velmorant.example",
      // Eleven single-letter series and one two-letter series.
      {u"A", u"B", u"C", u"E", u"F", u"G", u"J", u"L", u"N", u"S", u"W", u"MX"},
      u"http://faq.velmorant.example/",
  };
  return settings;
}

std::optional<std::u16string> FeedUrlFor(const std::u16string& model, const OperatorSettings& s) {
  if (model.empty()) return std::nullopt;
  switch (model.back()) {
    case u'S':
    case u'C': return u"http://" + s.supportHost + u"/s/wkpt.xml";
    case u'R':
    case u'P': return u"http://" + s.supportHost + u"/r/wkpt.xml";
    default: return std::nullopt;
  }
}

FeedSource ChooseFeedSource(bool localMode, bool localFileExists, bool offline, const std::u16string& feedUrl) {
  if (localMode) {
    if (!localFileExists) return {};
    return {FeedSource::LocalFile, kLocalFeedName};
  }
  if (offline || feedUrl.empty()) return {};
  return {FeedSource::Server, feedUrl};
}

}  // namespace web
