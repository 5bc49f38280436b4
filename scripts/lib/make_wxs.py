#!/usr/bin/env python3
"""Writes the installer source (WiX, as wixl reads it) for one architecture.

  make_wxs.py --arch x86|x64 --stage DIR --product packaging/product.txt
              --settings packaging/machine-settings.tsv --thumbprint HEX --out FILE.wxs

HEX is the thumbprint of the certificate that signs the set; settings whose default reads
"@maker-thumbprint" get it, so that updates are checked against the same signer.

DIR holds the signed release set: every program of PROGRAMS and the pages' style sheets and
images. A program missing from it is an error, so no package goes out without a module.
"""
import argparse
import os
import re
import sys
import uuid
from xml.sax.saxutils import quoteattr

# The host, the seven modules, the libraries and helpers they load, in install order.
PROGRAMS = ["Wickpost.exe", "wkptrss.dll", "wkptsvr.dll", "wkptbat.dll", "Diskwarn.dll", "wkpthdd.dll",
            "wkptanm.dll", "wkpthdmi.dll", "vidassist.exe", "wkptreg.dll", "wkptxwpk.dll"]
# Registered for elevation at install, unregistered before removal.
COM_SERVERS = ["wkptsvr.dll"]
PAGE_FILE = re.compile(r"\.(css|png|gif|jpg)$", re.I)
HOST_KEY = r"Software\Velmorant\WICKPOST"
RUN_KEY = r"Software\Microsoft\Windows\CurrentVersion\Run"
# Stable per architecture, so that a newer package replaces an older one.
UPGRADE_CODE = {"x86": "5E0F1C2A-7B7D-4A51-9C3E-2D6A8B1F0A10", "x64": "5E0F1C2A-7B7D-4A51-9C3E-2D6A8B1F0A64"}
NAMESPACE = uuid.UUID("0d7f3a52-3c1e-4f7b-b0a4-6f2c9e1d8a35")


def read_product(path):
    product = {}
    with open(path, encoding="utf-8") as f:
        for line in f:
            line = line.strip()
            if line and not line.startswith("#"):
                key, _, value = line.partition("=")
                product[key.strip()] = value.strip()
    match = re.match(r"V(\d+)\.(\d+)L(\d+)", product["version"])
    if not match:
        sys.exit("make_wxs: version must read VM.mmLbb, e.g. V1.00L10 M00")
    product["msi_version"] = ".".join(str(int(n)) for n in match.groups())
    return product


def read_settings(path):
    """Rows of the machine settings: module, key, name, type, default, view, install, meaning."""
    rows = []
    with open(path, encoding="utf-8") as f:
        header = f.readline().rstrip("\n").split("\t")
        for line in f:
            if line.strip():
                rows.append(dict(zip(header, line.rstrip("\n").split("\t"))))
    return rows


def guid(*parts):
    return str(uuid.uuid5(NAMESPACE, "|".join(parts))).upper()


def ident(text):
    return re.sub(r"[^A-Za-z0-9_.]", "_", text)


def registry_value(row):
    kinds = {"REG_DWORD": "integer", "REG_SZ": "string", "REG_EXPAND_SZ": "expandable", "REG_MULTI_SZ": "multiString"}
    kind = kinds.get(row["type"])
    if not kind:
        sys.exit("make_wxs: unknown type %s for %s" % (row["type"], row["name"]))
    return "<RegistryValue Root=\"HKLM\" Key=%s Name=%s Type=\"%s\" Value=%s/>" % (
        quoteattr(row["key"]), quoteattr(row["name"]), kind, quoteattr(row["default"]))


def build(args):
    product = read_product(args.product)
    win64 = args.arch == "x64"
    w64 = ' Win64="yes"' if win64 else ""
    files = sorted(os.listdir(args.stage))
    missing = [p for p in PROGRAMS if p not in files]
    if missing:
        sys.exit("make_wxs: not in %s: %s" % (args.stage, " ".join(missing)))
    pages = [f for f in files if PAGE_FILE.search(f)]
    out = []
    add = out.append
    add('<?xml version="1.0" encoding="utf-8"?>')
    add('<Wix xmlns="http://schemas.microsoft.com/wix/2006/wi">')
    add('<Product Id="*" Name=%s Language="1033" Version="%s" Manufacturer=%s UpgradeCode="%s">' % (
        quoteattr(product["name"]), product["msi_version"], quoteattr(product["manufacturer"]),
        UPGRADE_CODE[args.arch]))
    add('<Package InstallerVersion="200" Compressed="yes" InstallScope="perMachine" Description=%s/>' %
        quoteattr("%s %s" % (product["name"], product["version"])))
    add('<Media Id="1" Cabinet="tellwick.cab" EmbedCab="yes"/>')
    add('<Directory Id="TARGETDIR" Name="SourceDir">')
    add('<Directory Id="%s"><Directory Id="MakerDir" Name=%s><Directory Id="INSTALLDIR" Name=%s>' % (
        "ProgramFiles64Folder" if win64 else "ProgramFilesFolder", quoteattr(product["manufacturer"]),
        quoteattr(product["name"])))
    components = []
    for name in PROGRAMS + pages:
        cid = "c_" + ident(name)
        components.append(cid)
        add('<Component Id="%s" Guid="%s"%s><File Id=%s Source=%s KeyPath="yes"/></Component>' % (
            cid, guid(args.arch, "file", name), w64, quoteattr(name), quoteattr(os.path.relpath(os.path.join(args.stage, name), os.path.dirname(os.path.abspath(args.out))))))
    # The machine's settings with their defaults, the version for the About box, and the start at logon.
    add('<Component Id="c_settings" Guid="%s"%s>' % (guid(args.arch, "settings"), w64))
    add('<RegistryValue Root="HKLM" Key=%s Name="Version" Type="string" Value=%s KeyPath="yes"/>' % (
        quoteattr(HOST_KEY), quoteattr(product["version"])))
    for row in read_settings(args.settings):
        # Only fixed defaults: values that depend on the model, belong to another program or
        # are records are documented, not written. The x86 package is for 32-bit Windows, which
        # has one view, so values read in the 64-bit view go where the 32-bit modules read them.
        if row["install"] == "yes":
            if row["default"] == "@maker-thumbprint":
                row = dict(row, default=args.thumbprint)
            add(registry_value(row))
    add('<RegistryValue Root="HKLM" Key=%s Name="Wickpost" Type="string" Value=%s/>' % (
        quoteattr(RUN_KEY), quoteattr('"[INSTALLDIR]Wickpost.exe" /STARTUP')))
    add('</Component>')
    components.append("c_settings")
    add('</Directory></Directory></Directory>')
    add('<Directory Id="ProgramMenuFolder"><Directory Id="MenuDir" Name=%s>' % quoteattr(product["name"]))
    add('<Component Id="c_menu" Guid="%s"%s>' % (guid(args.arch, "menu"), w64))
    add('<Shortcut Id="s_host" Name=%s Target="[INSTALLDIR]Wickpost.exe" WorkingDirectory="INSTALLDIR"/>' %
        quoteattr(product["name"]))
    add('<RemoveFolder Id="MenuDir" On="uninstall"/>')
    add('<RegistryValue Root="HKLM" Key=%s Name="Menu" Type="integer" Value="1" KeyPath="yes"/>' %
        quoteattr(HOST_KEY + r"\Installer"))
    add('</Component></Directory></Directory>')
    components.append("c_menu")
    add('</Directory>')
    # COM servers through their own registration, as regsvr32 does it; the system's regsvr32 of
    # the package's width.
    system = "System64Folder" if win64 else "SystemFolder"
    add('<CustomAction Id="SetRegsvr" Property="REGSVR32" Value="[%s]regsvr32.exe" Execute="immediate"/>' % system)
    sequence = []
    for n, server in enumerate(COM_SERVERS):
        add('<CustomAction Id="Reg%d" Property="REGSVR32" ExeCommand=%s Execute="deferred" Impersonate="no" '
            'Return="check"/>' % (n, quoteattr('/s "[#%s]"' % server)))
        add('<CustomAction Id="Unreg%d" Property="REGSVR32" ExeCommand=%s Execute="deferred" Impersonate="no" '
            'Return="ignore"/>' % (n, quoteattr('/u /s "[#%s]"' % server)))
        sequence.append('<Custom Action="Unreg%d" Sequence="%d">REMOVE="ALL"</Custom>' % (n, 3400 + n))
        sequence.append('<Custom Action="Reg%d" Sequence="%d">NOT REMOVE</Custom>' % (n, 6500 + n))
    add('<InstallExecuteSequence><Custom Action="SetRegsvr" Sequence="1001"/>%s</InstallExecuteSequence>' %
        "".join(sequence))
    add('<Feature Id="Complete" Level="1">%s</Feature>' % "".join('<ComponentRef Id="%s"/>' % c for c in components))
    add('</Product></Wix>')
    with open(args.out, "w", encoding="utf-8") as f:
        f.write("\n".join(out) + "\n")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--arch", choices=["x86", "x64"], required=True)
    parser.add_argument("--stage", required=True)
    parser.add_argument("--product", required=True)
    parser.add_argument("--settings", required=True)
    parser.add_argument("--thumbprint", required=True)
    parser.add_argument("--out", required=True)
    build(parser.parse_args())


if __name__ == "__main__":
    main()
