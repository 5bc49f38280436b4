// Operator settings of the registration reminder: which models get which offer, where the
// support server is, and the password of the protected query. Everything an operator
// changes for a product line lives here; the defaults fit the simulated notebook (sim/).
#pragma once
#include <string>

namespace reg {

struct Settings {
  // Model-number patterns (pattern dialect, common/pattern/pattern.h), matched against the
  // model number as shown, with its hyphen ("PT-15KB3456CD"); tried in the order 4, 1, 2, 3.
  std::u16string variant1Pattern;  // 3-year free warranty
  std::u16string variant2Pattern;  // owner registration
  std::u16string variant3Pattern;  // 3-year special warranty (university co-op)
  std::u16string variant4Pattern;  // 4-year free warranty

  // Host name of the maker's support server, used in all five addresses.
  std::u16string supportHost;

  // The protected query's password: 255 printable ASCII characters, shared with the server.
  std::string queryPassword;
};

// The shipped settings.
const Settings& DefaultSettings();

}  // namespace reg
