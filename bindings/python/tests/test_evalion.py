"""The package against the libraries of the build (EVALION_BIBLIOTECAS names them)."""
import array
import concurrent.futures
import copy
import math
import os
import pickle
import threading
import unittest
from fractions import Fraction
from unittest import mock

try:
    import numpy
except ImportError:
    numpy = None
try:
    import dask
except ImportError:
    dask = None

import evalion
from evalion import Analizador, ErrorDeAnalisis, _biblioteca

# The host of the table: x is 21, t "ab", hora a callable, doble(n) 2n, uno(...) always 1,
# une(...) joins its texts.
VARIABLES = {"x": 21, "t": "ab", "hora": lambda: "12:00"}
FUNCIONES = {"doble": lambda n: 2 * n, "uno": 1, "une": lambda *textos: "".join(textos)}


def error(codigo, posicion):
    return ("error", codigo, posicion)


CASOS = [
    ("x * 2", 42.0),
    ('"a" + t', "aab"),
    ("hora", "12:00"),
    ("uno(5; 6)", 1.0),
    ("doble(x) + 1", 43.0),
    ('une("ñ"; t; "€")', "ñab€"),
    ('"ab" < "abc"', 1.0),
    ("1.250 + 1,5", 1251.5),
    ("1 + y", error(1000, 4)),
    ("Raiz(16)", error(1100, 1)),
    ('"ñ"+1', error(700, 6)),
    ("1/0", error(1200, 4)),
    ("1 ☃ 2", error(800, 2)),  # outside Windows-1252: "?", which begins no token
    ("", error(500, 0)),
]


class Tabla(unittest.TestCase):
    def test_casos(self):
        analizador = Analizador(VARIABLES, FUNCIONES)
        for texto, esperado in CASOS:
            with self.subTest(texto=texto):
                if isinstance(esperado, tuple):
                    with self.assertRaises(ErrorDeAnalisis) as capturado:
                        analizador.analizar(texto)
                    self.assertEqual((capturado.exception.codigo, capturado.exception.posicion), esperado[1:])
                else:
                    valor = analizador.analizar(texto)
                    self.assertEqual(type(valor), type(esperado))
                    self.assertEqual(valor, esperado)

    def test_mensajes(self):
        analizador = Analizador(funciones={"propio": lambda: 0})
        with self.assertRaises(ErrorDeAnalisis) as capturado:
            analizador.analizar("1 + y")
        self.assertEqual(capturado.exception.mensaje, "Se esperaba una variable en la posición 4")
        self.assertEqual(str(capturado.exception), "Se esperaba una variable en la posición 4")
        self.assertIsNone(ErrorDeAnalisis(4321, 2).mensaje)
        self.assertIn("4321", str(ErrorDeAnalisis(4321, 2)))

    def test_separadores(self):
        analizador = Analizador()
        self.assertEqual((analizador.separador_decimal, analizador.separador_millar), (",", "."))
        analizador.separador_decimal = "."
        analizador.separador_millar = "'"
        self.assertEqual(analizador.analizar("1'000.5"), 1000.5)
        for caracter, excepcion in [("ab", ValueError), ("😀", ValueError), ("", ValueError), (5, TypeError)]:
            with self.subTest(caracter=caracter), self.assertRaises(excepcion):
                analizador.separador_decimal = caracter
        analizador.separador_millar = "€"  # in Windows-1252
        self.assertEqual(analizador.analizar("1€000.5"), 1000.5)

    def test_entradas_que_no_se_leerian_enteras(self):
        analizador = Analizador()
        self.assertEqual(analizador.analizar("1+1" + " " * 1019 + "+1"), 3.0)  # 1024 characters
        for texto, excepcion, dice in [
            (b"1+2", TypeError, "bytes"),
            (12, TypeError, "int"),
            (None, TypeError, "NoneType"),
            ("1+1" + " " * 1020 + "+1", ValueError, "1024"),
            ("1+2\x00+5", ValueError, "character 4"),
        ]:
            with self.subTest(texto=texto), self.assertRaises(excepcion) as capturado:
                analizador.analizar(texto)
            self.assertIn(dice, str(capturado.exception))


class Peticiones(unittest.TestCase):
    def test_orden_y_argumentos(self):
        pedidos = []

        def variable(nombre):
            return lambda: pedidos.append(nombre) or 1

        def funcion(nombre):
            return lambda *argumentos: pedidos.append((nombre, argumentos)) or 1

        analizador = Analizador({"x": variable("x")}, {"g": funcion("g"), "h": funcion("h")})
        analizador.analizar('g(x; h("a"; 2); x)')
        self.assertEqual(pedidos, ["x", ("h", ("a", 2.0)), "x", ("g", (1.0, 1.0, 1.0))])

    def test_una_excepcion_detiene_el_analisis(self):
        pedidos = []
        analizador = Analizador({"x": lambda: pedidos.append("x") or 1}, {"falla": lambda n: n / 0})
        with self.assertRaises(ZeroDivisionError):
            analizador.analizar("falla(0) + x")
        self.assertEqual(pedidos, [])  # nothing asked after the exception
        self.assertEqual(analizador.analizar("x"), 1.0)  # and the analyser still works

    def test_respuestas_que_no_son_valores(self):
        for funciones, excepcion in [
            ({"f": lambda n: None}, TypeError),
            ({"f": lambda n: "a" * 1024}, ValueError),
            ({"f": lambda n: ErrorDeAnalisis(0)}, ValueError),
        ]:
            with self.subTest(excepcion=excepcion):
                with self.assertRaises(excepcion):
                    Analizador(funciones=funciones).analizar("f(1)")

    def test_valores_reales_y_argumentos_que_no_caben(self):
        from fractions import Fraction

        llamados = []
        analizador = Analizador(funciones={"q": lambda n: Fraction(1, 4) + n, "dos": lambda a, b: llamados.append(1)})
        self.assertEqual(analizador.analizar("q(1)"), 1.25)
        with self.assertRaises(ErrorDeAnalisis) as capturado:
            analizador.analizar("1 + dos(1)")
        self.assertEqual((capturado.exception.codigo, capturado.exception.posicion, llamados), (1100, 4, []))

    def test_un_codigo_propio_vuelve_con_la_posicion(self):
        def propio(n):
            raise ErrorDeAnalisis(4321)

        with self.assertRaises(ErrorDeAnalisis) as capturado:
            Analizador(funciones={"propio": propio}).analizar("1 + propio(1)")
        self.assertEqual((capturado.exception.codigo, capturado.exception.posicion), (4321, 4))

    def test_estandar(self):
        analizador = Analizador({"E": 3}, estandar=True)
        self.assertEqual(analizador.analizar("Raiz(16)"), 4.0)
        self.assertEqual(analizador.analizar("Pi"), math.pi)
        self.assertEqual(analizador.analizar("E"), 3.0)  # the host's names come first
        self.assertEqual(analizador.analizar('Mayusculas("año")'), "AÑO")
        with self.assertRaises(ErrorDeAnalisis) as capturado:
            analizador.analizar("Nada")
        self.assertEqual(capturado.exception.codigo, 1000)



def _analizar_en_otro_proceso(texto):
    return Analizador().analizar(texto)


class Errores(unittest.TestCase):
    def test_viaja_entero(self):
        error = ErrorDeAnalisis(1000, 4)
        self.assertEqual(repr(error), "ErrorDeAnalisis(1000, 4)")
        for nombre, copiar in [("pickle", lambda e: pickle.loads(pickle.dumps(e))), ("copy", copy.copy),
                               ("deepcopy", copy.deepcopy)]:
            with self.subTest(nombre):
                otro = copiar(error)
                self.assertIs(type(otro), ErrorDeAnalisis)
                self.assertEqual((otro.args, otro.codigo, otro.posicion), ((1000, 4), 1000, 4))
                self.assertEqual((otro.mensaje, str(otro)), (error.mensaje, str(error)))

    def test_un_error_en_un_proceso_hijo_no_rompe_el_grupo(self):
        with concurrent.futures.ProcessPoolExecutor(max_workers=1) as grupo:
            fallido = grupo.submit(_analizar_en_otro_proceso, "1 + y")
            with self.assertRaises(ErrorDeAnalisis) as capturado:
                fallido.result(timeout=60)
            self.assertEqual((capturado.exception.codigo, capturado.exception.posicion), (1000, 4))
            self.assertEqual(grupo.submit(_analizar_en_otro_proceso, "2 * 3").result(timeout=60), 6.0)

    def test_codigos_que_no_son_int32(self):
        # Refused where the error is made: the engine would keep only the low 32 bits.
        for codigo, posicion, excepcion in [
            (2**32, 0, ValueError),
            (2**31, 0, ValueError),
            (-(2**31) - 1, 0, ValueError),
            (1.5, 0, TypeError),
            ("1000", 0, TypeError),
            (1000, 2**31, ValueError),
            (1000, 2.0, TypeError),
        ]:
            with self.subTest(codigo=codigo, posicion=posicion), self.assertRaises(excepcion):
                ErrorDeAnalisis(codigo, posicion)
        self.assertEqual(ErrorDeAnalisis(-(2**31)).codigo, -(2**31))

        def propio(n):
            raise ErrorDeAnalisis(2**32)

        # From a callable, the analysis ends with that ValueError, never with a success.
        with self.assertRaises(ValueError):
            Analizador(funciones={"propio": propio}).analizar("propio(1)")

    def test_textos_como_en_cpp(self):
        # A character outside Windows-1252 is "?": the C1 controls whose bytes stand for other
        # characters too; the five bytes the code page leaves undefined keep their controls.
        for texto, datos in [("\x80", b"?"), ("\x9c", b"?"), ("€", b"\x80"), ("œ", b"\x9c"), ("\x81", b"\x81"),
                             ("\x9d", b"\x9d"), ("ñ", b"\xf1"), ("☃", b"?")]:
            with self.subTest(texto=texto):
                self.assertEqual(_biblioteca.codificar(texto), datos)
        self.assertEqual(Analizador().analizar('"\x80€"'), "?€")


class Formulas(unittest.TestCase):
    def test_como_analizar(self):
        pedidos = []

        def x():
            pedidos.append("x")
            return len(pedidos)

        a = Analizador(variables={"x": x, "s": "año"}, estandar=True)
        for texto in ["x * 2 + Raiz(x)", "Mayusculas(s) + x", "x + ", "(x", "1/0"]:
            with self.subTest(texto=texto):
                pedidos.clear()
                try:
                    esperado = a.analizar(texto)
                except ErrorDeAnalisis as error:
                    esperado = (error.codigo, error.posicion)
                del_analisis, formula = len(pedidos), a.preparar(texto)
                pedidos.clear()
                try:
                    obtenido = formula.evaluar()
                except ErrorDeAnalisis as error:
                    obtenido = (error.codigo, error.posicion)
                self.assertEqual(obtenido, esperado)
                self.assertEqual(len(pedidos), del_analisis)

    def test_documentados(self):
        for clase in (Analizador, evalion.Formula, ErrorDeAnalisis):
            for nombre, miembro in vars(clase).items():
                if not nombre.startswith("_"):
                    with self.subTest(miembro=f"{clase.__name__}.{nombre}"):
                        self.assertTrue(miembro.__doc__)

    def test_nombres_rechazo_y_excepciones(self):
        def mal():
            raise KeyError("mal")

        a = Analizador(variables={"mal": mal})
        formula = a.preparar("f(x; 2) + x * año + f(1)")
        self.assertEqual(formula.nombres, [("f", 2), ("x", None), ("año", None), ("f", 1)])
        self.assertTrue(formula.preparada)
        self.assertFalse(a.preparar("1+").preparada)
        with self.assertRaises(ErrorDeAnalisis) as error:
            a.preparar("1+").evaluar()
        self.assertEqual((error.exception.codigo, error.exception.posicion), (500, 3))
        with self.assertRaises(KeyError):
            a.preparar("mal + 1").evaluar()
        with self.assertRaises(ValueError):
            a.preparar("1" * 1025)


class Vinculos(unittest.TestCase):
    def test_vincular_y_desvincular(self):
        formula = Analizador().preparar("x * 2 + y")
        self.assertEqual(formula.vincular("x", 3), 1)
        self.assertEqual(formula.vincular("y", Fraction(3, 2)), 1)
        self.assertEqual(formula.vincular("z", 1), 0)  # never asked for: nothing kept
        self.assertEqual(formula.evaluar(), 7.5)
        self.assertEqual(formula.vinculos, {"x": 3.0, "y": 1.5})
        formula.vincular("y", None)
        with self.assertRaises(ErrorDeAnalisis) as error:
            formula.evaluar()  # y is asked for again, and this analyser has no y
        self.assertEqual((error.exception.codigo, error.exception.posicion), (1000, 8))
        with self.assertRaises(TypeError):
            formula.vincular("x", "3")

    def test_cambiar_la_formula_desde_su_propia_evaluacion(self):
        # A request that rebinds or unbinds the formula it runs for: refused, the evaluation
        # finishes on what it began with (the request's exception ends it), and the old
        # number stays alive and bound.
        formulas = []

        def z():
            formulas[0].vincular("y", None)

        formula = Analizador({"z": z}).preparar("x * y + z")
        formulas.append(formula)
        formula.vincular("x", 2)
        formula.vincular("y", 5)
        with self.assertRaises(RuntimeError):
            formula.evaluar()
        self.assertEqual(formula.vinculos, {"x": 2.0, "y": 5.0})
        formula.vincular("y", None)  # after the evaluation: made
        self.assertEqual(formula.vinculos, {"x": 2.0})

    def test_pickle_lleva_texto_separadores_y_vinculos(self):
        a = Analizador({"sin": lambda: 1}, estandar=True)  # a callable does not travel
        a.separador_millar = ","
        a.separador_decimal = "."
        formula = a.preparar("Raiz(x) + 1,000.5")
        formula.vincular("x", 16)
        copia = pickle.loads(pickle.dumps(formula))
        self.assertEqual(copia.texto, "Raiz(x) + 1,000.5")
        self.assertEqual(copia.vinculos, {"x": 16.0})
        self.assertEqual(copia.evaluar(), 1004.5)
        self.assertEqual(copia._analizador.separador_decimal, ".")
        rechazada = pickle.loads(pickle.dumps(a.preparar("1+")))
        self.assertFalse(rechazada.preparada)


class Columnas(unittest.TestCase):
    def test_como_una_evaluacion_por_fila(self):
        x = array.array("d", [1, 2, 3, 2.5, -1])
        y = array.array("d", [0, 1, 2, 3, 4])
        a = Analizador({"z": 10}, {"f": lambda v: 2 * v})
        for texto in ["x * 2 + 1", "(x > 2) * (x - 2) + y", "f(x) + z * y", "1 / (x - 2)"]:
            with self.subTest(texto=texto):
                formula = a.preparar(texto)
                columnas = {nombre: c for nombre, c in (("x", x), ("y", y)) if (nombre, None) in formula.nombres}
                valores, codigos, posiciones = formula.evaluar_columnas(columnas, errores=True)
                for fila in range(len(x)):
                    a.variables.update(x=x[fila], y=y[fila])
                    try:
                        esperado = (a.analizar(texto), 0, 0)
                    except ErrorDeAnalisis as error:
                        esperado = (None, error.codigo, error.posicion)
                    obtenido = (valores[fila], codigos[fila], posiciones[fila])
                    if esperado[0] is None:
                        self.assertTrue(math.isnan(obtenido[0]))
                        obtenido = (None,) + obtenido[1:]
                    self.assertEqual(obtenido, esperado)

    def test_errores_y_columnas_mal_dadas(self):
        formula = Analizador().preparar("1 / (x - 2)")
        with self.assertRaises(ErrorDeAnalisis) as error:
            formula.evaluar_columnas(x=array.array("d", [1, 2, 3]))
        self.assertEqual((error.exception.codigo, error.exception.fila), (1200, 1))  # E_DIVISION
        with self.assertRaises(ValueError):  # the text has no y
            formula.evaluar_columnas(x=array.array("d", [1]), y=array.array("d", [1]))
        with self.assertRaises(ValueError):
            formula.evaluar_columnas(x=array.array("d", [1]), **{"x ": array.array("d", [1, 2])})
        with self.assertRaises(TypeError):
            formula.evaluar_columnas(x=array.array("f", [1]))
        with self.assertRaises(TypeError):
            formula.evaluar_columnas(x=[1.0, 2.0])
        with self.assertRaises(TypeError):  # a table has keys()
            formula.evaluar_columnas([array.array("d", [1])])

    def test_la_primera_fila_fallida(self):
        # Found with or without numpy, whether the call wrote the codes (a request: z) or a
        # second call finds the row (every name bound); rows of NaN before it are no failure.
        x = array.array("d", [math.nan, 3, 2, 5, 2])
        for texto, vinculos in [("1 / (x - 2)", {}), ("1 / (x - 2) + z", {}), ("1 / (x - 2) + z", {"z": 1})]:
            for modulo in {None, numpy}:
                with self.subTest(texto=texto, vinculos=vinculos, numpy=modulo is not None), \
                        mock.patch.object(evalion, "_numpy", modulo):
                    a = Analizador({"z": 1})
                    formula = a.preparar(texto)
                    for nombre, valor in vinculos.items():
                        formula.vincular(nombre, valor)
                    esperado = None
                    for fila, valor in enumerate(x):
                        try:
                            Analizador({"x": valor, "z": 1}).analizar(texto)
                        except ErrorDeAnalisis as error:
                            esperado = (fila, error.codigo, error.posicion)
                            break
                    with self.assertRaises(ErrorDeAnalisis) as error:
                        formula.evaluar_columnas(x=x)
                    hecho = error.exception
                    self.assertEqual((hecho.fila, hecho.codigo, hecho.posicion), esperado)

    @unittest.skipIf(dask is None, "pandas is not installed")
    def test_una_tabla_tal_cual(self):
        # The columns the text does not use are left alone; one it uses and the table lacks
        # (z) is asked of the analyser.
        import pandas

        precio, iva = numpy.array([100.0, 20.0, 3.0]), numpy.array([0.5, 1.0, 4.0])
        formula = Analizador({"z": 10}).preparar("precio * iva + z")
        for tabla in [{"precio": precio, "iva": iva, "otra": numpy.zeros(2), "texto": ["a"], 7: None},
                      pandas.DataFrame({"texto": ["a", "b", "c"], "precio": precio, "n": [1, 2, 3], "iva": iva})]:
            with self.subTest(tabla=type(tabla).__name__):
                self.assertEqual(list(formula.evaluar_columnas(tabla)), [60.0, 30.0, 22.0])

    @unittest.skipIf(dask is None, "pandas is not installed")
    def test_columnas_que_no_son_de_float64(self):
        # Refused with the column's name, never converted: an int column would be copied,
        # and rounded beyond 2**53.
        import pandas

        formula = Analizador().preparar("precio * 2")
        for tabla in [pandas.DataFrame({"precio": ["a", "b"]}), pandas.DataFrame({"precio": [1, 2]}),
                      {"precio": numpy.array([1, 2])}, {"precio": numpy.array([1, 2], numpy.float32)}]:
            with self.subTest(tabla=tabla):
                with self.assertRaises(TypeError) as error:
                    formula.evaluar_columnas(tabla)
                self.assertIn("'precio'", str(error.exception))

    def test_tipos_de_los_resultados(self):
        # With numpy all three results are its arrays, codes and positions of int32; without
        # it, arrays of the array module. A failure raised names its row with Python ints.
        formula = Analizador().preparar("1 / (x - 2)")
        with self.assertRaises(ErrorDeAnalisis) as esperado:
            Analizador({"x": 2}).analizar("1 / (x - 2)")
        casos = [(None, array.array, ("d", "i", "i"))]
        if numpy is not None:
            casos.append((numpy, numpy.ndarray, (numpy.float64, numpy.int32, numpy.int32)))
        for modulo, clase, tipos in casos:
            with self.subTest(numpy=modulo is not None), mock.patch.object(evalion, "_numpy", modulo):
                resultados = formula.evaluar_columnas(x=array.array("d", [1, 2, 3]), errores=True)
                for resultado, tipo in zip(resultados, tipos):
                    self.assertIsInstance(resultado, clase)
                    self.assertEqual(resultado.typecode if modulo is None else resultado.dtype, tipo)
                self.assertEqual(list(resultados[1]), [0, esperado.exception.codigo, 0])
                self.assertEqual(list(resultados[2]), [0, esperado.exception.posicion, 0])
                with self.assertRaises(ErrorDeAnalisis) as error:
                    formula.evaluar_columnas(x=array.array("d", [1, 2, 3]))
                hecho = error.exception
                self.assertEqual([type(v) for v in (hecho.codigo, hecho.posicion, hecho.fila)], [int] * 3)

    def test_vinculos_propios_despues(self):
        # x's own number is back after a call that gave it a column; 0 is a number like any other.
        for propio, solo, con_y in [(1, 101.0, 8.0), (0, 100.0, 7.0)]:
            with self.subTest(propio=propio):
                formula = Analizador().preparar("x + y")
                formula.vincular("x", propio)
                formula.vincular("y", 100)
                self.assertEqual(list(formula.evaluar_columnas(x=array.array("d", [5, 6]))), [105.0, 106.0])
                self.assertEqual(formula.evaluar(), solo)
                self.assertEqual(list(formula.evaluar_columnas(y=array.array("d", [7]))), [con_y])
                self.assertEqual(list(formula.evaluar_columnas()), [solo])

    @unittest.skipIf(numpy is None, "numpy is not installed")
    def test_numpy_sin_copia(self):
        formula = Analizador().preparar("x * x * x + 2 * x * x - 3 * x + 7")
        x = numpy.linspace(-3, 3, 1001)
        solo_lectura = x.copy()
        solo_lectura.flags.writeable = False
        esperado = x * x * x + (2 * x * x - (3 * x + 7))
        for columna in (x, solo_lectura, x[::1]):
            valores = formula.evaluar_columnas(x=columna)
            self.assertIsInstance(valores, numpy.ndarray)
            self.assertTrue(numpy.array_equal(valores, esperado))
        with self.assertRaises(TypeError):  # not contiguous: it would have to be copied
            formula.evaluar_columnas(x=x[::2])


class EstandarEnLaFormula(unittest.TestCase):
    """The standard library computed by the formula itself (no request reaches Python), and a
    name the host defines winning as in analizar, also when defined after preparar."""

    def test_sin_peticiones_y_el_anfitrion_gana(self):
        a = Analizador(estandar=True)
        pedidas = []
        a.funciones["f"] = lambda v: pedidas.append(v) or v  # a request, counted
        formula = a.preparar("Raiz(x) + Pi + f(1)")
        formula.vincular("x", 16)
        # (what the host defines, the value, the requests of f only)
        filas = [
            (lambda: None, 4 + math.pi + 1),
            (lambda: a.funciones.__setitem__("Raiz", lambda v: 100), 100 + math.pi + 1),
            (lambda: a.variables.__setitem__("Pi", 2), 100 + 2 + 1),
            (lambda: (a.funciones.pop("Raiz"), a.variables.pop("Pi")), 4 + math.pi + 1),
            (lambda: formula.vincular("Pi", 3), 4 + 3 + 1),
            (lambda: formula.vincular("Pi", None), 4 + math.pi + 1),
        ]
        estandar = a._bibliotecas.estandar
        for definir, esperado in filas:
            definir()
            pedidas.clear()
            with mock.patch.object(estandar, "A_EstandarFuncion", wraps=estandar.A_EstandarFuncion) as handler:
                self.assertEqual(formula.evaluar(), esperado)
            self.assertEqual(pedidas, [1])
            self.assertEqual(handler.call_count, 0)  # Raiz is the host's or the formula's
        a.estandar = False
        with self.assertRaises(ErrorDeAnalisis) as error:
            formula.evaluar()
        self.assertEqual(error.exception.codigo, _biblioteca.E_FUNCION)

    @unittest.skipIf(numpy is None, "numpy is not installed")
    def test_columnas_con_el_estandar(self):
        a = Analizador(estandar=True)
        x = numpy.array([0.0, -0.0, -4, 9, float("inf"), float("nan")])
        formula = a.preparar("Raiz(x) + Max(x; 1; Pi) - Abs(E)")
        esperados = [Analizador(estandar=True, variables={"x": float(v)}).analizar(
            "Raiz(x) + Max(x; 1; Pi) - Abs(E)") for v in x]
        obtenidos = formula.evaluar_columnas(x=x)
        numpy.testing.assert_array_equal(obtenidos, numpy.array(esperados))
        # a column named as a constant is that column, and the constant comes back after it
        e = formula.evaluar_columnas(x=x, E=numpy.zeros(len(x)))
        numpy.testing.assert_array_equal(e, obtenidos + math.e)
        formula.vincular("x", 9)
        self.assertEqual(formula.evaluar(), 3 + 9 - math.e)

    @unittest.skipIf(numpy is None, "numpy is not installed")
    def test_si_con_el_estandar(self):
        x = numpy.array([0.0, -0.0, 2.5, float("nan")])
        for texto in ("si(x; x; -1) * 2", "si(x > 1; Raiz(x); Abs(x))"):
            esperados = [Analizador(estandar=True, variables={"x": float(v)}).analizar(texto) for v in x]
            obtenidos = Analizador(estandar=True).preparar(texto).evaluar_columnas(x=x)
            numpy.testing.assert_array_equal(obtenidos, numpy.array(esperados))
        # with a text argument si is the analyser's, which answers the text
        self.assertEqual(Analizador(estandar=True, variables={"s": "a"}).preparar("si(1; s; 2)").evaluar(), "a")


class Distribuido(unittest.TestCase):
    @unittest.skipIf(dask is None, "dask and pandas are not installed")
    def test_map_partitions_en_procesos(self):
        import dask.dataframe
        import pandas

        a = Analizador(estandar=True)
        a.separador_decimal = "."
        a.separador_millar = ","
        formula = a.preparar("Raiz(x * x + y * y) + k * 0.5")
        formula.vincular("k", 3)
        tabla = pandas.DataFrame({"x": numpy.arange(2000.0), "y": numpy.arange(2000.0) / 7})
        entera = formula.evaluar_columnas(x=tabla["x"].to_numpy(), y=tabla["y"].to_numpy())

        def particion(trozo, f):
            return pandas.Series(f.evaluar_columnas(trozo), index=trozo.index)  # the partition as it is

        repartida = dask.dataframe.from_pandas(tabla, npartitions=4)
        calculada = repartida.map_partitions(particion, formula, meta=("v", "f8")).compute(scheduler="processes")
        self.assertTrue(numpy.array_equal(calculada.to_numpy(), entera))


class Hilos(unittest.TestCase):
    def test_analizadores_separados(self):
        fallos = []

        def trabajar(n):
            analizador = Analizador({"n": n}, {"doble": lambda v: 2 * v})
            for _ in range(300):
                valor = analizador.analizar("n * 1000 + doble(n)")
                if valor != n * 1002:
                    fallos.append((n, valor))

        hilos = [threading.Thread(target=trabajar, args=(n,)) for n in range(4)]
        for hilo in hilos:
            hilo.start()
        for hilo in hilos:
            hilo.join()
        self.assertEqual(fallos, [])

    def test_un_analizador_analiza_una_vez_a_la_vez(self):
        analizador = Analizador()
        analizador.funciones["otra"] = lambda n: analizador.analizar("1")
        with self.assertRaises(RuntimeError):
            analizador.analizar("otra(1)")


class Carga(unittest.TestCase):
    def test_el_error_nombra_lo_intentado(self):
        with mock.patch.dict(_biblioteca._NOMBRES, {"evalion": "libno-existe.so.1"}), mock.patch.dict(
            os.environ, {_biblioteca.VARIABLE_DE_ENTORNO: "directorio-que-no-existe"}
        ):
            with self.assertRaises(evalion.BibliotecaNoEncontrada) as capturado:
                _biblioteca._cargar("evalion")
        texto = str(capturado.exception)
        self.assertIn(os.path.join("directorio-que-no-existe", "libno-existe.so.1"), texto)
        self.assertIn("system's loader", texto)


if __name__ == "__main__":
    unittest.main()
