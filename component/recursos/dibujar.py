#!/usr/bin/env python3
"""Writes the package's two binary resources next to this script:
TEVALION.bmp, the palette bitmap (24 x 24, 4 bits per pixel, the standard 16-colour palette),
and DESCRIPTION, the package's description as UTF-16LE without terminator.
The picture below is the source of the bitmap; run this script after changing it."""
import pathlib
import struct

DESCRIPCION = "Evalion y evaluador de expresiones"

# The standard 16-colour palette, as (red, green, blue), in its usual order.
PALETA = [
    (0x00, 0x00, 0x00), (0x80, 0x00, 0x00), (0x00, 0x80, 0x00), (0x80, 0x80, 0x00),
    (0x00, 0x00, 0x80), (0x80, 0x00, 0x80), (0x00, 0x80, 0x80), (0xC0, 0xC0, 0xC0),
    (0x80, 0x80, 0x80), (0xFF, 0x00, 0x00), (0x00, 0xFF, 0x00), (0xFF, 0xFF, 0x00),
    (0x00, 0x00, 0xFF), (0xFF, 0x00, 0xFF), (0x00, 0xFF, 0xFF), (0xFF, 0xFF, 0xFF),
]
# A white card that reads "f(x) =": silver background, navy frame, blue formula, red sign.
COLORES = {".": 7, "N": 4, "W": 15, "B": 12, "R": 9, "g": 8}
DIBUJO = """
........................
.NNNNNNNNNNNNNNNNNNNNNN.
.NWWWWWWWWWWWWWWWWWWWWNg
.NWWWWWWWWWWWWWWWWWWWWNg
.NWWWBBWWWBWWWWWWWBWWWNg
.NWWBWWWWBWWWWWWWWWBWWNg
.NWBBBWWWBWWBWWWBWWBWWNg
.NWWBWWWWBWWWBWBWWWBWWNg
.NWWBWWWWBWWWWBWWWWBWWNg
.NWWBWWWWBWWWBWBWWWBWWNg
.NWWBWWWWWBWBWWWBWBWWWNg
.NWWWWWWWWWWWWWWWWWWWWNg
.NWWWWWWWWWWWWWWWWWWWWNg
.NWWWWWWWWWWWWWWWWWWWWNg
.NWWWWRRRRRRRRRRRRWWWWNg
.NWWWWRRRRRRRRRRRRWWWWNg
.NWWWWWWWWWWWWWWWWWWWWNg
.NWWWWWWWWWWWWWWWWWWWWNg
.NWWWWRRRRRRRRRRRRWWWWNg
.NWWWWRRRRRRRRRRRRWWWWNg
.NWWWWWWWWWWWWWWWWWWWWNg
.NNNNNNNNNNNNNNNNNNNNNNg
..gggggggggggggggggggggg
........................
""".split()


def bitmap():
    assert len(DIBUJO) == 24 and all(len(fila) == 24 for fila in DIBUJO)
    filas = b""
    for fila in reversed(DIBUJO):  # a BMP stores the bottom row first
        indices = [COLORES[c] for c in fila]
        filas += bytes(indices[i] << 4 | indices[i + 1] for i in range(0, 24, 2))
    paleta = b"".join(bytes((b, g, r, 0)) for r, g, b in PALETA)
    inicio = 14 + 40 + len(paleta)
    cabecera = struct.pack("<IiiHHIIiiII", 40, 24, 24, 1, 4, 0, len(filas), 2835, 2835, 16, 0)
    return b"BM" + struct.pack("<IHHI", inicio + len(filas), 0, 0, inicio) + cabecera + paleta + filas


aqui = pathlib.Path(__file__).resolve().parent
(aqui / "TEVALION.bmp").write_bytes(bitmap())
(aqui / "DESCRIPTION").write_bytes(DESCRIPCION.encode("utf-16-le"))
