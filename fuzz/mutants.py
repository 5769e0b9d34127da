#!/usr/bin/python3
"""Damaged documents, made from the real documents of the corpus, against the
command line: each mutant must give either the whole text of the document
(exactly what `vergle --text` gives for the original) or exit status 2 with
a message on standard error.  Anything else (exit 0 with other text, a
crash, a hang, exit 2 without a word) is a fault.

    fuzz/mutants.py VERGLE CORPUS [--kinds directory,records,rewrite] [--seed N]
                    [--per-document N] [--rewrites N] [--keep DIR]

Damage kinds:
  directory  a zip package (.xlsx/.xlsm/.docx/.docm/.pptx/.pptm) whose central
             directory breaks off after some entries: an entry's signature
             spoiled, an entry's name length made longer (the entries after it
             misread), or the end record counting fewer entries than the
             directory holds;
  records    a legacy workbook (.xls) whose BIFF records, one at a time, claim
             a length that runs past the end of the workbook stream (the
             length field patched where the record lies in the compound
             document's sectors);
  rewrite    a document rewritten in place, again and again, while it is
             read: saves alternate between it and another document of the
             same family (open, write over the old bytes in 512-byte pieces
             half a millisecond apart, cut to length, close; up to 20 ms
             apart); the
             text must be that of one of the two, whole.

Every mutant runs with a fresh TEMP; a run longer than 60 s counts as a hang.
The figures go to standard output, one line per kind, and every fault is
listed with its document and damage.  Exit status 0 when there is none.
"""
import argparse
import os
import random
import shutil
import struct
import subprocess
import sys
import tempfile
import threading
import time

ZIP_KINDS = (".xlsx", ".xlsm", ".docx", ".docm", ".pptx", ".pptm")
FAMILY = {".xls": "book", ".xlsx": "book", ".xlsm": "book", ".docx": "word", ".docm": "word",
          ".pptx": "slides", ".pptm": "slides"}
TIMEOUT = 60


def run(vergle, path, temp):
    """(exit status, standard output, standard error) of vergle --text."""
    env = dict(os.environ, TEMP=temp)
    try:
        r = subprocess.run([vergle, "--text", path], capture_output=True, env=env, timeout=TIMEOUT,
                           stdin=subprocess.DEVNULL)
        return r.returncode, r.stdout, r.stderr
    except subprocess.TimeoutExpired:
        return "hang", b"", b""


def verdict(rc, out, err, wholes):
    if rc == 0 and out in wholes:
        return "whole"
    if rc == 2 and err.strip():
        return "refused"
    return "fault"


# ---------------------------------------------------------------------------
# Zip directories

def directory_entries(data):
    """Offsets of the central directory's entries and of the end record."""
    end = data.rfind(b"PK\x05\x06")
    if end < 0:
        return [], -1
    count, size, offset = struct.unpack_from("<HII", data, end + 10)
    entries, at = [], offset
    for _ in range(count):
        if data[at:at + 4] != b"PK\x01\x02":
            return [], -1
        entries.append(at)
        n, e, c = struct.unpack_from("<HHH", data, at + 28)
        at += 46 + n + e + c
    return entries, end


def directory_mutants(data, rnd, per_document):
    entries, end = directory_entries(data)
    if len(entries) < 2:
        return []
    picks = sorted(rnd.sample(range(1, len(entries)), min(per_document, len(entries) - 1)))
    out = []
    for k in picks:
        m = bytearray(data)
        m[entries[k] + 2:entries[k] + 4] = b"\x09\x09"
        out.append(("entry %d of %d: signature spoiled" % (k, len(entries)), bytes(m)))
        m = bytearray(data)
        n = struct.unpack_from("<H", data, entries[k - 1] + 28)[0]
        struct.pack_into("<H", m, entries[k - 1] + 28, n + 1 + rnd.randrange(40))
        out.append(("entry %d of %d: the name before it made longer" % (k, len(entries)), bytes(m)))
        m = bytearray(data)
        struct.pack_into("<HH", m, end + 8, k, k)
        out.append(("end record counts %d of %d entries" % (k, len(entries)), bytes(m)))
    return out


# ---------------------------------------------------------------------------
# Legacy workbooks

def compound_stream(data):
    """The workbook stream's bytes and, for each, its offset in the file
    (regular sectors only; None when the stream lies in the mini stream or
    the document cannot be walked)."""
    if data[:8] != bytes.fromhex("D0CF11E0A1B11AE1"):
        return None
    shift = struct.unpack_from("<H", data, 30)[0]
    ss = 1 << shift
    sector = lambda s: ss + s * ss
    nfat, first_dir = struct.unpack_from("<I", data, 44)[0], struct.unpack_from("<I", data, 48)[0]
    cutoff = struct.unpack_from("<I", data, 56)[0]
    difat = list(struct.unpack_from("<109I", data, 76))
    dif, ndif = struct.unpack_from("<II", data, 68)
    while ndif and dif < 0xFFFFFFFA:
        per = ss // 4 - 1
        chunk = struct.unpack_from("<%dI" % (per + 1), data, sector(dif))
        difat += chunk[:per]
        dif, ndif = chunk[per], ndif - 1
    fat = []
    for s in difat[:nfat]:
        fat += struct.unpack_from("<%dI" % (ss // 4), data, sector(s))

    def chain(s):
        seen = []
        while s < 0xFFFFFFFA and s < len(fat) and len(seen) <= len(fat):
            seen.append(s)
            s = fat[s]
        return seen

    directory = b"".join(data[sector(s):sector(s) + ss] for s in chain(first_dir))
    for at in range(0, len(directory), 128):
        e = directory[at:at + 128]
        nlen = struct.unpack_from("<H", e, 64)[0]
        name = e[:max(0, nlen - 2)].decode("utf-16-le", "replace")
        if e[66] == 2 and name.lower() in ("workbook", "book"):
            start, size = struct.unpack_from("<II", e, 116)
            if size < cutoff:
                return None
            where = [sector(s) + i for s in chain(start) for i in range(ss)][:size]
            if len(where) < size:
                return None
            return bytes(data[p] for p in where), where
    return None


def record_mutants(data, rnd, per_document):
    walked = compound_stream(data)
    if not walked:
        return []
    stream, where = walked
    records, at = [], 0
    while at + 4 <= len(stream):
        length = struct.unpack_from("<H", stream, at + 2)[0]
        if len(stream) - at - 4 < 0xFFFF:
            records.append(at)
        if at + 4 + length > len(stream):
            break
        at += 4 + length
    out = []
    for at in sorted(rnd.sample(records, min(per_document, len(records)))):
        left = len(stream) - at - 4
        claim = rnd.randrange(left + 1, 0x10000)
        m = bytearray(data)
        m[where[at + 2]], m[where[at + 3]] = claim & 0xFF, claim >> 8
        rtype = struct.unpack_from("<H", stream, at)[0]
        out.append(("record 0x%04X at %d claims %d bytes, %d left" % (rtype, at, claim, left), bytes(m)))
    return out


# ---------------------------------------------------------------------------
# Rewritten while read

def rewrite_runs(vergle, victim_path, versions, texts, temp, runs):
    """Runs vergle --text on victim_path while another thread saves the two
    versions over it in turn; the verdict of each run."""
    stop = threading.Event()

    def saver():
        i = 0
        pause = random.Random(len(versions[0]))
        while not stop.is_set():
            data = versions[i % 2]
            # Written over the old version in place, piece by piece, then cut
            # to its length: halfway the file is part new, part old.
            with open(victim_path, "r+b") as f:
                for at in range(0, len(data), 512):
                    f.write(data[at:at + 512])
                    f.flush()
                    time.sleep(0.0005)
                f.truncate(len(data))
            i += 1
            stop.wait(pause.uniform(0, 0.02))  # a moment between saves, now and then none

    t = threading.Thread(target=saver)
    t.start()
    verdicts = []
    try:
        for _ in range(runs):
            rc, out, err = run(vergle, victim_path, temp)
            verdicts.append((verdict(rc, out, err, texts), rc, err))
    finally:
        stop.set()
        t.join()
    return verdicts


# ---------------------------------------------------------------------------

def corpus_documents(corpus):
    docs = []
    for root, _, files in os.walk(corpus):
        for f in files:
            ext = os.path.splitext(f)[1].lower()
            if ext in FAMILY:
                docs.append(os.path.join(root, f))
    return sorted(docs)


def main():
    ap = argparse.ArgumentParser(description="damaged corpus documents against vergle --text")
    ap.add_argument("vergle")
    ap.add_argument("corpus")
    ap.add_argument("--kinds", default="directory,records,rewrite")
    ap.add_argument("--seed", type=int, default=29)
    ap.add_argument("--per-document", type=int, default=6, help="damaged places per document and kind")
    ap.add_argument("--rewrites", type=int, default=6, help="runs per rewritten document")
    ap.add_argument("--keep", help="write the faulty mutants into this folder")
    args = ap.parse_args()
    kinds = args.kinds.split(",")
    rnd = random.Random(args.seed)
    vergle = os.path.abspath(args.vergle)
    work = tempfile.mkdtemp(prefix="vergle-mutants-")
    temp = os.path.join(work, "temp")
    os.mkdir(temp)
    tally = {k: {"mutants": 0, "whole": 0, "refused": 0, "fault": 0, "documents": 0} for k in kinds}
    faults = []
    try:
        readable = []
        for path in corpus_documents(args.corpus):
            rc, out, _ = run(vergle, path, temp)
            if rc == 0:
                readable.append((path, out))
        for path, whole in readable:
            ext = os.path.splitext(path)[1].lower()
            data = open(path, "rb").read()
            made = []
            if "directory" in kinds and ext in ZIP_KINDS:
                made.append(("directory", directory_mutants(data, rnd, args.per_document)))
            if "records" in kinds and ext == ".xls":
                made.append(("records", record_mutants(data, rnd, args.per_document)))
            for kind, mutants in made:
                if mutants:
                    tally[kind]["documents"] += 1
                for what, bytes_ in mutants:
                    m = os.path.join(work, "mutant" + ext)
                    with open(m, "wb") as f:
                        f.write(bytes_)
                    rc, out, err = run(vergle, m, temp)
                    v = verdict(rc, out, err, (whole,))
                    tally[kind]["mutants"] += 1
                    tally[kind][v] += 1
                    if v == "fault":
                        faults.append((kind, path, what, rc, err[:200]))
                        if args.keep:
                            os.makedirs(args.keep, exist_ok=True)
                            shutil.copy(m, os.path.join(args.keep, "%s-%d%s" % (kind, len(faults), ext)))
            if os.listdir(temp):
                faults.append(("temp", path, "left files under TEMP: %s" % os.listdir(temp), 0, b""))
                shutil.rmtree(temp)
                os.mkdir(temp)
        if "rewrite" in kinds:
            by_family = {}
            for path, whole in readable:
                by_family.setdefault(FAMILY[os.path.splitext(path)[1].lower()], []).append((path, whole))
            for family, docs in sorted(by_family.items()):
                for i, (path, whole) in enumerate(docs):
                    other, other_whole = docs[(i + 1 + rnd.randrange(len(docs) - 1)) % len(docs)] \
                        if len(docs) > 1 else (path, whole)
                    ext = os.path.splitext(path)[1].lower()
                    victim = os.path.join(work, "victim" + ext)
                    shutil.copy(path, victim)
                    versions = (open(path, "rb").read(), open(other, "rb").read())
                    tally["rewrite"]["documents"] += 1
                    for v, rc, err in rewrite_runs(vergle, victim, versions, (whole, other_whole), temp,
                                                   args.rewrites):
                        tally["rewrite"]["mutants"] += 1
                        tally["rewrite"][v] += 1
                        if v == "fault":
                            faults.append(("rewrite", path, "alternating with " + other, rc, err[:200]))
    finally:
        shutil.rmtree(work, ignore_errors=True)
    print("| damage | documents | runs | whole text | exit 2 with a message | faults |")
    print("|---|---:|---:|---:|---:|---:|")
    for k in kinds:
        t = tally[k]
        print("| %s | %d | %d | %d | %d | %d |" % (k, t["documents"], t["mutants"], t["whole"], t["refused"],
                                                  t["fault"]))
    for kind, path, what, rc, err in faults:
        print("FAULT %s: %s: %s: exit %s %s" % (kind, path, what, rc, err.decode("utf-8", "replace").strip()))
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
