#!/usr/bin/env python3
# Writes an archive-like pair of files: OLD of SIZE_MB MiB made of entries of
# compressed-looking (random), text-like, table-like and zero data, and NEW,
# a version of it with scattered small edits and inserted, deleted and moved
# blocks, as a game archive changes between versions.
#
#   bench/make_archive_pair.py OLD NEW SIZE_MB
import array, os, random, sys
old_path, new_path, size_mb = sys.argv[1], sys.argv[2], int(sys.argv[3])
rng = random.Random(1234)
size = size_mb << 20
letters = bytes(b"etaoinshrdlu cmfwypvbgkjqxz\n  ee  tt"[i % 36] for i in range(256))
parts, total, entry = [], 0, 0
while total < size:
    kind = rng.random()
    n = rng.randint(4 << 10, 2 << 20)
    if kind < 0.6:
        body = os.urandom(n)                              # compressed asset
    elif kind < 0.8:
        body = os.urandom(n).translate(letters)           # script or config text
    elif kind < 0.95:
        start = rng.randint(0, 1 << 30)                   # tables of numbers
        body = array.array("I", range(start, start + n // 4)).tobytes()
    else:
        body = bytes(n)                                   # padding
    header = b"ENTRY%08d" % entry + n.to_bytes(4, "little") + bytes(47)
    parts += [header, body]
    total += len(header) + len(body)
    entry += 1
old = bytearray(b"".join(parts)[:size])
new = bytearray(old)
for _ in range(2000):                                     # scattered small edits
    at = rng.randrange(len(new) - 16)
    new[at:at + rng.randint(1, 16)] = os.urandom(rng.randint(1, 16))
for _ in range(20):                                       # inserted blocks
    at = rng.randrange(len(new))
    new[at:at] = os.urandom(rng.randint(4 << 10, 256 << 10))
for _ in range(20):                                       # deleted blocks
    at = rng.randrange(len(new) - (256 << 10))
    del new[at:at + rng.randint(4 << 10, 256 << 10)]
for _ in range(10):                                       # moved blocks
    n = rng.randint(64 << 10, 1 << 20)
    at = rng.randrange(len(new) - n)
    block = new[at:at + n]
    del new[at:at + n]
    to = rng.randrange(len(new))
    new[to:to] = block
open(old_path, "wb").write(old)
open(new_path, "wb").write(new)
