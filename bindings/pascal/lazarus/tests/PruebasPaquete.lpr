{ The package Evalcomp as the form designer and a form author meet it: its registration
  replayed without the IDE, its resources, a form file written and read back, and the
  component's behaviour with the engine linked into this program.

    PruebasPaquete CARPETA     (CARPETA receives the form files, to look at)

  Exits with 1 after listing every failed check. }
program PruebasPaquete;

{$MODE DELPHI}
{ The tables leave out the fields a row does not need. }
{$WARN 3175 OFF}
{$WARN 3177 OFF}

uses
  Classes, SysUtils, Evalion, Evalcomp, LazarusPackageIntf;

var
  Fallos: Integer = 0;

procedure Comprobar(Cierto: Boolean; const Que: string);
begin
  if not Cierto then
  begin
    WriteLn('FAIL: ', Que);
    Inc(Fallos);
  end;
end;

{ What the designer receives when it loads the package. }
type
  TDisenador = class
    Unidades, Paginas: string;
    Clases: array of TComponentClass;
    procedure RegistrarUnidad(const TheUnitName: string; RegisterProc: TRegisterProc);
  end;

var
  Disenador: TDisenador;

procedure TDisenador.RegistrarUnidad(const TheUnitName: string; RegisterProc: TRegisterProc);
begin
  Unidades := Unidades + TheUnitName + ';';
  RegisterProc;
end;

procedure RegistrarComponentes(const Page: string; ComponentClasses: array of TComponentClass);
var
  I: Integer;
begin
  Disenador.Paginas := Disenador.Paginas + Page + ';';
  for I := Low(ComponentClasses) to High(ComponentClasses) do
    Disenador.Clases := Disenador.Clases + [ComponentClasses[I]];
end;

procedure ProbarRegistro;
var
  I, Hallados: Integer;
  Paquete: PRegisteredPackage;
begin
  Disenador := TDisenador.Create;
  RegisterUnitProc := Disenador.RegistrarUnidad;
  RegisterComponentsProc := RegistrarComponentes;
  Hallados := 0;
  for I := 0 to RegisteredPackages.Count - 1 do
  begin
    Paquete := RegisteredPackages[I];
    if Paquete^.Name = 'Evalcomp' then
    begin
      Inc(Hallados);
      Paquete^.RegisterProc();
    end;
  end;
  Comprobar(Hallados = 1, Format('the package Evalcomp is registered once, not %d times', [Hallados]));
  Comprobar(Disenador.Unidades = 'Evalion;', 'units with a Register: ' + Disenador.Unidades);
  Comprobar(Disenador.Paginas = 'Evalion;', 'palette pages: ' + Disenador.Paginas);
  Comprobar((Length(Disenador.Clases) = 1) and (Disenador.Clases[0] = TEvalion),
    Format('%d classes registered, TEvalion exactly', [Length(Disenador.Clases)]));
  RegisterComponentsProc := nil;
  RegisterUnitProc := nil;
  Disenador.Free;
end;

const
  { The resource types, as numbers (Windows declares them in its own unit). }
  TIPO_BITMAP = PAnsiChar(2);
  TIPO_RCDATA = PAnsiChar(10);

{ A resource of this program's image, as the designer finds it in the package. }
function Recurso(const Nombre: string; Tipo: PAnsiChar; out Datos: PByte): Integer;
var
  Hallado: TFPResourceHandle;
begin
  Datos := nil;
  Result := -1;
  Hallado := System.FindResource(HINSTANCE, PAnsiChar(AnsiString(Nombre)), Tipo);
  if Hallado = 0 then
    Exit;
  Result := System.SizeofResource(HINSTANCE, Hallado);
  Datos := System.LockResource(System.LoadResource(HINSTANCE, Hallado));
end;

procedure ProbarRecursos;
var
  Datos: PByte;
  Largo, I: Integer;
  Texto: UnicodeString;
begin
  { A bitmap resource is the bitmap without its file header: a BITMAPINFOHEADER first. }
  Largo := Recurso('TEVALION', TIPO_BITMAP, Datos);
  Comprobar(Largo >= 40, Format('the bitmap TEVALION is a resource (%d bytes)', [Largo]));
  if Largo >= 40 then
  begin
    Comprobar(PInt32(Datos + 4)^ = 24, Format('the bitmap is %d wide', [PInt32(Datos + 4)^]));
    Comprobar(PInt32(Datos + 8)^ = 24, Format('the bitmap is %d high', [PInt32(Datos + 8)^]));
    Comprobar(PWord(Datos + 14)^ = 4, Format('the bitmap has %d bits a pixel', [PWord(Datos + 14)^]));
    Comprobar(Largo = 40 + 16 * 4 + 24 * 12, Format('the bitmap holds 16 colours and its pixels: %d bytes', [Largo]));
  end;
  Largo := Recurso('DESCRIPTION', TIPO_RCDATA, Datos);
  Comprobar(Largo = 68, Format('DESCRIPTION is 34 UTF-16 characters (%d bytes)', [Largo]));
  if Largo > 0 then
  begin
    SetLength(Texto, Largo div 2);
    for I := 1 to Largo div 2 do
      Texto[I] := WideChar(Datos[2 * I - 2] or (Datos[2 * I - 1] shl 8));
    Comprobar(Texto = 'Evalion y evaluador de expresiones', 'DESCRIPTION: ' + string(Texto));
  end;
end;

{ A form author's module: a root component with the analyser as a published field and the
  event handlers the designer would write. }
type
  TModulo = class(TDataModule)
  published
    Evalion1: TEvalion;
    procedure Evalion1PedirVariable(Sender: TObject; Variable: PAnsiChar; var R: BLOQUEDEDATOS);
    procedure Evalion1PedirFuncion(Sender: TObject; Funcion: PAnsiChar; Parametros: PBLOQUES; N: Int32;
      var R: BLOQUEDEDATOS);
  public
    Registro: string; { the requests in order: names, a function with its count and arguments }
    Emisor: TObject;
  end;

procedure TModulo.Evalion1PedirVariable(Sender: TObject; Variable: PAnsiChar; var R: BLOQUEDEDATOS);
begin
  Emisor := Sender;
  Registro := Registro + string(Variable) + ';';
  if StrComp(Variable, 'mal') = 0 then
    R.Error := E_VARIABLE
  else
  begin
    R.Numero := 5;
    R.Tipo := TIPO_NUMERO;
  end;
end;

procedure TModulo.Evalion1PedirFuncion(Sender: TObject; Funcion: PAnsiChar; Parametros: PBLOQUES; N: Int32;
  var R: BLOQUEDEDATOS);
var
  I: Integer;
begin
  Emisor := Sender;
  Registro := Registro + string(Funcion) + '/' + IntToStr(N);
  for I := 0 to N - 1 do
    Registro := Registro + ' ' + FloatToStr(Parametros^[I].Numero);
  Registro := Registro + ';';
  R.Numero := 7;
  R.Tipo := TIPO_NUMERO;
end;

function NuevoModulo: TModulo;
begin
  Result := TModulo.CreateNew(nil);
  Result.Name := 'Modulo';
  Result.Evalion1 := TEvalion.Create(Result);
  Result.Evalion1.Name := 'Evalion1';
  Result.Evalion1.OnPedirVariable := Result.Evalion1PedirVariable;
  Result.Evalion1.OnPedirFuncion := Result.Evalion1PedirFuncion;
end;

{ The module as form-file text, and a new module read from that text. }
function ComoTexto(Modulo: TComponent): string;
var
  Binario, Texto: TMemoryStream;
begin
  Binario := TMemoryStream.Create;
  Texto := TMemoryStream.Create;
  try
    Binario.WriteComponent(Modulo);
    Binario.Position := 0;
    ObjectBinaryToText(Binario, Texto);
    SetString(Result, PAnsiChar(Texto.Memory), Texto.Size);
  finally
    Binario.Free;
    Texto.Free;
  end;
end;

function DesdeTexto(const Lfm: string): TModulo;
var
  Texto, Binario: TStringStream;
begin
  Texto := TStringStream.Create(Lfm);
  Binario := TStringStream.Create('');
  try
    ObjectTextToBinary(Texto, Binario);
    Binario.Position := 0;
    Result := TModulo.CreateNew(nil);
    Binario.ReadComponent(Result);
  finally
    Texto.Free;
    Binario.Free;
  end;
end;

procedure ProbarFormulario(const Carpeta: string);
type
  TCaso = record
    Decimal, Millar: AnsiChar;  { set before writing; #0 leaves the default }
    Lfm: string;                { the analyser's lines as the form file must hold them }
    Expresion: string;          { analysed by the module read back }
    Valor: Double;
  end;
const
  Cuerpo = '  object Evalion1: TEvalion' + LineEnding +
           '    OnPedirVariable = Evalion1PedirVariable' + LineEnding +
           '    OnPedirFuncion = Evalion1PedirFuncion' + LineEnding;
  Casos: array[0..2] of TCaso = (
    (Decimal: #0; Millar: #0; Lfm: Cuerpo + '    SeparadorDecimal = '','''+ LineEnding +
       '    SeparadorMillar = ''.''' + LineEnding; Expresion: '1.000,5 + x'; Valor: 1005.5),
    (Decimal: '.'; Millar: ','; Lfm: Cuerpo + '    SeparadorDecimal = ''.''' + LineEnding +
       '    SeparadorMillar = '',''' + LineEnding; Expresion: '1,000.5 + f(x)'; Valor: 1007.5),
    (Decimal: ';'; Millar: ';'; Lfm: Cuerpo + '    SeparadorDecimal = '';''' + LineEnding +
       '    SeparadorMillar = '';''' + LineEnding; Expresion: '2;5 * x'; Valor: 12.5));
var
  I: Integer;
  Original, Leido: TModulo;
  Lfm: string;
  R: BLOQUEDEDATOS;
  Que: string;
  Evento: TMethod;
begin
  for I := Low(Casos) to High(Casos) do
  begin
    Que := Format('form file %d', [I]);
    Original := NuevoModulo;
    Original.Evalion1.SeparadorDecimal := Casos[I].Decimal;
    Original.Evalion1.SeparadorMillar := Casos[I].Millar;
    Lfm := ComoTexto(Original);
    with TStringList.Create do
    try
      Text := Lfm;
      SaveToFile(IncludeTrailingPathDelimiter(Carpeta) + Format('Modulo%d.lfm', [I]));
    finally
      Free;
    end;
    Comprobar(Pos(Casos[I].Lfm, Lfm) > 0, Que + ' holds both separators and both events:' + LineEnding + Lfm);
    Leido := DesdeTexto(Lfm);
    Comprobar(Leido.Evalion1 <> nil, Que + ': the field Evalion1 is set by reading');
    if Leido.Evalion1 <> nil then
    begin
      Comprobar((Leido.Evalion1.SeparadorDecimal = Original.Evalion1.SeparadorDecimal) and
        (Leido.Evalion1.SeparadorMillar = Original.Evalion1.SeparadorMillar), Que + ': separators read back');
      Evento := TMethod(Leido.Evalion1.OnPedirVariable);
      Comprobar((Evento.Code = @TModulo.Evalion1PedirVariable) and (Evento.Data = Pointer(Leido)),
        Que + ': OnPedirVariable is bound to the new module''s method');
      Evento := TMethod(Leido.Evalion1.OnPedirFuncion);
      Comprobar((Evento.Code = @TModulo.Evalion1PedirFuncion) and (Evento.Data = Pointer(Leido)),
        Que + ': OnPedirFuncion is bound to the new module''s method');
      R := Leido.Evalion1.Analizar(Casos[I].Expresion);
      Comprobar((R.Error = 0) and (R.Numero = Casos[I].Valor) and (Leido.Emisor = Leido.Evalion1),
        Format('%s: %s gives error %d, %g', [Que, Casos[I].Expresion, R.Error, R.Numero]));
    end;
    Original.Free;
    Leido.Free;
  end;
end;

{ The component's edge cases, with the engine inside this program. }
procedure ProbarComponente;
type
  TCaso = record
    Decimal, Millar: AnsiChar;  { set in this order after creation; #0 is a setter call too }
    Eventos: Boolean;           { the module's handlers assigned }
    Expresion: string;
    Error, Posicion: Int32;     { a position counts from the blanks before the name }
    Numero: Double;
    Cadena: string;             { Cadena of an error from an unassigned event }
    Registro: string;
  end;
const
  Casos: array[0..13] of TCaso = (
    (Decimal: #0; Millar: #0; Eventos: False; Expresion: '1.234,5'; Numero: 1234.5),
    (Decimal: '.'; Millar: ','; Eventos: False; Expresion: '1,234.5'; Numero: 1234.5),
    (Decimal: '.'; Millar: #0; Eventos: False; Expresion: '1.5'; Numero: 1.5),
    (Decimal: '.'; Millar: '.'; Eventos: False; Expresion: '1.25'; Numero: 1.25),
    (Decimal: #0; Millar: #0; Eventos: False; Expresion: ''; Error: E_OPERANDO; Posicion: 0),
    (Decimal: #0; Millar: #0; Eventos: True; Expresion: 'x ^ 2'; Numero: 25; Registro: 'x;'),
    (Decimal: #0; Millar: #0; Eventos: True; Expresion: '1 + mal'; Error: E_VARIABLE; Posicion: 4;
     Registro: 'mal;'),
    (Decimal: #0; Millar: #0; Eventos: True; Expresion: 'f(1;x)'; Numero: 7; Registro: 'x;f/2 1 5;'),
    (Decimal: #0; Millar: #0; Eventos: True; Expresion: 'f(x;g(y)) + z'; Numero: 12;
     Registro: 'x;y;g/1 5;f/2 5 7;z;'),
    (Decimal: #0; Millar: #0; Eventos: False; Expresion: '2 * Dolar'; Error: E_VARIABLE; Posicion: 4;
     Cadena: 'Dolar'),
    (Decimal: #0; Millar: #0; Eventos: False; Expresion: 'Raiz(4)'; Error: E_FUNCION; Posicion: 1;
     Cadena: 'Raiz'),
    (Decimal: #0; Millar: #0; Eventos: True; Expresion: '"a" + x'; Error: E_INCOMPATIBLES; Posicion: 6;
     Registro: 'x;'),
    (Decimal: ','; Millar: ','; Eventos: False; Expresion: '1,5'; Numero: 1.5),
    (Decimal: #0; Millar: #0; Eventos: False; Expresion: '2 ^ 10'; Numero: 1024));
var
  I: Integer;
  Modulo: TModulo;
  Componente: TEvalion;
  R: BLOQUEDEDATOS;
  Que: string;
  Metodo: TMethod;
begin
  Modulo := TModulo.CreateNew(nil);
  for I := Low(Casos) to High(Casos) do
  begin
    Que := Format('case %d, "%s"', [I, Casos[I].Expresion]);
    Componente := TEvalion.Create(Modulo);
    Comprobar((Componente.SeparadorDecimal = ',') and (Componente.SeparadorMillar = '.'),
      Que + ': a new component has "," and "."');
    Componente.SeparadorDecimal := Casos[I].Decimal;
    Componente.SeparadorMillar := Casos[I].Millar;
    Comprobar((Casos[I].Decimal = #0) or (Componente.SeparadorDecimal = Casos[I].Decimal), Que + ': decimal set');
    Comprobar((Casos[I].Millar = #0) or (Componente.SeparadorMillar = Casos[I].Millar), Que + ': thousands set');
    { #0 changes nothing: the other setter never touches this one. }
    Comprobar((Casos[I].Decimal <> #0) or (Componente.SeparadorDecimal = ','), Que + ': decimal kept');
    Comprobar((Casos[I].Millar <> #0) or (Componente.SeparadorMillar = '.'), Que + ': thousands kept');
    if Casos[I].Eventos then
    begin
      Componente.OnPedirVariable := Modulo.Evalion1PedirVariable;
      Componente.OnPedirFuncion := Modulo.Evalion1PedirFuncion;
    end;
    Modulo.Registro := '';
    Modulo.Emisor := nil;
    R := Componente.Analizar(Casos[I].Expresion);
    Comprobar((R.Error = Casos[I].Error) and ((R.Error <> 0) or (R.Numero = Casos[I].Numero)) and
      ((R.Error = 0) or (R.Posicion = Casos[I].Posicion)),
      Format('%s: error %d at %d, %g', [Que, R.Error, R.Posicion, R.Numero]));
    Comprobar(Modulo.Registro = Casos[I].Registro, Que + ': requests ' + Modulo.Registro);
    if Casos[I].Registro <> '' then
      Comprobar(Modulo.Emisor = Componente, Que + ': the events'' Sender is the component');
    if Casos[I].Cadena <> '' then
      Comprobar(string(PAnsiChar(@R.Cadena[0])) = Casos[I].Cadena, Que + ': the name in Cadena: ' +
        string(PAnsiChar(@R.Cadena[0])));
    Componente.Free;
  end;
  { An event is assigned by its code word; the object word goes to the handler as it is. }
  Componente := TEvalion.Create(nil);
  Metodo.Code := @TModulo.Evalion1PedirVariable;
  Metodo.Data := Modulo;
  Componente.OnPedirVariable := TPedirVariableEvent(Metodo);
  R := Componente.Analizar('x + 1');
  Comprobar((R.Error = 0) and (R.Numero = 6) and (Modulo.Emisor = Componente), 'an event set by its two words');
  Componente.Free;
  Modulo.Free;
end;

var
  Carpeta: string;
begin
  Carpeta := ParamStr(1);
  if Carpeta = '' then
    Carpeta := '.';
  ForceDirectories(Carpeta);
  ProbarRegistro;
  ProbarRecursos;
  ProbarFormulario(Carpeta);
  ProbarComponente;
  if Fallos > 0 then
  begin
    WriteLn(Fallos, ' checks failed');
    Halt(1);
  end;
  WriteLn('Evalcomp: every check passed');
end.
