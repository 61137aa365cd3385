"""The cost of one analizar call from Python next to the C call, on rows of the C benchmark.

    python3 bindings/python/banco.py BUILD_DIR      e.g. build/release

The C figure comes from BUILD_DIR/bench/evalion_contar: a run with COUNT analyses minus a run
with one, divided by COUNT, so that the start-up of the process cancels out. The Python
figures are the best of five timeit repeats: the package's Analizador.analizar, and a bare
ctypes call of A_Analizar (the part of the cost that is ctypes itself).
"""
import ctypes
import os
import subprocess
import sys
import time
import timeit

construccion = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else "build/release")
os.environ.setdefault(
    "EVALION_BIBLIOTECAS", os.pathsep.join(os.path.join(construccion, d) for d in ("lib", "estandar"))
)
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from evalion import Analizador, _biblioteca  # noqa: E402

VECES = 200_000  # Python calls per figure
VECES_C = 2_000_000  # enough that the noise of starting a process is small beside them
FILAS = ["1+2", "167,386+1", "x+1", "Raiz(4)+Seno(0)"]


def ns_c(fila):
    """ns of one A_Analizar call in C, or None without the benchmark program."""
    programa = os.path.join(construccion, "bench", "evalion_contar")
    if not os.path.exists(programa):
        return None

    def correr(veces):
        inicio = time.perf_counter()
        subprocess.run([programa, fila, str(veces)], check=True, stdout=subprocess.DEVNULL)
        return time.perf_counter() - inicio

    return min(correr(VECES_C + 1) - correr(1) for _ in range(3)) / VECES_C * 1e9


def ns_python(funcion):
    return min(timeit.repeat(funcion, number=VECES // 10, repeat=5)) / (VECES // 10) * 1e9


def main():
    analizador = Analizador({"x": 2.5}, estandar=True)
    bibliotecas = _biblioteca.bibliotecas()
    estado = _biblioteca.ESTADODEANALISIS()
    bibliotecas.evalion.A_Inicializar(ctypes.byref(estado))
    print(f"ns per expression; Python {sys.version.split()[0]} ({sys.executable})")
    print(f"{'row':18}{'C':>10}{'ctypes':>10}{'analizar':>10}{'analizar/C':>12}")
    for fila in FILAS:
        c = ns_c(fila)
        datos = fila.encode("cp1252")
        desnudo = ns_python(lambda: bibliotecas.evalion.A_Analizar(ctypes.byref(estado), datos))
        paquete = ns_python(lambda: analizador.analizar(fila))
        columna_c = f"{c:10.0f}" if c is not None else f"{'-':>10}"
        proporcion = f"{paquete / c:12.1f}" if c is not None else f"{'-':>12}"
        # The bare call has no requests installed: rows with names are errors there.
        print(f"{fila:18}{columna_c}{desnudo:10.0f}{paquete:10.0f}{proporcion}")


if __name__ == "__main__":
    main()
