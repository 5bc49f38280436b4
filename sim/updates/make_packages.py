#!/usr/bin/env python3
"""Build-made test material for update packages (sim/README.md, "Updates").

  pki DIR                       a test root, the maker's and a foreign code-signing certificate
  sign DIR WHO IN OUT           signs IN with WHO's ("maker" or "foreign") key into OUT
  tamper IN OUT                 flips one byte of the signed image
  redigest SIGNED TAMPERED OUT  TAMPERED with SIGNED's signature whose content names the
                                tampered image's digest: the signature itself is left as made
  append SIGNED HOW OUT         SIGNED with 4 KiB appended inside its certificate table, outside
                                every digest: HOW "length" grows the table and its dwLength,
                                "table" only the table
"""
import hashlib
import os
import struct
import subprocess
import sys


def run(*args):
    subprocess.run(args, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def pki(d):
    os.makedirs(d, exist_ok=True)
    p = lambda n: os.path.join(d, n)
    run("openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", p("root.key"), "-out", p("root.pem"),
        "-days", "3650", "-subj", "/CN=Tellwick Test Root", "-addext", "basicConstraints=critical,CA:true",
        "-addext", "keyUsage=critical,keyCertSign,cRLSign")
    with open(p("ext.cnf"), "w") as f:
        f.write("basicConstraints=CA:false\nkeyUsage=critical,digitalSignature\nextendedKeyUsage=codeSigning\n")
    for who, cn in (("maker", "Velmorant Test Maker"), ("foreign", "Someone Else")):
        run("openssl", "req", "-newkey", "rsa:2048", "-nodes", "-keyout", p(who + ".key"), "-out", p(who + ".csr"),
            "-subj", "/CN=" + cn)
        run("openssl", "x509", "-req", "-in", p(who + ".csr"), "-CA", p("root.pem"), "-CAkey", p("root.key"),
            "-CAcreateserial", "-out", p(who + ".pem"), "-days", "3650", "-extfile", p("ext.cnf"))
    der = subprocess.run(["openssl", "x509", "-in", p("maker.pem"), "-outform", "DER"], check=True,
                         capture_output=True).stdout
    with open(p("maker.thumbprint"), "w") as f:
        f.write(hashlib.sha1(der).hexdigest().upper())


def sign(d, who, src, out):
    if os.path.exists(out):
        os.remove(out)
    run("osslsigncode", "sign", "-certs", os.path.join(d, who + ".pem"), "-key", os.path.join(d, who + ".key"),
        "-h", "sha256", "-in", src, "-out", out)


def layout(data):
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    opt = pe + 24
    magic = struct.unpack_from("<H", data, opt)[0]
    dirs = opt + (96 if magic == 0x10B else 112)
    sec = dirs + 32
    table, size = struct.unpack_from("<II", data, sec)
    return opt + 64, sec, table, size


def image_digest(data):
    checksum, sec, table, _ = layout(data)
    h = hashlib.sha256()
    h.update(data[:checksum])
    h.update(data[checksum + 4:sec])
    h.update(data[sec + 8:table])
    return h.digest()


def tamper(src, out):
    data = bytearray(open(src, "rb").read())
    _, _, table, _ = layout(data)
    data[table // 2] ^= 0xFF
    open(out, "wb").write(data)


def redigest(signed, tampered, out):
    before = open(signed, "rb").read()
    data = bytearray(open(tampered, "rb").read())
    old, new = image_digest(before), image_digest(data)
    _, _, table, size = layout(data)
    at = data.find(old, table, table + size)
    if at < 0:
        sys.exit("redigest: the signed image digest was not found")
    data[at:at + len(new)] = new
    open(out, "wb").write(data)


def append(signed, how, out):
    data = bytearray(open(signed, "rb").read())
    _, sec, table, size = layout(data)
    if table + size != len(data):
        sys.exit("append: the certificate table does not end the file")
    extra = 4096
    data += b"\xCC" * extra
    struct.pack_into("<I", data, sec + 4, size + extra)
    if how == "length":
        length = struct.unpack_from("<I", data, table)[0]
        struct.pack_into("<I", data, table, length + extra)
    open(out, "wb").write(data)


if __name__ == "__main__":
    cmd, args = sys.argv[1], sys.argv[2:]
    {"pki": pki, "sign": sign, "tamper": tamper, "redigest": redigest, "append": append}[cmd](*args)
