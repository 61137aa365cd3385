"""The package's own build backend: a pure Python package needs no more than a zip file, so
pip builds it with any Python 3.9 or later, offline, without setuptools or wheel.

The project's name, version, description and Python requirement are read from the
[project] table of pyproject.toml, which holds them once."""

import base64
import hashlib
import io
import os
import re
import tarfile
import zipfile

_AQUI = os.path.dirname(os.path.abspath(__file__))
_PAQUETE = "evalion"


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
    nombre = f"{proyecto['name']}-{proyecto['version']}-py3-none-any.whl"
    info = _info(proyecto)
    contenidos = [(ruta.replace(os.sep, "/"), open(os.path.join(_AQUI, ruta), "rb").read()) for ruta in _fuentes()]
    contenidos.append((f"{info}/METADATA", _metadatos(proyecto).encode()))
    contenidos.append((f"{info}/WHEEL", b"Wheel-Version: 1.0\nGenerator: evalion\nRoot-Is-Purelib: true\nTag: py3-none-any\n"))
    registro = io.StringIO()
    for ruta, datos in contenidos:
        resumen = base64.urlsafe_b64encode(hashlib.sha256(datos).digest()).rstrip(b"=").decode()
        registro.write(f"{ruta},sha256={resumen},{len(datos)}\n")
    registro.write(f"{info}/RECORD,,\n")
    contenidos.append((f"{info}/RECORD", registro.getvalue().encode()))
    with zipfile.ZipFile(os.path.join(wheel_directory, nombre), "w", zipfile.ZIP_DEFLATED) as rueda:
        for ruta, datos in contenidos:
            rueda.writestr(zipfile.ZipInfo(ruta, date_time=(1980, 1, 1, 0, 0, 0)), datos)
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
