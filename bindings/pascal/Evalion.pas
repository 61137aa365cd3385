{ Evalion from Pascal: the data block, the codes, the parser state record and the four
  functions of the two libraries, with a small component-style class on top.

  Compile with EVALION_OBJETO defined (fpc -dEVALION_OBJETO) to use Evalionobj, whose
  requests are methods ("procedure ... of object"); without it the unit imports Evalion,
  whose requests are plain procedures. The class TEvalion needs the object form.

  With EVALION_MOTOR_PROPIO defined as well (the Lazarus package Evalcomp does it) the
  engine is not imported from a library but linked into the program: the object
  evalion_motor.o, the engine and the four entry points of Evalionobj compiled without any
  run-time library of their own, which the package's users find through its object path.
  The unit then also carries the package's resources (the palette bitmap TEVALION and the
  DESCRIPTION) and Register puts TEvalion on the palette page "Evalion".

  The library is libevalion.so / libevalionobj.so on Linux and Evalion.dll /
  Evalionobj.dll on 32-bit Windows, where every function is stdcall and the requests of
  Evalionobj are called in the register convention of Pascal methods: Self in EAX, then
  EDX and ECX, the remaining parameters pushed from left to right and removed by the
  method. On Linux x86-64 a method is called with Self as its first argument, which is the
  (function, object) pair of libevalionobj with the object first; so it is on 64-bit
  Windows (x86_64-win64), whose one convention puts Self in RCX and the parameters after it
  in order, and where stdcall means nothing. So one declaration of a method type fits the
  library on every platform.

  Ownership: the host owns the record; everything the engine hands to a request (the name,
  the arguments, R) is the engine's and lives only during the request.

  Texts: the engine reads and writes Windows-1252, one byte per character. On Windows a
  string is converted from its own code page: a Delphi-style program's ANSI code page, which
  passes unchanged where it is Windows-1252, as a Delphi host expects, or an LCL program's
  UTF-8. On Linux a string is UTF-8. So the functions below that take or give a string
  convert: TextoParaElMotor, TextoDelMotor, CadenaDe, PonerCadena, TEvalion.Analizar
  and the messages of EvalionEstandar. The bare functions and the blocks carry the engine's
  bytes unchanged. }
unit Evalion;

{$IFDEF FPC}{$MODE DELPHI}{$ENDIF}
{ 4-byte packing, as the libraries: the double after Cursor stays where C puts it. }
{$A4}

interface

uses
  {$IFDEF EVALION_OBJETO}Classes,{$ENDIF} SysUtils;

{$IFDEF EVALION_MOTOR_PROPIO}
  {$IFNDEF EVALION_OBJETO}
    {$FATAL 'the engine inside the program is the object form: define EVALION_OBJETO too'}
  {$ENDIF}
  {$L evalion_motor.o}
  {$IFDEF MSWINDOWS}
    { The object's imports: the C library of msvcrt.dll and one function of kernel32.dll;
      on 32-bit Windows its four entry points keep their stdcall names (_A_Inicializar@4),
      on 64-bit Windows they have their plain names. }
    {$LinkLib msvcrt}
    {$LinkLib kernel32}
  {$ELSE}
    {$LinkLib c}
    {$LinkLib m}
  {$ENDIF}
  {$R evalcomp.res}
{$ENDIF}

const
{$IFDEF MSWINDOWS}
  {$IFDEF EVALION_OBJETO} EVALION_BIBLIOTECA = 'Evalionobj.dll'; {$ELSE} EVALION_BIBLIOTECA = 'Evalion.dll'; {$ENDIF}
{$ELSE}
  {$IFDEF EVALION_OBJETO} EVALION_BIBLIOTECA = 'evalionobj'; {$ELSE} EVALION_BIBLIOTECA = 'evalion'; {$ENDIF}
{$ENDIF}

  EVALION_LARGO_EXPRESION = 1024; { characters of an expression; A_Analizar ignores the rest }
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
  { What TEvalion answers the engine for an event that raised: the analysis ends at once
    and Analizar raises the event's exception again. }
  E_EXCEPCION = -1;

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
  {$IFDEF MSWINDOWS}stdcall{$ELSE}cdecl{$ENDIF}; external {$IFNDEF EVALION_MOTOR_PROPIO}EVALION_BIBLIOTECA{$ELSE}{$IFDEF WIN32}name '_A_Inicializar@4'{$ENDIF}{$ENDIF};

{ Installs the two requests; nil (in the object form a nil code word) leaves one to the
  engine, which answers E_VARIABLE or E_FUNCION with the name in Cadena. The object form
  takes each method as its two words: a method pointer given to a stdcall routine would
  travel as one address. AsignarAlPedir below splits them. }
{$IFDEF EVALION_OBJETO}
procedure A_AsignarAlPedir(Estado: PESTADODEANALISIS; VariableCodigo, VariableObjeto: Pointer;
  FuncionCodigo, FuncionObjeto: Pointer);
  {$IFDEF MSWINDOWS}stdcall{$ELSE}cdecl{$ENDIF}; external {$IFNDEF EVALION_MOTOR_PROPIO}EVALION_BIBLIOTECA{$ELSE}{$IFDEF WIN32}name '_A_AsignarAlPedir@20'{$ENDIF}{$ENDIF};
{$ELSE}
procedure A_AsignarAlPedir(Estado: PESTADODEANALISIS; Variable: TALPEDIRVARIABLE; Funcion: TALPEDIRFUNCION);
  {$IFDEF MSWINDOWS}stdcall{$ELSE}cdecl{$ENDIF}; external {$IFNDEF EVALION_MOTOR_PROPIO}EVALION_BIBLIOTECA{$ELSE}{$IFDEF WIN32}name '_A_AsignarAlPedir@12'{$ENDIF}{$ENDIF};
{$ENDIF}

{ Sets the thousands and decimal separators; #0 leaves that one unchanged. }
procedure A_AsignarSeparadores(Estado: PESTADODEANALISIS; Millar, Decimal: AnsiChar);
  {$IFDEF MSWINDOWS}stdcall{$ELSE}cdecl{$ENDIF}; external {$IFNDEF EVALION_MOTOR_PROPIO}EVALION_BIBLIOTECA{$ELSE}{$IFDEF WIN32}name '_A_AsignarSeparadores@12'{$ENDIF}{$ENDIF};

{ Analyses one NUL-terminated Windows-1252 text (nil allowed) and returns its value or its
  error with the position. The requests run on this thread, during this call. }
function A_Analizar(Estado: PESTADODEANALISIS; Expresion: PAnsiChar): BLOQUEDEDATOS;
  {$IFDEF MSWINDOWS}stdcall{$ELSE}cdecl{$ENDIF}; external {$IFNDEF EVALION_MOTOR_PROPIO}EVALION_BIBLIOTECA{$ELSE}{$IFDEF WIN32}name '_A_Analizar@8'{$ENDIF}{$ENDIF};

{$IFDEF EVALION_OBJETO}
{ A_AsignarAlPedir with two methods; a nil method leaves that request to the engine. }
procedure AsignarAlPedir(Estado: PESTADODEANALISIS; Variable: TALPEDIRVARIABLE; Funcion: TALPEDIRFUNCION);

type
  { A text TEvalion.Analizar cannot hand to the engine whole. }
  EEvalion = class(Exception);

  TPedirVariableEvent = procedure(Sender: TObject; Variable: PAnsiChar; var R: BLOQUEDEDATOS) of object;
  TPedirFuncionEvent = procedure(Sender: TObject; Funcion: PAnsiChar; Parametros: PBLOQUES; N: Int32;
    var R: BLOQUEDEDATOS) of object;

  { A non-visual component: an analyser that owns its record and turns the engine's
    requests into events, with the analyser as Sender. Its two adapters are the record's
    requests from the end of construction on; an unassigned event is answered as the
    engine answers a request nobody installed: E_VARIABLE or E_FUNCION with the name in
    Cadena. An exception an event raises never crosses the engine: the request ends the
    analysis (E_EXCEPCION) and Analizar raises the exception again once the engine has
    returned. One object serves one analysis at a time; an event must not analyse on the
    same object. }
  TEvalion = class(TComponent)
  private
    FEstado: ESTADODEANALISIS;
    FOnPedirVariable: TPedirVariableEvent;
    FOnPedirFuncion: TPedirFuncionEvent;
    FExcepcion: TObject; { what an event raised, until Analizar raises it again }
    function GetSeparadorDecimal: AnsiChar;
    function GetSeparadorMillar: AnsiChar;
    procedure SetSeparadorDecimal(Valor: AnsiChar);
    procedure SetSeparadorMillar(Valor: AnsiChar);
    function GetEstado: PESTADODEANALISIS;
  public
    constructor Create(AOwner: TComponent); override;
    { The value or the error of Expresion, converted as TextoParaElMotor does. A text
      longer than EVALION_LARGO_EXPRESION characters or holding a #0 raises EEvalion, as
      the engine would read only a cut part of it. }
    function Analizar(const Expresion: AnsiString): BLOQUEDEDATOS;
    { The record, with the adapters installed, for an engine call the analyser does not
      make itself (a prepared form's evaluation, EvalionFormula's TFormula): such a call
      is followed by RelanzarExcepcion, as Analizar does. }
    property Estado: PESTADODEANALISIS read GetEstado;
    { Raises again the exception an event raised during the last engine call on Estado,
      if one did; nothing otherwise. }
    procedure RelanzarExcepcion;
    { The record's requests; public so that a host may install them on a record of its own. }
    procedure _AlPedirVariable(Variable: PAnsiChar; var R: BLOQUEDEDATOS); {$IFDEF WIN32}register;{$ENDIF}
    procedure _AlPedirFuncion(Funcion: PAnsiChar; Parametros: PBLOQUES; N: Int32; var R: BLOQUEDEDATOS);
      {$IFDEF WIN32}register;{$ENDIF}
  published
    property OnPedirVariable: TPedirVariableEvent read FOnPedirVariable write FOnPedirVariable;
    property OnPedirFuncion: TPedirFuncionEvent read FOnPedirFuncion write FOnPedirFuncion;
    { Never #0 once created, and #0 is the declared default, so a form file always holds
      both; reading it sets them again through the setters. Setting #0 changes nothing. }
    property SeparadorDecimal: AnsiChar read GetSeparadorDecimal write SetSeparadorDecimal default #0;
    property SeparadorMillar: AnsiChar read GetSeparadorMillar write SetSeparadorMillar default #0;
  end;

{ Puts TEvalion on the component palette page "Evalion"; the form designer calls it when
  it loads the package. }
procedure Register;

{ Expresion as TextoParaElMotor converts it, or EEvalion when the engine would read only a
  cut part of it: over EVALION_LARGO_EXPRESION characters, or holding a #0. }
function ExpresionParaElMotor(const Expresion: string): RawByteString;
{$ENDIF}

{ Helpers for requests: R holds a number or a text (converted, then cut to 1023 bytes). }
procedure PonerNumero(var R: BLOQUEDEDATOS; Valor: Double);
procedure PonerCadena(var R: BLOQUEDEDATOS; const Valor: string);

{ A string in the engine's bytes: on Linux UTF-8 to Windows-1252, where a character the code
  page lacks, or a byte that is not valid UTF-8, becomes "?"; on Windows unchanged. }
function TextoParaElMotor(const Texto: string): RawByteString;
{ The other way, for names, argument and result texts: any engine text (nil is ''). }
function TextoDelMotor(Texto: PAnsiChar): string;
{ The text of a block, TextoDelMotor of its Cadena. }
function CadenaDe(const R: BLOQUEDEDATOS): string;

implementation

{$IFNDEF MSWINDOWS}
const
  { The code points of bytes $80 to $9F; 0 marks the five the code page leaves undefined,
    which stand for the control characters of the same value. }
  WINDOWS_1252: array[$80..$9F] of Word = (
    $20AC, 0, $201A, $0192, $201E, $2026, $2020, $2021, $02C6, $2030, $0160, $2039, $0152, 0,
    $017D, 0, 0, $2018, $2019, $201C, $201D, $2022, $2013, $2014, $02DC, $2122, $0161, $203A,
    $0153, 0, $017E, $0178);

function Unicode(Valor: Byte): Cardinal;
begin
  Result := Valor;
  if (Valor >= $80) and (Valor <= $9F) and (WINDOWS_1252[Valor] <> 0) then
    Result := WINDOWS_1252[Valor];
end;

function ByteDe(Punto: Cardinal): AnsiChar;
var
  B: Integer;
begin
  if (Punto < $80) or ((Punto >= $A0) and (Punto <= $FF)) then
    Exit(AnsiChar(Punto));
  for B := $80 to $9F do
    if WINDOWS_1252[B] = Punto then
      Exit(AnsiChar(B));
  Result := '?';
end;

{ The length of the UTF-8 sequence at Texto[I] and its code point in Punto; 0 when it is
  not valid (stray, truncated, overlong, surrogate or beyond U+10FFFF). }
function Decodificar(const Texto: string; I: Integer; out Punto: Cardinal): Integer;
var
  Primero, Siguiente: Byte;
  K: Integer;
  Minimo: Cardinal;
begin
  Primero := Byte(Texto[I]);
  if Primero < $80 then
  begin
    Punto := Primero;
    Exit(1);
  end
  else if Primero and $E0 = $C0 then
  begin
    Result := 2; Punto := Primero and $1F; Minimo := $80;
  end
  else if Primero and $F0 = $E0 then
  begin
    Result := 3; Punto := Primero and $0F; Minimo := $800;
  end
  else if Primero and $F8 = $F0 then
  begin
    Result := 4; Punto := Primero and $07; Minimo := $10000;
  end
  else
    Exit(0);
  if I + Result - 1 > Length(Texto) then
    Exit(0);
  for K := 1 to Result - 1 do
  begin
    Siguiente := Byte(Texto[I + K]);
    if Siguiente and $C0 <> $80 then
      Exit(0);
    Punto := (Punto shl 6) or (Siguiente and $3F);
  end;
  if (Punto < Minimo) or (Punto > $10FFFF) or ((Punto >= $D800) and (Punto <= $DFFF)) then
    Result := 0;
end;

function TextoParaElMotor(const Texto: string): RawByteString;
var
  I, Largo, Escritos: Integer;
  Punto: Cardinal;
begin
  SetLength(Result, Length(Texto));
  Escritos := 0;
  I := 1;
  while I <= Length(Texto) do
  begin
    Largo := Decodificar(Texto, I, Punto);
    Inc(Escritos);
    if Largo = 0 then
    begin
      Result[Escritos] := '?';
      Inc(I);
    end
    else
    begin
      Result[Escritos] := ByteDe(Punto);
      Inc(I, Largo);
    end;
  end;
  SetLength(Result, Escritos);
end;

function TextoDelMotor(Texto: PAnsiChar): string;
var
  I, Escritos: Integer;
  Punto: Cardinal;
begin
  Result := '';
  if Texto = nil then
    Exit;
  SetLength(Result, 3 * StrLen(Texto));
  Escritos := 0;
  I := 0;
  while Texto[I] <> #0 do
  begin
    Punto := Unicode(Byte(Texto[I]));
    if Punto < $80 then
    begin
      Result[Escritos + 1] := AnsiChar(Punto);
      Inc(Escritos);
    end
    else if Punto < $800 then
    begin
      Result[Escritos + 1] := AnsiChar($C0 or (Punto shr 6));
      Result[Escritos + 2] := AnsiChar($80 or (Punto and $3F));
      Inc(Escritos, 2);
    end
    else
    begin
      Result[Escritos + 1] := AnsiChar($E0 or (Punto shr 12));
      Result[Escritos + 2] := AnsiChar($80 or ((Punto shr 6) and $3F));
      Result[Escritos + 3] := AnsiChar($80 or (Punto and $3F));
      Inc(Escritos, 3);
    end;
    Inc(I);
  end;
  SetLength(Result, Escritos);
end;
{$ELSE}
{ A string carries its code page: the ANSI one in a Delphi-style program, where nothing
  changes when it is Windows-1252, and UTF-8 in an LCL program. }
function TextoParaElMotor(const Texto: string): RawByteString;
begin
  Result := Texto;
  SetCodePage(Result, 1252, True);
end;

{ Through UTF-16: a direct assignment is taken for no conversion where the program's code
  page is only declared the same. }
function TextoDelMotor(Texto: PAnsiChar): string;
var
  Bytes: RawByteString;
begin
  Bytes := Texto;
  SetCodePage(Bytes, 1252, False);
  Result := string(UnicodeString(Bytes));
end;
{$ENDIF}

function CadenaDe(const R: BLOQUEDEDATOS): string;
begin
  Result := TextoDelMotor(PAnsiChar(@R.Cadena[0]));
end;

procedure PonerNumero(var R: BLOQUEDEDATOS; Valor: Double);
begin
  R.Tipo := TIPO_NUMERO;
  R.Numero := Valor;
end;

procedure PonerCadena(var R: BLOQUEDEDATOS; const Valor: string);
var
  Texto: RawByteString;
  Largo: Integer;
begin
  Texto := TextoParaElMotor(Valor);
  Largo := Length(Texto);
  if Largo > EVALION_LARGO_CADENA - 1 then
    Largo := EVALION_LARGO_CADENA - 1;
  if Largo > 0 then
    Move(Texto[1], R.Cadena[0], Largo);
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
  AsignarAlPedir(@FEstado, _AlPedirVariable, _AlPedirFuncion);
end;

{ A request without an event gets the engine's answer to a request nobody installed, so
  that a form without handlers reports the name it could not resolve. }
procedure SinEvento(Nombre: PAnsiChar; Codigo: Int32; var R: BLOQUEDEDATOS);
var
  Largo: Integer;
begin
  Largo := 0;
  while (Largo < EVALION_LARGO_CADENA - 1) and (Nombre[Largo] <> #0) do
    Inc(Largo);
  Move(Nombre^, R.Cadena[0], Largo);
  R.Cadena[Largo] := #0;
  R.Error := Codigo;
end;

{ A Pascal exception must not unwind through the engine's frames: they would never release
  what they hold (the arguments of every pending call). The adapters keep it and answer
  with a code that ends the analysis. Once one is kept, every later request of the same
  call fails at once without its event: rows of a prepared form go on after a failed row,
  and the one exception kept is the first. An event counts as assigned by its code word
  alone. }
procedure TEvalion._AlPedirVariable(Variable: PAnsiChar; var R: BLOQUEDEDATOS);
begin
  if FExcepcion <> nil then
  begin
    R.Error := E_EXCEPCION;
    Exit;
  end;
  if TMethod(FOnPedirVariable).Code = nil then
  begin
    SinEvento(Variable, E_VARIABLE, R);
    Exit;
  end;
  try
    FOnPedirVariable(Self, Variable, R);
  except
    FExcepcion := TObject(AcquireExceptionObject);
    R.Error := E_EXCEPCION;
  end;
end;

procedure TEvalion._AlPedirFuncion(Funcion: PAnsiChar; Parametros: PBLOQUES; N: Int32; var R: BLOQUEDEDATOS);
begin
  if FExcepcion <> nil then
  begin
    R.Error := E_EXCEPCION;
    Exit;
  end;
  if TMethod(FOnPedirFuncion).Code = nil then
  begin
    SinEvento(Funcion, E_FUNCION, R);
    Exit;
  end;
  try
    FOnPedirFuncion(Self, Funcion, Parametros, N, R);
  except
    FExcepcion := TObject(AcquireExceptionObject);
    R.Error := E_EXCEPCION;
  end;
end;

function ExpresionParaElMotor(const Expresion: string): RawByteString;
var
  Nulo: Integer;
begin
  Result := TextoParaElMotor(Expresion);
  if Length(Result) > EVALION_LARGO_EXPRESION then
    raise EEvalion.CreateFmt('Evalion: an expression holds at most %d characters', [EVALION_LARGO_EXPRESION]);
  Nulo := Pos(#0, Result);
  if Nulo > 0 then
    raise EEvalion.CreateFmt('Evalion: the expression has a NUL at character %d', [Nulo]);
end;

function TEvalion.Analizar(const Expresion: AnsiString): BLOQUEDEDATOS;
var
  Texto: RawByteString;
begin
  Texto := ExpresionParaElMotor(Expresion);
  Result := A_Analizar(@FEstado, PAnsiChar(Texto));
  RelanzarExcepcion;
end;

procedure TEvalion.RelanzarExcepcion;
var
  Excepcion: TObject;
begin
  if FExcepcion = nil then
    Exit;
  Excepcion := FExcepcion;
  FExcepcion := nil;
  raise Excepcion;
end;

function TEvalion.GetEstado: PESTADODEANALISIS;
begin
  Result := @FEstado;
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

procedure Register;
begin
  RegisterComponents('Evalion', [TEvalion]);
end;
{$ENDIF}

end.
