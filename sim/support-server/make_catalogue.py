#!/usr/bin/env python3
"""Writes the support site's download catalogue of a scenario: the search result page
(faq/dl/search, the address's query is not looked at) and the documents it lists
(faq/docs/NAME), in Shift_JIS as the site serves them. Run after editing the tables below:

  make_catalogue.py scenarios/default
"""
import os
import sys

SEARCH = """<html><head><meta http-equiv="Content-Type" content="text/html; charset=Shift_JIS">
<title>ダウンロード検索</title></head><body>
<div class="nav"><a href="/default/faq/docs/d9999" onclick="fs01Navigation.stay()">前のページ</a></div>
<ul class="result">
{items}
</ul></body></html>
"""

# name, title, markers. The default notebook is PT-15KB3456CS with BIOS V1.23L45A.
DOCUMENTS = [
    ("d1001", "BIOS アップデート (PT シリーズ)", """
<!-- PP="4.0" -->
<!-- BV = "V1.24L45A ; E" -->
<!-- IS="INST#x#'bios124.exe' -s;" -->
<!-- AU="4.0" -->
<!-- RB="1" -->
<a href="http://127.0.0.1/default/dl/bios124.exe" class="button" id="update">ダウンロード</a>
<!-- US -->3,145,728<!-- /US -->
<!-- UF -->
  bios124.exe
<!-- /UF -->
"""),
    ("d1002", "無線 LAN ドライバ", """
<!--
  PP="4.0"
-->
<!-- DN -->Velmorant Wireless LAN<!-- /DN -->
<!-- DV -->12.0.0.1<!-- /DV -->
<a href="http://127.0.0.1/default/dl/wlan.exe" class="button" id="update">ダウンロード</a>
<a href="http://127.0.0.1/default/dl/wlan.pdf" class="button" id="manual">手順書</a>
<!--US-->45,000,000<!--/US--><!--UF-->wlan1200.exe<!--/UF-->
<!--MS-->120,000<!--/MS--><!--MF-->wlan1200.pdf<!--/MF-->
"""),
    ("d1003", "メモ帳の修正モジュール", """
<!-- PP="4.0" -->
<!-- FD="C:\\windows\\notepad.exe;2001/1/1" -->
<a href="http://127.0.0.1/default/dl/np.exe" id="update">ダウンロード</a>
<!--US-->20,480<!--/US--><!--UF-->np.exe<!--/UF-->
"""),
    ("d1004", "サポート情報 <重要> & 注意事項", """
<!-- PP="2.0" -->
"""),
    ("d1005", "他機種用 BIOS アップデート", """
<!-- PP="4.0" -->
<!-- TM --><p>QZ-ZZ99ZZ99</p><!-- /TM -->
<!-- BV="V9.99L99" -->
"""),
    ("d1006", "危険なファイル名の更新", """
<!-- PP="4.0" -->
<!-- BV="V9.99L99" -->
<a href="http://127.0.0.1/default/dl/evil.exe" id="update">ダウンロード</a>
<!--US-->1,024<!--/US--><!--UF-->..\\..\\evil.exe<!--/UF-->
"""),
]

DOCUMENT = """<html><head><meta http-equiv="Content-Type" content="text/html; charset=Shift_JIS">
<title>{title}</title></head><body>
<h1>{title}</h1>
<table><tr><th>更新日</th><td>2026/11/{day:02d}</td>
<td class="number">管理NO:&nbsp;&nbsp;{number}</td></tr></table>
{markers}
</body></html>
"""


def main(folder):
    docs = os.path.join(folder, "faq", "docs")
    search = os.path.join(folder, "faq", "dl")
    os.makedirs(docs, exist_ok=True)
    os.makedirs(search, exist_ok=True)
    items = []
    for i, (name, title, markers) in enumerate(DOCUMENTS):
        escaped = title.replace("&", "&amp;").replace("<", "&lt;").replace(">", "&gt;")
        items.append('<li><a href="/default/faq/docs/%s">%s</a></li>' % (name, escaped))
        text = DOCUMENT.format(title=escaped, day=i + 1, number=int(name[1:]), markers=markers.strip())
        with open(os.path.join(docs, name), "wb") as f:
            f.write(text.replace("\n", "\r\n").encode("cp932"))
    with open(os.path.join(search, "search"), "wb") as f:
        f.write(SEARCH.format(items="\n".join(items)).replace("\n", "\r\n").encode("cp932"))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "scenarios", "default")))
