#!/usr/bin/env python3
"""Writes the support site's download catalogue of a scenario: the search result page
(faq/dl/search, the address's query is not looked at) and the documents it lists
(faq/docs/NAME), in Shift_JIS as the site serves them. Run after editing the tables below:

  make_catalogue.py scenarios/default
  make_catalogue.py --updates DIR       the updates scenario, in the build's folder of signed
                                        test packages (with their sizes) and its feed s/wkpt.xml
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

# The updates scenario: name, title, install script, package, further markers. Served from
# the packages' own folder, so the links name it; every entry is needed on the default notebook
# (its BIOS is older than V1.24L45A).
UPDATES = [
    ("d2001", "無線 LAN ドライバ", "INST#x#'setup.exe' -s;", "package.exe", ""),
    ("d2002", "BIOS アップデート", "INST#x#'setup.exe' -restart;", "package.exe", '<!-- RB="1" -->'),
    ("d2003", "サウンドドライバ", "INST#x#'setup.exe' -s;", "package-tampered.exe", ""),
    ("d2004", "Tellwick アップデート", "SELF##'Wickpost.exe';", "package.exe", ""),
]

UPDATE_MARKERS = """
<!-- PP="4.0" -->
<!-- BV="V1.24L45A" -->
<!-- IS="{script}" -->
<!-- AU="4.0" -->
{more}
<a href="@SERVER@/{scenario}/{package}" class="button" id="update">ダウンロード</a>
<!-- US -->{size:,}<!-- /US --><!-- UF -->{package}<!-- /UF -->
"""

FEED = """<?xml version="1.0" encoding="UTF-8"?>
<rss version="2.0" xmlns:wkpt="http://support.velmorant.example/wkpt/">
  <channel>
    <title>Velmorant support notices</title>
    <wkpt:machines><wkpt:machine wkpt:machine="PT-\\d\\dKB.*">PT15KB</wkpt:machine></wkpt:machines>
  </channel>
</rss>
"""

DOCUMENT = """<html><head><meta http-equiv="Content-Type" content="text/html; charset=Shift_JIS">
<title>{title}</title></head><body>
<h1>{title}</h1>
<table><tr><th>更新日</th><td>2026/11/{day:02d}</td>
<td class="number">管理NO:&nbsp;&nbsp;{number}</td></tr></table>
{markers}
</body></html>
"""


def update_documents(folder):
    scenario = os.path.basename(os.path.normpath(folder))
    os.makedirs(os.path.join(folder, "s"), exist_ok=True)
    with open(os.path.join(folder, "s", "wkpt.xml"), "w", encoding="utf-8") as f:
        f.write(FEED)
    return [(name, title, UPDATE_MARKERS.format(script=script, more=more, scenario=scenario, package=package,
                                                size=os.path.getsize(os.path.join(folder, package))))
            for name, title, script, package, more in UPDATES]


def main(folder, documents=DOCUMENTS):
    docs = os.path.join(folder, "faq", "docs")
    search = os.path.join(folder, "faq", "dl")
    os.makedirs(docs, exist_ok=True)
    os.makedirs(search, exist_ok=True)
    scenario = os.path.basename(os.path.normpath(folder))
    items = []
    for i, (name, title, markers) in enumerate(documents):
        escaped = title.replace("&", "&amp;").replace("<", "&lt;").replace(">", "&gt;")
        items.append('<li><a href="/%s/faq/docs/%s">%s</a></li>' % (scenario, name, escaped))
        text = DOCUMENT.format(title=escaped, day=i + 1, number=int(name[1:]), markers=markers.strip())
        with open(os.path.join(docs, name), "wb") as f:
            f.write(text.replace("\n", "\r\n").encode("cp932"))
    with open(os.path.join(search, "search"), "wb") as f:
        f.write(SEARCH.format(items="\n".join(items)).replace("\n", "\r\n").encode("cp932"))
    return 0


if __name__ == "__main__":
    if len(sys.argv) == 3 and sys.argv[1] == "--updates":
        sys.exit(main(sys.argv[2], update_documents(sys.argv[2])))
    sys.exit(main(sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "scenarios", "default")))
