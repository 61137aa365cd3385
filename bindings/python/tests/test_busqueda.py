"""Where the package looks for its libraries, on Windows too: simulated here on any system
(no DLL is loaded; the loader is replaced by one that only records what it was given)."""
import os
import shutil
import struct
import tempfile
import unittest
from unittest import mock

import evalion
from evalion import _biblioteca

AQUI = os.path.dirname(os.path.abspath(__file__))
CHECKOUT = os.path.normpath(os.path.join(AQUI, os.pardir, os.pardir, os.pardir))
NOMBRES_WINDOWS = ("Evalion.dll", "EvalionEstandar.dll", "EvalionFormula.dll")


def dll_de(bits):
    """The first bytes of a Windows DLL of that pointer size: the DOS header pointing at a PE
    header with its machine field (x86 or x86-64), and nothing else."""
    maquina = {32: 0x014C, 64: 0x8664}[bits]
    dos = b"MZ" + bytes(58) + struct.pack("<I", 64)
    return dos + b"PE\0\0" + struct.pack("<H", maquina) + bytes(18)


class Cargador:
    """Stands for ctypes.WinDLL: records the path and returns it."""

    def __init__(self):
        self.rutas = []

    def __call__(self, ruta):
        self.rutas.append(ruta)
        if not os.path.isabs(ruta):  # the system's loader, by bare name
            raise OSError(f"{ruta} not found")
        return ruta


class Busqueda(unittest.TestCase):
    def setUp(self):
        self.temporal = tempfile.mkdtemp()
        self.addCleanup(shutil.rmtree, self.temporal)
        # A package installed on Windows: site-packages\evalion with the DLLs beside it.
        self.paquete = os.path.join(self.temporal, "Lib", "site-packages", "evalion")
        os.makedirs(self.paquete)
        self.cargador = Cargador()
        for parche in (
            mock.patch.object(_biblioteca, "__file__", os.path.join(self.paquete, "_biblioteca.py")),
            mock.patch.object(_biblioteca, "_Biblioteca", self.cargador),
            mock.patch.dict(os.environ, {_biblioteca.VARIABLE_DE_ENTORNO: ""}),
        ):
            parche.start()
            self.addCleanup(parche.stop)

    def escribir(self, carpeta, bits, nombres=NOMBRES_WINDOWS):
        os.makedirs(carpeta, exist_ok=True)
        for nombre in nombres:
            with open(os.path.join(carpeta, nombre), "wb") as archivo:
                archivo.write(dll_de(bits))

    def test_bits_de_una_dll(self):
        self.escribir(self.temporal, 64, ["a.dll"])
        self.escribir(self.temporal, 32, ["b.dll"])
        with open(os.path.join(self.temporal, "c.dll"), "wb") as archivo:
            archivo.write(b"\x7fELF" + bytes(60))
        self.assertEqual(_biblioteca.bits_de_dll(os.path.join(self.temporal, "a.dll")), 64)
        self.assertEqual(_biblioteca.bits_de_dll(os.path.join(self.temporal, "b.dll")), 32)
        self.assertIsNone(_biblioteca.bits_de_dll(os.path.join(self.temporal, "c.dll")))
        self.assertIsNone(_biblioteca.bits_de_dll(os.path.join(self.temporal, "no-existe.dll")))

    def test_las_dll_de_64_bits_junto_al_paquete(self):
        self.escribir(self.paquete, 64)
        for clave, nombre in zip(("evalion", "estandar", "formula"), NOMBRES_WINDOWS):
            self.assertEqual(_biblioteca._cargar(clave, "win32", 64), os.path.join(self.paquete, nombre))

    def test_las_de_32_bits_no_sirven_a_un_python_de_64(self):
        # The 32-bit DLLs first in the list (the environment variable), the 64-bit ones in the
        # wheel's folder: a 64-bit Python passes over the first and loads the second.
        otra = os.path.join(self.temporal, "win32")
        self.escribir(otra, 32)
        self.escribir(os.path.join(self.paquete, "_bibliotecas"), 64)
        de_64 = os.path.join(self.paquete, "_bibliotecas", "EvalionFormula.dll")
        de_32 = os.path.join(otra, "EvalionFormula.dll")
        with mock.patch.dict(os.environ, {_biblioteca.VARIABLE_DE_ENTORNO: otra}):
            self.assertEqual(_biblioteca._cargar("formula", "win32", 64), de_64)
            self.assertEqual(self.cargador.rutas, [de_64])  # the 32-bit one was never handed to the loader
            self.assertEqual(_biblioteca._cargar("formula", "win32", 32), de_32)

    def test_el_error_dice_de_cuantos_bits_es_la_dll(self):
        self.escribir(self.paquete, 32)
        with self.assertRaises(evalion.BibliotecaNoEncontrada) as capturado:
            _biblioteca._cargar("evalion", "win32", 64)
        texto = str(capturado.exception)
        self.assertIn(os.path.join(self.paquete, "Evalion.dll") + ": a 32-bit DLL, and this Python is 64-bit", texto)
        self.assertIn("system's loader", texto)
        self.assertEqual(self.cargador.rutas, ["Evalion.dll"])  # only the loader's own search

    def test_el_orden_en_windows(self):
        directorios = _biblioteca._directorios("win32", 64)
        self.assertEqual(directorios[:2], [self.paquete, os.path.join(self.paquete, "_bibliotecas")])
        # On Linux the package's own folder holds no library.
        self.assertNotIn(self.paquete, _biblioteca._directorios("linux", 64))

    def test_desde_un_checkout_la_construccion_de_su_tamano(self):
        with mock.patch.object(_biblioteca, "__file__", os.path.join(CHECKOUT, "bindings", "python", "evalion", "x.py")):
            en_64 = _biblioteca._directorios("win32", 64)
            en_32 = _biblioteca._directorios("win32", 32)
            en_linux = _biblioteca._directorios("linux", 64)
        self.assertEqual(en_64[-1], os.path.join(CHECKOUT, "build", "windows64", "bin"))
        self.assertEqual(en_32[-1], os.path.join(CHECKOUT, "build", "windows", "bin"))
        self.assertIn(os.path.join(CHECKOUT, "build", "ci", "formula"), en_linux)

    def test_las_dll_construidas(self):
        """The DLLs of this checkout's Windows builds, where they were built."""
        hay = False
        for bits, arbol in ((32, "windows"), (64, "windows64")):
            carpeta = os.path.join(CHECKOUT, "build", arbol, "bin")
            for nombre in NOMBRES_WINDOWS:
                ruta = os.path.join(carpeta, nombre)
                if os.path.exists(ruta):
                    hay = True
                    self.assertEqual(_biblioteca.bits_de_dll(ruta), bits, ruta)
        if not hay:
            self.skipTest("no Windows build in this checkout")


if __name__ == "__main__":
    unittest.main()
