#!/usr/bin/env python3
"""Makes the controller firmware image the program folder ships.

data/firmware/CorvaneCNC.hex is a small Intel HEX file of our own for the
STM32 flash at 0x08000000: a Cortex-M vector table, a reset handler that
parks the core, an identification text and a table of bytes (so that every
byte value, those that wrap when 85 is added among them, reaches the flash).
A gap between the code and the text is left to the 0xFF fill.

data/CorvaneCNC.cfw is made from that HEX by binutils' objcopy (not by the
program's own converter, so the tests can hold the two against each other):
the flash bytes from 0x08000000 with gaps filled with 0xFF, and the bytes of
the second 256-byte block stored with 85 added, modulo 256.

Run from the repository's top folder: python3 scripts/make-firmware.py
"""
import os
import struct
import subprocess
import tempfile

FLASH = 0x08000000
VERSION = "1.2.1"
HEX_PATH = "data/firmware/CorvaneCNC.hex"
CFW_PATH = "data/CorvaneCNC.cfw"


def image_pieces():
    """(offset, bytes) pieces of the image, in address order."""
    reset = FLASH + 0x100 + 1   # Thumb code: the low bit is set
    park = FLASH + 0x104 + 1
    vectors = struct.pack("<II", 0x20005000, reset) + struct.pack("<I", park) * 62
    # reset handler and default handler: "b ." each, then padding (nop)
    code = bytes([0xFE, 0xE7, 0x00, 0xBF, 0xFE, 0xE7, 0x00, 0xBF])
    text = ("Corvane CNC controller firmware " + VERSION +
            " - rehearsal image, no motion control\0").encode("ascii")
    table = bytes((i * 167 + 13) % 256 for i in range(256))
    return [(0x000, vectors), (0x100, code), (0x1C0, text),
            (0x1C0 + len(text), table), (0x1C0 + len(text) + 256, table[:40])]


def record(kind, address, data):
    body = bytes([len(data), address >> 8, address & 0xFF, kind]) + data
    checksum = (-sum(body)) & 0xFF
    return ":" + (body + bytes([checksum])).hex().upper()


def hex_lines():
    lines = [record(0x04, 0, struct.pack(">H", FLASH >> 16))]
    for offset, data in image_pieces():
        for at in range(0, len(data), 16):
            lines.append(record(0x00, offset + at, data[at:at + 16]))
    lines.append(record(0x05, 0, struct.pack(">I", FLASH + 0x100 + 1)))
    lines.append(record(0x01, 0, b""))
    return lines


def main():
    with open(HEX_PATH, "w", newline="\r\n") as out:
        out.write("\n".join(hex_lines()) + "\n")
    with tempfile.TemporaryDirectory() as folder:
        flat = os.path.join(folder, "flash.bin")
        subprocess.run(["objcopy", "-I", "ihex", "-O", "binary", "--gap-fill", "0xFF",
                        HEX_PATH, flat], check=True)
        image = bytearray(open(flat, "rb").read())
    for i in range(256, min(512, len(image))):
        image[i] = (image[i] + 85) % 256
    with open(CFW_PATH, "wb") as out:
        out.write(image)
    print(f"{HEX_PATH}: {len(hex_lines())} records; {CFW_PATH}: {len(image)} bytes")


if __name__ == "__main__":
    main()
