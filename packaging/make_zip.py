#!/usr/bin/env python3
"""Writes a zip archive whose bytes depend only on the files' contents.

    make_zip.py OUT.zip FOLDER EPOCH

Every file under FOLDER goes in under FOLDER's own name, in sorted order,
with the time EPOCH (the commit's), no owner, and mode 0644 (0755 for .exe
files: Windows ignores it, an unzip on Linux keeps it). The zip holds UTF-8
names, so folders and files named in any script unpack the same everywhere.
"""
import os
import sys
import time
import zipfile


def main():
    out, folder, epoch = sys.argv[1], sys.argv[2], int(sys.argv[3])
    # Zip times are local-time fields without a zone; the epoch is written as
    # UTC, so the archive is the same in every time zone. The format cannot
    # hold a time before 1980.
    stamp = time.gmtime(max(epoch, 315532800))[:6]
    base = os.path.basename(os.path.normpath(folder))
    entries = []
    for dirpath, dirnames, filenames in os.walk(folder):
        dirnames.sort()
        rel = os.path.relpath(dirpath, folder)
        for name in filenames:
            entries.append(os.path.normpath(os.path.join(base, rel, name)))
    entries.sort()
    tmp = out + ".tmp"
    with zipfile.ZipFile(tmp, "w", zipfile.ZIP_DEFLATED, compresslevel=9) as z:
        for entry in entries:
            src = os.path.join(os.path.dirname(os.path.normpath(folder)), entry)
            info = zipfile.ZipInfo(entry.replace(os.sep, "/"), stamp)
            info.compress_type = zipfile.ZIP_DEFLATED
            info.create_system = 3  # Unix, so the mode below counts
            mode = 0o755 if entry.lower().endswith(".exe") else 0o644
            info.external_attr = (0o100000 | mode) << 16
            with open(src, "rb") as f:
                z.writestr(info, f.read(), compresslevel=9)
    os.replace(tmp, out)


if __name__ == "__main__":
    main()
