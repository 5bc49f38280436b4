// What outside tools make of the module's output: the openssl command line decrypts the
// query from the documented password alone, and headless Chromium renders the page with a
// QR code that zbarimg reads back. The screenshots stay in the build's test-results folder.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "modules/registration/reg_page.h"
#include "modules/registration/reg_query.h"
#include "modules/registration/qr_file.h"
#include "tests/common/shell_output.h"

namespace fs = std::filesystem;

namespace {
const std::string kPlain = "PT-15KB3456CD&9K12304567";

using testshell::Shell;

fs::path TempDir(const std::string& name) {
  const fs::path dir = fs::temp_directory_path() / ("tellwick-reg-" + name + "-" + std::to_string(getpid()));
  fs::remove_all(dir);
  fs::create_directories(dir);
  return dir;
}

std::string DecryptWithOpenssl(const std::string& query) {
  const fs::path dir = TempDir("openssl");
  std::ofstream(dir / "password", std::ios::binary) << reg::DefaultSettings().queryPassword;
  const std::string out = Shell("bash '" DECRYPT_SCRIPT "' '" + (dir / "password").string() + "' " + query + " 2>&1");
  fs::remove_all(dir);
  return out;
}

bool Have(const char* tool) { return !Shell(std::string("command -v ") + tool).empty(); }
}  // namespace

TEST(RegOutside, OpensslDecryptsTheQueryAndEveryRunDiffers) {
  ASSERT_TRUE(Have("openssl") && Have("xxd")) << "needs openssl and xxd";
  reg::QueryCrypto crypto;
  const auto a = reg::BuildQuery(kPlain, reg::DefaultSettings().queryPassword, crypto);
  const auto b = reg::BuildQuery(kPlain, reg::DefaultSettings().queryPassword, crypto);
  ASSERT_TRUE(a && b);
  EXPECT_NE(*a, *b);
  EXPECT_EQ(DecryptWithOpenssl(*a), kPlain);
  EXPECT_EQ(DecryptWithOpenssl(*b), kPlain);
}

TEST(RegOutside, ChromiumRendersThePageAndItsQrCodeDecodes) {
  ASSERT_TRUE(Have("chromium") && Have("zbarimg")) << "needs the Debian packages chromium and zbar-tools";
  const struct {
    reg::Variant variant;
    const char* name;
  } cases[] = {{reg::Variant::FreeWarranty3, "warranty3"}, {reg::Variant::OwnerRegistration, "owner"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const fs::path dir = TempDir(c.name);
    for (const char* f : {"style.css", "pop_tail.png", "pop_arrow2.png", "headicon_support.png"})
      fs::copy_file(fs::path(RESOURCE_DIR) / f, dir / f);
    std::string qrText = reg::QrAddress(c.variant, reg::DefaultSettings());
    if (c.variant == reg::Variant::FreeWarranty3) {
      reg::QueryCrypto crypto;
      const auto query = reg::BuildQuery(kPlain, reg::DefaultSettings().queryPassword, crypto);
      ASSERT_TRUE(query);
      qrText += *query;
    }
    const fs::path bitmap = dir / "wkptreg.bmp";
    ASSERT_EQ(qr::WriteQrBitmap(bitmap.u16string(), qrText.c_str()), qr::WriteStatus::Ok);

    reg::PageInput in;
    in.variant = c.variant;
    in.moduleFolder = dir.u16string();
    in.title = u"Tellwick";
    in.qrImage = bitmap.u16string();
    const fs::path page = dir / "WRG1.tmp.html";
    std::ofstream(page, std::ios::binary) << reg::ToUtf8(reg::BuildPage(in, reg::DefaultSettings()));

    const fs::path shot = fs::path(RESULTS_DIR) / (std::string("wkptreg-page-") + c.name + ".png");
    fs::remove(shot);
    const int height = reg::Info(c.variant).popupHeight ? reg::Info(c.variant).popupHeight : 620;
    Shell("chromium --headless --no-sandbox --disable-gpu --disable-quic --no-first-run --disable-background-networking"
        " --disable-component-update --disable-sync --user-data-dir='" + (dir / "profile").string() +
        "' --screenshot='" + shot.string() + "' --window-size=400," + std::to_string(height) + " 'file://" +
        page.string() + "' 2>/dev/null");
    ASSERT_TRUE(fs::exists(shot)) << shot;
    const std::string decoded = Shell("zbarimg --quiet --raw '" + shot.string() + "' 2>/dev/null");
    EXPECT_EQ(decoded, qrText + "\n");
    if (c.variant == reg::Variant::FreeWarranty3 && decoded.size() > qrText.size()) {
      const std::string prefix = reg::QrAddress(c.variant, reg::DefaultSettings());
      EXPECT_EQ(DecryptWithOpenssl(decoded.substr(prefix.size(), decoded.size() - prefix.size() - 1)), kPlain);
    }
    fs::remove_all(dir);
  }
}
