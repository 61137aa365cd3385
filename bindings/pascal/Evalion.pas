{ Evalion from Pascal: the data block, the codes, the parser state record and the four
  functions of the two libraries, with a small component-style class on top.

  Compile with EVALION_OBJETO defined (fpc -dEVALION_OBJETO) to use Evalionobj, whose
  requests are methods ("procedure ... of object"); without it the unit imports Evalion,
  whose requests are plain procedures. The class TEvalion needs the object form.

  The library is libevalion.so / libevalionobj.so on Linux and Evalion.dll /
  Evalionobj.dll on 32-bit Windows, where every function is stdcall and the requests of
  Evalionobj are called in the register convention of Pascal methods: Self in EAX, then
  EDX and ECX, the remaining parameters pushed from left to right and removed by the
  method. On Linux x86-64 a method is called with Self as its first argument, which is the
  (function, object) pair of libevalionobj with the object first. So one declaration of a
  method type fits the library on both platforms.

  Ownership: the host owns the record; everything the engine hands to a request (the name,
  the arguments, R) is the engine's and lives only during the request. }
unit Evalion;

{$IFDEF FPC}{$MODE DELPHI}{$ENDIF}
{ 4-byte packing, as the libraries: the double after Cursor stays where C puts it. }
{$A4}

interface

{$IFDEF EVALION_OBJETO}
uses
  Classes;
{$ENDIF}

const
{$IFDEF MSWINDOWS}
  {$IFDEF EVALION_OBJETO} EVALION_BIBLIOTECA = 'Evalionobj.dll'; {$ELSE} EVALION_BIBLIOTECA = 'Evalion.dll'; {$ENDIF}
{$ELSE}
  {$IFDEF EVALION_OBJETO} EVALION_BIBLIOTECA = 'evalionobj'; {$ELSE} EVALION_BIBLIOTECA = 'evalion'; {$ENDIF}
{$ENDIF}

  EVALION_LARGO_EXPRESION = 1024; { characters of an expression; the rest is ignored }
  EVALION_LARGO_CADENA = 1024;    { bytes of a text field, terminator included }

  { Value kinds, tested as bits. }
  TIPO_NUMERO = 1;
  TIPO_CADENA = 2;

  { Error codes; any other non-zero code a request leaves in R.Error comes back unchanged. }
  E_OPERADOR = 100;
  E_VALOR = 200;
  E_PARENTESIS = 300;
  E_CIERREFUNCION = 400;
  E_OPERANDO = 500;
  E_SEPARADOR = 600;
  E_INCOMPATIBLES = 700;
  E_CARACTER = 800;
  E_VARIABLE = 1000;
  E_FUNCION = 1100;
  E_DIVISION = 1200;
  E_MEMORIA = 1300;

  { Token codes; a one-character token is its own character code. }
  T_FIN = 0;
  T_NUMERO = 260;
  T_IDENTIFICADOR = 270;
  T_CADENA = 280;
  T_DISTINTO = 290;
  T_MENORIGUAL = 300;
  T_MAYORIGUAL = 310;
  T_INVALIDO = 320;

type
  { One value or one error. Read Error first; when it is 0, Tipo names the field that
    holds the value. Posicion (1-based) is meaningful only with an error. }
  PBLOQUEDEDATOS = ^BLOQUEDEDATOS;
  BLOQUEDEDATOS = record
    Numero: Double;
    Cadena: array[0..EVALION_LARGO_CADENA - 1] of AnsiChar;
    Tipo: Byte;
    Error: Int32;
    Posicion: Int32;
  end;

  { The arguments of a function request: N consecutive blocks. }
  TBLOQUES = array[0..(MaxInt div SizeOf(BLOQUEDEDATOS)) - 1] of BLOQUEDEDATOS;
  PBLOQUES = ^TBLOQUES;

{$IFDEF EVALION_OBJETO}
  TALPEDIRVARIABLE = procedure(Variable: PAnsiChar; var R: BLOQUEDEDATOS) of object
    {$IFDEF WIN32}; register{$ENDIF};
  TALPEDIRFUNCION = procedure(Funcion: PAnsiChar; Parametros: PBLOQUES; N: Int32; var R: BLOQUEDEDATOS)
    of object {$IFDEF WIN32}; register{$ENDIF};
  { How the record keeps a request: code first, then the object. }
  TPETICION = record
    Codigo: Pointer;
    Objeto: Pointer;
  end;
{$ELSE}
  TALPEDIRVARIABLE = procedure(Variable: PAnsiChar; var R: BLOQUEDEDATOS);
    {$IFDEF MSWINDOWS}stdcall{$ELSE}cdecl{$ENDIF};
  TALPEDIRFUNCION = procedure(Funcion: PAnsiChar; Parametros: PBLOQUES; N: Int32; var R: BLOQUEDEDATOS);
    {$IFDEF MSWINDOWS}stdcall{$ELSE}cdecl{$ENDIF};
  TPETICION = Pointer;
{$ENDIF}

  { The parser state. The host reserves it anywhere and never looks inside. }
  PESTADODEANALISIS = ^ESTADODEANALISIS;
  ESTADODEANALISIS = record
    TokenActual: Int32;
    Leidos: Int32;
    InicioToken: Int32;
    Cursor: PAnsiChar;
    Texto: array[0..EVALION_LARGO_EXPRESION] of AnsiChar;
    TextoToken: array[0..EVALION_LARGO_EXPRESION] of AnsiChar;
    ValorNumero: Double;
    SepDecimal: AnsiChar;
    SepMillar: AnsiChar;
    AlPedirVariable: TPETICION;
    AlPedirFuncion: TPETICION;
  end;

const
  { What the libraries were built with: a record of another size would be overrun. }
{$IFDEF CPU64}
  {$IFDEF EVALION_OBJETO} EVALION_TAMANO_ESTADO = 2116; {$ELSE} EVALION_TAMANO_ESTADO = 2100; {$ENDIF}
{$ELSE}
  {$IFDEF EVALION_OBJETO} EVALION_TAMANO_ESTADO = 2096; {$ELSE} EVALION_TAMANO_ESTADO = 2088; {$ENDIF}
{$ENDIF}

{$IF SizeOf(BLOQUEDEDATOS) <> 1044}
  {$MESSAGE FATAL 'BLOQUEDEDATOS must be 1044 bytes'}
{$IFEND}
{$IF SizeOf(ESTADODEANALISIS) <> EVALION_TAMANO_ESTADO}
  {$MESSAGE FATAL 'ESTADODEANALISIS does not have the size of the libraries'' record'}
{$IFEND}

{ Initialises a newly reserved record: no requests, "." thousands, "," decimal. Calling it
  again restores exactly that. }
procedure A_Inicializar(Estado: PESTADODEANALISIS);
  {$IFDEF MSWINDOWS}stdcall{$ELSE}cdecl{$ENDIF}; external EVALION_BIBLIOTECA;

{ Installs the two requests; nil (in the object form a nil code word) leaves one to the
  engine, which answers E_VARIABLE or E_FUNCION with the name in Cadena. The object form
  takes each method as its two words: a method pointer given to a stdcall routine would
  travel as one address. AsignarAlPedir below splits them. }
{$IFDEF EVALION_OBJETO}
procedure A_AsignarAlPedir(Estado: PESTADODEANALISIS; VariableCodigo, VariableObjeto: Pointer;
  FuncionCodigo, FuncionObjeto: Pointer);
  {$IFDEF MSWINDOWS}stdcall{$ELSE}cdecl{$ENDIF}; external EVALION_BIBLIOTECA;
{$ELSE}
procedure A_AsignarAlPedir(Estado: PESTADODEANALISIS; Variable: TALPEDIRVARIABLE; Funcion: TALPEDIRFUNCION);
  {$IFDEF MSWINDOWS}stdcall{$ELSE}cdecl{$ENDIF}; external EVALION_BIBLIOTECA;
{$ENDIF}

{ Sets the thousands and decimal separators; #0 leaves that one unchanged. }
procedure A_AsignarSeparadores(Estado: PESTADODEANALISIS; Millar, Decimal: AnsiChar);
  {$IFDEF MSWINDOWS}stdcall{$ELSE}cdecl{$ENDIF}; external EVALION_BIBLIOTECA;

{ Analyses one NUL-terminated Windows-1252 text (nil allowed) and returns its value or its
  error with the position. The requests run on this thread, during this call. }
function A_Analizar(Estado: PESTADODEANALISIS; Expresion: PAnsiChar): BLOQUEDEDATOS;
  {$IFDEF MSWINDOWS}stdcall{$ELSE}cdecl{$ENDIF}; external EVALION_BIBLIOTECA;

{$IFDEF EVALION_OBJETO}
{ A_AsignarAlPedir with two methods; a nil method leaves that request to the engine. }
procedure AsignarAlPedir(Estado: PESTADODEANALISIS; Variable: TALPEDIRVARIABLE; Funcion: TALPEDIRFUNCION);

type
  TPedirVariableEvent = procedure(Sender: TObject; Variable: PAnsiChar; var R: BLOQUEDEDATOS) of object;
  TPedirFuncionEvent = procedure(Sender: TObject; Funcion: PAnsiChar; Parametros: PBLOQUES; N: Int32;
    var R: BLOQUEDEDATOS) of object;

  { A non-visual component: an analyser that owns its record and turns the engine's
    requests into events, with the analyser as Sender. An unassigned event leaves the
    request to the engine (E_VARIABLE or E_FUNCION). One object serves one analysis at a
    time; an event must not analyse on the same object. }
  TEvalion = class(TComponent)
  private
    FEstado: ESTADODEANALISIS;
    FOnPedirVariable: TPedirVariableEvent;
    FOnPedirFuncion: TPedirFuncionEvent;
    function GetSeparadorDecimal: AnsiChar;
    function GetSeparadorMillar: AnsiChar;
    procedure SetSeparadorDecimal(Valor: AnsiChar);
    procedure SetSeparadorMillar(Valor: AnsiChar);
    procedure SetOnPedirVariable(Valor: TPedirVariableEvent);
    procedure SetOnPedirFuncion(Valor: TPedirFuncionEvent);
    procedure _AlPedirVariable(Variable: PAnsiChar; var R: BLOQUEDEDATOS); {$IFDEF WIN32}register;{$ENDIF}
    procedure _AlPedirFuncion(Funcion: PAnsiChar; Parametros: PBLOQUES; N: Int32; var R: BLOQUEDEDATOS);
      {$IFDEF WIN32}register;{$ENDIF}
    procedure Instalar;
  public
    constructor Create(AOwner: TComponent); override;
    { The value or the error of Expresion (Windows-1252). }
    function Analizar(const Expresion: AnsiString): BLOQUEDEDATOS;
  published
    { Never #0 once created, so always stored; setting #0 changes nothing. }
    property SeparadorDecimal: AnsiChar read GetSeparadorDecimal write SetSeparadorDecimal;
    property SeparadorMillar: AnsiChar read GetSeparadorMillar write SetSeparadorMillar;
    property OnPedirVariable: TPedirVariableEvent read FOnPedirVariable write SetOnPedirVariable;
    property OnPedirFuncion: TPedirFuncionEvent read FOnPedirFuncion write SetOnPedirFuncion;
  end;
{$ENDIF}

{ Helpers for requests: R holds a number or a text (cut to 1023 bytes). }
procedure PonerNumero(var R: BLOQUEDEDATOS; Valor: Double);
procedure PonerCadena(var R: BLOQUEDEDATOS; const Valor: AnsiString);

implementation

procedure PonerNumero(var R: BLOQUEDEDATOS; Valor: Double);
begin
  R.Tipo := TIPO_NUMERO;
  R.Numero := Valor;
end;

procedure PonerCadena(var R: BLOQUEDEDATOS; const Valor: AnsiString);
var
  Largo: Integer;
begin
  Largo := Length(Valor);
  if Largo > EVALION_LARGO_CADENA - 1 then
    Largo := EVALION_LARGO_CADENA - 1;
  if Largo > 0 then
    Move(Valor[1], R.Cadena[0], Largo);
  R.Cadena[Largo] := #0;
  R.Tipo := TIPO_CADENA;
end;

{$IFDEF EVALION_OBJETO}
procedure AsignarAlPedir(Estado: PESTADODEANALISIS; Variable: TALPEDIRVARIABLE; Funcion: TALPEDIRFUNCION);
begin
  A_AsignarAlPedir(Estado, TMethod(Variable).Code, TMethod(Variable).Data,
    TMethod(Funcion).Code, TMethod(Funcion).Data);
end;

constructor TEvalion.Create(AOwner: TComponent);
begin
  inherited Create(AOwner);
  A_Inicializar(@FEstado);
end;

{ The adapters are installed only while an event is assigned, so that an unassigned one
  is answered by the engine itself, with the name in Cadena. }
procedure TEvalion.Instalar;
var
  Variable: TALPEDIRVARIABLE;
  Funcion: TALPEDIRFUNCION;
begin
  Variable := nil;
  Funcion := nil;
  if Assigned(FOnPedirVariable) then
    Variable := _AlPedirVariable;
  if Assigned(FOnPedirFuncion) then
    Funcion := _AlPedirFuncion;
  AsignarAlPedir(@FEstado, Variable, Funcion);
end;

procedure TEvalion._AlPedirVariable(Variable: PAnsiChar; var R: BLOQUEDEDATOS);
begin
  FOnPedirVariable(Self, Variable, R);
end;

procedure TEvalion._AlPedirFuncion(Funcion: PAnsiChar; Parametros: PBLOQUES; N: Int32; var R: BLOQUEDEDATOS);
begin
  FOnPedirFuncion(Self, Funcion, Parametros, N, R);
end;

function TEvalion.Analizar(const Expresion: AnsiString): BLOQUEDEDATOS;
begin
  Result := A_Analizar(@FEstado, PAnsiChar(Expresion));
end;

function TEvalion.GetSeparadorDecimal: AnsiChar;
begin
  Result := FEstado.SepDecimal;
end;

function TEvalion.GetSeparadorMillar: AnsiChar;
begin
  Result := FEstado.SepMillar;
end;

procedure TEvalion.SetSeparadorDecimal(Valor: AnsiChar);
begin
  A_AsignarSeparadores(@FEstado, #0, Valor);
end;

procedure TEvalion.SetSeparadorMillar(Valor: AnsiChar);
begin
  A_AsignarSeparadores(@FEstado, Valor, #0);
end;

procedure TEvalion.SetOnPedirVariable(Valor: TPedirVariableEvent);
begin
  FOnPedirVariable := Valor;
  Instalar;
end;

procedure TEvalion.SetOnPedirFuncion(Valor: TPedirFuncionEvent);
begin
  FOnPedirFuncion := Valor;
  Instalar;
end;
{$ENDIF}

end.
