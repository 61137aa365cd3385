"""Columns from Python: Formula.evaluar_columnas beside the engine's own call, a loop written in C,
numexpr and numpy.

    /usr/bin/python3 bench/columnas.py [BUILD_DIR]      e.g. build/release (the default)

One run prints ns per row over 1,000,000 rows of x and y for each text:
  evalion    Formula.evaluar_columnas, the package's call, which allocates the values it returns;
  C rows     A_EvaluarFilas on the same form and columns, called bare through ctypes into values
             allocated once, with no codes or positions: the rows are the C library's own, and
             the one crossing of ctypes (some hundreds of ns) is a thousandth of a ns a row;
  C loop     the same expression written by hand as a C loop over the rows (x^2 as pow(x, 2), Raiz
             as sqrt, Seno as sin...), compiled here with the system's C compiler at -O2 without
             -ffast-math and called once through ctypes on the same columns: what a host that
             knew its formula when it was compiled would write (left out, with a note, when no
             C compiler is found: $CC, cc, gcc or clang);
  numexpr    the same expression with one thread and with every core (left out, with a note,
             when numexpr is not installed: Debian's python3-numexpr);
  numpy      the same expression as numpy operations, one temporary array each.
then the ratios of evalion to C rows, to the C loop, to numexpr with one thread and to numpy,
and last the fixed cost of a call: ns per call of evaluar_columnas and of the bare A_EvaluarFilas
on one row.

Each figure is the fastest of up to 15 repetitions (fewer when one takes over a second); a
row whose form asks the analyser for a name or a function (the standard library's Si, whose
arguments may be texts) runs Python for every row, which the figures show; the library's
functions of numbers (Raiz, Seno, Abs...) are computed by the form itself. The peers get the same operations:
a chain of + and - groups from the right in this language, so the cubic is x*x*x+(2*x*x-(3*x+7))
for them, as it is for the engine, and the C loop's 30-term sum is grouped from the right too.
The rows where a C loop's value differs from evalion's in any bit are counted on the standard
error: the C compiler writes pow(x, 2) as x*x, rounded once, where the engine calls the C
library's pow, which may be one unit of the last place off it. Speed is shown here, never checked.
"""
import ctypes
import os
import shutil
import subprocess
import sys
import tempfile
import time

import numpy

construccion = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else "build/release")
os.environ.setdefault(
    "EVALION_BIBLIOTECAS", os.pathsep.join(os.path.join(construccion, d) for d in ("lib", "estandar", "formula"))
)
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), os.pardir, "bindings", "python"))
from evalion import Analizador  # noqa: E402

try:
    import numexpr
except ImportError:
    numexpr = None

FILAS = 1_000_000
REPETICIONES = 15  # the shared machine's other jobs make single runs vary by a third
SEGUNDOS = 1.0  # no more repetitions once one took this long
TREINTA = "+".join(f"{k}*x*y" for k in range(1, 31))
# The same sum in C as the engine groups it: 1*x*y+(2*x*y+(...+30*x*y)).
TREINTA_C = "+(".join(f"{k}*x*y" for k in range(1, 31)) + ")" * 29

# The text, the same for numexpr, for numpy a function of x and y, and the C loop's expression
# of the row's x and y.
TEXTOS = [
    ("x*2+1", "x*2+1", lambda x, y: x * 2 + 1, "x*2+1"),
    ("x^2+1", "x**2+1", lambda x, y: x**2 + 1, "pow(x, 2)+1"),
    ("Raiz(x*x+y*y)", "sqrt(x*x+y*y)", lambda x, y: numpy.sqrt(x * x + y * y), "sqrt(x*x+y*y)"),
    ("Si(x>3;x;0)", "where(x>3, x, 0)", lambda x, y: numpy.where(x > 3, x, 0.0), "x > 3 ? x : 0"),
    ("Seno(x)+Coseno(y)", "sin(x)+cos(y)", lambda x, y: numpy.sin(x) + numpy.cos(y), "sin(x)+cos(y)"),
    ("x*x*x+2*x*x-3*x+7", "x*x*x+(2*x*x-(3*x+7))", lambda x, y: x * x * x + (2 * x * x - (3 * x + 7)),
     "x*x*x+(2*x*x-(3*x+7))"),
    ("Abs(y)", "abs(y)", lambda x, y: numpy.abs(y), "fabs(y)"),
    (TREINTA, TREINTA, lambda x, y: sum(k * x * y for k in range(1, 31)), TREINTA_C),
]


def compilador():
    """The system's C compiler ($CC, cc, gcc or clang) as a path, or None."""
    for nombre in (os.environ.get("CC"), "cc", "gcc", "clang"):
        ruta = nombre and shutil.which(nombre)
        if ruta:
            return ruta
    return None


def bucles_en_c(cc, carpeta):
    """The C loops of TEXTOS, compiled at -O2 into a library in carpeta: one function a text,
    void bucleK(const double *x, const double *y, double *r, long n), as a host writes it."""
    fuente = ["#include <math.h>"]
    for k, (_, _, _, expresion) in enumerate(TEXTOS):
        fuente.append(f"void bucle{k}(const double *xs, const double *ys, double *r, long n)\n"
                      f"{{\n    for (long i = 0; i < n; ++i) {{\n        const double x = xs[i], y = ys[i];\n"
                      f"        r[i] = {expresion};\n    }}\n}}")
    c = os.path.join(carpeta, "bucles.c")
    with open(c, "w") as archivo:
        archivo.write("\n".join(fuente) + "\n")
    so = os.path.join(carpeta, "bucles.so")
    subprocess.run([cc, "-O2", "-fPIC", "-shared", "-o", so, c, "-lm"], check=True)
    biblioteca = ctypes.CDLL(so)
    funciones = []
    for k in range(len(TEXTOS)):
        funcion = getattr(biblioteca, f"bucle{k}")
        funcion.argtypes = [ctypes.c_void_p, ctypes.c_void_p, ctypes.c_void_p, ctypes.c_long]
        funcion.restype = None
        funciones.append(funcion)
    return funciones


def version(cc):
    return subprocess.run([cc, "--version"], capture_output=True, text=True).stdout.splitlines()[0]


def mejor(funcion):
    """The fastest of up to REPETICIONES calls, in seconds."""
    tiempos = []
    while len(tiempos) < REPETICIONES and sum(tiempos) < SEGUNDOS * 3:
        inicio = time.perf_counter()
        funcion()
        tiempos.append(time.perf_counter() - inicio)
        if tiempos[-1] > SEGUNDOS:
            break
    return min(tiempos)


def filas_en_c(formula, columnas):
    """A function that makes the bare A_EvaluarFilas over the columns, bound to the form."""
    a = formula._analizador
    f = a._bibliotecas.formula
    for nombre, columna in columnas.items():
        f.A_VincularColumna(formula._formula, nombre.encode(), columna.ctypes.data)
    n = len(next(iter(columnas.values())))
    valores = numpy.empty(n)
    direccion = valores.ctypes.data

    def llamar(vivos=(valores, columnas)):  # alive while the engine reads and writes there
        return f.A_EvaluarFilas(formula._formula, a._puntero, n, direccion, None, None)

    return llamar


def en_bucle(funcion, x, y):
    """A function that runs the C loop over x and y into values allocated once, and returns
    their bits."""
    valores = numpy.empty(len(x))
    direcciones = (x.ctypes.data, y.ctypes.data, valores.ctypes.data)

    def llamar(vivos=(x, y, valores)):  # alive while the loop reads and writes there
        funcion(*direcciones, len(x))
        return valores.view(numpy.int64)

    return llamar


def usadas(formula, x, y):
    return {nombre: columna for nombre, columna in (("x", x), ("y", y)) if (nombre, None) in formula.nombres}


def ns_por_llamada(funcion, veces=2_000):
    """ns per call, from the fastest of REPETICIONES batches of calls."""
    def tanda():
        for _ in range(veces):
            funcion()

    return mejor(tanda) / veces * 1e9


def main():
    cc = compilador()
    with tempfile.TemporaryDirectory() as carpeta:
        medir(bucles_en_c(cc, carpeta) if cc else None, cc)


def medir(bucles, cc):
    azar = numpy.random.default_rng(40)
    x, y = azar.uniform(-10, 10, FILAS), azar.uniform(-10, 10, FILAS)
    analizador = Analizador(estandar=True)
    hilos = numexpr.detect_number_of_cores() if numexpr else 0
    print(f"ns per row over {FILAS:,} rows, the fastest of up to {REPETICIONES}; Python {sys.version.split()[0]}, "
          f"numpy {numpy.__version__}, " + (f"numexpr {numexpr.__version__} ({hilos} cores)" if numexpr else
                                             "numexpr not installed (python3-numexpr): its columns are left out"))
    print(f"C loops: {version(cc)}, -O2" if bucles else
          "no C compiler found ($CC, cc, gcc, clang): the C loop's columns are left out")
    print(f"{'text':22}{'evalion':>10}{'C rows':>10}{'ev/C':>8}{'C loop':>9}{'ev/loop':>9}{'numexpr 1':>11}"
          f"{f'numexpr {hilos}':>11}{'numpy':>9}{'ev/ne 1':>9}{'ev/numpy':>10}")
    fijos = []
    for k, (texto, de_numexpr, de_numpy, _) in enumerate(TEXTOS):
        formula = analizador.preparar(texto)
        columnas = usadas(formula, x, y)
        valores = formula.evaluar_columnas(columnas)
        esperado = de_numpy(x, y)
        # numpy's own sine and cosine may differ from the C library's in the last bit.
        if not numpy.allclose(valores, esperado, rtol=1e-12, atol=1e-12, equal_nan=True):
            print(f"{texto}: evalion and numpy disagree", file=sys.stderr)
        nuestro = mejor(lambda: formula.evaluar_columnas(columnas)) / FILAS * 1e9
        en_c = mejor(filas_en_c(formula, columnas)) / FILAS * 1e9
        de_numpy_ns = mejor(lambda: de_numpy(x, y)) / FILAS * 1e9
        celdas = f"{texto if len(texto) <= 21 else '30 terms k*x*y':22}{nuestro:10.2f}{en_c:10.2f}{nuestro / en_c:8.2f}"
        if bucles:
            bucle = en_bucle(bucles[k], x, y)
            distintas = numpy.count_nonzero(bucle() != valores.view(numpy.int64))
            if distintas:
                print(f"{texto}: the C loop's value differs from evalion's in {distintas:,} rows", file=sys.stderr)
            de_c = mejor(bucle) / FILAS * 1e9
            celdas += f"{de_c:9.2f}{nuestro / de_c:9.2f}"
        else:
            celdas += f"{'-':>9}{'-':>9}"
        if numexpr:
            variables = {"x": x, "y": y}
            numexpr.set_num_threads(1)
            uno = mejor(lambda: numexpr.evaluate(de_numexpr, local_dict=variables)) / FILAS * 1e9
            numexpr.set_num_threads(hilos)
            todos = mejor(lambda: numexpr.evaluate(de_numexpr, local_dict=variables)) / FILAS * 1e9
            celdas += f"{uno:11.2f}{todos:11.2f}{de_numpy_ns:9.2f}{nuestro / uno:9.2f}"
        else:
            celdas += f"{'-':>11}{'-':>11}{de_numpy_ns:9.2f}{'-':>9}"
        print(celdas + f"{nuestro / de_numpy_ns:10.2f}")
        # The fixed cost: one row, many calls.
        una = {nombre: columna[:1].copy() for nombre, columna in columnas.items()}
        fijos.append((texto, ns_por_llamada(lambda: formula.evaluar_columnas(una)),
                      ns_por_llamada(filas_en_c(formula, una))))
    print("\nfixed cost of a call, one row (ns per call)")
    print(f"{'text':22}{'evalion':>10}{'C rows':>10}{'difference':>12}")
    for texto, nuestro, en_c in fijos:
        print(f"{texto if len(texto) <= 21 else '30 terms k*x*y':22}{nuestro:10.0f}{en_c:10.0f}{nuestro - en_c:12.0f}")


if __name__ == "__main__":
    main()
