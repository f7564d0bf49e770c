#!/usr/bin/env python3
"""Makes the three built-in firmware images under resources/firmware/.

Each image looks like the Intel HEX output of a microcontroller build that has
then been stamped: CR LF lines, 16-byte data records with upper-case digits,
an upper-case extended linear address record before the first record and at
each 64 KiB boundary, the vector table, the identification blocks at 0x800
(part code), 0x840 (version) and 0x880 (build date), program code, a short
fill area, the configuration words at 0x01F00000, the end-of-file record and,
after it, the checksum record in the form the stamping tool writes it
(lower-case digits, LF).

The contents are made by a fixed pseudo-random sequence, so every run writes
the same bytes. The number of code records sets the size of the image text and
the fill byte sets its image checksum; both are searched for the figures below.

    python3 tools/make-firmware-images.py            # write the images
    python3 tools/make-firmware-images.py --check    # compare with the files
    python3 tools/make-firmware-images.py --out DIR  # write them elsewhere
"""

import argparse
import pathlib
import sys

IMAGES = [
    # file, part code, version, build date, size of the image text in kB, image checksum
    ("kzent.hex", "KZENT", "v3.3", "Feb 12 2015 09:48:59", 197, 0x3D),
    ("kterm.hex", "KTERM", "v2.1", "Jan 14 2015 17:26:03", 118, 0x1C),
    ("ksens.hex", "KSENS", "v1.9", "Feb  9 2016 10:21:05", 89, 0x30),
]

RECORD_BYTES = 16
VECTOR_RECORDS = 0x800 // RECORD_BYTES
IDENTIFICATION_BASES = (0x800, 0x840, 0x880)
BLOCK_RECORDS = 0x40 // RECORD_BYTES
CODE_START = 0x8C0
FILL_RECORDS = 8
CONFIGURATION_UPPER_ADDRESS = 0x01F0
END_OF_FILE = b":00000001FF\r\n"


def record(address, record_type, data, lower_case=False, line_end=b"\r\n"):
    """One Intel HEX record line."""
    body = bytes([len(data), address >> 8, address & 0xFF, record_type]) + bytes(data)
    body += bytes([-sum(body) & 0xFF])
    digits = body.hex() if lower_case else body.hex().upper()
    return b":" + digits.encode("ascii") + line_end


def extended_linear_address(upper):
    return record(0, 0x04, [upper >> 8, upper & 0xFF])


def image_checksum(text, value=0):
    for byte in text:
        rotated = ((value << 1) | (value >> 7)) & 0xFF
        value = ((~rotated & 0xFF) + byte) & 0xFF
    return value


class Sequence:
    """A fixed pseudo-random byte sequence (32-bit xorshift)."""

    def __init__(self, seed):
        self.state = seed & 0xFFFFFFFF or 1

    def byte(self):
        x = self.state
        x ^= (x << 13) & 0xFFFFFFFF
        x ^= x >> 17
        x ^= (x << 5) & 0xFFFFFFFF
        self.state = x
        return x & 0xFF


def words(triples):
    """Program memory words: three bytes each and a zero fourth byte."""
    data = []
    for triple in triples:
        data += list(triple) + [0]
    return data


def identification_records(text):
    """One block: two characters per four bytes, eight per record, zero-filled."""
    encoded = text.encode("utf-8")
    data = []
    for i in range(0, BLOCK_RECORDS * RECORD_BYTES // 2, 2):
        pair = encoded[i : i + 2].ljust(2, b"\0")
        data += [pair[0], pair[1], 0, 0]
    return [data[i : i + RECORD_BYTES] for i in range(0, len(data), RECORD_BYTES)]


def image_body(part, version, date, code_records):
    """The image text up to the fill area, and the address where the fill starts."""
    sequence = Sequence(int.from_bytes(part.encode("ascii"), "big"))
    handlers = [CODE_START + 2 * (sequence.byte() * 64 + sequence.byte()) for _ in range(6)]

    records = []
    for _ in range(VECTOR_RECORDS):
        records.append(
            words((h & 0xFF, (h >> 8) & 0xFF, h >> 16) for h in (handlers[sequence.byte() % 6] for _ in range(4)))
        )
    for text in (part, version, date):
        records += identification_records(text)
    for _ in range(code_records):
        records.append(words((sequence.byte(), sequence.byte(), sequence.byte()) for _ in range(4)))

    text = bytearray(extended_linear_address(0))
    for index, data in enumerate(records):
        address = index * RECORD_BYTES
        if address and address % 0x10000 == 0:
            text += extended_linear_address(address >> 16)
        text += record(address & 0xFFFF, 0x00, data)
    return bytes(text), len(records) * RECORD_BYTES


def image_tail(fill_start, fill):
    """Fill area, configuration words and end-of-file record."""
    text = bytearray()
    for index in range(FILL_RECORDS):
        address = fill_start + index * RECORD_BYTES
        if address % 0x10000 == 0:
            text += extended_linear_address(address >> 16)
        text += record(address & 0xFFFF, 0x00, words([(fill, fill, fill)] * 4))
    text += extended_linear_address(CONFIGURATION_UPPER_ADDRESS)
    text += record(0, 0x00, words([(0xCF, 0x3F, 0x00), (0x7F, 0xF7, 0x00), (0xE7, 0x87, 0x00), (0xFF, 0xFF, 0x00)]))
    return bytes(text + END_OF_FILE)


def make_image(part, version, date, kilobytes, wanted_checksum):
    """The image text whose size rounds to kilobytes and whose checksum is wanted_checksum.

    Sizes nearest to kilobytes * 1024 bytes are tried first."""
    body, fill_start = image_body(part, version, date, 0)
    empty_size = len(body) + len(image_tail(fill_start, 0))
    first = max(0, (kilobytes * 1024 - empty_size) // 45 - 12)
    candidates = []
    for code_records in range(first, first + 24):
        body, fill_start = image_body(part, version, date, code_records)
        size = len(body) + len(image_tail(fill_start, 0))
        if abs(size - kilobytes * 1024) < 400:
            candidates.append((abs(size - kilobytes * 1024), body, fill_start))
    for _, body, fill_start in sorted(candidates, key=lambda candidate: candidate[0]):
        prefix = image_checksum(body)
        for fill in range(256):
            tail = image_tail(fill_start, fill)
            if image_checksum(tail, prefix) == wanted_checksum:
                return body + tail
    raise SystemExit(f"{part}: no fill byte gives image checksum 0x{wanted_checksum:02X} at {kilobytes} kB")


def checksum_record(value):
    return record(0, 0x80, [0, value], lower_case=True, line_end=b"\n")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    here = pathlib.Path(__file__).resolve().parent
    parser.add_argument("--out", type=pathlib.Path, default=here.parent / "resources" / "firmware")
    parser.add_argument("--check", action="store_true", help="compare with the files instead of writing them")
    arguments = parser.parse_args()

    differing = []
    for file_name, part, version, date, kilobytes, wanted_checksum in IMAGES:
        text = make_image(part, version, date, kilobytes, wanted_checksum)
        contents = text + checksum_record(image_checksum(text))
        path = arguments.out / file_name
        if arguments.check:
            if not path.exists() or path.read_bytes() != contents:
                differing.append(str(path))
        else:
            path.write_bytes(contents)
        print(f"{file_name}: {part} {version} \"{date}\", {len(text)} bytes of image text "
              f"({len(text) / 1024:.1f} kB), image checksum 0x{image_checksum(text):02X}")
    if differing:
        print("differs from what this script makes: " + ", ".join(differing), file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
