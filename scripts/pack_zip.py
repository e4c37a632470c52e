"""Packs a folder into a ZIP whose bytes depend only on the files: entries sorted by name, every
time stamp set to SOURCE_DATE_EPOCH (else the last commit's time), fixed permissions.
Also used to make jars reproducible (rewriting them in place).
    pack_zip.py FOLDER ZIP [TOP]     pack FOLDER, its files under TOP/ in the archive
    pack_zip.py --rewrite ZIP        rewrite an archive (a jar) the same way"""
import os
import subprocess
import sys
import time
import zipfile


def epoch():
    value = os.environ.get("SOURCE_DATE_EPOCH")
    if not value:
        here = os.path.dirname(os.path.abspath(__file__))
        value = subprocess.run(["git", "-C", here, "log", "-1", "--format=%ct"],
                               stdout=subprocess.PIPE, text=True).stdout.strip() or "315532800"
    # ZIP times start in 1980.
    return max(int(value), 315532800)


def entry(name, stamp):
    info = zipfile.ZipInfo(name, time.gmtime(stamp)[:6])
    info.compress_type = zipfile.ZIP_DEFLATED
    info.external_attr = 0o644 << 16
    info.create_system = 3
    return info


def write(archive, items):
    stamp = epoch()
    with zipfile.ZipFile(archive, "w") as out:
        for name, data in sorted(items):
            out.writestr(entry(name, stamp), data)


def main():
    if sys.argv[1] == "--rewrite":
        with zipfile.ZipFile(sys.argv[2]) as source:
            items = [(i.filename, source.read(i)) for i in source.infolist() if not i.is_dir()]
        write(sys.argv[2], items)
        return
    folder, archive = sys.argv[1], sys.argv[2]
    top = sys.argv[3] if len(sys.argv) > 3 else ""
    items = []
    for base, _, files in os.walk(folder):
        for name in files:
            path = os.path.join(base, name)
            relative = os.path.relpath(path, folder).replace(os.sep, "/")
            with open(path, "rb") as f:
                items.append(((top + "/" if top else "") + relative, f.read()))
    write(archive, items)


if __name__ == "__main__":
    main()
