"""Evalion from Python: analyse expressions whose names your dictionaries answer.

    >>> from evalion import Analizador
    >>> Analizador(variables={"IVA": 0.21}).analizar("100 * (1 + IVA)")
    121.0
"""
import ctypes
import inspect
import threading

from . import _biblioteca as _b
from ._biblioteca import BibliotecaNoEncontrada

__all__ = ["Analizador", "ErrorDeAnalisis", "BibliotecaNoEncontrada", "mensaje"]
__version__ = "1.0.0"

# The code a request leaves when a callable raised: any non-zero code ends the analysis at
# once, and this one never reaches the caller, who gets the callable's exception instead.
_E_EXCEPCION = -1


def mensaje(codigo):
    """The Spanish message of an error code, ending in a blank before the position, or None
    for a code that has none (a host's own code)."""
    texto = _b.bibliotecas().estandar.A_Mensaje(codigo)
    return None if texto is None else _b.decodificar(texto)


class ErrorDeAnalisis(Exception):
    """An analysis failed: codigo is the error code, posicion the 1-based character where it
    stopped (0 for an empty text), mensaje the Spanish message with the position, or None for
    a code without one. Raised from a variable or function of the host, it ends the analysis
    with that code, which analizar reports with the position the engine gives it."""

    def __init__(self, codigo, posicion=0):
        if codigo == 0:
            raise ValueError("an error code is not 0")
        self.codigo = codigo
        self.posicion = posicion
        texto = mensaje(codigo)
        self.mensaje = None if texto is None else f"{texto}{posicion}"
        super().__init__(self.mensaje or f"error {codigo} at position {posicion}")


def _poner(R, valor):
    """Fills the engine's result block with a host's value: a number or a str."""
    if isinstance(valor, str):
        datos = _b.codificar(valor)
        if len(datos) >= _b.LARGO_CADENA:
            raise ValueError(f"a text value holds at most {_b.LARGO_CADENA - 1} characters, not {len(datos)}")
        R.Cadena = datos
        R.Tipo = _b.TIPO_CADENA
    elif hasattr(type(valor), "__float__"):  # any real: int, float, Fraction, Decimal, numpy's
        R.Numero = float(valor)
        R.Tipo = _b.TIPO_NUMERO
    else:
        raise TypeError(f"a value is a number or a str, not {type(valor).__name__}")


def _admite(funcion, n):
    """Whether a callable can be called with n positional arguments; True when Python cannot
    tell (some built-ins have no signature), so that the call itself decides."""
    try:
        inspect.signature(funcion).bind(*range(n))
    except TypeError:
        return False
    except ValueError:
        pass
    return True


def _valor(bloque):
    """A successful block as float or str."""
    if bloque.Tipo == _b.TIPO_CADENA:
        return _b.decodificar(bloque.Cadena)
    return bloque.Numero


class Analizador:
    """An analyser that owns its parser state. variables and funciones map names (as typed,
    case-sensitive) to values or to callables: a variable's callable is called with no
    argument, a function's with one float or str per argument. With estandar=True the names
    neither dictionary has are asked of the standard library (Pi, E, Raiz, Max, ...).

    One analysis at a time per analyser: analyse from several threads with one analyser each.
    """

    def __init__(self, variables=None, funciones=None, *, estandar=False):
        self.variables = dict(variables or {})
        self.funciones = dict(funciones or {})
        self.estandar = estandar
        self._bibliotecas = _b.bibliotecas()
        self._estado = _b.ESTADODEANALISIS()
        self._puntero = ctypes.pointer(self._estado)  # made once: it is passed on every call
        self._ocupado = threading.Lock()
        self._pendiente = None
        # The ctypes thunks live as long as the analyser: the record points to them.
        self._al_pedir_variable = _b.ALPEDIRVARIABLE(self._pedir_variable)
        self._al_pedir_funcion = _b.ALPEDIRFUNCION(self._pedir_funcion)
        evalion = self._bibliotecas.evalion
        evalion.A_Inicializar(self._puntero)
        evalion.A_AsignarAlPedir(self._puntero, self._al_pedir_variable, self._al_pedir_funcion)

    def analizar(self, texto):
        """The value of texto (a str of at most 1024 characters, without NUL) as float or str.
        Raises ErrorDeAnalisis, or the exception a variable or function raised; TypeError for
        anything but a str and ValueError for a text the engine would read only in part."""
        if not isinstance(texto, str):
            raise TypeError(f"an expression is a str, not {type(texto).__name__}")
        if len(texto) > _b.LARGO_EXPRESION:
            raise ValueError(f"an expression holds at most {_b.LARGO_EXPRESION} characters, not {len(texto)}")
        if "\0" in texto:
            raise ValueError(f"the expression has a NUL at character {texto.index(chr(0)) + 1}")
        datos = _b.codificar(texto)
        if not self._ocupado.acquire(blocking=False):
            raise RuntimeError("this Analizador is already analysing; use one per thread")
        try:
            self._pendiente = None
            R = self._bibliotecas.evalion.A_Analizar(self._puntero, datos)
            pendiente, self._pendiente = self._pendiente, None
        finally:
            self._ocupado.release()
        if pendiente is not None:
            raise pendiente
        if R.Error != 0:
            raise ErrorDeAnalisis(R.Error, R.Posicion)
        return _valor(R)

    @property
    def separador_decimal(self):
        """The decimal separator, one character ("," unless set)."""
        return _b.decodificar(self._estado.SepDecimal)

    @separador_decimal.setter
    def separador_decimal(self, caracter):
        self._bibliotecas.evalion.A_AsignarSeparadores(self._puntero, b"\0", self._byte(caracter))

    @property
    def separador_millar(self):
        """The thousands separator, one character ("." unless set)."""
        return _b.decodificar(self._estado.SepMillar)

    @separador_millar.setter
    def separador_millar(self, caracter):
        self._bibliotecas.evalion.A_AsignarSeparadores(self._puntero, self._byte(caracter), b"\0")

    @staticmethod
    def _byte(caracter):
        if not isinstance(caracter, str):
            raise TypeError(f"a separator is a str, not {type(caracter).__name__}")
        datos = _b.codificar(caracter) if len(caracter) == 1 else b""
        if len(datos) != 1 or datos == b"\0" or (datos == b"?" and caracter != "?"):
            raise ValueError(f"a separator is one Windows-1252 character other than NUL, not {caracter!r}")
        return datos

    def _responder(self, R, responder):
        """Runs one request: a host's ErrorDeAnalisis becomes its code; any other exception
        is kept for analizar and ends the analysis."""
        try:
            responder(R.contents)
        except ErrorDeAnalisis as error:
            R.contents.Error = error.codigo
        except BaseException as error:  # noqa: B036 -- even KeyboardInterrupt must not be lost
            self._pendiente = error
            R.contents.Error = _E_EXCEPCION

    def _pedir_variable(self, variable, R):
        def responder(bloque):
            nombre = _b.decodificar(variable)
            if nombre in self.variables:
                valor = self.variables[nombre]
                _poner(bloque, valor() if callable(valor) else valor)
            elif not (self.estandar and self._bibliotecas.estandar.A_EstandarVariable(variable, R)):
                bloque.Error = _b.E_VARIABLE

        self._responder(R, responder)

    def _pedir_funcion(self, funcion, parametros, n, R):
        def responder(bloque):
            nombre = _b.decodificar(funcion)
            if nombre in self.funciones:
                valor = self.funciones[nombre]
                if callable(valor):
                    llamada = valor
                    try:
                        valor = llamada(*[_valor(parametros[i]) for i in range(n)])
                    except TypeError:
                        # Binding the arguments fails before the body runs; only then is the
                        # signature read, so that a call that fits costs nothing more.
                        if _admite(llamada, n):
                            raise
                        bloque.Error = _b.E_FUNCION  # as a function unknown for this count
                        return
                _poner(bloque, valor)
            elif not (self.estandar and self._bibliotecas.estandar.A_EstandarFuncion(funcion, parametros, n, R)):
                bloque.Error = _b.E_FUNCION

        self._responder(R, responder)
