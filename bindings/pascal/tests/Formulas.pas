{ The prepared forms through the unit EvalionFormula against one pair of libraries (build with
  -dEVALION_OBJETO for the object form): each text of the table prepared, x and y bound to
  columns, the standard library bound, and evaluated once per row and over all rows, against
  A_Analizar with a host that answers x and y and leaves the rest to the standard library's
  handler: the same bits, codes and positions, and only the names left to requests asked.
  Prints each failure and exits with 1 when there is any. }
program Formulas;

{$IFDEF FPC}{$MODE DELPHI}{$ENDIF}
{$POINTERMATH ON}

uses
  SysUtils, Math, Evalion, EvalionEstandar, EvalionFormula;

type
  TCaso = record
    Texto: AnsiString;
    Vinculados: Int32;      { the names A_VincularEstandar binds }
    Peticiones: AnsiString; { what each row still asks, in order, each followed by ";" }
  end;

const
  FILAS = 8;
  Casos: array[0..9] of TCaso = (
    (Texto: 'Raiz(x*x+y*y)'; Vinculados: 1; Peticiones: ''),
    (Texto: 'Ln(x) + Log(y)'; Vinculados: 2; Peticiones: ''),               { outside their domains }
    (Texto: 'Exp(x) - Tangente(y)'; Vinculados: 2; Peticiones: ''),         { overflows }
    (Texto: 'x + Raiz("a")'; Vinculados: 1; Peticiones: ''),                { a text argument }
    (Texto: 'Raiz(x; y)'; Vinculados: 0; Peticiones: 'Raiz;'),              { a count it does not take }
{$IFDEF CPUX86_64} { si is bound where a double comes back whole; its text arguments stay the host's }
    (Texto: 'Si(x > y; Pi; E) * Abs(y)'; Vinculados: 4; Peticiones: ''),
{$ELSE}
    (Texto: 'Si(x > y; Pi; E) * Abs(y)'; Vinculados: 3; Peticiones: 'Si;'),
{$ENDIF}
    (Texto: 'Longitud(Texto(x)) + Seno(y)'; Vinculados: 1; Peticiones: 'Texto;Longitud;'),
    (Texto: 'Max(x; y; 1) + Redondear(x / 3; 2)'; Vinculados: 2; Peticiones: ''),
    (Texto: 'pi * Coseno(y) / e'; Vinculados: 3; Peticiones: ''),          { names in any case }
    (Texto: 'Suma(x; y; x; y; 1)'; Vinculados: 0; Peticiones: 'Suma;')     { five: no C code }
  );

var
  Fallos: Integer = 0;
  Xs: array[0..FILAS - 1] of Double = (2, -3, 0, 0.5, NaN, Infinity, 800, 1e-300);
  Ys: array[0..FILAS - 1] of Double = (1, 4, 0, -2, 3, NaN, 1e300, 7);
  X, Y: Double;         { the row the host answers }
  Registro: AnsiString; { the names asked for }

procedure Comprobar(Cierto: Boolean; const Que: string);
begin
  if not Cierto then
  begin
    WriteLn('FALLO: ', Que);
    Inc(Fallos);
  end;
end;

function Bits(Numero: Double): Int64;
begin
  Result := PInt64(@Numero)^;
end;

procedure ResponderVariable(Variable: PAnsiChar; var R: BLOQUEDEDATOS);
begin
  Registro := Registro + AnsiString(Variable) + ';';
  if AnsiString(Variable) = 'x' then
    PonerNumero(R, X)
  else if AnsiString(Variable) = 'y' then
    PonerNumero(R, Y)
  else if A_EstandarVariable(Variable, R) = 0 then
    R.Error := E_VARIABLE;
end;

procedure ResponderFuncion(Funcion: PAnsiChar; Parametros: PBLOQUES; N: Int32; var R: BLOQUEDEDATOS);
begin
  Registro := Registro + AnsiString(Funcion) + ';';
{$IFDEF EVALION_OBJETO}
  { As a host's code might; only TEvalion's events may raise. }
  if AnsiString(Funcion) = 'lanza' then
    raise EEvalion.Create('lanza');
{$ENDIF}
  if A_EstandarFuncion(Funcion, Parametros, N, R) = 0 then
    R.Error := E_FUNCION;
end;

{$IFDEF EVALION_OBJETO}
type
  TAnfitrion = class
    procedure Variable(Sender: TObject; Nombre: PAnsiChar; var R: BLOQUEDEDATOS);
    procedure Funcion(Sender: TObject; Nombre: PAnsiChar; Parametros: PBLOQUES; N: Int32; var R: BLOQUEDEDATOS);
    procedure RaizPropia(Sender: TObject; Nombre: PAnsiChar; Argumentos: Int32; var Propio: Boolean);
  end;

var
  Evaluador: TEvalion;

procedure TAnfitrion.Variable(Sender: TObject; Nombre: PAnsiChar; var R: BLOQUEDEDATOS);
begin
  ResponderVariable(Nombre, R);
end;

procedure TAnfitrion.Funcion(Sender: TObject; Nombre: PAnsiChar; Parametros: PBLOQUES; N: Int32; var R: BLOQUEDEDATOS);
begin
  ResponderFuncion(Nombre, Parametros, N, R);
end;

procedure TAnfitrion.RaizPropia(Sender: TObject; Nombre: PAnsiChar; Argumentos: Int32; var Propio: Boolean);
begin
  Propio := AnsiString(Nombre) = 'Raiz';
end;

function Estado: PESTADODEANALISIS;
begin
  Result := Evaluador.Estado;
end;
{$ELSE}
var
  EstadoPlano: ESTADODEANALISIS;

procedure PedirVariable(Variable: PAnsiChar; var R: BLOQUEDEDATOS); {$IFDEF MSWINDOWS}stdcall{$ELSE}cdecl{$ENDIF};
begin
  ResponderVariable(Variable, R);
end;

procedure PedirFuncion(Funcion: PAnsiChar; Parametros: PBLOQUES; N: Int32; var R: BLOQUEDEDATOS);
  {$IFDEF MSWINDOWS}stdcall{$ELSE}cdecl{$ENDIF};
begin
  ResponderFuncion(Funcion, Parametros, N, R);
end;

function Estado: PESTADODEANALISIS;
begin
  Result := @EstadoPlano;
end;
{$ENDIF}

{ What A_Analizar gives for row I. }
function Referencia(const Texto: AnsiString; I: Integer): BLOQUEDEDATOS;
begin
  X := Xs[I];
  Y := Ys[I];
  Result := A_Analizar(Estado, PAnsiChar(Texto));
end;

{ One evaluation's block against the analysis's, field for field. }
procedure CompararBloque(const Que: string; const Ref, R: BLOQUEDEDATOS);
begin
  if Ref.Error <> 0 then
    Comprobar((R.Error = Ref.Error) and (R.Posicion = Ref.Posicion),
      Format('%s: error %d at %d, expected %d at %d', [Que, R.Error, R.Posicion, Ref.Error, Ref.Posicion]))
  else if Ref.Tipo = TIPO_CADENA then
    Comprobar((R.Error = 0) and (R.Tipo = TIPO_CADENA) and (StrComp(PAnsiChar(@R.Cadena[0]), PAnsiChar(@Ref.Cadena[0])) = 0), Que + ': a text')
  else
    Comprobar((R.Error = 0) and (R.Tipo = TIPO_NUMERO) and (Bits(R.Numero) = Bits(Ref.Numero)),
      Format('%s: error %d, bits %x, expected %x', [Que, R.Error, Bits(R.Numero), Bits(Ref.Numero)]));
end;

{ Rows from A_EvaluarFilas (or TFormula.EvaluarFilas) against the analysis of each row: the
  value's bits, or a NaN with the code and position of a failed row, a NaN for a text. }
procedure CompararFilas(const Que: string; const Texto: AnsiString; Fallidas: Int32; const Valores: array of Double;
  const Errores, Posiciones: array of Int32);
var
  I, Esperadas: Integer;
  Ref: BLOQUEDEDATOS;
  Donde: string;
begin
  Esperadas := 0;
  for I := 0 to FILAS - 1 do
  begin
    Ref := Referencia(Texto, I);
    Donde := Format('%s "%s" row %d', [Que, Texto, I]);
    if Ref.Error <> 0 then
    begin
      Inc(Esperadas);
      Comprobar(IsNan(Valores[I]) and (Errores[I] = Ref.Error) and (Posiciones[I] = Ref.Posicion),
        Format('%s: error %d at %d, expected %d at %d', [Donde, Errores[I], Posiciones[I], Ref.Error, Ref.Posicion]));
    end
    else if Ref.Tipo = TIPO_CADENA then
      Comprobar(IsNan(Valores[I]) and (Errores[I] = 0), Donde + ': a text is a NaN')
    else
      Comprobar((Errores[I] = 0) and (Bits(Valores[I]) = Bits(Ref.Numero)),
        Format('%s: error %d, bits %x, expected %x', [Donde, Errores[I], Bits(Valores[I]), Bits(Ref.Numero)]));
  end;
  Comprobar(Fallidas = Esperadas, Format('%s "%s": %d rows failed, expected %d', [Que, Texto, Fallidas, Esperadas]));
end;

function Repetido(const Texto: AnsiString; Veces: Integer): AnsiString;
begin
  Result := '';
  while Veces > 0 do
  begin
    Result := Result + Texto;
    Dec(Veces);
  end;
end;

{ The table through the bare functions: each row alone (its numbers bound as the columns'
  first row) and all rows in one call. }
procedure ProbarFunciones;
var
  C, I: Integer;
  F: PFORMULAPREPARADA;
  Valores: array[0..FILAS - 1] of Double;
  Errores, Posiciones: array[0..FILAS - 1] of Int32;
  Que: string;
  Fallidas: Int32;
begin
  for C := Low(Casos) to High(Casos) do
  begin
    Que := 'functions "' + string(Casos[C].Texto) + '"';
    F := A_Preparar(Estado, PAnsiChar(Casos[C].Texto), nil);
    Comprobar(F <> nil, Que + ': prepared');
    Comprobar(A_VincularEstandar(F, nil, nil) = Casos[C].Vinculados, Que + ': standard names bound');
    for I := 0 to FILAS - 1 do
    begin
      A_VincularColumna(F, 'x', @Xs[I]);
      A_VincularColumna(F, 'y', @Ys[I]);
      Registro := '';
      CompararBloque(Format('%s row %d', [Que, I]), Referencia(Casos[C].Texto, I), A_Evaluar(F, Estado));
    end;
    A_VincularColumna(F, 'x', @Xs[0]);
    A_VincularColumna(F, 'y', @Ys[0]);
    Registro := '';
    Fallidas := A_EvaluarFilas(F, Estado, FILAS, @Valores[0], @Errores[0], @Posiciones[0]);
    Comprobar(Registro = Repetido(Casos[C].Peticiones, FILAS), Que + ': rows asked "' + string(Registro) + '"');
    CompararFilas('functions', Casos[C].Texto, Fallidas, Valores, Errores, Posiciones);
    A_Liberar(F);
  end;
end;

{$IFDEF EVALION_OBJETO}
{ The class of what an evaluation raised, or '' when it returned. }
function Lanzado(Formula: TFormula): string;
begin
  Result := '';
  try
    Formula.Evaluar;
  except
    on E: Exception do
      Result := E.ClassName;
  end;
end;

{ The table through TFormula with Estandar on, then what the class adds: the host's own
  bindings and OnPropio win over the standard library, a text that is not prepared, and the
  exceptions of events. }
procedure ProbarClase(Anfitrion: TAnfitrion);
var
  C: Integer;
  Formula: TFormula;
  Valores: array[0..FILAS - 1] of Double;
  Errores, Posiciones: array[0..FILAS - 1] of Int32;
  Fallidas: Int32;
  Tres: Double;
  R, Ref: BLOQUEDEDATOS;
begin
  for C := Low(Casos) to High(Casos) do
  begin
    Formula := TFormula.Create(Evaluador, string(Casos[C].Texto));
    Formula.Estandar := True;
    Formula.VincularColumna('x', @Xs[0]);
    Formula.VincularColumna('y', @Ys[0]);
    Registro := '';
    Fallidas := Formula.EvaluarFilas(FILAS, @Valores[0], @Errores[0], @Posiciones[0]);
    Comprobar(Registro = Repetido(Casos[C].Peticiones, FILAS), 'TFormula "' + string(Casos[C].Texto) +
      '": rows asked "' + string(Registro) + '"');
    CompararFilas('TFormula', Casos[C].Texto, Fallidas, Valores, Errores, Posiciones);
    Formula.Free;
  end;

  Ref := Evaluador.Analizar('Pi + Raiz(4)');
  Formula := TFormula.Create(Evaluador, 'Pi + Raiz(4)');
  Formula.Estandar := True;
  Tres := 3;
  Formula.Vincular('Pi', @Tres);
  Registro := '';
  R := Formula.Evaluar;
  Comprobar((R.Numero = 5) and (Registro = ''), 'a number the host binds wins over Pi');
  Formula.Vincular('Pi', nil);
  R := Formula.Evaluar;
  Comprobar((Bits(R.Numero) = Bits(Ref.Numero)) and (Registro = ''), 'Pi unbound by the host is the library''s again');
  Formula.OnPropio := Anfitrion.RaizPropia;
  R := Formula.Evaluar;
  Comprobar((Bits(R.Numero) = Bits(Ref.Numero)) and (Registro = 'Raiz;'), 'OnPropio leaves Raiz to the events: ' +
    string(Registro));
  Formula.Estandar := False;
  Registro := '';
  Formula.Evaluar;
  Comprobar(Registro = 'Pi;Raiz;', 'Estandar off asks for every name: ' + string(Registro));
  Formula.Free;

  Formula := TFormula.Create(Evaluador, '1 +');
  Errores[0] := 0;
  Fallidas := Formula.EvaluarFilas(2, @Valores[0], @Errores[0], @Posiciones[0]);
  R := Evaluador.Analizar('1 +');
  Comprobar(not Formula.Preparada and (Formula.Evaluar.Error = R.Error) and (Fallidas = 2) and
    (Errores[1] = R.Error) and (Posiciones[1] = R.Posicion), 'a text that is not prepared');
  Formula.Free;

  { An event's exception: raised once from the rows, whose later rows ask nothing more. }
  Formula := TFormula.Create(Evaluador, 'lanza(x) + Seno(x)');
  Formula.Estandar := True;
  Formula.VincularColumna('x', @Xs[0]);
  Registro := '';
  try
    Formula.EvaluarFilas(FILAS, @Valores[0]);
    Comprobar(False, 'rows with a raising event returned');
  except
    on E: EEvalion do
      Comprobar(Registro = 'lanza;', 'rows after an event''s exception asked "' + string(Registro) + '"');
  end;
  Comprobar(Evaluador.Analizar('1 + 1').Numero = 2, 'the analyser works after the exception');
  Formula.Free;
end;

{ A change asked for from an event of the form's own evaluation. }
type
  TCambiante = class
    Formula: TFormula;
    Numero: Double;
    procedure Variable(Sender: TObject; Nombre: PAnsiChar; var R: BLOQUEDEDATOS);
  end;

procedure TCambiante.Variable(Sender: TObject; Nombre: PAnsiChar; var R: BLOQUEDEDATOS);
begin
  Formula.Vincular('x', @Numero);
end;

procedure ProbarCambioEnCurso;
var
  Cambiante: TCambiante;
  Evento: TPedirVariableEvent;
begin
  Cambiante := TCambiante.Create;
  Evento := Evaluador.OnPedirVariable;
  Evaluador.OnPedirVariable := Cambiante.Variable;
  Cambiante.Formula := TFormula.Create(Evaluador, 'x + 1');
  Comprobar(Lanzado(Cambiante.Formula) = 'EEvalion', 'a binding from the form''s own evaluation');
  Cambiante.Formula.Free;
  Cambiante.Free;
  Evaluador.OnPedirVariable := Evento;
end;
{$ENDIF}

{$IFDEF EVALION_OBJETO}
var
  Anfitrion: TAnfitrion;
{$ENDIF}
begin
  { As the analyser's test, with the floating-point setting Pascal programs start with. }
{$IFDEF EVALION_OBJETO}
  Anfitrion := TAnfitrion.Create;
  Evaluador := TEvalion.Create(nil);
  Evaluador.OnPedirVariable := Anfitrion.Variable;
  Evaluador.OnPedirFuncion := Anfitrion.Funcion;
{$ELSE}
  A_Inicializar(@EstadoPlano);
  A_AsignarAlPedir(@EstadoPlano, PedirVariable, PedirFuncion);
{$ENDIF}
  ProbarFunciones;
{$IFDEF EVALION_OBJETO}
  ProbarClase(Anfitrion);
  ProbarCambioEnCurso;
  Evaluador.Free;
  Anfitrion.Free;
{$ENDIF}
  if Fallos > 0 then
  begin
    WriteLn(Fallos, ' failures');
    Halt(1);
  end;
  WriteLn('OK: ', Length(Casos), ' texts over ', FILAS, ' rows through ', EVALION_FORMULA_BIBLIOTECA);
end.
