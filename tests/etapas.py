"""The engine's stages call downward only: in the engine's archive, no object needs a symbol
that only objects of a stage above its own define (an include check cannot see a call to a
function declared low and defined high). The stages are the layers tests/capas.py lists for
engine/, from the bottom. Fails with each call that points up.

    python3 tests/etapas.py SOURCE-ROOT ARCHIVE [NM]
"""
import os
import subprocess
import sys

ETAPAS = ["engine", "engine/texto", "engine/programa", "engine/maquina", "engine/x64", "engine/forma"]


def etapa_de_fuentes(raiz):
    """Each engine source's object name (Maquina.cpp.o) -> the rank of its stage."""
    rango = {}
    for n, etapa in enumerate(ETAPAS):
        carpeta = os.path.join(raiz, etapa)
        for nombre in os.listdir(carpeta):
            if nombre.endswith(".cpp"):
                rango[nombre + ".o"] = n
                rango[nombre + ".obj"] = n
    return rango


def simbolos(archivo, nm):
    """member -> (defined, undefined) symbol sets, from nm's listing of the archive."""
    salida = subprocess.run([nm, archivo], capture_output=True, text=True, check=True).stdout
    miembros, actual = {}, None
    for linea in salida.splitlines():
        if linea.endswith(":") and " " not in linea:
            actual = linea[:-1]
            miembros[actual] = (set(), set())
        elif actual is not None and linea.strip():
            partes = linea.split()
            tipo, nombre = partes[-2], partes[-1]
            if tipo == "U":
                miembros[actual][1].add(nombre)
            elif tipo in "TtWwVvDdBbRr":
                miembros[actual][0].add(nombre)
    return miembros


def main():
    raiz, archivo = sys.argv[1], sys.argv[2]
    nm = sys.argv[3] if len(sys.argv) > 3 else "nm"
    rango = etapa_de_fuentes(raiz)
    miembros = simbolos(archivo, nm)
    desconocidos = [m for m in miembros if m not in rango]
    if desconocidos:
        print("objects of no stage: " + ", ".join(sorted(desconocidos)))
        return 1
    definidores = {}
    for miembro, (definidos, _) in miembros.items():
        for nombre in definidos:
            definidores.setdefault(nombre, set()).add(rango[miembro])
    arriba = []
    for miembro, (_, necesitados) in miembros.items():
        for nombre in necesitados:
            etapas = definidores.get(nombre)
            if etapas and min(etapas) > rango[miembro]:  # defined only above: an upward call
                arriba.append(f"{miembro} ({ETAPAS[rango[miembro]]}) calls {nombre} of {ETAPAS[min(etapas)]}")
    for linea in sorted(arriba):
        print(linea)
    print(f"{len(miembros)} objects, {len(arriba)} calls against the stages")
    return 1 if arriba else 0


if __name__ == "__main__":
    sys.exit(main())
