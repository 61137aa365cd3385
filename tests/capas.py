"""The layers of the source tree, from the bottom: no file includes a header of a folder
above its own, nor of a sibling folder of its layer. Fails with each arrow that points up.
A folder listed inside another one (the engine's stages) is a layer of its own, above it.

    python3 tests/capas.py [SOURCE-ROOT]
"""
import os
import re
import sys

CAPAS = [
    ["include"],                      # the public headers, header-only host support among them
    ["engine"],                       # the rules every stage of the engine shares
    ["engine/texto"],                 # the lexer, the walk of the grammar, the analysis
    ["engine/programa"],              # the program of a prepared form and its steps on doubles
    ["engine/maquina"],               # the machine that runs them: blocks, steps, rows in blocks
    ["engine/x64"],                   # the x86-64 machine code writer
    ["engine/forma"],                 # the prepared forms: preparing, binding, rows
    ["comun"],                        # host support compiled once: rules, display, demonstration
    ["lib", "formula", "estandar"],   # the exported libraries
    ["interfaz", "component"],        # the C++ interface and the Qt component
    ["demo", "tools"],                # the programs
    ["bench", "examples"],            # measuring and showing
]
RANGO = {carpeta: n for n, capa in enumerate(CAPAS) for carpeta in capa}
INCLUSION = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.M)
FUENTES = (".c", ".cpp", ".h", ".hpp", ".in")


def capa(relativa):
    """The listed folder that holds a folder given from the root: the longest that does."""
    partes = relativa.replace(os.sep, "/").split("/")
    for n in range(len(partes), 0, -1):
        if "/".join(partes[:n]) in RANGO:
            return "/".join(partes[:n])
    return None


def main():
    raiz = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), ".."))
    donde = {}  # header name -> folders that hold one (Version.h.in gives Version.h)
    archivos = []
    for carpeta in RANGO:
        for directorio, _, nombres in os.walk(os.path.join(raiz, carpeta)):
            if capa(os.path.relpath(directorio, raiz)) != carpeta:
                continue  # a layer of its own
            for nombre in nombres:
                if nombre.endswith(FUENTES):
                    archivos.append((carpeta, os.path.join(directorio, nombre)))
                    donde.setdefault(nombre[:-3] if nombre.endswith(".in") else nombre, set()).add(
                        (carpeta, directorio))
    arriba = []
    for carpeta, archivo in archivos:
        with open(archivo, encoding="utf-8", errors="replace") as f:
            texto = f.read()
        for cabecera in INCLUSION.findall(texto):
            nombre = os.path.basename(cabecera)
            lugares = donde.get(nombre, set())
            if not lugares or any(d == os.path.dirname(archivo) for _, d in lugares):
                continue  # generated or beside the file
            destino = min((RANGO[c], c) for c, _ in lugares)[1]
            if destino != carpeta and RANGO[destino] >= RANGO[carpeta]:
                arriba.append(f"{os.path.relpath(archivo, raiz)} includes {cabecera} of {destino}/")
    for linea in arriba:
        print(linea)
    print(f"{len(archivos)} files, {len(arriba)} includes against the layers")
    return 1 if arriba else 0


if __name__ == "__main__":
    sys.exit(main())
