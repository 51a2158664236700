#!/usr/bin/env python3
"""Writes the first chunks of one stream of an AVI file, with their boundaries kept.

    first_chunks.py FILE.avi STREAM OUT [MAX_CHUNKS [MAX_BYTES]]

STREAM is the stream's number in the header list (0 for the first). OUT holds records, each a
4-byte little-endian length and then that many bytes: first the stream's format record (strf)
as the file holds it, then its chunks in file order, as many as fit in MAX_CHUNKS (default 64)
and MAX_BYTES (default 1 MiB; a chunk that would cross it is cut there). Only the first RIFF's
movie list is read: the first chunks are always there.
"""
import struct
import sys


def children(data, start, end):
    at = start
    while at + 8 <= end:
        fourcc = data[at:at + 4]
        size = struct.unpack_from("<I", data, at + 4)[0]
        body = at + 8
        yield fourcc, body, min(body + size, end)
        at = body + size + (size & 1)


def main():
    path, stream, out = sys.argv[1], int(sys.argv[2]), sys.argv[3]
    max_chunks = int(sys.argv[4]) if len(sys.argv) > 4 else 64
    max_bytes = int(sys.argv[5]) if len(sys.argv) > 5 else 1 << 20
    data = open(path, "rb").read()
    if data[:4] != b"RIFF" or data[8:12] != b"AVI ":
        sys.exit(f"{path}: not an AVI file")
    riff_end = min(len(data), 8 + struct.unpack_from("<I", data, 4)[0])
    formats, movi = [], None
    for fourcc, body, end in children(data, 12, riff_end):
        if fourcc != b"LIST":
            continue
        kind = data[body:body + 4]
        if kind == b"hdrl":
            for f2, b2, e2 in children(data, body + 4, end):
                if f2 == b"LIST" and data[b2:b2 + 4] == b"strl":
                    strf = b""
                    for f3, b3, e3 in children(data, b2 + 4, e2):
                        if f3 == b"strf":
                            strf = data[b3:e3]
                    formats.append(strf)
        elif kind == b"movi" and movi is None:
            movi = (body + 4, end)
    if stream >= len(formats) or movi is None:
        sys.exit(f"{path}: no stream {stream} or no movie list")
    wanted = b"%02d" % stream
    records, total = [formats[stream]], 0

    def take(start, end, nested=False):
        nonlocal total
        for fourcc, body, stop in children(data, start, end):
            if len(records) - 1 >= max_chunks or total >= max_bytes:
                return
            if fourcc == b"LIST" and not nested:  # rec lists of interleaved files, one deep
                take(body + 4, stop, True)
            elif fourcc[:2] == wanted:
                piece = data[body:min(stop, body + max_bytes - total)]
                records.append(piece)
                total += len(piece)

    take(*movi)
    with open(out, "wb") as f:
        for record in records:
            f.write(struct.pack("<I", len(record)) + record)


main()
