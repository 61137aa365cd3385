{ The unit against one library: build with -dEVALION_OBJETO for Evalionobj. Prints each
  failure and exits with 1 when there is any. }
program Pruebas;

{$IFDEF FPC}{$MODE DELPHI}{$ENDIF}

uses
  SysUtils, Math, Evalion, EvalionEstandar;

type
  TCaso = record
    Texto: AnsiString;
    Error: Int32;       { 0: a value }
    Posicion: Int32;
    Tipo: Byte;
    Numero: Double;
    Cadena: AnsiString;
    Peticiones: AnsiString; { the names asked for, in order, each followed by ";" }
  end;

const
  { The host knows x = 21 and t = "ab", doble(n) = 2n, suma of any count, and falla(...),
    which answers with a code of its own; the standard library answers the other
    functions it has; anything else is E_VARIABLE or E_FUNCION. }
  CODIGO_PROPIO = 4321;
  Casos: array[0..21] of TCaso = (
    (Texto: 'x * 2'; Error: 0; Posicion: 0; Tipo: TIPO_NUMERO; Numero: 42; Cadena: ''; Peticiones: 'x;'),
    (Texto: '2^3^2'; Error: 0; Posicion: 0; Tipo: TIPO_NUMERO; Numero: 512; Cadena: ''; Peticiones: ''),
    (Texto: '1.250 + 1,5'; Error: 0; Posicion: 0; Tipo: TIPO_NUMERO; Numero: 1251.5; Cadena: ''; Peticiones: ''),
    (Texto: '"a" + t'; Error: 0; Posicion: 0; Tipo: TIPO_CADENA; Numero: 0; Cadena: 'aab'; Peticiones: 't;'),
    (Texto: '"x"="X"'; Error: 0; Posicion: 0; Tipo: TIPO_NUMERO; Numero: 0; Cadena: ''; Peticiones: ''),
    (Texto: 'doble(x) + 1'; Error: 0; Posicion: 0; Tipo: TIPO_NUMERO; Numero: 43; Cadena: ''; Peticiones: 'x;doble;'),
    (Texto: 'suma(1; doble(2); x)'; Error: 0; Posicion: 0; Tipo: TIPO_NUMERO; Numero: 26; Cadena: '';
     Peticiones: 'doble;x;suma;'),
    (Texto: 'x-x-x'; Error: 0; Posicion: 0; Tipo: TIPO_NUMERO; Numero: 21; Cadena: ''; Peticiones: 'x;x;x;'),
    (Texto: 'Raiz(16) + x'; Error: 0; Posicion: 0; Tipo: TIPO_NUMERO; Numero: 25; Cadena: ''; Peticiones: 'Raiz;x;'),
    (Texto: 'Raiz("a")'; Error: E_INCOMPATIBLES; Posicion: 1; Tipo: 0; Numero: 0; Cadena: ''; Peticiones: 'Raiz;'),
    (Texto: '0^-1'; Error: 0; Posicion: 0; Tipo: TIPO_NUMERO; Numero: Infinity; Cadena: ''; Peticiones: ''),
    (Texto: '(0-8)^0,5 < 1'; Error: 0; Posicion: 0; Tipo: TIPO_NUMERO; Numero: 0; Cadena: ''; Peticiones: ''),
    (Texto: 'Raiz(0-1) = Raiz(0-1)'; Error: 0; Posicion: 0; Tipo: TIPO_NUMERO; Numero: 0; Cadena: '';
     Peticiones: 'Raiz;Raiz;'),
    (Texto: '1 + y'; Error: E_VARIABLE; Posicion: 4; Tipo: 0; Numero: 0; Cadena: ''; Peticiones: 'y;'),
    (Texto: 'suma(y; x)'; Error: E_VARIABLE; Posicion: 6; Tipo: 0; Numero: 0; Cadena: ''; Peticiones: 'y;'),
    (Texto: 'falla(1) + x'; Error: CODIGO_PROPIO; Posicion: 1; Tipo: 0; Numero: 0; Cadena: ''; Peticiones: 'falla;'),
    (Texto: 'doble("a")'; Error: E_INCOMPATIBLES; Posicion: 1; Tipo: 0; Numero: 0; Cadena: ''; Peticiones: 'doble;'),
    (Texto: '1/0 + x'; Error: E_DIVISION; Posicion: 4; Tipo: 0; Numero: 0; Cadena: ''; Peticiones: ''),
    (Texto: '(1+2'; Error: E_PARENTESIS; Posicion: 5; Tipo: 0; Numero: 0; Cadena: ''; Peticiones: ''),
    (Texto: '1 2'; Error: E_OPERADOR; Posicion: 2; Tipo: 0; Numero: 0; Cadena: ''; Peticiones: ''),
    (Texto: '"'#$F1'"+1'; Error: E_INCOMPATIBLES; Posicion: 6; Tipo: 0; Numero: 0; Cadena: ''; Peticiones: ''),
    (Texto: ''; Error: E_OPERANDO; Posicion: 0; Tipo: 0; Numero: 0; Cadena: ''; Peticiones: '')
  );

  { Characters as a string holds them: UTF-8 on Linux, the ANSI code page on Windows. }
{$IFDEF MSWINDOWS}
  ENIE = #$F1; ENIE_M = #$D1; U_AGUDA = #$FA; U_AGUDA_M = #$DA; O_AGUDA = #$F3; EURO = #$80;
{$ELSE}
  ENIE = #$C3#$B1; ENIE_M = #$C3#$91; U_AGUDA = #$C3#$BA; U_AGUDA_M = #$C3#$9A; O_AGUDA = #$C3#$B3;
  EURO = #$E2#$82#$AC;
{$ENDIF}

var
  Fallos: Integer = 0;

procedure Comprobar(Cierto: Boolean; const Que: string);
begin
  if not Cierto then
  begin
    WriteLn('FALLO: ', Que);
    Inc(Fallos);
  end;
end;

{ The host's answers, shared by both forms; Registro collects the names asked for. }
procedure ResponderVariable(Variable: PAnsiChar; var R: BLOQUEDEDATOS; var Registro: AnsiString);
begin
  Registro := Registro + AnsiString(Variable) + ';';
  if AnsiString(Variable) = 'x' then
    PonerNumero(R, 21)
  else if AnsiString(Variable) = 't' then
    PonerCadena(R, 'ab')
  else
    R.Error := E_VARIABLE;
end;

procedure ResponderFuncion(Funcion: PAnsiChar; Parametros: PBLOQUES; N: Int32; var R: BLOQUEDEDATOS;
  var Registro: AnsiString);
var
  I: Integer;
  Suma: Double;
begin
  Registro := Registro + AnsiString(Funcion) + ';';
  if AnsiString(Funcion) = 'falla' then
    R.Error := CODIGO_PROPIO
  else if (AnsiString(Funcion) = 'doble') and (N = 1) then
  begin
    if Parametros^[0].Tipo = TIPO_NUMERO then
      PonerNumero(R, 2 * Parametros^[0].Numero)
    else
      R.Error := E_INCOMPATIBLES;
  end
  else if AnsiString(Funcion) = 'suma' then
  begin
    Suma := 0;
    for I := 0 to N - 1 do
      Suma := Suma + Parametros^[I].Numero;
    PonerNumero(R, Suma);
  end
  else if A_EstandarFuncion(Funcion, Parametros, N, R) = 0 then
    R.Error := E_FUNCION;
end;

{ One block against one row of the table. }
procedure ComprobarCaso(const Caso: TCaso; const R: BLOQUEDEDATOS; const Registro: AnsiString;
  const Forma: string);
var
  Que: string;
begin
  Que := Forma + ' "' + string(Caso.Texto) + '"';
  Comprobar(R.Error = Caso.Error, Format('%s: error %d, expected %d', [Que, R.Error, Caso.Error]));
  if Caso.Error <> 0 then
    Comprobar(R.Posicion = Caso.Posicion, Format('%s: position %d, expected %d', [Que, R.Posicion, Caso.Posicion]))
  else if Caso.Tipo = TIPO_CADENA then
    Comprobar((R.Tipo = TIPO_CADENA) and (AnsiString(PAnsiChar(@R.Cadena[0])) = Caso.Cadena),
      Que + ': text "' + string(AnsiString(PAnsiChar(@R.Cadena[0]))) + '"')
  else
    Comprobar((R.Tipo = TIPO_NUMERO) and (R.Numero = Caso.Numero), Format('%s: number %g', [Que, R.Numero]));
  Comprobar(Registro = Caso.Peticiones, Que + ': requests "' + string(Registro) + '", expected "' +
    string(Caso.Peticiones) + '"');
end;

{ The offsets a C compiler gives the libraries' records on this platform. }
procedure ComprobarDisposicion;
const
{$IFDEF CPU64}
  VALOR_NUMERO = 2072; AL_PEDIR = 2084;
{$ELSE}
  VALOR_NUMERO = 2068; AL_PEDIR = 2080;
{$ENDIF}
var
  B: BLOQUEDEDATOS;
  E: ESTADODEANALISIS;
begin
  Comprobar(PAnsiChar(@B.Tipo) - PAnsiChar(@B) = 1032, 'Tipo at 1032');
  Comprobar(PAnsiChar(@B.Error) - PAnsiChar(@B) = 1036, 'Error at 1036');
  Comprobar(PAnsiChar(@B.Posicion) - PAnsiChar(@B) = 1040, 'Posicion at 1040');
  Comprobar(PAnsiChar(@E.ValorNumero) - PAnsiChar(@E) = VALOR_NUMERO, 'ValorNumero offset');
  Comprobar(PAnsiChar(@E.AlPedirVariable) - PAnsiChar(@E) = AL_PEDIR, 'AlPedirVariable offset');
end;

{ The messages come from the standard library, Windows-1252, with the position after them. }
procedure ComprobarMensajes(Estado: PESTADODEANALISIS);
var
  R: BLOQUEDEDATOS;
begin
  R := A_Analizar(Estado, '1 + y');
  Comprobar(MensajeDeError(R) = 'Se esperaba una variable en la posici' + O_AGUDA + 'n 4', 'the message of 1000');
  R.Error := CODIGO_PROPIO;
  Comprobar(MensajeDeError(R) = '', 'a host''s code has no message');
end;

{ With no requests installed the engine answers itself, with the name in Cadena. }
procedure ComprobarSinPeticiones(Estado: PESTADODEANALISIS; const Forma: string);
var
  R: BLOQUEDEDATOS;
begin
  R := A_Analizar(Estado, '2 * Precio');
  Comprobar((R.Error = E_VARIABLE) and (R.Posicion = 4) and (AnsiString(PAnsiChar(@R.Cadena[0])) = 'Precio'),
    Forma + ': an uninstalled variable request');
  R := A_Analizar(Estado, 'max(1; 2)');
  Comprobar((R.Error = E_FUNCION) and (R.Posicion = 1) and (AnsiString(PAnsiChar(@R.Cadena[0])) = 'max'),
    Forma + ': an uninstalled function request');
end;

{$IFDEF EVALION_OBJETO}
type
  { A host object: its methods are the requests, so Self must arrive as this object. }
  TAnfitrion = class
    Registro: AnsiString;
    Visto: Pointer;       { the Self of the last request }
    Emisor: TObject;      { the Sender of the last event }
    procedure PedirVariable(Variable: PAnsiChar; var R: BLOQUEDEDATOS); {$IFDEF WIN32}register;{$ENDIF}
    procedure PedirFuncion(Funcion: PAnsiChar; Parametros: PBLOQUES; N: Int32; var R: BLOQUEDEDATOS);
      {$IFDEF WIN32}register;{$ENDIF}
    procedure EventoVariable(Sender: TObject; Variable: PAnsiChar; var R: BLOQUEDEDATOS);
    procedure EventoFuncion(Sender: TObject; Funcion: PAnsiChar; Parametros: PBLOQUES; N: Int32;
      var R: BLOQUEDEDATOS);
  end;

procedure TAnfitrion.PedirVariable(Variable: PAnsiChar; var R: BLOQUEDEDATOS);
begin
  Visto := Pointer(Self);
  ResponderVariable(Variable, R, Registro);
end;

procedure TAnfitrion.PedirFuncion(Funcion: PAnsiChar; Parametros: PBLOQUES; N: Int32; var R: BLOQUEDEDATOS);
begin
  Visto := Pointer(Self);
  ResponderFuncion(Funcion, Parametros, N, R, Registro);
end;

type
  EPrueba = class(Exception);

{ The events raise for the name "lanza", as a host's code might. }
procedure TAnfitrion.EventoVariable(Sender: TObject; Variable: PAnsiChar; var R: BLOQUEDEDATOS);
begin
  Emisor := Sender;
  if AnsiString(Variable) = 'lanza' then
    raise EPrueba.Create('variable');
  PedirVariable(Variable, R);
end;

procedure TAnfitrion.EventoFuncion(Sender: TObject; Funcion: PAnsiChar; Parametros: PBLOQUES; N: Int32;
  var R: BLOQUEDEDATOS);
begin
  Emisor := Sender;
  if AnsiString(Funcion) = 'lanza' then
    raise EPrueba.Create('function');
  PedirFuncion(Funcion, Parametros, N, R);
end;

{ What Analizar raised for Texto: the class and message, or '' when it returned. }
function Lanzado(Evaluador: TEvalion; const Texto: string): string;
begin
  Result := '';
  try
    Evaluador.Analizar(Texto);
  except
    on E: Exception do
      Result := E.ClassName + ': ' + E.Message;
  end;
end;

{ Texts through TEvalion are strings, converted for the engine and back. }
procedure ProbarTextos(Evaluador: TEvalion; Anfitrion: TAnfitrion);
type
  TTexto = record
    Texto: string;
    Error: Int32;
    Posicion: Int32;
    Resultado: string; { a number as FloatToStr writes it, or a text }
  end;
const
  Textos: array[0..4] of TTexto = (
    (Texto: 'Longitud("a' + ENIE + 'o")'; Error: 0; Posicion: 0; Resultado: '3'),
    (Texto: 'Mayusculas("' + ENIE + 'and' + U_AGUDA + '")'; Error: 0; Posicion: 0;
     Resultado: ENIE_M + 'AND' + U_AGUDA_M),
    (Texto: '"' + ENIE + '"+1'; Error: E_INCOMPATIBLES; Posicion: 6; Resultado: ''),
    (Texto: '"' + EURO + '" + t'; Error: 0; Posicion: 0; Resultado: EURO + 'ab'),
    (Texto: 'Longitud("' + EURO + '")'; Error: 0; Posicion: 0; Resultado: '1'));
var
  I: Integer;
  R: BLOQUEDEDATOS;
  Obtenido: string;
begin
  for I := Low(Textos) to High(Textos) do
  begin
    R := Evaluador.Analizar(Textos[I].Texto);
    if R.Error <> 0 then
      Obtenido := ''
    else if R.Tipo = TIPO_CADENA then
      Obtenido := CadenaDe(R)
    else
      Obtenido := FloatToStr(R.Numero);
    Comprobar((R.Error = Textos[I].Error) and ((R.Error = 0) or (R.Posicion = Textos[I].Posicion)) and
      (Obtenido = Textos[I].Resultado), Format('TEvalion "%s": error %d at %d, "%s"',
      [Textos[I].Texto, R.Error, R.Posicion, Obtenido]));
  end;
  Comprobar(Lanzado(Evaluador, StringOfChar(' ', 1023) + 'x') = '', 'TEvalion: 1024 characters are analysed');
  Comprobar(Lanzado(Evaluador, StringOfChar(' ', 1024) + 'x') =
    'EEvalion: Evalion: an expression holds at most 1024 characters', 'TEvalion: 1025 characters');
  Comprobar(Lanzado(Evaluador, 'x' + #0 + '+1') = 'EEvalion: Evalion: the expression has a NUL at character 2',
    'TEvalion: a NUL');
  { An event's exception ends the analysis at once, without a later request, and comes
    back from Analizar; many of them leak nothing (the valgrind test counts it). }
  for I := 1 to 1000 do
  begin
    Anfitrion.Registro := '';
    Obtenido := Lanzado(Evaluador, 'doble(1) + lanza(x; "ab") + x');
    if (Obtenido <> 'EPrueba: function') or (Anfitrion.Registro <> 'doble;x;') then
      Break;
  end;
  Comprobar(Obtenido = 'EPrueba: function', 'a function event''s exception: ' + Obtenido);
  Comprobar(Anfitrion.Registro = 'doble;x;', 'requests around a raising event: ' + string(Anfitrion.Registro));
  Comprobar(Lanzado(Evaluador, 'lanza + x') = 'EPrueba: variable', 'a variable event''s exception');
  R := Evaluador.Analizar('x');
  Comprobar((R.Error = 0) and (R.Numero = 21), 'TEvalion analyses again after an exception');
end;

{ The table through the bare imports, the methods of one host object as the requests;
  then each request with an object of its own, which must arrive as Self. }
procedure ProbarImportaciones;
var
  Estado: ESTADODEANALISIS;
  Anfitrion, Otro: TAnfitrion;
  I: Integer;
  R: BLOQUEDEDATOS;
begin
  Anfitrion := TAnfitrion.Create;
  Otro := TAnfitrion.Create;
  A_Inicializar(@Estado);
  AsignarAlPedir(@Estado, Anfitrion.PedirVariable, Anfitrion.PedirFuncion);
  for I := Low(Casos) to High(Casos) do
  begin
    Anfitrion.Registro := '';
    R := A_Analizar(@Estado, PAnsiChar(Casos[I].Texto));
    ComprobarCaso(Casos[I], R, Anfitrion.Registro, 'methods');
  end;
  AsignarAlPedir(@Estado, Anfitrion.PedirVariable, Otro.PedirFuncion);
  R := A_Analizar(@Estado, 'doble(x)');
  Comprobar((R.Error = 0) and (R.Numero = 42), 'doble(x) with two objects');
  Comprobar(Anfitrion.Visto = Pointer(Anfitrion), 'the variable request''s Self is its object');
  Comprobar(Otro.Visto = Pointer(Otro), 'the function request''s Self is its object');
  { A nil code word with an object is not installed. }
  A_AsignarAlPedir(@Estado, nil, Anfitrion, nil, Anfitrion);
  ComprobarSinPeticiones(@Estado, 'methods');
  ComprobarMensajes(@Estado);
  Anfitrion.Free;
  Otro.Free;
end;

{ The table through TEvalion, whose events carry the analyser as Sender. }
procedure ProbarClase;
var
  Evaluador: TEvalion;
  Anfitrion: TAnfitrion;
  I: Integer;
  R: BLOQUEDEDATOS;
begin
  Evaluador := TEvalion.Create(nil);
  Anfitrion := TAnfitrion.Create;
  R := Evaluador.Analizar('x');
  Comprobar((R.Error = E_VARIABLE) and (R.Posicion = 1), 'TEvalion: no event assigned');
  Evaluador.OnPedirVariable := Anfitrion.EventoVariable;
  Evaluador.OnPedirFuncion := Anfitrion.EventoFuncion;
  for I := Low(Casos) to High(Casos) do
  begin
    Anfitrion.Registro := '';
    ComprobarCaso(Casos[I], Evaluador.Analizar(Casos[I].Texto), Anfitrion.Registro, 'TEvalion');
  end;
  Comprobar(Anfitrion.Emisor = Evaluador, 'the events'' Sender is the analyser');
  ProbarTextos(Evaluador, Anfitrion);
  Evaluador.SeparadorDecimal := '.';
  Evaluador.SeparadorMillar := '''';
  R := Evaluador.Analizar('1''000.5 + x');
  Comprobar((R.Error = 0) and (R.Numero = 1021.5) and (Evaluador.SeparadorDecimal = '.') and
    (Evaluador.SeparadorMillar = ''''), 'separators set through the properties');
  Evaluador.OnPedirVariable := nil;
  Anfitrion.Registro := '';
  R := Evaluador.Analizar('doble(x)');
  Comprobar((R.Error = E_VARIABLE) and (Anfitrion.Registro = ''), 'an event set to nil is uninstalled');
  Anfitrion.Free;
  Evaluador.Free;
end;
{$ELSE}
var
  Registro: AnsiString; { the plain requests have no object to record into }

procedure PedirVariable(Variable: PAnsiChar; var R: BLOQUEDEDATOS);
  {$IFDEF MSWINDOWS}stdcall{$ELSE}cdecl{$ENDIF};
begin
  ResponderVariable(Variable, R, Registro);
end;

procedure PedirFuncion(Funcion: PAnsiChar; Parametros: PBLOQUES; N: Int32; var R: BLOQUEDEDATOS);
  {$IFDEF MSWINDOWS}stdcall{$ELSE}cdecl{$ENDIF};
begin
  ResponderFuncion(Funcion, Parametros, N, R, Registro);
end;

procedure ProbarImportaciones;
var
  Estado: ESTADODEANALISIS;
  I: Integer;
begin
  A_Inicializar(@Estado);
  ComprobarSinPeticiones(@Estado, 'procedures');
  A_AsignarAlPedir(@Estado, PedirVariable, PedirFuncion);
  for I := Low(Casos) to High(Casos) do
  begin
    Registro := '';
    ComprobarCaso(Casos[I], A_Analizar(@Estado, PAnsiChar(Casos[I].Texto)), Registro, 'procedures');
  end;
  ComprobarMensajes(@Estado);
  A_AsignarSeparadores(@Estado, #0, '.');
  Comprobar(A_Analizar(@Estado, '1.5').Numero = 1.5, 'the decimal separator alone');
end;
{$ENDIF}

begin
  { The test runs with the setting Pascal programs start with, invalid operation, division
    by zero and overflow unmasked: the engine and the standard library compute under their
    own, so the table's INF and NAN come back as values, not as exceptions. }
  ComprobarDisposicion;
  ProbarImportaciones;
{$IFDEF EVALION_OBJETO}
  ProbarClase;
{$ENDIF}
  if Fallos > 0 then
  begin
    WriteLn(Fallos, ' failures');
    Halt(1);
  end;
  WriteLn('OK: ', Length(Casos), ' cases through ', EVALION_BIBLIOTECA);
end.
