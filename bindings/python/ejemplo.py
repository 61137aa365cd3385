"""Evalion from Python: variables and functions as values or callables."""
from evalion import Analizador, ErrorDeAnalisis

analizador = Analizador(variables={"IVA": 0.21}, funciones={"doble": lambda n: 2 * n}, estandar=True)
for texto in ["1.250 * (1 + IVA)", "doble(IVA) > 0,4", '"Año " + Texto(2026)', "Raiz(2) ^ 2", "Precio * IVA"]:
    try:
        print(f"{texto:20} -> {analizador.analizar(texto)!r}")
    except ErrorDeAnalisis as error:
        print(f"{texto:20} -> {error.codigo}: {error}")
