#!/usr/bin/env python3
"""The operator settings as a Markdown table, from packaging/machine-settings.tsv.

  scripts/settings_table.py                 prints the table
  scripts/settings_table.py --check FILE    exit 1 unless FILE holds exactly that table between
                                            the markers below (README.md does)
"""
import argparse
import os
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
BEGIN = "<!-- settings table: scripts/settings_table.py -->"
END = "<!-- end of settings table -->"
COLUMNS = ["module", "key", "name", "type", "default", "view", "install", "meaning"]


def cell(text):
    # A bar would end the cell; the values' backslashes are shown as they are.
    return text.replace("|", "\\|")


def table(tsv_path):
    with open(tsv_path, encoding="utf-8") as f:
        lines = [line.rstrip("\n") for line in f if line.strip()]
    header = lines[0].split("\t")
    if header != COLUMNS:
        raise ValueError("%s: columns are %s, expected %s" % (tsv_path, header, COLUMNS))
    out = ["| Module | Key | Value | Type | Default | Set by the installer | Meaning |",
           "|---|---|---|---|---|---|---|"]
    for number, line in enumerate(lines[1:], start=2):
        fields = line.split("\t")
        if len(fields) != len(COLUMNS):
            raise ValueError("%s:%d: %d fields, expected %d" % (tsv_path, number, len(fields), len(COLUMNS)))
        row = dict(zip(COLUMNS, fields))
        key = "HKLM\\" + row["key"]
        if row["view"] == "64":
            key += " (64-bit view)"
        default = row["default"]
        if default == "@maker-thumbprint":
            default = "(the maker's certificate, set when the installer is built)"
        out.append("| %s |" % " | ".join(cell(c) for c in [
            row["module"], "`%s`" % key, "`%s`" % row["name"], row["type"], default,
            "yes" if row["install"] == "yes" else "no", row["meaning"]]))
    return "\n".join(out) + "\n"


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--check", metavar="FILE")
    parser.add_argument("--settings", default=os.path.join(ROOT, "packaging", "machine-settings.tsv"))
    args = parser.parse_args()
    expected = table(args.settings)
    if not args.check:
        sys.stdout.write(expected)
        return 0
    with open(args.check, encoding="utf-8") as f:
        text = f.read()
    start, end = text.find(BEGIN), text.find(END)
    if start < 0 or end < start:
        print("%s: no settings table between %s and %s" % (args.check, BEGIN, END))
        return 1
    found = text[start + len(BEGIN):end].strip("\n") + "\n"
    if found != expected:
        print("%s: the settings table differs from packaging/machine-settings.tsv; "
              "scripts/settings_table.py prints the right one" % args.check)
        return 1
    print("%s: settings table matches packaging/machine-settings.tsv" % args.check)
    return 0


if __name__ == "__main__":
    sys.exit(main())
