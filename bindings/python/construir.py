"""The package's own build backend: pip builds the wheel with any Python 3.9 or later,
offline, without setuptools or wheel.

The wheel carries the three libraries the package loads (the engine in its plain form, the
standard library and the prepared expressions), in evalion/_bibliotecas, so that the
installed package works from any folder with no environment variable, whatever prefix the
project was or was not installed into. They are built with the project's own CMake, from
the checkout this folder belongs to, in <checkout>/build/python (kept, so that installing
again rebuilds only what changed). The setting construccion takes them from a build tree
that has them instead (pip install --config-settings construccion=build/ci ...).

The project's name, version, description and Python requirement are read from the
[project] table of pyproject.toml, which holds them once."""

import base64
import hashlib
import io
import os
import re
import shutil
import subprocess
import sys
import sysconfig
import tarfile
import zipfile

_AQUI = os.path.dirname(os.path.abspath(__file__))
_PAQUETE = "evalion"
_RAIZ = os.path.dirname(os.path.dirname(_AQUI))  # the checkout, when this is bindings/python
_CARPETA_BIBLIOTECAS = f"{_PAQUETE}/_bibliotecas"
# Target, file and the folder of the build tree it lands in, for each library the package loads.
_BIBLIOTECAS = [
    ("evalion", "libevalion.so.1", "lib"),
    ("evalion_estandar", "libevalion-estandar.so.1", "estandar"),
    ("evalion_formula", "libevalion-formula.so.1", "formula"),
]


def _proyecto():
    """The plain `clave = "valor"` lines of [project]."""
    valores, dentro = {}, False
    with open(os.path.join(_AQUI, "pyproject.toml"), encoding="utf-8") as archivo:
        for linea in archivo:
            linea = linea.strip()
            if linea.startswith("["):
                dentro = linea == "[project]"
            elif dentro:
                hallado = re.fullmatch(r'([A-Za-z-]+)\s*=\s*"([^"]*)"', linea)
                if hallado:
                    valores[hallado.group(1)] = hallado.group(2)
    return valores


def _fuentes():
    """The package's modules, relative to this folder, in a fixed order."""
    carpeta = os.path.join(_AQUI, _PAQUETE)
    return sorted(os.path.join(_PAQUETE, nombre) for nombre in os.listdir(carpeta) if nombre.endswith(".py"))


def _metadatos(proyecto):
    return (
        "Metadata-Version: 2.1\n"
        f"Name: {proyecto['name']}\n"
        f"Version: {proyecto['version']}\n"
        f"Summary: {proyecto.get('description', '')}\n"
        f"Requires-Python: {proyecto.get('requires-python', '>=3.9')}\n"
    )


def _info(proyecto):
    return f"{proyecto['name']}-{proyecto['version']}.dist-info"


def _construir_bibliotecas(config_settings):
    """The build tree that holds the libraries: the one named by the setting construccion,
    else <checkout>/build/python, configured (once) and built here with CMake."""
    dada = (config_settings or {}).get("construccion")
    if dada:
        return os.path.abspath(dada)
    if not os.path.isfile(os.path.join(_RAIZ, "engine", "CMakeLists.txt")):
        raise RuntimeError(
            "the wheel carries Evalion's libraries, built from the checkout: install from "
            "bindings/python in a checkout of Evalion, or name a build tree that has them with "
            "--config-settings construccion=DIR"
        )
    cmake = shutil.which("cmake")
    if cmake is None:
        raise RuntimeError("cmake not found: it builds the libraries the wheel carries (Debian package cmake)")
    arbol = os.path.join(_RAIZ, "build", "python")
    if not os.path.isfile(os.path.join(arbol, "CMakeCache.txt")):
        generador = ["-G", "Ninja"] if shutil.which("ninja") else []
        opciones = ["-DCMAKE_BUILD_TYPE=Release", "-DEVALION_TESTS=OFF", "-DEVALION_BENCH=OFF", "-DEVALION_QT=OFF"]
        _ejecutar([cmake, "-S", _RAIZ, "-B", arbol] + generador + opciones)
    _ejecutar([cmake, "--build", arbol, "--parallel", "2", "--target"] + [objetivo for objetivo, _, _ in _BIBLIOTECAS])
    return arbol


def _ejecutar(orden):
    """Runs one step of the libraries' build; its report goes to standard error, which pip
    shows when the build fails."""
    resultado = subprocess.run(orden, stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
    sys.stderr.write(resultado.stdout.decode(errors="replace"))
    if resultado.returncode != 0:
        raise RuntimeError(f"{' '.join(orden)} failed with status {resultado.returncode}")


def _bibliotecas(arbol):
    """(path in the wheel, bytes) of each library, under the name the package loads."""
    contenidos = []
    for _, archivo, carpeta in _BIBLIOTECAS:
        ruta = os.path.join(arbol, carpeta, archivo)
        if not os.path.isfile(ruta):
            raise RuntimeError(f"{ruta} is missing: the build tree {arbol} has not built it")
        with open(ruta, "rb") as biblioteca:
            contenidos.append((f"{_CARPETA_BIBLIOTECAS}/{archivo}", biblioteca.read()))
    return contenidos


def _etiqueta():
    """The wheel's tag: any Python 3, no ABI of Python's own, this platform's libraries."""
    return "py3-none-" + re.sub(r"[-.]", "_", sysconfig.get_platform())


def get_requires_for_build_wheel(config_settings=None):
    return []


def get_requires_for_build_sdist(config_settings=None):
    return []


def prepare_metadata_for_build_wheel(metadata_directory, config_settings=None):
    proyecto = _proyecto()
    carpeta = os.path.join(metadata_directory, _info(proyecto))
    os.makedirs(carpeta, exist_ok=True)
    with open(os.path.join(carpeta, "METADATA"), "w", encoding="utf-8") as archivo:
        archivo.write(_metadatos(proyecto))
    return _info(proyecto)


def build_wheel(wheel_directory, config_settings=None, metadata_directory=None):
    proyecto = _proyecto()
    etiqueta = _etiqueta()
    nombre = f"{proyecto['name']}-{proyecto['version']}-{etiqueta}.whl"
    info = _info(proyecto)
    contenidos = [(ruta.replace(os.sep, "/"), open(os.path.join(_AQUI, ruta), "rb").read()) for ruta in _fuentes()]
    contenidos += _bibliotecas(_construir_bibliotecas(config_settings))
    contenidos.append((f"{info}/METADATA", _metadatos(proyecto).encode()))
    descripcion = f"Wheel-Version: 1.0\nGenerator: evalion\nRoot-Is-Purelib: false\nTag: {etiqueta}\n"
    contenidos.append((f"{info}/WHEEL", descripcion.encode()))
    registro = io.StringIO()
    for ruta, datos in contenidos:
        resumen = base64.urlsafe_b64encode(hashlib.sha256(datos).digest()).rstrip(b"=").decode()
        registro.write(f"{ruta},sha256={resumen},{len(datos)}\n")
    registro.write(f"{info}/RECORD,,\n")
    contenidos.append((f"{info}/RECORD", registro.getvalue().encode()))
    with zipfile.ZipFile(os.path.join(wheel_directory, nombre), "w", zipfile.ZIP_DEFLATED) as rueda:
        for ruta, datos in contenidos:
            miembro = zipfile.ZipInfo(ruta, date_time=(1980, 1, 1, 0, 0, 0))
            miembro.external_attr = 0o644 << 16
            rueda.writestr(miembro, datos, zipfile.ZIP_DEFLATED)
    return nombre


def build_sdist(sdist_directory, config_settings=None):
    proyecto = _proyecto()
    base = f"{proyecto['name']}-{proyecto['version']}"
    nombre = f"{base}.tar.gz"
    with tarfile.open(os.path.join(sdist_directory, nombre), "w:gz", format=tarfile.PAX_FORMAT) as archivo:
        for ruta in ["pyproject.toml", "construir.py"] + _fuentes():
            archivo.add(os.path.join(_AQUI, ruta), arcname=f"{base}/{ruta}")
        datos = _metadatos(proyecto).encode()
        miembro = tarfile.TarInfo(f"{base}/PKG-INFO")
        miembro.size = len(datos)
        archivo.addfile(miembro, io.BytesIO(datos))
    return nombre
