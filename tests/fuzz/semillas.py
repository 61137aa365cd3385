#!/usr/bin/env python3
"""Writes the fuzz targets' seed corpus from the expressions of the test tables.

Run from the repository root after changing the tables: python3 tests/fuzz/semillas.py
Each expression becomes one seed per target, with the default separators and both
requests installed (the analysis target) or with the default separators (the lexer).
"""
import hashlib
import pathlib
import re

RAIZ = pathlib.Path(__file__).resolve().parent
TABLAS = sorted((RAIZ.parent / "lib").glob("*.cpp"))
# The first field of a table row: {"expression", ...
FILA = re.compile(r'\{\s*"((?:[^"\\]|\\.)*)"\s*,')


def decodificar(literal: str) -> bytes:
    """C string literal body to bytes (the escapes the tables use)."""
    salida = bytearray()
    i = 0
    while i < len(literal):
        c = literal[i]
        if c != "\\":
            salida += c.encode("latin-1", errors="replace")
            i += 1
            continue
        siguiente = literal[i + 1]
        if siguiente == "x":
            digitos = re.match(r"[0-9a-fA-F]+", literal[i + 2:]).group(0)
            salida.append(int(digitos, 16) & 0xFF)
            i += 2 + len(digitos)
        else:
            salida += {"n": b"\n", "t": b"\t", "0": b"\0"}.get(siguiente, siguiente.encode())
            i += 2
    return bytes(salida)


def main() -> None:
    expresiones = set()
    for tabla in TABLAS:
        for literal in FILA.findall(tabla.read_text(encoding="utf-8", errors="replace")):
            expresiones.add(decodificar(literal))
    # A few shapes the tables build in code rather than list.
    expresiones |= {b"(" * 40 + b"1" + b")" * 40, b"-" * 60 + b"1", b"2^" * 30 + b"2",
                    b"f(" * 20 + b"1" + b")" * 20, b"g(" + b"1;" * 60 + b"1)", b"a+" * 40 + b"a"}
    for objetivo, cabecera in (("analisis", bytes([0, 0, 3]) + bytes(range(1, 9))), ("lexer", bytes([0, 0]))):
        carpeta = RAIZ / "corpus" / objetivo
        carpeta.mkdir(parents=True, exist_ok=True)
        for viejo in carpeta.iterdir():
            viejo.unlink()
        for expresion in sorted(expresiones):
            datos = cabecera + expresion
            (carpeta / hashlib.sha1(datos).hexdigest()).write_bytes(datos)
    print(f"{len(expresiones)} expressions")


if __name__ == "__main__":
    main()
