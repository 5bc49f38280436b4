#!/usr/bin/env python3
"""Fails on any Windows program that would not start on the oldest Windows it promises.

Windows XP (PE32) and Windows XP x64 (PE32+) refuse to start a program that imports a function
they lack. For every program given (files or folders of .exe/.dll), this reads the import
directory and fails on:
  - a function absent from the oldest release of the file's architecture (the lists beside
    this script, from the platform headers: see --make-lists);
  - a delay-import directory (our programs look newer functions up through
    common/win/system_library.h instead);
  - an import of a library that must load at first use only (comctl32, crypt32, winhttp,
    wininet, wintrust; setupapi too in DLLs).

  scripts/import_check.py build/win32/out/release build/win64/out/release
  scripts/import_check.py --xml results.xml FILES...     also writes a GoogleTest-style summary
  scripts/import_check.py --make-lists                    rebuilds the lists from the mingw-w64 headers
"""
import argparse
import os
import re
import struct
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
LISTS = {
    0x14C: ("Windows XP", os.path.join(HERE, "lib", "absent-xp-x86.txt")),
    0x8664: ("Windows XP x64", os.path.join(HERE, "lib", "absent-xp-x64.txt")),
}
FIRST_USE_LIBRARIES = {"comctl32.dll", "crypt32.dll", "winhttp.dll", "wininet.dll", "wintrust.dll"}
FIRST_USE_IN_DLLS = {"setupapi.dll"}
# Libraries that came with Vista or later.
ABSENT_LIBRARIES = {"bcrypt.dll", "ncrypt.dll", "dwmapi.dll", "propsys.dll", "shcore.dll", "ktmw32.dll",
                    "wevtapi.dll", "d2d1.dll", "dwrite.dll", "tdh.dll"}


class PeError(Exception):
    pass


class PeFile:
    def __init__(self, path):
        with open(path, "rb") as f:
            self.data = f.read()
        d = self.data
        if d[:2] != b"MZ":
            raise PeError("not a Windows program")
        pe = struct.unpack_from("<I", d, 0x3C)[0]
        if d[pe:pe + 4] != b"PE\0\0":
            raise PeError("no PE header")
        self.machine, sections, _, _, _, opt_size, self.characteristics = struct.unpack_from("<HHIIIHH", d, pe + 4)
        opt = pe + 24
        magic = struct.unpack_from("<H", d, opt)[0]
        if magic == 0x10B:
            self.wide, self.image_base = False, struct.unpack_from("<I", d, opt + 28)[0]
            dirs, count = opt + 96, struct.unpack_from("<I", d, opt + 92)[0]
        elif magic == 0x20B:
            self.wide, self.image_base = True, struct.unpack_from("<Q", d, opt + 24)[0]
            dirs, count = opt + 112, struct.unpack_from("<I", d, opt + 108)[0]
        else:
            raise PeError("unknown optional header")
        self.directories = [struct.unpack_from("<II", d, dirs + 8 * i) for i in range(min(count, 16))]
        self.sections = []
        table = opt + opt_size
        for i in range(sections):
            vsize, va, raw_size, raw = struct.unpack_from("<IIII", d, table + 40 * i + 8)
            self.sections.append((va, max(vsize, raw_size), raw, raw_size))

    @property
    def is_dll(self):
        return bool(self.characteristics & 0x2000)

    def directory(self, index):
        return self.directories[index] if index < len(self.directories) else (0, 0)

    def offset(self, rva):
        for va, size, raw, raw_size in self.sections:
            if va <= rva < va + size and rva - va < raw_size:
                return raw + rva - va
        raise PeError("address 0x%x outside the file" % rva)

    def u32(self, rva):
        return struct.unpack_from("<I", self.data, self.offset(rva))[0]

    def string(self, rva):
        start = self.offset(rva)
        return self.data[start:self.data.index(b"\0", start)].decode("latin-1")

    def thunks(self, rva):
        """The names (or '#ordinal') of one import lookup table."""
        size, ordinal_bit = (8, 1 << 63) if self.wide else (4, 1 << 31)
        names = []
        while True:
            start = self.offset(rva)
            value = struct.unpack_from("<Q" if self.wide else "<I", self.data, start)[0]
            if value == 0:
                return names
            names.append("#%d" % (value & 0xFFFF) if value & ordinal_bit else self.string((value & 0x7FFFFFFF) + 2))
            rva += size

    def imports(self):
        """{library (lower case): [function]} of the ordinary import directory."""
        result = {}
        rva, size = self.directory(1)
        if not rva:
            return result
        while True:
            lookup, _, _, name, address = struct.unpack_from("<IIIII", self.data, self.offset(rva))
            if name == 0:
                return result
            result.setdefault(self.string(name).lower(), []).extend(self.thunks(lookup or address))
            rva += 20

    def delay_imports(self):
        """{library: [function]} of the delay-import directory, if the file has one."""
        result = {}
        rva, size = self.directory(13)
        if not rva:
            return result
        while True:
            attributes, name, _, _, lookup, _, _, _ = struct.unpack_from("<8I", self.data, self.offset(rva))
            if name == 0:
                return result
            base = 0 if attributes & 1 else self.image_base  # old form: addresses, not RVAs
            result.setdefault(self.string(name - base).lower(), []).extend(self.thunks(lookup - base))
            rva += 32


def load_list(path):
    with open(path) as f:
        return {line.strip() for line in f if line.strip() and not line.startswith("#")}


def check(path, absent_lists):
    """The faults of one file, as lines of text."""
    pe = PeFile(path)
    if pe.machine not in LISTS:
        return ["machine 0x%x is neither x86 nor x64" % pe.machine]
    release = LISTS[pe.machine][0]
    absent = absent_lists[pe.machine]
    faults = []
    delayed = pe.delay_imports()
    if pe.directory(13)[0]:
        faults.append("has a delay-import directory (%s)" % ", ".join(sorted(delayed)) if delayed
                      else "has a delay-import directory")
    first_use = FIRST_USE_LIBRARIES | (FIRST_USE_IN_DLLS if pe.is_dll else set())
    for table in (pe.imports(), delayed):
        for library, functions in sorted(table.items()):
            if library in first_use:
                faults.append("imports %s, which loads at first use only" % library)
            if library in ABSENT_LIBRARIES or library.startswith(("api-ms-win-", "ext-ms-win-")):
                faults.append("imports %s, absent from %s" % (library, release))
            for function in functions:
                if function in absent:
                    faults.append("imports %s!%s, absent from %s" % (library, function, release))
    return faults


def programs(paths):
    for path in paths:
        if os.path.isdir(path):
            for name in sorted(os.listdir(path)):
                if name.lower().endswith((".exe", ".dll")):
                    yield os.path.join(path, name)
        else:
            yield path


def write_xml(path, passed, failed):
    os.makedirs(os.path.dirname(os.path.abspath(path)), exist_ok=True)
    with open(path, "w") as f:
        f.write('<?xml version="1.0" encoding="UTF-8"?>\n')
        f.write('<testsuites tests="%d" failures="%d" disabled="0" errors="0" name="import_check">\n'
                % (passed + failed, failed))
        f.write("</testsuites>\n")


# The lists: functions the headers declare for the newest Windows but hide at the oldest
# release's level, plus the few they declare at every level although that release lacks them.
HEADERS = ["windows.h", "commctrl.h", "shellapi.h", "shlobj.h", "shlwapi.h", "objbase.h", "oleauto.h",
           "olectl.h", "setupapi.h", "wtsapi32.h", "wintrust.h", "softpub.h", "mscat.h", "wincrypt.h",
           "winioctl.h", "wininet.h", "winhttp.h", "psapi.h", "powrprof.h", "uxtheme.h", "dwmapi.h",
           "userenv.h", "tlhelp32.h", "winsock2.h", "ws2tcpip.h", "iphlpapi.h", "dbghelp.h", "winver.h"]
NEWEST = "0x0A00"
LEVELS = {0x14C: ("i686-w64-mingw32-gcc", "0x0501"), 0x8664: ("x86_64-w64-mingw32-gcc", "0x0502")}
# Declared at every level by the headers, yet absent from both oldest releases: Vista and
# later functions (the client minimum Microsoft's pages give).
UNCONDITIONAL = ["GetTickCount64", "InitializeCriticalSectionEx", "GetCurrentProcessorNumber",
                 "GetDateFormatEx", "GetTimeFormatEx", "ShutdownBlockReasonCreate", "ShutdownBlockReasonDestroy",
                 "RegisterPowerSettingNotification", "UnregisterPowerSettingNotification",
                 "UpdateLayeredWindowIndirect", "SetThreadErrorMode", "GetThreadErrorMode", "AddDllDirectory",
                 "SetDefaultDllDirectories", "RemoveDllDirectory", "GetSystemTimePreciseAsFileTime",
                 "GetOverlappedResultEx", "WinHttpCreateProxyResolver"]
# The same for 32-bit XP only: Server 2003 functions that XP x64 shares.
UNCONDITIONAL_X86 = ["RegGetValueA", "RegGetValueW", "RegDeleteKeyExA", "RegDeleteKeyExW", "FlsAlloc", "FlsFree",
                     "FlsGetValue", "FlsSetValue", "Wow64DisableWow64FsRedirection",
                     "Wow64RevertWow64FsRedirection", "Wow64EnableWow64FsRedirection", "SetThreadStackGuarantee",
                     "GetThreadId", "FindFirstStreamW", "ReOpenFile", "EnumSystemFirmwareTables",
                     "GetSystemFileCacheSize", "RegEnableReflectionKey", "RegQueryReflectionKey",
                     "RegDisableReflectionKey"]
# Hidden by the headers at 0x0502, yet present on XP x64 (a Server 2003 SP1 system).
PRESENT_X64 = ["FlsAlloc", "FlsFree", "FlsGetValue", "FlsSetValue"]
AUX_LINE = re.compile(r"^/\* .*?:\d+:N[CF] \*/ (.*)$")


def declared_names(compiler, level):
    """Every function the headers declare at one Windows level."""
    names = set()
    with tempfile.TemporaryDirectory() as tmp:
        for header in HEADERS:
            source = os.path.join(tmp, "probe.c")
            with open(source, "w") as f:
                f.write("#define UNICODE\n#include <winsock2.h>\n#include <windows.h>\n#include <%s>\n" % header)
            aux = os.path.join(tmp, "aux.txt")
            subprocess.run([compiler, "-D_WIN32_WINNT=" + level, "-DWINVER=" + level, "-fsyntax-only",
                            "-aux-info", aux, source], check=True, stdout=subprocess.DEVNULL)
            with open(aux) as f:
                for line in f:
                    match = AUX_LINE.match(line)
                    if match:
                        name = function_name(match.group(1))
                        if name:
                            names.add(name)
    return names


def function_name(declaration):
    """The declared name: the identifier before the last top-level parameter list."""
    text = declaration.split("/*")[0].rstrip().rstrip(";").rstrip()
    depth, end = 0, len(text)
    for i in range(len(text) - 1, -1, -1):
        if text[i] == ")":
            depth += 1
        elif text[i] == "(":
            depth -= 1
            if depth == 0:
                end = i
                break
    match = re.search(r"([A-Za-z_][A-Za-z0-9_]*)\s*$", text[:end])
    return match.group(1) if match else None


def make_lists():
    for machine, (compiler, level) in LEVELS.items():
        release, path = LISTS[machine]
        hidden = declared_names(compiler, NEWEST) - declared_names(compiler, level)
        extra = UNCONDITIONAL + (UNCONDITIONAL_X86 if machine == 0x14C else [])
        present = PRESENT_X64 if machine == 0x8664 else []
        names = sorted((hidden | set(extra)) - set(present))
        with open(path, "w") as f:
            f.write("# Functions absent from %s: what the mingw-w64 headers declare at _WIN32_WINNT=%s\n"
                    "# but hide at %s, and those they declare unconditionally.\n"
                    "# Made by scripts/import_check.py --make-lists.\n" % (release, NEWEST, level))
            f.write("".join(name + "\n" for name in names))
        print("%s: %d functions" % (path, len(names)))


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("paths", nargs="*", help="programs, or folders of them")
    parser.add_argument("--xml", help="write a GoogleTest-style summary here")
    parser.add_argument("--make-lists", action="store_true", help="rebuild the lists from the headers")
    args = parser.parse_args()
    if args.make_lists:
        make_lists()
        return 0
    absent_lists = {machine: load_list(path) for machine, (_, path) in LISTS.items()}
    passed = failed = 0
    files = list(programs(args.paths))
    for path in files:
        try:
            faults = check(path, absent_lists)
        except (OSError, PeError, struct.error, ValueError) as error:
            faults = ["unreadable: %s" % error]
        if faults:
            failed += 1
            for fault in faults:
                print("%s: %s" % (path, fault))
        else:
            passed += 1
    if not files:
        print("import check: no programs found in %s" % " ".join(args.paths))
        failed += 1
    print("import check: %d passed, %d failed" % (passed, failed))
    if args.xml:
        write_xml(args.xml, passed, failed)
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
