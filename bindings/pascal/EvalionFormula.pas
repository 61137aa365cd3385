{ Evalion's prepared expressions from Pascal: a text read once and evaluated many times, with
  the answers and the requests of A_Analizar on the same text; variables bound to numbers or
  to columns of rows, functions bound to C code, and the standard library's functions of
  numbers and constants computed inside the form (A_VincularEstandar). In the object form
  (EVALION_OBJETO, as for the unit Evalion) the class TFormula prepares a text with a
  TEvalion, whose events answer what the form asks.

  The library is libevalion-formula / libevalion-formulaobj on Linux and EvalionFormula.dll /
  EvalionFormulaobj.dll on 32-bit Windows, stdcall there, of the same callback form as the
  engine library the unit Evalion imports; A_VincularEstandar also calls the standard library
  (EvalionEstandar). A form belongs to the host until A_Liberar; the names and numbers given
  to it stay the host's, and a bound number or column must live as long as it is bound.

  Functions bound to a form (A_VincularFuncion) are C functions of 0 to 4 doubles returning
  a double in the C compiler's default convention, cdecl on both platforms, not the
  stdcall of the exports: a Pascal one is declared "cdecl", as TNativa1 to TNativa4. }
unit EvalionFormula;

{$IFDEF FPC}{$MODE DELPHI}{$ENDIF}
{$POINTERMATH ON}

interface

uses
  Evalion, EvalionEstandar;

const
{$IFDEF MSWINDOWS}
  {$IFDEF EVALION_OBJETO} EVALION_FORMULA_BIBLIOTECA = 'EvalionFormulaobj.dll';
  {$ELSE} EVALION_FORMULA_BIBLIOTECA = 'EvalionFormula.dll'; {$ENDIF}
{$ELSE}
  {$IFDEF EVALION_OBJETO} EVALION_FORMULA_BIBLIOTECA = 'evalion-formulaobj';
  {$ELSE} EVALION_FORMULA_BIBLIOTECA = 'evalion-formula'; {$ENDIF}
{$ENDIF}

  { What A_EvaluarNumero returns for a text; A_EvaluarFilas when two of its outputs overlap;
    a change asked for while an evaluation of the form that runs host code is in course. }
  FORMULA_TEXTO = -1;
  FORMULA_SOLAPADAS = -2;
  FORMULA_EN_CURSO = -3;
  { The option of computing under the host's floating-point settings (A_Opciones). A Pascal
    program starts with invalid operation, division by zero and overflow unmasked, which
    then trap in the engine's arithmetic: mask them first (SetExceptionMask). }
  FORMULA_AJUSTES_DEL_ANFITRION = 1;
  { Added to A_VincularFuncion's count: a call with an argument that is no plain number asks
    the host; and the operation the function computes (sqrt, fabs, a choice), which a form's
    machine code then computes itself. }
  FORMULA_TEXTO_AL_ANFITRION = $100;
  FORMULA_ES_RAIZ = $1000;
  FORMULA_ES_ABS = $2000;
  FORMULA_ES_SI = $3000;
  { Added to A_EstandarNativa's count: si too. }
  ESTANDAR_CON_TEXTOS = $100;

type
  { A prepared expression: the host only holds pointers to it. }
  PFORMULAPREPARADA = type Pointer;
  { A C function for A_VincularFuncion, of one of these types. }
  FORMULA_NATIVA = Pointer;
  TNativa0 = function: Double; cdecl;
  TNativa1 = function(A: Double): Double; cdecl;
  TNativa2 = function(A, B: Double): Double; cdecl;
  TNativa3 = function(A, B, C: Double): Double; cdecl;
  TNativa4 = function(A, B, C, D: Double): Double; cdecl;

{ Reads Expresion as A_Analizar does, with the separators of Estado (only read). Returns the
  form, or nil when every evaluation would give one same error without a request ("1+",
  "1/0", ""), left with its position in Error^ when Error is not nil. }
function A_Preparar(Estado: PESTADODEANALISIS; Expresion: PAnsiChar; Error: PBLOQUEDEDATOS): PFORMULAPREPARADA;
  {$IFDEF MSWINDOWS}stdcall{$ELSE}cdecl{$ENDIF}; external EVALION_FORMULA_BIBLIOTECA;

{ The block A_Analizar(Estado, text) would give, field for field, with the requests of
  Estado for the names not bound. A nil form or Estado gives E_OPERANDO at position 0. }
function A_Evaluar(Formula: PFORMULAPREPARADA; Estado: PESTADODEANALISIS): BLOQUEDEDATOS;
  {$IFDEF MSWINDOWS}stdcall{$ELSE}cdecl{$ENDIF}; external EVALION_FORMULA_BIBLIOTECA;

{ The same evaluation for a number: 0 and Numero^ when A_Evaluar's block is a number; else
  its error code, or FORMULA_TEXTO for a text, with a NaN in Numero^ (Numero may be nil). }
function A_EvaluarNumero(Formula: PFORMULAPREPARADA; Estado: PESTADODEANALISIS; Numero: PDouble): Int32;
  {$IFDEF MSWINDOWS}stdcall{$ELSE}cdecl{$ENDIF}; external EVALION_FORMULA_BIBLIOTECA;

{ The number of a form that asks the host nothing, without a record; a NaN for anything
  else (an error, a text, a request that would be made), which A_EvaluarNumero tells. }
function A_Valor(Formula: PFORMULAPREPARADA): Double;
  {$IFDEF MSWINDOWS}stdcall{$ELSE}cdecl{$ENDIF}; external EVALION_FORMULA_BIBLIOTECA;

{ Evaluates Filas rows: a variable bound with A_VincularColumna reads Columna[i] in row i.
  Row i's value (NaN for a failure or a text), code (0: none) and position go to
  Valores[i], Errores[i] and Posiciones[i], each when not nil; row by row A_Evaluar's bits,
  codes, positions and requests. Returns how many rows failed, or FORMULA_SOLAPADAS with
  nothing written when two of the outputs overlap. }
function A_EvaluarFilas(Formula: PFORMULAPREPARADA; Estado: PESTADODEANALISIS; Filas: Int32; Valores: PDouble;
  Errores, Posiciones: PInt32): Int32;
  {$IFDEF MSWINDOWS}stdcall{$ELSE}cdecl{$ENDIF}; external EVALION_FORMULA_BIBLIOTECA;

{ Releases a form; nil is allowed. }
procedure A_Liberar(Formula: PFORMULAPREPARADA);
  {$IFDEF MSWINDOWS}stdcall{$ELSE}cdecl{$ENDIF}; external EVALION_FORMULA_BIBLIOTECA;

{ The Indice-th name an evaluation may ask for, in the order of the text, each once (the
  form's own text, until A_Liberar), with Argumentos^ -1 for a variable or the count of a
  function's call; nil past the last. }
function A_Nombre(Formula: PFORMULAPREPARADA; Indice: Int32; Argumentos: PInt32): PAnsiChar;
  {$IFDEF MSWINDOWS}stdcall{$ELSE}cdecl{$ENDIF}; external EVALION_FORMULA_BIBLIOTECA;

{ Binds the variable of that exact name to the number at Direccion (nil unbinds it); returns
  how many times the text uses it (0: never, nothing changed). }
function A_Vincular(Formula: PFORMULAPREPARADA; Variable: PAnsiChar; Direccion: PDouble): Int32;
  {$IFDEF MSWINDOWS}stdcall{$ELSE}cdecl{$ENDIF}; external EVALION_FORMULA_BIBLIOTECA;

{ The same to a column: row i of A_EvaluarFilas reads Columna[i], A_Evaluar Columna[0]. }
function A_VincularColumna(Formula: PFORMULAPREPARADA; Variable: PAnsiChar; Columna: PDouble): Int32;
  {$IFDEF MSWINDOWS}stdcall{$ELSE}cdecl{$ENDIF}; external EVALION_FORMULA_BIBLIOTECA;

{ Binds the calls of Funcion with Argumentos arguments (0 to 4) to a C function of that many
  doubles (nil unbinds them); a text argument then fails the call with E_INCOMPATIBLES.
  Returns how many such calls the text makes. }
function A_VincularFuncion(Formula: PFORMULAPREPARADA; Funcion: PAnsiChar; Argumentos: Int32;
  Puntero: FORMULA_NATIVA): Int32;
  {$IFDEF MSWINDOWS}stdcall{$ELSE}cdecl{$ENDIF}; external EVALION_FORMULA_BIBLIOTECA;

{ Replaces the form's options (FORMULA_AJUSTES_DEL_ANFITRION); returns 0. }
function A_Opciones(Formula: PFORMULAPREPARADA; Opciones: Int32): Int32;
  {$IFDEF MSWINDOWS}stdcall{$ELSE}cdecl{$ENDIF}; external EVALION_FORMULA_BIBLIOTECA;

type
  { Asked for each name before A_VincularEstandar binds it (Argumentos -1 for a variable):
    True when the host answers that name itself, which then stays as it is. }
  TESTANDAR_PROPIO = function(Datos: Pointer; Nombre: PAnsiChar; Argumentos: Int32): Boolean;

{ Binds every name of the form that the standard library computes as a number: each call of
  a function of numbers with a count it takes to A_EstandarNativa's code, each constant (Pi,
  E) to A_EstandarConstante's number; evaluations then give what a host answering them with
  A_EstandarFuncion and A_EstandarVariable gets, without a request. Names Propio (when
  assigned) claims are skipped, and so is the rest of the library (si, the texts' functions,
  other counts), which the requests answer. Returns how many names it bound;
  FORMULA_EN_CURSO, with what was bound until then, during an evaluation of the form. }
function A_VincularEstandar(Formula: PFORMULAPREPARADA; Propio: TESTANDAR_PROPIO; Datos: Pointer): Int32;

{$IFDEF EVALION_OBJETO}
type
  { Whether the host answers the standard name Nombre itself (Argumentos -1 for a variable). }
  TEstandarPropioEvent = procedure(Sender: TObject; Nombre: PAnsiChar; Argumentos: Int32;
    var Propio: Boolean) of object;

  TNombreUsado = record
    Nombre: AnsiString; { the engine's bytes }
    Argumentos: Int32;  { -1: a variable }
  end;
  TNombresUsados = array of TNombreUsado;

  { A text prepared with a TEvalion: each Evaluar gives what the analyser's Analizar would,
    asking its events the same things in the same order, and raising again what an event
    raised. The analyser must outlive the form; one evaluation at a time on the two. Names
    are bound as the text writes them, converted as TextoParaElMotor does. A change while
    the form is being evaluated (from an event) raises EEvalion: the evaluation finishes on
    the form it began with. }
  TFormula = class
  private
    FAnalizador: TEvalion;
    FFormula: PFORMULAPREPARADA;
    FRechazo: BLOQUEDEDATOS;
    FEstandar: Boolean;
    FOnPropio: TEstandarPropioEvent;
    FPropios: TNombresUsados;     { bound by the host on this form: they win }
    FDelEstandar: TNombresUsados; { bound to the standard library now }
    FAlDia: Boolean;                     { FDelEstandar is what Estandar and the rest want }
    procedure SetEstandar(Valor: Boolean);
    procedure SetOnPropio(Valor: TEstandarPropioEvent);
    procedure AlDia;
    procedure Propio(const Nombre: AnsiString; Argumentos: Int32; Mio: Boolean);
    function Cambiado(Respuesta: Int32): Int32;
    function VincularNumeros(const Nombre: string; Direccion: PDouble; Columna: Boolean): Int32;
  public
    { Prepares Expresion with the analyser's separators of now. EEvalion as Analizar for a
      text the engine would read only in part. }
    constructor Create(Analizador: TEvalion; const Expresion: string);
    destructor Destroy; override;
    { False for a text whose every evaluation is one same error without a request ("1+"):
      Evaluar and every row then give that error. }
    function Preparada: Boolean;
    function Evaluar: BLOQUEDEDATOS;
    { A_EvaluarNumero: 0 and the number, or the code (FORMULA_TEXTO for a text). }
    function EvaluarNumero(out Numero: Double): Int32;
    { Filas rows over the columns bound with VincularColumna, as A_EvaluarFilas (Errores and
      Posiciones may be nil); returns how many failed. }
    function EvaluarFilas(Filas: Int32; Valores: PDouble; Errores: PInt32 = nil; Posiciones: PInt32 = nil): Int32;
    { The Indice-th name an evaluation may ask for and its count (-1: a variable); '' past
      the last. }
    function Nombre(Indice: Int32; out Argumentos: Int32): string;
    { A_Vincular, A_VincularColumna and A_VincularFuncion for the name as the text writes
      it; nil unbinds. A name the host binds wins over the standard library. }
    function Vincular(const Nombre: string; Direccion: PDouble): Int32;
    function VincularColumna(const Nombre: string; Columna: PDouble): Int32;
    function VincularFuncion(const Nombre: string; Argumentos: Int32; Funcion: FORMULA_NATIVA): Int32;
    { The standard library inside the form: on, every evaluation computes its functions of
      numbers and constants itself (A_VincularEstandar), but for the names the host bound
      on the form and those OnPropio claims, which the host answers. }
    property Estandar: Boolean read FEstandar write SetEstandar;
    property OnPropio: TEstandarPropioEvent read FOnPropio write SetOnPropio;
    { The prepared form, for the bare functions; nil when Preparada is False. }
    property Formula: PFORMULAPREPARADA read FFormula;
  end;
{$ENDIF}

implementation

uses
  Math;

function A_VincularEstandar(Formula: PFORMULAPREPARADA; Propio: TESTANDAR_PROPIO; Datos: Pointer): Int32;
var
  K, Argumentos, Marcas, Usos: Int32;
  Nombre: PAnsiChar;
  Constante: PDouble;
  Nativa: Pointer;
begin
  Result := 0;
  K := 0;
  Nombre := A_Nombre(Formula, K, @Argumentos);
  while Nombre <> nil do
  begin
    Constante := nil;
    Nativa := nil;
    Marcas := 0;
    if Argumentos < 0 then
      Constante := A_EstandarConstante(Nombre)
    else
    begin
      Marcas := A_EstandarMarcas(Nombre, Argumentos);
      if Marcas and FORMULA_TEXTO_AL_ANFITRION <> 0 then
        Nativa := A_EstandarNativa(Nombre, Argumentos or ESTANDAR_CON_TEXTOS)
      else
        Nativa := A_EstandarNativa(Nombre, Argumentos);
    end;
    if ((Constante <> nil) or (Nativa <> nil)) and not (Assigned(Propio) and Propio(Datos, Nombre, Argumentos)) then
    begin
      if Constante <> nil then
        Usos := A_Vincular(Formula, Nombre, Constante)
      else
        Usos := A_VincularFuncion(Formula, Nombre, Argumentos or Marcas, Nativa);
      if Usos = FORMULA_EN_CURSO then
        Exit(FORMULA_EN_CURSO);
      if Usos > 0 then
        Inc(Result);
    end;
    Inc(K);
    Nombre := A_Nombre(Formula, K, @Argumentos);
  end;
end;

{$IFDEF EVALION_OBJETO}
function Buscar(const Lista: array of TNombreUsado; const Nombre: AnsiString; Argumentos: Int32): Integer;
begin
  for Result := 0 to High(Lista) do
    if (Lista[Result].Argumentos = Argumentos) and (Lista[Result].Nombre = Nombre) then
      Exit;
  Result := -1;
end;

procedure Quitar(var Lista: TNombresUsados; Indice: Integer);
begin
  Lista[Indice] := Lista[High(Lista)];
  SetLength(Lista, Length(Lista) - 1);
end;

procedure Poner(var Lista: TNombresUsados; const Nombre: AnsiString; Argumentos: Int32);
begin
  SetLength(Lista, Length(Lista) + 1);
  Lista[High(Lista)].Nombre := Nombre;
  Lista[High(Lista)].Argumentos := Argumentos;
end;

constructor TFormula.Create(Analizador: TEvalion; const Expresion: string);
var
  Texto: RawByteString;
begin
  inherited Create;
  Texto := ExpresionParaElMotor(Expresion);
  FAnalizador := Analizador;
  FillChar(FRechazo, SizeOf(FRechazo), 0);
  FFormula := A_Preparar(Analizador.Estado, PAnsiChar(Texto), @FRechazo);
  FAlDia := True;
end;

destructor TFormula.Destroy;
begin
  A_Liberar(FFormula);
  inherited Destroy;
end;

function TFormula.Preparada: Boolean;
begin
  Result := FFormula <> nil;
end;

function TFormula.Cambiado(Respuesta: Int32): Int32;
begin
  if Respuesta = FORMULA_EN_CURSO then
    raise EEvalion.Create('Evalion: a form is not changed while it is being evaluated');
  Result := Respuesta;
end;

function TFormula.Evaluar: BLOQUEDEDATOS;
begin
  if FFormula = nil then
    Exit(FRechazo);
  AlDia;
  Result := A_Evaluar(FFormula, FAnalizador.Estado);
  FAnalizador.RelanzarExcepcion;
end;

function TFormula.EvaluarNumero(out Numero: Double): Int32;
begin
  Numero := NaN;
  if FFormula = nil then
    Exit(FRechazo.Error);
  AlDia;
  Result := A_EvaluarNumero(FFormula, FAnalizador.Estado, @Numero);
  FAnalizador.RelanzarExcepcion;
end;

function TFormula.EvaluarFilas(Filas: Int32; Valores: PDouble; Errores, Posiciones: PInt32): Int32;
var
  I: Int32;
begin
  if (FFormula = nil) and (Filas > 0) then
  begin
    { A_EvaluarFilas would fail each row as a nil form, at position 0: the text's own error
      is the one Evaluar gives. }
    for I := 0 to Filas - 1 do
    begin
      if Valores <> nil then
        Valores[I] := NaN;
      if Errores <> nil then
        Errores[I] := FRechazo.Error;
      if Posiciones <> nil then
        Posiciones[I] := FRechazo.Posicion;
    end;
    Exit(Filas);
  end;
  AlDia;
  Result := A_EvaluarFilas(FFormula, FAnalizador.Estado, Filas, Valores, Errores, Posiciones);
  FAnalizador.RelanzarExcepcion;
end;

function TFormula.Nombre(Indice: Int32; out Argumentos: Int32): string;
begin
  Argumentos := -1;
  Result := TextoDelMotor(A_Nombre(FFormula, Indice, @Argumentos));
end;

function TFormula.VincularNumeros(const Nombre: string; Direccion: PDouble; Columna: Boolean): Int32;
var
  Texto: RawByteString;
begin
  Texto := TextoParaElMotor(Nombre);
  if Columna then
    Result := Cambiado(A_VincularColumna(FFormula, PAnsiChar(Texto), Direccion))
  else
    Result := Cambiado(A_Vincular(FFormula, PAnsiChar(Texto), Direccion));
  if Result > 0 then
    Propio(Texto, -1, Direccion <> nil);
end;

function TFormula.Vincular(const Nombre: string; Direccion: PDouble): Int32;
begin
  Result := VincularNumeros(Nombre, Direccion, False);
end;

function TFormula.VincularColumna(const Nombre: string; Columna: PDouble): Int32;
begin
  Result := VincularNumeros(Nombre, Columna, True);
end;

function TFormula.VincularFuncion(const Nombre: string; Argumentos: Int32; Funcion: FORMULA_NATIVA): Int32;
var
  Texto: RawByteString;
begin
  Texto := TextoParaElMotor(Nombre);
  Result := Cambiado(A_VincularFuncion(FFormula, PAnsiChar(Texto), Argumentos, Funcion));
  if Result > 0 then
    Propio(Texto, Argumentos, Funcion <> nil);
end;

{ A name the host bound (Mio) or unbound: its binding replaced the standard library's, if
  that had one; unbound, the library may bind it again at the next evaluation. }
procedure TFormula.Propio(const Nombre: AnsiString; Argumentos: Int32; Mio: Boolean);
var
  Donde: Integer;
begin
  Donde := Buscar(FPropios, Nombre, Argumentos);
  if Mio and (Donde < 0) then
    Poner(FPropios, Nombre, Argumentos)
  else if not Mio and (Donde >= 0) then
    Quitar(FPropios, Donde);
  Donde := Buscar(FDelEstandar, Nombre, Argumentos);
  if Donde >= 0 then
    Quitar(FDelEstandar, Donde);
  FAlDia := False;
end;

procedure TFormula.SetEstandar(Valor: Boolean);
begin
  if Valor = FEstandar then
    Exit;
  FEstandar := Valor;
  FAlDia := False;
end;

procedure TFormula.SetOnPropio(Valor: TEstandarPropioEvent);
begin
  FOnPropio := Valor;
  FAlDia := False;
end;

{ A_VincularEstandar's question for a TFormula: the host's names are those it bound on the
  form and those OnPropio claims; the others, which the library binds, are remembered for
  AlDia to unbind. }
function DelAnfitrion(Datos: Pointer; Nombre: PAnsiChar; Argumentos: Int32): Boolean;
var
  F: TFormula;
begin
  F := TFormula(Datos);
  Result := Buscar(F.FPropios, AnsiString(Nombre), Argumentos) >= 0;
  if not Result and Assigned(F.FOnPropio) then
    F.FOnPropio(F, Nombre, Argumentos, Result);
  if not Result then
    Poner(F.FDelEstandar, AnsiString(Nombre), Argumentos);
end;

{ Before an evaluation, after a change of Estandar, OnPropio or the host's bindings: the
  library's bindings of before are undone and made again as things stand. }
procedure TFormula.AlDia;
var
  I: Integer;
begin
  if FAlDia then
    Exit;
  for I := 0 to High(FDelEstandar) do
    if FDelEstandar[I].Argumentos < 0 then
      Cambiado(A_Vincular(FFormula, PAnsiChar(FDelEstandar[I].Nombre), nil))
    else
      Cambiado(A_VincularFuncion(FFormula, PAnsiChar(FDelEstandar[I].Nombre), FDelEstandar[I].Argumentos, nil));
  FDelEstandar := nil;
  if FEstandar then
    Cambiado(A_VincularEstandar(FFormula, DelAnfitrion, Self));
  FAlDia := True;
end;
{$ENDIF}

end.
