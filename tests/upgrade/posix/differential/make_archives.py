#!/usr/bin/env python3
"""Makes the archives that the differential test gives both to Java's reader
and to the archive check, each with a real writer: Python's zipfile (stored,
deflated, streamed to a pipe), Info-ZIP zip (plain, stored, ZIP64, streamed,
after a launcher script with and without -A), the JDK's jar tool and Java's
ZipOutputStream. Chinese and accented names, comments and extra fields
throughout; 65,535 and 70,001 entries.

Usage: make_archives.py OUTPUT_DIRECTORY CLASS_DIRECTORY
CLASS_DIRECTORY holds the compiled WriteArchives. A file's name says what
Java must make of it: ok-* Java reads, bad-* Java refuses, choice-* Java
reads and the check refuses on purpose. Prints one line an archive: its name,
a tab and the number of entries written (for bad-* the number before the
damage)."""

import os
import shutil
import subprocess
import sys
import tempfile
import zipfile

OUT, CLASSES = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
NAMES = [
    "META-INF/MANIFEST.MF",
    "templates/报表模板.txt",
    "i18n/消息.properties",
    "static/café/naïve façade.txt",
    "docs/Ærøskøbing/Ünïcödé.md",
    "com/example/Relay.class",
]
LAUNCHER = b'#!/bin/sh\nexec java -jar "$0" "$@"\nexit 1\n'
# An extra block of an id no reader knows, which every reader must skip.
EXTRA = b"\xfe\xca\x04\x00wk!!"
made = {}


def content(name, copies=400):
    return "".join(f"{name} line {i}\n" for i in range(copies)).encode()


def path(name):
    return os.path.join(OUT, name)


def write_python(target, compression, entries=None, stream=False):
    """Python's zipfile into `target`; to a pipe (no seeking, so data
    descriptors) when `stream`."""
    entries = entries if entries is not None else [(n, content(n)) for n in NAMES]
    with open(target, "wb") as file:
        cat = subprocess.Popen(["cat"], stdin=subprocess.PIPE, stdout=file) if stream else None
        with zipfile.ZipFile(cat.stdin if stream else file, "w", compression) as archive:
            archive.comment = "Python zipfile 写的归档 — commentaire".encode()
            for i, (name, data) in enumerate(entries):
                info = zipfile.ZipInfo(name, (2026, 12, 11, 10, 0, 0))
                info.compress_type = compression
                if len(entries) < 100:
                    info.comment = f"条目 {i}: é".encode()
                    info.extra = EXTRA
                archive.writestr(info, data)
        if stream:
            cat.stdin.close()
            cat.wait()
    made[os.path.basename(target)] = len(entries)


def many(count):
    return [(f"e/{i}.txt", f"entry {i}".encode()) for i in range(count)]


def tree(root):
    for name in NAMES:
        file = os.path.join(root, name)
        os.makedirs(os.path.dirname(file), exist_ok=True)
        with open(file, "wb") as out:
            out.write(content(name))


def run(*argv, cwd=None, stdin=None, stdout=None):
    subprocess.run(argv, cwd=cwd, check=True, stdin=stdin, stdout=stdout)


def count(target):
    with zipfile.ZipFile(target) as archive:
        return len(archive.infolist())


def write_infozip(work):
    src = os.path.join(work, "src")
    tree(src)
    files = sorted(os.path.relpath(os.path.join(d, f), src)
                   for d, _, fs in os.walk(src) for f in fs)
    comment = "Info-ZIP 写的归档\n".encode()
    for name, options in (("ok-infozip.zip", []), ("ok-infozip-stored.zip", ["-0"]),
                          ("ok-infozip-zip64.zip", ["-fz"])):
        with tempfile.TemporaryFile() as text:
            text.write(comment)
            text.seek(0)
            run("zip", "-q", "-r", "-z", *options, path(name), ".", cwd=src, stdin=text)
        made[name] = count(path(name))
    # To standard output through a pipe: zip cannot seek back, so descriptors.
    with open(path("ok-infozip-streamed.zip"), "wb") as out:
        writer = subprocess.Popen(["zip", "-q", "-", *files], cwd=src, stdout=subprocess.PIPE)
        shutil.copyfileobj(writer.stdout, out)
        if writer.wait() != 0:
            raise SystemExit("zip to a pipe failed")
    made["ok-infozip-streamed.zip"] = len(files)
    # A self-running JAR: the launcher, then the archive; -A makes its offsets
    # count from the file's start, without it they count from the archive's.
    for name, adjust in (("ok-infozip-launcher.jar", False), ("ok-infozip-launcher-A.jar", True)):
        with open(path(name), "wb") as out, open(path("ok-infozip.zip"), "rb") as archive:
            out.write(LAUNCHER)
            out.write(archive.read())
        if adjust:
            run("zip", "-q", "-A", path(name))
        made[name] = made["ok-infozip.zip"]


def write_jar_tool(work):
    src = os.path.join(work, "jar-src")
    tree(src)
    manifest = os.path.join(src, "META-INF", "MANIFEST.MF")
    with open(manifest, "wb") as out:
        out.write(b"Manifest-Version: 1.0\nMain-Class: com.example.Relay\n")
    for name, options in (("ok-jar-tool.jar", []), ("ok-jar-tool-stored.jar", ["--no-compress"])):
        run("jar", "--create", "--file", path(name), "--manifest", manifest, *options,
            "-C", src, "templates", "-C", src, "i18n", "-C", src, "static", "-C", src, "docs",
            "-C", src, "com")
        made[name] = count(path(name))


def write_java():
    run("java", "-cp", CLASSES, "WriteArchives", OUT)
    run("java", "-Djdk.util.zip.inhibitZip64=true", "-cp", CLASSES, "WriteArchives", OUT,
        "wrapped")
    for name, entries in (("ok-java-deflated.jar", 5), ("ok-java-stored.jar", 5),
                          ("ok-java-65535.jar", 65535), ("ok-java-70001-no-zip64.jar", 70001)):
        made[name] = entries


def derive(name, source, change):
    with open(path(source), "rb") as file:
        data = file.read()
    with open(path(name), "wb") as file:
        file.write(change(data))
    made[name] = made[source]


def replaced(old, new):
    def change(data):
        assert data.count(old) == 2, old  # the local header's and the directory's
        return data.replace(old, new)
    return change


def write_damaged_and_chosen():
    # A name in Latin-1, not UTF-8: same length, patched in both places.
    write_python(path("bad-latin1-name.zip"), zipfile.ZIP_STORED,
                 [("caf#.txt", b"data"), ("ok.txt", b"data")])
    derive("bad-latin1-name.zip", "bad-latin1-name.zip", replaced(b"caf#.txt", b"caf\xe9.txt"))
    # Cut short, as an interrupted download leaves it.
    derive("bad-truncated.jar", "ok-java-deflated.jar", lambda d: d[: len(d) * 2 // 3])
    derive("bad-no-end-record.zip", "ok-python-deflated.zip", lambda d: d[: d.rindex(b"PK\5\6")])
    # One byte of stored data changed: it no longer matches its CRC-32.
    derive("bad-crc.zip", "ok-python-stored.zip",
           lambda d: d.replace(b"Relay.class line 7\n", b"Relay.class line 8\n", 1))
    # Deflated data damaged in the middle of the largest entry.
    derive("bad-deflated-data.jar", "ok-java-deflated.jar",
           lambda d: d[:600] + bytes([d[600] ^ 0x55]) + d[601:])
    # An extra block claiming more bytes than the extra field holds.
    derive("bad-extra-overrun.zip", "ok-python-stored.zip",
           lambda d: d.replace(EXTRA, b"\xfe\xca\x05\x00wk!!"))

    # Bytes after the end record: Java finds the archive all the same.
    derive("choice-trailing-bytes.jar", "ok-java-deflated.jar",
           lambda d: d + b"<html>502 Bad Gateway</html>\n")
    # No entries at all.
    write_python(path("choice-empty.zip"), zipfile.ZIP_DEFLATED, [])
    # The entries of one archive (cut where its directory starts), then a
    # whole other one: Java reads the second and takes the first as a prefix.
    with open(path("ok-python-deflated.zip"), "rb") as file:
        first = file.read()
    directory = first.index(b"PK\1\2")
    derive("choice-spliced.jar", "ok-python-stored.zip", lambda d: first[:directory] + d)


def main():
    os.makedirs(OUT, exist_ok=True)
    with tempfile.TemporaryDirectory() as work:
        write_python(path("ok-python-stored.zip"), zipfile.ZIP_STORED)
        write_python(path("ok-python-deflated.zip"), zipfile.ZIP_DEFLATED)
        write_python(path("ok-python-streamed.zip"), zipfile.ZIP_DEFLATED, stream=True)
        write_python(path("ok-python-stored-streamed.zip"), zipfile.ZIP_STORED, stream=True)
        # 0xFFFF in the end record and no ZIP64 records; then ZIP64 records.
        write_python(path("ok-python-65535.zip"), zipfile.ZIP_STORED, many(65535))
        write_python(path("ok-python-70001.zip"), zipfile.ZIP_DEFLATED, many(70001))
        write_infozip(work)
        write_jar_tool(work)
        write_java()
        write_damaged_and_chosen()
    for name, entries in sorted(made.items()):
        print(f"{name}\t{entries}")


main()
