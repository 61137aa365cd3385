"""Evalion from Python: analyse expressions whose names your dictionaries answer.

    >>> from evalion import Analizador
    >>> Analizador(variables={"IVA": 0.21}).analizar("100 * (1 + IVA)")
    121.0
"""
import array
import ctypes
import inspect
import operator
import threading

try:  # optional: columns come back as numpy arrays when it is there
    import numpy as _numpy
except ImportError:
    _numpy = None

from . import _biblioteca as _b
from ._biblioteca import BibliotecaNoEncontrada

__all__ = ["Analizador", "Formula", "ErrorDeAnalisis", "BibliotecaNoEncontrada", "mensaje"]
__version__ = "1.0.0"

# The code a request leaves when a callable raised: any non-zero code ends the analysis at
# once, and this one never reaches the caller, who gets the callable's exception instead.
_E_EXCEPCION = -1
_FORMULA_EN_CURSO = -3  # a change refused while the formula is being evaluated (Formula.h)


def mensaje(codigo):
    """The Spanish message of an error code, ending in a blank before the position, or None
    for a code that has none (a host's own code)."""
    texto = _b.bibliotecas().estandar.A_Mensaje(codigo)
    return None if texto is None else _b.decodificar(texto)


class ErrorDeAnalisis(Exception):
    """An analysis failed: codigo is the error code, posicion the 1-based character where it
    stopped (0 for an empty text), mensaje the Spanish message with the position, or None for
    a code without one. Raised from a variable or function of the host, it ends the analysis
    with that code, which analizar reports with the position the engine gives it.

    Both are 32-bit integers, as the engine keeps them: anything else is TypeError, a value
    outside that range or a code 0 (success) ValueError, here, where it is made. args is
    (codigo, posicion), so that an error pickles and copies (a process pool returns it)."""

    def __init__(self, codigo, posicion=0):
        codigo, posicion = _entero32(codigo, "an error code"), _entero32(posicion, "a position")
        if codigo == 0:
            raise ValueError("an error code is not 0")
        super().__init__(codigo, posicion)
        self.codigo = codigo
        self.posicion = posicion
        texto = mensaje(codigo)
        self.mensaje = None if texto is None else f"{texto}{posicion}"

    def __str__(self):
        return self.mensaje or f"error {self.codigo} at position {self.posicion}"


def _entero32(valor, que):
    """valor as an int that fits the engine's int32_t, or the exception that says why not."""
    try:
        entero = operator.index(valor)  # an int, or what stands for one; never a float
    except TypeError:
        raise TypeError(f"{que} is an int, not {type(valor).__name__}") from None
    if not -(2**31) <= entero < 2**31:
        raise ValueError(f"{que} is a 32-bit integer, not {entero}")
    return entero


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
    """An analyser that owns its parser state.

    variables and funciones map names (as typed, case-sensitive) to values or to callables:
    a variable's callable is called with no argument, a function's with one float or str per
    argument; a plain value answers every call. With estandar=True the names neither
    dictionary has are asked of the standard library (Pi, E, Raiz, Max, Mayusculas, ...);
    a Formula computes its constants and functions of numbers itself, with no request.
    Both dictionaries may be changed between analyses (and from a callable: the next
    request sees the change).

    analizar(texto) returns a float or a str. It raises:
      ErrorDeAnalisis  the expression failed: codigo, posicion (1-based characters; 0 for
                       an empty text) and the Spanish mensaje;
      any exception    a callable raised: the analysis ends there, no later name is asked
                       for, and the exception comes out of analizar unchanged; a callable
                       that raises ErrorDeAnalisis(codigo) ends it with that code instead;
      TypeError        texto is not a str, or a callable answered neither a number nor a str;
      ValueError       texto is over 1024 characters or holds a NUL (the engine would read
                       only a part), or a callable answered a text over 1023 characters;
      RuntimeError     this analyser is already analysing (from a callable or a thread).
    A function called with an argument count its callable cannot take is answered as an
    unknown function (code 1100), without calling it.

    Texts cross as Windows-1252: a character outside it becomes "?", which begins no token.
    Numbers are read with separador_decimal (",") and separador_millar ("."), properties
    that take one Windows-1252 character other than NUL. preparar(texto) reads a text once
    for many evaluations (see Formula).

    One analysis at a time per analyser: analyse from several threads with one analyser each.
    The libraries are loaded on the first Analizador (BibliotecaNoEncontrada lists the places
    tried when they cannot be).
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
        datos = self._datos(texto)
        return self._ejecutar(lambda: self._bibliotecas.evalion.A_Analizar(self._puntero, datos))

    def preparar(self, texto):
        """texto read once, for many evaluations with this analyser's names and functions
        (those of each evaluation's moment; the separators of this one): a Formula whose
        evaluar() gives what analizar(texto) would, asking the same names in the same order.
        The same exceptions as analizar for the text itself."""
        return Formula(self, texto, self._datos(texto))

    @staticmethod
    def _datos(texto):
        """The engine's bytes of an expression, or the exception that says why it would read
        only a part of it."""
        if not isinstance(texto, str):
            raise TypeError(f"an expression is a str, not {type(texto).__name__}")
        if len(texto) > _b.LARGO_EXPRESION:
            raise ValueError(f"an expression holds at most {_b.LARGO_EXPRESION} characters, not {len(texto)}")
        if "\0" in texto:
            raise ValueError(f"the expression has a NUL at character {texto.index(chr(0)) + 1}")
        return _b.codificar(texto)

    def _ejecutar(self, llamada):
        """One engine call that may make requests: one at a time, and the exception a
        request raised is raised again once the engine has returned."""
        if not self._ocupado.acquire(blocking=False):
            raise RuntimeError("this Analizador is already analysing; use one per thread")
        try:
            self._pendiente = None
            R = llamada()
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


class Formula:
    """An expression prepared by Analizador.preparar. evaluar() returns its value (float or
    str) or raises as analizar does; nombres lists the names an evaluation may ask for, in
    the order of the text, each once: (name, None) for a variable, (name, count) for a
    function. A text whose every evaluation fails without asking anything ("1+", "(2")
    gives a Formula whose preparada is False and whose evaluar raises that error.

    vincular(nombre, valor) binds a variable to a number the Formula keeps: evaluations read
    it instead of asking the analyser. A Formula pickles as its text, its analyser's
    separators and standard flag, and its bound values by name; it unpickles into a Formula
    of a new Analizador with those (without the analyser's dictionaries, whose callables
    need not pickle), so that a process pool or a distributed engine can ship it."""

    def __init__(self, analizador, texto, datos):
        self._analizador = analizador  # its record and requests serve every evaluation
        self._texto = texto
        self._formula = None
        self._vinculos = {}  # name -> the ctypes.c_double the engine reads
        # name -> the address of the column evaluar_columnas left bound: kept bound between
        # calls, so that a call with the same columns binds nothing, and never read, since
        # every evaluation binds its own columns or puts the formula's own bindings back first.
        self._columnas = {}
        f = analizador._bibliotecas.formula
        rechazo = _b.BLOQUEDEDATOS()
        self._formula = f.A_Preparar(analizador._puntero, datos, ctypes.byref(rechazo))
        self._rechazo = None if self._formula else ErrorDeAnalisis(rechazo.Error, rechazo.Posicion)
        self.nombres = []
        argumentos = ctypes.c_int32()
        while self._formula:
            nombre = f.A_Nombre(self._formula, len(self.nombres), ctypes.byref(argumentos))
            if nombre is None:
                break
            self.nombres.append((_b.decodificar(nombre), None if argumentos.value < 0 else argumentos.value))
        # The engine's bytes of each variable's name, encoded once for every call that binds
        # columns.
        self._variables = {nombre: _b.codificar(nombre) for nombre, argumentos in self.nombres if argumentos is None}
        # The standard library's constants and calls of functions of numbers the text uses,
        # (name, count or None, bytes, what binds it, what else the binding says: si leaves a
        # call with a text argument to the analyser, and the machine code computes some of
        # them itself), and those bound to it now: with the
        # analyser's estandar on, each one the host does not answer itself is computed by the
        # formula, as A_VincularEstandar binds them in C (before each evaluation, since the
        # analyser's dictionaries may change between them).
        self._estandar = []
        self._del_estandar = set()
        s = analizador._bibliotecas.estandar
        for nombre, argumentos in self.nombres:
            datos = _b.codificar(nombre)
            marcas = 0 if argumentos is None else s.A_EstandarMarcas(datos, argumentos)
            con_textos = _b.ESTANDAR_CON_TEXTOS if marcas & _b.FORMULA_TEXTO_AL_ANFITRION else 0
            codigo = s.A_EstandarConstante(datos) if argumentos is None else s.A_EstandarNativa(datos, argumentos | con_textos)
            if codigo:
                self._estandar.append((nombre, argumentos, datos, codigo, marcas))

    @property
    def preparada(self):
        """False when every evaluation of the text fails without asking anything ("1+",
        "(2"): evaluar and evaluar_columnas then raise that error. True otherwise."""
        return self._formula is not None

    @property
    def texto(self):
        """The text as given to preparar (a str)."""
        return self._texto

    def vincular(self, nombre, valor):
        """Binds the variable nombre to the number valor (any real), or unbinds it with None.
        Returns how many times the text uses the name (0: never asked for; nothing kept)."""
        if not isinstance(nombre, str):
            raise TypeError(f"a variable's name is a str, not {type(nombre).__name__}")
        if valor is not None and not hasattr(type(valor), "__float__"):
            raise TypeError(f"a bound value is a number, not {type(valor).__name__}")
        if not self._formula:
            return 0
        f = self._analizador._bibliotecas.formula
        # A new number each time, kept only once the engine took it: while the formula runs
        # (from a request of its own evaluation) the engine refuses, and still reads the old.
        numero = None if valor is None else ctypes.c_double(float(valor))
        usos = f.A_Vincular(self._formula, _b.codificar(nombre), None if numero is None else ctypes.byref(numero))
        if usos == _FORMULA_EN_CURSO:
            raise RuntimeError("a formula is not bound while it is being evaluated")
        self._columnas.pop(nombre, None)  # replaced
        self._del_estandar.discard((nombre, None))  # bound by the caller now, or unbound
        if numero is None or not usos:
            self._vinculos.pop(nombre, None)
        else:
            self._vinculos[nombre] = numero
        return usos

    @property
    def vinculos(self):
        """The bound variables and their numbers, as a new dict."""
        return {nombre: numero.value for nombre, numero in self._vinculos.items()}

    def evaluar(self):
        """Evaluates the formula once and returns its value, a float or a str, as analizar
        would return it for the text: the analyser is asked for each name not bound with
        vincular, in the order of nombres, and a failure raises ErrorDeAnalisis with the code
        and position analizar would give (so does a formula whose preparada is False). An
        exception raised by a request passes through unchanged."""
        if self._rechazo is not None:
            raise ErrorDeAnalisis(self._rechazo.codigo, self._rechazo.posicion)
        a = self._analizador
        f = a._bibliotecas.formula

        def evaluar():
            self._propios(f, self._columnas)
            self._al_dia(f, ())
            return f.A_Evaluar(self._formula, a._puntero)

        return a._ejecutar(evaluar)

    def evaluar_columnas(self, columnas=None, /, *, errores=False, **por_nombre):
        """Evaluates the formula once per row of columns given by name: a table first (a dict,
        a pandas DataFrame, anything with keys() and columns by name), of which only the
        columns the text uses as variables are read and the others ignored, and keywords
        (evaluar_columnas(x=..., y=...)), which win over the table's. Each column is a
        one-dimensional buffer of float64 (a numpy array, a pandas Series, an array('d'), ...),
        all of one length, read in place without copying, and row i evaluates with each
        variable bound to its column's element i; a variable bound with vincular and given no
        column keeps its number in every row, and any other name is asked of the analyser for
        every row, in the order of evaluar. The engine runs without the GIL, except while a
        request runs Python code, and no Python code runs per row: a call costs the engine's
        rows and a few microseconds more.

        Returns the values as a numpy array of float64 (an array('d') without numpy; one row
        when no column is used); a row whose value is a text gives NaN. A failed row raises
        ErrorDeAnalisis for the first one, with fila set to its index; with errores=True
        nothing is raised and the result is (values, codes, positions), codes 0 where a row did
        not fail: codes and positions are numpy arrays of int32 (array('i') without numpy).
        A column the text uses that holds anything but float64 (texts, ints, float32) is a
        TypeError naming it: it is not converted, which would copy it. A keyword for a name
        the text never uses as a variable is a ValueError (a misspelt name would otherwise
        leave the right one to the analyser); a table's column for such a name is ignored."""
        if self._rechazo is not None:
            raise ErrorDeAnalisis(self._rechazo.codigo, self._rechazo.posicion)
        columnas = {**self._de_la_tabla(columnas), **por_nombre}
        vistas = {nombre: _columna(nombre, valor) for nombre, valor in columnas.items()}
        filas = {largo for _, _, largo in vistas.values()}
        if len(filas) > 1:
            raise ValueError(f"the columns differ in length: {sorted(filas)}")
        n = filas.pop() if filas else 1
        if n > 0x7FFFFFFF:
            raise ValueError(f"at most {0x7FFFFFFF} rows in one call, not {n}")
        # With every name the text uses bound, no row asks anything, so a row evaluated again
        # gives the same and nobody sees it: the codes and positions, which cost the engine as
        # much as a light form's values, are then written only when a row failed, in a second
        # call that finds it.
        self._al_dia(self._analizador._bibliotecas.formula, vistas)
        sin_peticiones = all((v, k) in self._del_estandar for v, k in self.nombres if k is not None) and all(
            v in vistas or v in self._vinculos or (v, None) in self._del_estandar for v in self._variables)
        valores = _vacio("d", n)
        codigos = posiciones = None
        if errores or not sin_peticiones:
            codigos, posiciones = _vacio("i", n), _vacio("i", n)
        fallidas = self._filas(vistas, n, valores, codigos, posiciones)
        if errores:
            return valores, codigos, posiciones
        if fallidas == 0:
            return valores
        if codigos is None:
            codigos, posiciones = _vacio("i", n), _vacio("i", n)
            self._filas(vistas, n, valores, codigos, posiciones)
        fila = _primera_fallida(codigos)
        error = ErrorDeAnalisis(int(codigos[fila]), int(posiciones[fila]))
        error.fila = fila
        raise error

    def _de_la_tabla(self, tabla):
        """The columns of a table (a dict, a DataFrame, anything with keys() and columns by
        name) that the text uses as variables, by name; the others are never looked at."""
        if tabla is None:
            return {}
        try:
            claves = tabla.keys()
        except AttributeError:
            raise TypeError(f"a table has keys() and columns by name (a dict, a DataFrame), not "
                            f"{type(tabla).__name__}") from None
        return {nombre: tabla[nombre] for nombre in self._variables if nombre in claves}

    def _filas(self, vistas, n, valores, codigos, posiciones):
        """One A_EvaluarFilas over n rows with the columns of vistas bound (name -> (what keeps
        it, its address, its length)), left bound afterwards; returns how many rows failed, or
        raises what a request raised."""
        a = self._analizador
        f = a._bibliotecas.formula
        if not a._ocupado.acquire(blocking=False):
            raise RuntimeError("this Analizador is already analysing; use one per thread")
        try:
            # A variable bound with vincular and given no column stays one number for every row.
            sueltos = [nombre for nombre in self._columnas if nombre not in vistas]
            if sueltos:
                self._propios(f, sueltos)
                self._al_dia(f, vistas)
            for nombre, (_, direccion, _) in vistas.items():
                if self._columnas.get(nombre, -1) == direccion:
                    continue  # bound there by the last call
                datos = self._variables.get(nombre)
                if datos is None or f.A_VincularColumna(self._formula, datos, direccion) == 0:
                    raise ValueError(f"the formula uses no variable {nombre!r}")
                self._columnas[nombre] = direccion
            a._pendiente = None
            fallidas = f.A_EvaluarFilas(self._formula, a._puntero, n, _direccion(valores), _direccion(codigos),
                                        _direccion(posiciones))
            pendiente, a._pendiente = a._pendiente, None
        finally:
            a._ocupado.release()
        if pendiente is not None:
            raise pendiente
        return fallidas

    def _al_dia(self, f, columnas):
        """Binds to the standard library the names it computes (Formula._estandar) that the
        analyser answers from it now: with estandar on, neither in its dictionaries, nor bound
        with vincular, nor given a column (columnas, or left bound to one); unbinds the others
        it had bound."""
        if not self._estandar:
            return
        a = self._analizador
        queridos = set()
        if a.estandar:
            for nombre, argumentos, _, _, _ in self._estandar:
                if argumentos is None:
                    if not (nombre in a.variables or nombre in self._vinculos or nombre in columnas or
                            nombre in self._columnas):
                        queridos.add((nombre, None))
                elif nombre not in a.funciones:
                    queridos.add((nombre, argumentos))
        if queridos == self._del_estandar:
            return
        for nombre, argumentos, datos, codigo, marcas in self._estandar:
            clave = (nombre, argumentos)
            if (clave in queridos) == (clave in self._del_estandar):
                continue
            puntero = codigo if clave in queridos else None
            if argumentos is None:
                f.A_Vincular(self._formula, datos, ctypes.cast(puntero, ctypes.POINTER(ctypes.c_double)))
            else:
                f.A_VincularFuncion(self._formula, datos, argumentos | marcas, puntero)
        self._del_estandar = queridos

    def _propios(self, f, nombres):
        """Puts back the formula's own binding (a number of vincular, or none) of the named
        variables that a call of evaluar_columnas left bound to a column."""
        for nombre in list(nombres):
            numero = self._vinculos.get(nombre)  # a c_double, false when it holds 0: compared with None
            f.A_Vincular(self._formula, self._variables[nombre], ctypes.byref(numero) if numero is not None else None)
            del self._columnas[nombre]

    def __reduce__(self):
        a = self._analizador
        return (_formula_de, (self._texto, a.separador_decimal, a.separador_millar, a.estandar, self.vinculos))

    def __del__(self):
        if getattr(self, "_formula", None):
            self._analizador._bibliotecas.formula.A_Liberar(self._formula)
            self._formula = None


def _vacio(tipo, n):
    """n doubles ("d") or int32 ("i") for the engine to write every one of: a numpy array, or
    an array of the array module without numpy."""
    if _numpy is not None:
        return _numpy.empty(n, _numpy.float64 if tipo == "d" else _numpy.int32)
    return array.array(tipo, bytes(array.array(tipo).itemsize * n))


def _direccion(objeto):
    """The address of a writable buffer's first byte (None when it is empty or None)."""
    if objeto is None or not len(objeto):
        return None
    return ctypes.addressof(ctypes.c_char.from_buffer(objeto))


def _primera_fallida(codigos):
    """The index of the first non-zero code, found by numpy or by bytes.lstrip: C code, never
    a loop of Python's over the rows."""
    if _numpy is not None and isinstance(codigos, _numpy.ndarray):
        return int(_numpy.argmax(codigos != 0))
    datos = bytes(codigos)
    return (len(datos) - len(datos.lstrip(b"\0"))) // codigos.itemsize


def _columna(nombre, valor):
    """A column as (what keeps its memory, the address of its first double or None when it is
    empty, its length), without copying it: a numpy array of float64 straight, any other
    buffer through a view of it (a read-only one through numpy, which gives the address of
    any buffer)."""
    if _numpy is not None and type(valor) is not _numpy.ndarray and hasattr(valor, "__array__"):
        valor = _numpy.asarray(valor)  # a pandas Series: its own array, not a copy, when of float64
    if _numpy is not None and type(valor) is _numpy.ndarray:
        if valor.dtype != _numpy.float64:
            raise _no_es_de_float64(nombre, valor.dtype)
        if valor.ndim != 1 or not valor.flags.c_contiguous:
            raise TypeError(f"column {nombre!r} is not one contiguous dimension ({valor.ndim} dimensions)")
        if not len(valor):
            return valor, None, 0
        if not valor.flags.writeable:
            return valor, valor.ctypes.data, len(valor)
        ancla = ctypes.c_char.from_buffer(valor)  # a quarter of what ctypes.data costs
        return ancla, ctypes.addressof(ancla), len(valor)
    try:
        vista = memoryview(valor)
    except TypeError:
        raise TypeError(f"column {nombre!r} is no buffer of doubles but {type(valor).__name__}") from None
    if vista.format not in ("d", "<d", "=d"):
        raise _no_es_de_float64(nombre, f"format {vista.format!r}")
    if vista.ndim != 1 or not vista.c_contiguous:
        raise TypeError(f"column {nombre!r} is not one contiguous dimension of doubles (format {vista.format!r})")
    if len(vista) == 0:
        return vista, None, 0
    if not vista.readonly:
        ancla = ctypes.c_char.from_buffer(vista.cast("B"))
        return ancla, ctypes.addressof(ancla), len(vista)
    if _numpy is None:
        raise TypeError(f"column {nombre!r} is read-only; without numpy only writable buffers are read in place")
    ancla = _numpy.asarray(vista)
    return ancla, ancla.ctypes.data, len(vista)


def _no_es_de_float64(nombre, tipo):
    """The error of a column that holds anything but float64 numbers: texts, or numbers of
    another type, which are not converted, since that would copy the column (and round an
    int beyond 2**53) behind the caller's back."""
    como = "texts or other objects are no numbers" if str(tipo) in ("object", "string") else \
        "convert it first, e.g. with astype('float64'), which copies it"
    return TypeError(f"column {nombre!r} holds {tipo}, not float64: {como}")


def _formula_de(texto, decimal, millar, estandar, vinculos):
    """A pickled Formula again, on an analyser of its own."""
    a = Analizador(estandar=estandar)
    a.separador_millar = millar
    a.separador_decimal = decimal
    formula = a.preparar(texto)
    for nombre, valor in vinculos.items():
        formula.vincular(nombre, valor)
    return formula
