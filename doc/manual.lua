-- Fits a page of the manual, written for reading as Markdown, to a manual page: the page's
-- first heading is the title the man header already carries, so it goes, and the headings
-- under it move up a level (## to .SH, ### to .SS); a NAME section comes first, from the
-- metadata nombre and descripcion, as man-db's index reads it; a table becomes a list, one
-- entry a row under its first cell, the other cells after their column's name, since a
-- table's narrow columns would cut code that cannot be broken; and a link to another page
-- of the manual is kept as its text followed by where to read it: its manual page where it
-- has one, else its file.

local titulo_visto = false

function Header(cabecera)
  if cabecera.level == 1 and not titulo_visto then
    titulo_visto = true
    return {}
  end
  cabecera.level = math.max(1, cabecera.level - 1)
  return cabecera
end

local PAGINAS = {
  ["c.md"] = "evalion(3)",
  ["formulas.md"] = "evalion-formula(3)",
  ["estandar.md"] = "evalion-estandar(3)",
  ["lenguaje.md"] = "evalion-lenguaje(7)",
}

function Link(enlace)
  if enlace.target:match("^%a+:") then
    return nil
  end
  local archivo = enlace.target:gsub("#.*$", "")
  if archivo == "" then
    return enlace.content
  end
  local donde = PAGINAS[archivo] or ("doc/" .. archivo:gsub("^%.%./", ""):gsub("^doc/", ""))
  local texto = enlace.content
  table.insert(texto, pandoc.Space())
  table.insert(texto, pandoc.Str("(" .. donde .. ")"))
  return texto
end

local function en_linea(celda)
  return pandoc.utils.blocks_to_inlines(celda.contents, {pandoc.Space()})
end

function Table(tabla)
  local nombres = {}
  for _, fila in ipairs(tabla.head.rows) do
    for j, celda in ipairs(fila.cells) do
      nombres[j] = en_linea(celda)
    end
  end
  local entradas = {}
  for _, cuerpo in ipairs(tabla.bodies) do
    for _, fila in ipairs(cuerpo.body) do
      local definicion = {}
      for j = 2, #fila.cells do
        local texto = en_linea(fila.cells[j])
        if #texto > 0 then
          local linea = {pandoc.Emph(nombres[j] or {}), pandoc.Str(":"), pandoc.Space()}
          for _, elemento in ipairs(texto) do
            table.insert(linea, elemento)
          end
          table.insert(definicion, pandoc.Para(linea))
        end
      end
      table.insert(entradas, {en_linea(fila.cells[1]), {definicion}})
    end
  end
  return pandoc.DefinitionList(entradas)
end

function Pandoc(documento)
  local meta = documento.meta
  local nombre = pandoc.utils.stringify(meta.nombre or "")
  local descripcion = pandoc.utils.stringify(meta.descripcion or "")
  local cabecera = {
    pandoc.Header(1, "NAME"),
    pandoc.Para({pandoc.Str(nombre), pandoc.Space(), pandoc.RawInline("man", "\\-"), pandoc.Space(),
      pandoc.Str(descripcion)}),
  }
  local bloques = documento.blocks
  for i = #cabecera, 1, -1 do
    table.insert(bloques, 1, cabecera[i])
  end
  return pandoc.Pandoc(bloques, meta)
end
