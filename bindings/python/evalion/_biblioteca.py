"""The C interface of libevalion, libevalion-estandar and libevalion-formula through ctypes.

Only the public C entry points are used: the four functions of the library whose requests
are plain functions (a Python closure carries its own context, so the object form is not
needed), those of the standard library, which also holds the message table, and those
of the prepared expressions in the same plain form, loaded when first used.
"""
import ctypes
import functools
import os
import sys

TIPO_NUMERO = 1
TIPO_CADENA = 2
E_VARIABLE = 1000
E_FUNCION = 1100
LARGO_CADENA = 1024  # bytes of a text field, terminator included
LARGO_EXPRESION = 1024  # characters of an expression
ESTANDAR_CON_TEXTOS = 0x100  # A_EstandarNativa: also si, for a binding that leaves texts to the host (Estandar.h)
FORMULA_TEXTO_AL_ANFITRION = 0x100  # A_VincularFuncion: a call with a text argument asks the host (Formula.h)

VARIABLE_DE_ENTORNO = "EVALION_BIBLIOTECAS"

# The files of the three libraries on each system.
_NOMBRES_DEL_SISTEMA = {
    "win32": {"evalion": "Evalion.dll", "estandar": "EvalionEstandar.dll", "formula": "EvalionFormula.dll"},
    "darwin": {
        "evalion": "libevalion.1.dylib",
        "estandar": "libevalion-estandar.1.dylib",
        "formula": "libevalion-formula.1.dylib",
    },
    "otro": {"evalion": "libevalion.so.1", "estandar": "libevalion-estandar.so.1", "formula": "libevalion-formula.so.1"},
}


def _sistema(plataforma):
    return plataforma if plataforma in ("win32", "darwin") else "otro"


_NOMBRES = dict(_NOMBRES_DEL_SISTEMA[_sistema(sys.platform)])
if sys.platform == "win32":
    # stdcall for the 32-bit DLLs; 64-bit Windows has one convention, which ctypes uses for
    # both kinds there.
    _TIPO_FUNCION = ctypes.WINFUNCTYPE
    _Biblioteca = ctypes.WinDLL
else:
    _TIPO_FUNCION = ctypes.CFUNCTYPE
    _Biblioteca = ctypes.CDLL


def _bits():
    """The pointer size of this Python in bits: the DLLs it can load on Windows."""
    return 8 * ctypes.sizeof(ctypes.c_void_p)


# The machine field of a PE header: 32-bit x86 and x86-64.
_MAQUINAS_PE = {0x014C: 32, 0x8664: 64}


def bits_de_dll(ruta):
    """32 or 64 for a Windows DLL (or program) of x86 or x86-64, read from its PE header;
    None for any other file. Readable anywhere: nothing is loaded."""
    try:
        with open(ruta, "rb") as archivo:
            cabecera = archivo.read(64)
            if len(cabecera) < 64 or cabecera[:2] != b"MZ":
                return None
            archivo.seek(int.from_bytes(cabecera[60:64], "little"))
            firma = archivo.read(6)
    except OSError:
        return None
    if len(firma) < 6 or firma[:4] != b"PE\0\0":
        return None
    return _MAQUINAS_PE.get(int.from_bytes(firma[4:6], "little"))


class BLOQUEDEDATOS(ctypes.Structure):
    """One value or one error, with the libraries' layout (4-byte packing, 1044 bytes)."""

    _pack_ = 4
    _fields_ = [
        ("Numero", ctypes.c_double),
        ("Cadena", ctypes.c_char * LARGO_CADENA),
        ("Tipo", ctypes.c_uint8),
        ("Error", ctypes.c_int32),
        ("Posicion", ctypes.c_int32),
    ]


assert ctypes.sizeof(BLOQUEDEDATOS) == 1044, "BLOQUEDEDATOS must be 1044 bytes"

PBLOQUE = ctypes.POINTER(BLOQUEDEDATOS)
ALPEDIRVARIABLE = _TIPO_FUNCION(None, ctypes.c_char_p, PBLOQUE)
ALPEDIRFUNCION = _TIPO_FUNCION(None, ctypes.c_char_p, PBLOQUE, ctypes.c_int32, PBLOQUE)


class ESTADODEANALISIS(ctypes.Structure):
    """The parser state of libevalion; reserved here, never looked into but for the separators."""

    _pack_ = 4
    _fields_ = [
        ("TokenActual", ctypes.c_int32),
        ("Leidos", ctypes.c_int32),
        ("InicioToken", ctypes.c_int32),
        ("Cursor", ctypes.c_void_p),
        ("Texto", ctypes.c_char * 1025),
        ("TextoToken", ctypes.c_char * 1025),
        ("ValorNumero", ctypes.c_double),
        ("SepDecimal", ctypes.c_char),
        ("SepMillar", ctypes.c_char),
        ("AlPedirVariable", ctypes.c_void_p),
        ("AlPedirFuncion", ctypes.c_void_p),
    ]


# The record's size in the plain form: 2100 bytes where pointers have 64 bits (Linux x86-64,
# 64-bit Windows), 2088 on 32-bit Windows (Parser.h).
assert ctypes.sizeof(ESTADODEANALISIS) == (2100 if _bits() == 64 else 2088), "ESTADODEANALISIS has the libraries' size"


class BibliotecaNoEncontrada(OSError):
    """A library of Evalion could not be loaded; the message lists every place tried."""


# Where a checkout's builds leave the libraries, relative to the build tree: ./run.sh builds
# build/run, the release and ci presets build/release and build/ci.
_ARBOLES_DEL_PROYECTO = ("run", "release", "ci")
_CARPETAS_DEL_ARBOL = ("lib", "estandar", "formula")
# The Windows builds of a checkout, by the pointer size of the Python that loads them: the
# windows preset's 32-bit DLLs, the windows64 preset's 64-bit ones, each in its bin folder.
_ARBOLES_WINDOWS = {32: os.path.join("windows", "bin"), 64: os.path.join("windows64", "bin")}


def _directorios(plataforma=None, bits=None):
    """Where to look, in order: the environment variable (directories separated as in
    PATH); on Windows the package's own folder (the DLLs next to __init__.py, as a copy of
    the distribution's bin folder put there); the libraries the wheel carries
    (evalion/_bibliotecas, when pip installed it); the directory cmake --install recorded;
    run from a checkout (bindings/python/evalion), that checkout's builds (on Windows the
    build of this Python's pointer size); else the lib folders of the prefix this package
    was installed under (<prefix>/lib/pythonX.Y/site-packages/evalion). plataforma and bits
    stand for sys.platform and this Python's pointer size (the tests simulate others)."""
    plataforma = plataforma or sys.platform
    bits = bits or _bits()
    directorios = [d for d in os.environ.get(VARIABLE_DE_ENTORNO, "").split(os.pathsep) if d]
    aqui = os.path.dirname(os.path.abspath(__file__))
    if plataforma == "win32":
        directorios.append(aqui)
    directorios.append(os.path.join(aqui, "_bibliotecas"))
    try:
        from . import _instalacion  # written by cmake --install

        directorios.append(os.path.normpath(os.path.join(aqui, _instalacion.BIBLIOTECAS)))
        return directorios
    except ImportError:
        pass
    raiz = os.path.normpath(os.path.join(aqui, os.pardir, os.pardir, os.pardir))
    if os.path.isfile(os.path.join(raiz, "bindings", "python", "construir.py")):
        if plataforma == "win32":
            if bits in _ARBOLES_WINDOWS:
                directorios.append(os.path.join(raiz, "build", _ARBOLES_WINDOWS[bits]))
            return directorios
        for arbol in _ARBOLES_DEL_PROYECTO:
            directorios += [os.path.join(raiz, "build", arbol, carpeta) for carpeta in _CARPETAS_DEL_ARBOL]
        return directorios
    prefijo = os.path.normpath(os.path.join(aqui, os.pardir, os.pardir, os.pardir, os.pardir))
    directorios.append(os.path.join(prefijo, "lib"))
    if hasattr(sys.implementation, "_multiarch"):
        directorios.append(os.path.join(prefijo, "lib", sys.implementation._multiarch))
    return directorios


def _cargar(clave, plataforma=None, bits=None):
    """The library named by clave, from the first place that has it; last the system's loader.
    On Windows a DLL of the other pointer size (a 32-bit Evalion.dll for a 64-bit Python) is
    passed over, and named so in the error, rather than loaded to fail."""
    plataforma = plataforma or sys.platform
    bits = bits or _bits()
    nombres = _NOMBRES if plataforma == sys.platform else _NOMBRES_DEL_SISTEMA[_sistema(plataforma)]
    nombre = nombres[clave]
    intentos = []
    for directorio in _directorios(plataforma, bits):
        ruta = os.path.join(directorio, nombre)
        if not os.path.exists(ruta):
            intentos.append(f"{ruta}: not there")
            continue
        if plataforma == "win32":
            suyos = bits_de_dll(ruta)
            if suyos != bits:
                que = f"a {suyos}-bit DLL" if suyos else "not an x86 or x86-64 DLL"
                intentos.append(f"{ruta}: {que}, and this Python is {bits}-bit")
                continue
        try:
            return _Biblioteca(ruta)
        except OSError as error:
            intentos.append(f"{ruta}: {error}")
    try:
        return _Biblioteca(nombre)
    except OSError as error:
        intentos.append(f"{nombre} through the system's loader: {error}")
    raise BibliotecaNoEncontrada(
        f"cannot load {nombre} (set {VARIABLE_DE_ENTORNO} to the directory that holds it); tried:\n  "
        + "\n  ".join(intentos)
    )


class Bibliotecas:
    """The libraries with their functions declared; the prepared expressions' on first use."""

    def __init__(self):
        self.evalion = _cargar("evalion")
        self.estandar = _cargar("estandar")
        e = self.evalion
        pestado = ctypes.POINTER(ESTADODEANALISIS)
        e.A_Inicializar.argtypes = [pestado]
        e.A_Inicializar.restype = None
        e.A_AsignarAlPedir.argtypes = [pestado, ALPEDIRVARIABLE, ALPEDIRFUNCION]
        e.A_AsignarAlPedir.restype = None
        e.A_AsignarSeparadores.argtypes = [pestado, ctypes.c_char, ctypes.c_char]
        e.A_AsignarSeparadores.restype = None
        e.A_Analizar.argtypes = [pestado, ctypes.c_char_p]
        e.A_Analizar.restype = BLOQUEDEDATOS
        s = self.estandar
        s.A_EstandarVariable.argtypes = [ctypes.c_char_p, PBLOQUE]
        s.A_EstandarVariable.restype = ctypes.c_int32
        s.A_EstandarFuncion.argtypes = [ctypes.c_char_p, PBLOQUE, ctypes.c_int32, PBLOQUE]
        s.A_EstandarFuncion.restype = ctypes.c_int32
        # The C code of a function of numbers and the address of a constant, only handed on to
        # the prepared expressions: Python never calls nor reads them.
        s.A_EstandarNativa.argtypes = [ctypes.c_char_p, ctypes.c_int32]
        s.A_EstandarNativa.restype = ctypes.c_void_p
        s.A_EstandarMarcas.argtypes = [ctypes.c_char_p, ctypes.c_int32]
        s.A_EstandarMarcas.restype = ctypes.c_int32
        s.A_EstandarConstante.argtypes = [ctypes.c_char_p]
        s.A_EstandarConstante.restype = ctypes.c_void_p
        s.A_Mensaje.argtypes = [ctypes.c_int32]
        s.A_Mensaje.restype = ctypes.c_char_p
        self._formula = None

    @property
    def formula(self):
        if self._formula is None:
            f = _cargar("formula")
            pestado = ctypes.POINTER(ESTADODEANALISIS)
            f.A_Preparar.argtypes = [pestado, ctypes.c_char_p, PBLOQUE]
            f.A_Preparar.restype = ctypes.c_void_p
            f.A_Evaluar.argtypes = [ctypes.c_void_p, pestado]
            f.A_Evaluar.restype = BLOQUEDEDATOS
            f.A_Liberar.argtypes = [ctypes.c_void_p]
            f.A_Liberar.restype = None
            f.A_Nombre.argtypes = [ctypes.c_void_p, ctypes.c_int32, ctypes.POINTER(ctypes.c_int32)]
            f.A_Nombre.restype = ctypes.c_char_p
            f.A_Vincular.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.POINTER(ctypes.c_double)]
            f.A_Vincular.restype = ctypes.c_int32
            f.A_VincularFuncion.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int32, ctypes.c_void_p]
            f.A_VincularFuncion.restype = ctypes.c_int32
            # A column is passed as the address of its first double, which Python has as an int.
            f.A_VincularColumna.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_void_p]
            f.A_VincularColumna.restype = ctypes.c_int32
            # The values, codes and positions are passed as addresses of the caller's buffers.
            f.A_EvaluarFilas.argtypes = [ctypes.c_void_p, pestado, ctypes.c_int32, ctypes.c_void_p, ctypes.c_void_p,
                                         ctypes.c_void_p]
            f.A_EvaluarFilas.restype = ctypes.c_int32
            self._formula = f
        return self._formula


@functools.lru_cache(maxsize=None)
def bibliotecas():
    """The libraries, loaded once per process (loading is idempotent; the cache only saves time)."""
    return Bibliotecas()


# Windows-1252 at the boundary, one byte per character so that positions count characters.
# The five bytes the code page leaves undefined stand for the control characters of the
# same value, as in ISO 8859-1, so every byte has a character and back.
def _definido(byte):
    try:
        return bytes([byte]).decode("cp1252")
    except UnicodeDecodeError:
        return chr(byte)


_A_TEXTO = {b: ord(_definido(b)) for b in range(0x80, 0xA0)}
# The control characters U+0080..U+009F whose byte stands for another character ("€" for
# 0x80) are not in the code page: "?", as the C++ interface and the tools write them.
_A_BYTES = {**{c: ord("?") for c in range(0x80, 0xA0)}, **{caracter: b for b, caracter in _A_TEXTO.items()}}


def decodificar(datos):
    """str from the engine's Windows-1252 bytes."""
    return datos.decode("latin-1").translate(_A_TEXTO)


def codificar(texto):
    """Windows-1252 bytes of a str; a character the code page lacks becomes "?", which
    begins no token, so the engine reports it at its position."""
    return texto.translate(_A_BYTES).encode("latin-1", errors="replace")
