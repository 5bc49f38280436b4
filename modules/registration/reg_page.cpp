#include "modules/registration/reg_page.h"

namespace reg {
namespace {
const char16_t kHead1[] =
    u"<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01//EN\" \"http://www.w3.org/TR/html4/strict.dtd\">\n\n"
    u"<html lang=\"ja\">\n\n<head>\n"
    u"<meta http-equiv=\"Content-Type\" content=\"text/html; charset=UTF-8\">\n"
    u"<meta http-equiv=\"X-UA-Compatible\" content=\"IE=EmulateIE7\">\n<base href=\"";
const char16_t kHead2[] = u"\">\n<link rel=\"stylesheet\" type=\"text/css\" href=\"style.css\">\n<title>";
const char16_t kHead3[] =
    u"</title>\n</head>\n\n<body class=\"popup\">\n\n<div class=\"container\">\n<div class=\"box\">\n\n<h2>\n"
    u"<img class=\"tail\" src=\"pop_tail.png\" alt=\"\"\n><img src=\"pop_arrow2.png\" alt=\"\"\n>"
    u"<img src=\"headicon_support.png\" alt=\"\"\n><span>";
const char16_t kBodyStart[] = u"</span>\n</h2>\n\n<div id=\"Register\" class=\"body\">\n";

// Variant 4 is this text with "4" for "3".
const char16_t kWarrantyHeading[] = u"3年間無償保証登録のご案内";
const char16_t kWarrantyBody[] =
    u"<h3>\n3年間無償保証について\n</h3>\n\n"
    u"<p>3年間無償保証の登録により、従来1年だった保証期間を3年間に延長します。</p>\n"
    u"<h3>\n3年間無償オンサイト保守について\n</h3>\n"
    u"<p>お使いのパソコンは、3年間無償オンサイト保守(出張修理)を適用させていただきます。\n</p>\n"
    u"<h4>注意事項</h4>\n"
    u"<p class=\"note\">本保証の範囲は、当社規定の検査に合格した商品を最初に購入されたお客様ご本人のみに\n"
    u"適用されるもので、譲渡、転売された商品は適用されません。</p>\n"
    u"<h3>登録方法</h3>\n<h4>1. パソコンによるWeb登録</h4>\n<p>下記のＵＲＬをクリックしてください。</p>\n";

const char16_t kSpecialHeading[] = u"3年間特別安心保証登録のご案内";
const char16_t kSpecialBody[] =
    u"<h3>\n3年間特別安心保証について\n</h3>\n\n"
    u"<p>3年間特別安心保証をご利用いただくために、ご購入後<br>1ヶ月以内に、以下のURLからお客様登録を行ってください。</p>\n"
    u"<p>登録がない場合、3年間特別安心保証は適用されません。ご注意ください。</p>\n"
    u"<h4>注意事項</h4>\n"
    u"<p class=\"note\">1. 本保証は、当社規定の検査に合格した製品を最初に購入されたお客様ご本人のみに\n"
    u"適用されるものです。譲渡、転売された製品には適用されません。</p>\n"
    u"<p class=\"note\">2. 本保証は、大学生協店舗を通じて規定のルートで修理依頼をしていただいた場合のみに適用されます。</p>\n"
    u"<h3>登録方法</h3>\n<h4>パソコンによるWeb登録</h4>\n<p>下記のＵＲＬをクリックしてください。</p>\n";

const char16_t kOwnerHeading[] = u"Brisklapのご愛用者登録のご案内";
const char16_t kOwnerBody[] =
    u"<h3>\n「Quillmoor」へのご愛用者登録について\n</h3>\n\n"
    u"<p>当社ではよりよい製品とサービスをお客様にご提供できるよう\n"
    u"Velmorant製品をご購入の方に、ご愛用者登録をお願いしています。</p>\n<hr>\n"
    u"<p>①特典がいっぱいのVelmorantの会員サイト「Quillmoor」にて、\nBrisklapをご愛用者登録してください。</p>\n"
    u"<p>②さらにBrisklapマイサポート(通称：マイサポート)にご登録\n"
    u"いただきますと、登録者限定のサービスサポートメニューをご利用いただけます</p>\n"
    u"<p>※両サービスとも入会金、会費は不要です。<br></p>\n"
    u"<p>①Tanselポイント獲得でプレゼントへご応募\u3000等</p>\n"
    u"<p>②宅配修理サービスWeb受付\u3000等</p>\n<hr>\n"
    u"<h3>登録方法</h3>\n<h4>1. パソコンによるWeb登録</h4>\n<p>下記のＵＲＬをクリックしてください。</p>\n";

const char16_t kMobile[] =
    u"<h4>2. 携帯電話による登録</h4>\n<p>右側の2次元バーコードに携帯電話をかざしてください。</p>\n";

const char16_t kFoot[] =
    u"<BR><BR><p class=\"CommandLink\"><input type=\"checkbox\" id=\"check_done\">すでに、登録しました</p>\n"
    u"<p class=\"note\">※このページ以外から既にユーザー登録をされたお客様にも表示されています。\n"
    u"申し訳ありませんが、上記のチェックを行って表示を消してください。</p>\n\n<hr>\n\n"
    u"</div> <!-- end of div.body -->\n\n</div> <!-- end of div.box -->\n\n</div> <!-- end of div.container -->\n\n\n"
    u"</body>\n\n</html>\n";

std::u16string ThreeToFour(std::u16string text) {
  for (size_t at = text.find(u"3年間"); at != std::u16string::npos; at = text.find(u"3年間", at + 1)) text[at] = u'4';
  return text;
}

std::u16string Heading(Variant v) {
  switch (v) {
    case Variant::FreeWarranty3: return kWarrantyHeading;
    case Variant::FreeWarranty4: return ThreeToFour(kWarrantyHeading);
    case Variant::SpecialWarranty3: return kSpecialHeading;
    default: return kOwnerHeading;
  }
}

std::u16string Body(Variant v) {
  switch (v) {
    case Variant::FreeWarranty3: return kWarrantyBody;
    case Variant::FreeWarranty4: return ThreeToFour(kWarrantyBody);
    case Variant::SpecialWarranty3: return kSpecialBody;
    default: return kOwnerBody;
  }
}

std::string Narrow(const std::u16string& s) {
  std::string out;
  for (char16_t c : s) out.push_back(c < 0x80 ? static_cast<char>(c) : '?');
  return out;
}

}  // namespace

std::u16string LinkAddress(Variant v, const Settings& s) {
  switch (v) {
    case Variant::FreeWarranty3:
    case Variant::FreeWarranty4: return u"http://" + s.supportHost + u"/s/maintain/guara4.html";
    case Variant::SpecialWarranty3: return u"http://" + s.supportHost + u"/s/maintain/univ.html";
    default: return u"https://" + s.supportHost + u"/mys/index.html";
  }
}

std::string QrAddress(Variant v, const Settings& s) {
  if (v == Variant::OwnerRegistration) return "https://" + Narrow(s.supportHost) + "/mys/mobile/index.html";
  return "https://" + Narrow(s.supportHost) + "/tgsi/m/new.do/?q=";
}

std::u16string BuildPage(const PageInput& in, const Settings& settings) {
  std::u16string folder = in.moduleFolder;
  if (!folder.empty() && folder.back() != u'\\' && folder.back() != u'/') folder += u'/';
  const std::u16string link = HtmlEscape(LinkAddress(in.variant, settings));

  std::u16string page = kHead1;
  page += HtmlEscape(FileUrl(folder)) + kHead2 + HtmlEscape(in.title) + kHead3;
  page += Heading(in.variant) + kBodyStart + Body(in.variant);
  page += u"<p><a href=\"" + link + u"\" target=\"_blank\">" + link + u"</a></p>\n";
  if (in.qrImage) page += u"<img class=\"QR\" src=\"" + HtmlEscape(FileUrl(*in.qrImage)) + u"\" alt=\"\">" + kMobile;
  page += kFoot;
  return page;
}

}  // namespace reg
