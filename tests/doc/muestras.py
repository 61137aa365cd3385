"""Runs every sample of the README and of the manual that shows its output, and compares.

    muestras.py SOURCE_DIR BUILD_DIR [FILE.md...]

The samples are marked in the Markdown itself, so a reader sees what the test checks:

- a fenced block whose language is `console` is a shell session, run by one shell (so `cd`
  and `export` carry on to the next command): each line that begins with "$ " is a command
  (a line ending in "\\" goes on in the next), and the lines up to the next command are what
  it prints, standard output and standard error together;
- a fenced block of `c`, `cpp` or `python` followed by a fenced block of `output`, with at
  most one paragraph between them, is a program and what it prints: a C program is linked
  with the plain libraries (evalion, evalion-estandar, evalion-formula), a C++ one with
  evalionxx, through pkg-config.

Both run as a reader's would after `cmake --install BUILD_DIR --prefix "$HOME/.local"`: HOME
is a fresh folder holding that installation, PATH begins with its bin, and the working
folder is a fresh one that shows the source tree's files (examples/, bindings/...), so that
what a sample writes lands there. Any other block is prose and is not run.
"""
import os
import re
import shutil
import subprocess
import sys
import tempfile

LENGUAJES = {"c", "cpp", "python"}
MARCA = "--evalion-muestra--"
VALLA = re.compile(r"^( *)(```+|~~~+)\s*([^\s`]*)")


def bloques(texto):
    """(language, lines of the block, lines of prose since the previous block) in order."""
    lineas = texto.splitlines()
    i, prosa = 0, []
    while i < len(lineas):
        valla = VALLA.match(lineas[i])
        if not valla:
            prosa.append(lineas[i])
            i += 1
            continue
        # A block inside a list item is indented: its lines lose that indentation.
        sangria, cierre, contenido = valla.group(1), valla.group(2), []
        i += 1
        while i < len(lineas) and not lineas[i].lstrip(" ").startswith(cierre):
            linea = lineas[i]
            contenido.append(linea[len(sangria):] if linea.startswith(sangria) else linea)
            i += 1
        yield valla.group(3), contenido, prosa
        i, prosa = i + 1, []


def muestras(ruta):
    """(kind, what to run, expected output, where) of each sample of one file."""
    anterior = None
    with open(ruta, encoding="utf-8") as archivo:
        for lenguaje, contenido, prosa in bloques(archivo.read()):
            donde = f"{ruta}"
            if lenguaje == "console":
                yield from sesion(contenido, donde)
            elif lenguaje == "output":
                parrafos = [p for p in "\n".join(prosa).split("\n\n") if p.strip()]
                if anterior is None or len(parrafos) > 1:
                    raise SystemExit(f"{donde}: an output block that follows no program")
                yield anterior[0], "\n".join(anterior[1]), contenido, donde
            anterior = (lenguaje, contenido) if lenguaje in LENGUAJES else None


def sesion(lineas, donde):
    """One shell session: the commands and the output each shows, as one sample."""
    ordenes, orden, esperado = [], None, []
    for linea in lineas:
        if orden is not None and orden.endswith("\\"):
            orden = orden + "\n" + linea  # the shell joins the lines itself
        elif linea.startswith("$ "):
            if orden is not None:
                ordenes.append((orden, esperado))
            orden, esperado = linea[2:], []
        elif orden is None:
            raise SystemExit(f"{donde}: a console block that begins with output: {linea!r}")
        else:
            esperado.append(linea)
    if orden is not None:
        ordenes.append((orden, esperado))
    # One script; a marker line before each command splits what it prints from the next's,
    # and leaves $? as the command before it left it.
    guion = "exec 2>&1\n" + "".join(
        f"estado_=$?; printf '%s\\n' '{MARCA}'; (exit $estado_)\n{orden}\n" for orden, _ in ordenes)
    esperado = []
    for orden, salida in ordenes:
        esperado += [MARCA + " " + orden.splitlines()[0]] + salida
    yield "console", guion, esperado, donde


def preparar(fuentes, construccion):
    """The reader's world: HOME with the installation, and a working folder over the sources."""
    casa = tempfile.mkdtemp(prefix="evalion-muestras-")
    prefijo = os.path.join(casa, ".local")
    subprocess.run(["cmake", "--install", construccion, "--prefix", prefijo], check=True, stdout=subprocess.DEVNULL)
    trabajo = os.path.join(casa, "trabajo")
    os.mkdir(trabajo)
    for nombre in os.listdir(fuentes):
        if nombre not in ("build", ".git"):
            os.symlink(os.path.join(fuentes, nombre), os.path.join(trabajo, nombre))
    entorno = dict(os.environ)
    for variable in ("EVALION_BIBLIOTECAS", "PYTHONPATH", "LD_LIBRARY_PATH", "PKG_CONFIG_PATH"):
        entorno.pop(variable, None)
    entorno.update(
        HOME=casa,
        PATH=os.path.join(prefijo, "bin") + os.pathsep + entorno.get("PATH", ""),
        LC_ALL="C.UTF-8",
        PYTHONDONTWRITEBYTECODE="1",
    )
    return casa, trabajo, entorno


def programa(lenguaje, codigo, trabajo, entorno):
    """The shell command that builds and runs one program sample."""
    prefijo = os.path.join(entorno["HOME"], ".local")
    rutas = f'PKG_CONFIG_PATH="{prefijo}/lib/pkgconfig" LD_LIBRARY_PATH="{prefijo}/lib"'
    if lenguaje == "python":
        nombre = "muestra.py"
        orden = f"python3 {nombre}"
    elif lenguaje == "c":
        nombre = "muestra.c"
        orden = (f"export {rutas}; cc -std=c99 -Wall -Werror {nombre} "
                 "$(pkg-config --cflags --libs evalion evalion-estandar evalion-formula) -o muestra && ./muestra")
    else:
        nombre = "muestra.cpp"
        orden = (f"export {rutas}; c++ -std=c++17 -Wall -Werror {nombre} "
                 "$(pkg-config --cflags --libs evalionxx) -o muestra && ./muestra")
    with open(os.path.join(trabajo, nombre), "w", encoding="utf-8") as archivo:
        archivo.write(codigo + "\n")
    return orden


def ejecutar(orden, trabajo, entorno):
    resultado = subprocess.run(["bash", "-c", orden], cwd=trabajo, env=entorno, stdin=subprocess.DEVNULL,
                               stdout=subprocess.PIPE, stderr=subprocess.STDOUT, timeout=300)
    return [linea.rstrip() for linea in resultado.stdout.decode("utf-8", errors="replace").splitlines()]


def main():
    fuentes, construccion = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
    archivos = sys.argv[3:] or [os.path.join(fuentes, "README.md")] + sorted(
        os.path.join(fuentes, "doc", nombre) for nombre in os.listdir(os.path.join(fuentes, "doc"))
        if nombre.endswith(".md"))
    casa, trabajo, entorno = preparar(fuentes, construccion)
    fallos, cuenta = 0, {}
    try:
        for ruta in archivos:
            for tipo, codigo, esperado, donde in muestras(ruta):
                orden = codigo if tipo == "console" else programa(tipo, codigo, trabajo, entorno)
                obtenido = ejecutar(orden, trabajo, entorno)
                esperado = [linea.rstrip() for linea in esperado]
                if tipo == "console":
                    # Each command's marker names it, so a difference shows which one.
                    ordenes = iter(l for l in esperado if l.startswith(MARCA))
                    obtenido = [next(ordenes, MARCA) if l == MARCA else l for l in obtenido]
                cuenta[tipo] = cuenta.get(tipo, 0) + (
                    sum(l.startswith(MARCA) for l in esperado) if tipo == "console" else 1)
                if obtenido != esperado:
                    fallos += 1
                    print(f"{os.path.relpath(donde, fuentes)}: {tipo} sample\n"
                          f"expected:\n  " + "\n  ".join(esperado) + "\ngot:\n  " + "\n  ".join(obtenido) + "\n")
    finally:
        shutil.rmtree(casa, ignore_errors=True)
    total = sum(cuenta.values())
    detalle = ", ".join(f"{n} {tipo}" for tipo, n in sorted(cuenta.items()))
    print(f"{total} samples ({detalle}; a console command is one) from {len(archivos)} files: "
          f"{'all as shown' if not fallos else f'{fallos} blocks not as shown'}")
    return 1 if fallos or total == 0 else 0


if __name__ == "__main__":
    sys.exit(main())
