{ The LCL Evaldemo driven in process: the form as its resource lays it out, then the
  demonstration's cases typed into the line and "clicked", with every message box captured
  (text, caption, buttons) instead of shown.

    PruebasEvaldemo [--captura=FILE.png]    (on a display; under Xvfb in the tests)

  With --captura the window, showing a last value, is photographed at the end. Exits with 1 after listing every failed check. }
program PruebasEvaldemo;

{$MODE DELPHI}
{ The tables leave out the fields a row does not need. }
{$WARN 3175 OFF}
{$WARN 3177 OFF}

uses
  {$IFDEF UNIX}cthreads, clocale,{$ENDIF}
  Interfaces, Forms, Controls, Graphics, StdCtrls, SysUtils, Math, TypInfo, LCLType, LCLIntf,
  {$IFDEF MSWINDOWS}Windows,{$ELSE}Process,{$ENDIF} Evalion, EvalionEstandar, Unit1;

var
  Fallos: Integer = 0;
  Cajas: string; { the message boxes shown since the last click: "caption|flags|text;" }

procedure Comprobar(Cierto: Boolean; const Que: string);
begin
  if not Cierto then
  begin
    WriteLn('FAIL: ', Que);
    Inc(Fallos);
  end;
end;

function Caja(Text, Caption: PChar; Flags: Longint): Integer;
begin
  Cajas := Cajas + string(Caption) + '|' + IntToStr(Flags) + '|' + string(Text) + ';';
  Result := 2; { Cancel: the form does not look at the answer }
end;

{ The layout of the form resource: place, size, text and font of every control. }
procedure ProbarDisposicion;
type
  TControlEsperado = record
    Nombre: string;
    Left, Top, Width, Height: Integer;
    Texto: string;
    Negrita: Boolean;
    Hasta: Integer; { a label's text ends there, where the next control on its row begins }
  end;
const
  Controles: array[0..8] of TControlEsperado = (
    (Nombre: 'Label1'; Left: 8; Top: 28; Width: 49; Height: 13; Texto: 'Expresión:'; Hasta: 64),
    (Nombre: 'Expresion'; Left: 64; Top: 24; Width: 321; Height: 21; Texto: 'Expresion'),
    (Nombre: 'Button1'; Left: 112; Top: 56; Width: 75; Height: 25; Texto: '&Calcular'),
    (Nombre: 'Label2'; Left: 48; Top: 92; Width: 6; Height: 13; Texto: '='; Hasta: 64),
    (Nombre: 'Resultado'; Left: 64; Top: 88; Width: 321; Height: 21; Texto: 'Resultado'),
    (Nombre: 'Label3'; Left: 16; Top: 120; Width: 57; Height: 13; Texto: 'Variables:'; Negrita: True; Hasta: 80),
    (Nombre: 'Label5'; Left: 80; Top: 120; Width: 136; Height: 13; Texto: 'Euro, Pesetas, Hora y Fecha'; Hasta: 397),
    (Nombre: 'Label4'; Left: 16; Top: 136; Width: 63; Height: 13; Texto: 'Funciones:'; Negrita: True; Hasta: 80),
    (Nombre: 'Label6'; Left: 80; Top: 136; Width: 121; Height: 13; Texto: 'Raiz(x), Seno(x), Si(F;A;B)'; Hasta: 397));
  { The published fields in their declared order. }
  Campos = 'Expresion Resultado Label1 Label2 Button1 Label3 Label4 Label5 Label6 ';
var
  I: Integer;
  Control: TControl;
  Medida: Graphics.TBitmap;
  Orden: string;
  Tabla: PVmtFieldTable;
  Campo: PVmtFieldEntry;
begin
  Comprobar((Form1.Name = 'Form1') and (Form1.Caption = 'Form1') and (Form1.Left = 194) and (Form1.Top = 108),
    Format('the form: %s "%s" at %d,%d', [Form1.Name, Form1.Caption, Form1.Left, Form1.Top]));
  Comprobar((Form1.Font.Name = 'MS Sans Serif') and (Form1.Font.Height = -11), 'the form''s font: ' +
    Form1.Font.Name);
  Comprobar(Form1.Button1.Default and (Form1.Expresion.TabOrder = 0) and (Form1.Resultado.TabOrder = 1) and
    (Form1.Button1.TabOrder = 2), 'the default button and the tab order');
  Orden := '';
  Tabla := PVmtFieldTable(PVmt(TForm1)^.vFieldTable);
  Campo := @Tabla^.Fields[0];
  for I := 0 to Tabla^.Count - 1 do
  begin
    Orden := Orden + Campo^.Name + ' ';
    Campo := PVmtFieldEntry(PByte(@Campo^.Name) + Length(Campo^.Name) + 1);
  end;
  Comprobar(Orden = Campos, 'the published fields: ' + Orden);
  Comprobar(Form1.MethodAddress('Button1Click') <> nil, 'Button1Click is published');
  Medida := Graphics.TBitmap.Create;
  for I := Low(Controles) to High(Controles) do
  begin
    Control := Form1.FindComponent(Controles[I].Nombre) as TControl;
    if Control = nil then
    begin
      Comprobar(False, Controles[I].Nombre + ' is missing');
      Continue;
    end;
    { A label sizes itself to its text in the font the system gives "MS Sans Serif"; the
      resource's size is checked, the shown one is printed. }
    if Control is TLabel then
    begin
      WriteLn(Format('%s: %dx%d as shown', [Control.Name, Control.Width, Control.Height]));
      Comprobar((Control.Left = Controles[I].Left) and (Control.Top = Controles[I].Top),
        Format('%s at %d,%d', [Control.Name, Control.Left, Control.Top]));
      Comprobar(TLabel(Control).Caption = Controles[I].Texto, Control.Name + ': ' + TLabel(Control).Caption);
      Comprobar((fsBold in TLabel(Control).Font.Style) = Controles[I].Negrita, Control.Name + ': bold');
      Comprobar(TLabel(Control).Font.Name = 'MS Sans Serif', Control.Name + ': font ' + TLabel(Control).Font.Name);
      { Whatever font stands in for it, the whole text, colon included, before the next
        control on its row. }
      Medida.Canvas.Font.Assign(TLabel(Control).Font);
      Comprobar(Control.Left + Medida.Canvas.TextWidth(TLabel(Control).Caption) <= Controles[I].Hasta,
        Format('%s: "%s" ends at %d at height %d, after %d', [Control.Name, TLabel(Control).Caption,
        Control.Left + Medida.Canvas.TextWidth(TLabel(Control).Caption), Medida.Canvas.Font.Height,
        Controles[I].Hasta]));
    end
    else
    begin
      Comprobar((Control.Left = Controles[I].Left) and (Control.Top = Controles[I].Top) and
        (Control.Width = Controles[I].Width) and (Control.Height = Controles[I].Height),
        Format('%s at %d,%d size %dx%d', [Control.Name, Control.Left, Control.Top, Control.Width, Control.Height]));
      Comprobar(Control.Caption = Controles[I].Texto, Control.Name + ': ' + Control.Caption);
    end;
  end;
  Medida.Free;
end;

{ Types Texto and clicks: the line's text and the boxes shown. }
procedure Calcular(const Texto: string; out Linea, Mostrado: string);
begin
  Cajas := '';
  Form1.Expresion.Text := Texto;
  Form1.Button1.Click;
  Linea := Form1.Resultado.Text;
  Mostrado := Cajas;
end;

{ The bytes of a text, to see a conversion that went wrong. }
function Hexadecimal(const Texto: string): string;
var
  I: Integer;
begin
  Result := '';
  for I := 1 to Length(Texto) do
    Result := Result + IntToHex(Ord(Texto[I]), 2);
end;

procedure ProbarCasos;
type
  TCaso = record
    Texto: string;
    Linea: string;  { the result line afterwards; '*' any text but the empty one }
    Caja: string;   { the boxes shown }
  end;
const
  E = 'Error|1|Error: ';
  Casos: array[0..22] of TCaso = (
    (Texto: 'Euro'; Linea: '0,00601012104383782'),
    (Texto: 'EURO'; Linea: '0,00601012104383782'),
    (Texto: 'euro'; Linea: '0,00601012104383782'),
    (Texto: 'Pesetas'; Linea: '166,386'),
    (Texto: 'Pesetas + 1'; Linea: '167,386'),
    (Texto: 'Raiz(4)'; Linea: '2'),
    (Texto: 'Seno(0)'; Linea: '0'),
    (Texto: 'Raiz(4;9)'; Caja: E + 'Se esperaba una función en la posición 1;'),
    (Texto: 'si(1;2;3)'; Linea: '2'),
    (Texto: 'si(0;2;3)'; Linea: '3'),
    (Texto: 'SI(0;2;"tres")'; Linea: 'tres'),
    (Texto: 'Si("a";2;3)'; Caja: E + 'Los operandos no son compatibles en la posición 1;'),
    (Texto: 'si(1;2)'; Caja: E + 'Se esperaba una función en la posición 1;'),
    (Texto: 'Dolar'; Caja: E + 'Se esperaba una variable en la posición 1;'),
    (Texto: ''; Caja: E + 'Se esperaba un operando en la posición 0;'),
    (Texto: '2 +'; Caja: E + 'Se esperaba un operando en la posición 4;'),
    (Texto: '1 2'; Caja: E + 'Se esperaba un operador en la posición 2;'),
    (Texto: '(1'; Caja: E + 'Se esperaba un paréntesis en la posición 3;'),
    (Texto: '1 # 2'; Caja: E + 'Se ha encontrado un caracter no valido en la posicion 2;'),
    (Texto: 'Raiz(-1)'; Linea: 'Nan'),
    (Texto: '"Año " + "ñ"'; Linea: 'Año ñ'),
    (Texto: 'Seno(Pesetas * 0)'; Linea: '0'),
    (Texto: '1,5 * 2'; Linea: '3'));
var
  I: Integer;
  Linea, Mostrado: string;
begin
  for I := Low(Casos) to High(Casos) do
  begin
    { A value first, so that an error must empty the line. }
    Calcular('7', Linea, Mostrado);
    Calcular(Casos[I].Texto, Linea, Mostrado);
    Comprobar((Linea = Casos[I].Linea) and (Mostrado = Casos[I].Caja),
      Format('"%s": line "%s" (%s), boxes "%s"', [Casos[I].Texto, Linea, Hexadecimal(Linea), Mostrado]));
  end;
  { Texts are shown as they are, not converted to numbers. }
  Calcular('Fecha', Linea, Mostrado);
  Comprobar((Linea = DateToStr(Date)) and (Mostrado = ''), 'Fecha: ' + Linea);
  Calcular('Hora', Linea, Mostrado);
  Comprobar((Length(Linea) >= 5) and (Pos(DefaultFormatSettings.TimeSeparator, Linea) > 0) and (Mostrado = ''),
    'Hora: ' + Linea);
  Calcular('Hora + 1', Linea, Mostrado);
  Comprobar((Linea = '') and (Mostrado = E + 'Los operandos no son compatibles en la posición 9;'),
    'Hora + 1: ' + Mostrado);
end;

{ The line's text on its way to the engine and back: Windows-1252 there, the toolkit's
  UTF-8 here. }
procedure ProbarTextos;
var
  Texto: string;
begin
  Texto := 'Año ñ';
  Comprobar(Hexadecimal(TextoParaElMotor(Texto)) = '41F16F20F1', 'to the engine: ' + Hexadecimal(Texto) + ' -> ' +
    Hexadecimal(TextoParaElMotor(Texto)));
  Form1.Expresion.Text := Texto;
  Comprobar(Form1.Expresion.Text = Texto, 'the line keeps ' + Hexadecimal(Texto) + ': ' +
    Hexadecimal(Form1.Expresion.Text));
  Comprobar(Hexadecimal(TextoDelMotor(PAnsiChar(#$41#$F1#$6F))) = Hexadecimal('Año'), 'from the engine: ' +
    Hexadecimal(TextoDelMotor(PAnsiChar(#$41#$F1#$6F))));
end;

{ The program's own message table gives, byte for byte, the texts of the standard library's
  (which every other host shows) for each code, and nothing where that has nothing. }
procedure ProbarMensajes;
const
  Codigos: array[0..5] of Int32 = (0, 1, 99, 900, 1300, -100);
var
  Codigo: Int32;
  Propio, Estandar: PAnsiChar;
  I: Integer;
begin
  for I := 0 to 13 + Length(Codigos) do
  begin
    if I <= 13 then
      Codigo := I * 100
    else
      Codigo := Codigos[I - 14];
    Propio := MensajeDeError(Codigo);
    Estandar := A_Mensaje(Codigo);
    Comprobar(((Propio = nil) and (Estandar = nil)) or
      ((Propio <> nil) and (Estandar <> nil) and (StrComp(Propio, Estandar) = 0)),
      Format('the message for %d: "%s", the standard library''s "%s"', [Codigo, Propio, Estandar]));
  end;
end;

{ The value of Euro to the last bit, from the request itself. }
procedure ProbarEuro;
var
  R: BLOQUEDEDATOS;
  Bits: QWord;
begin
  FillChar(R, SizeOf(R), 0);
  Form1.AlPedirVariable('Euro', R);
  Move(R.Numero, Bits, SizeOf(Bits));
  Comprobar((Bits = QWord($3F789E119540A799)) and (R.Tipo = TIPO_NUMERO) and (R.Error = 0),
    'Euro: ' + IntToHex(Bits, 16));
  FillChar(R, SizeOf(R), 0);
  Form1.AlPedirVariable('Pesetas', R);
  Move(R.Numero, Bits, SizeOf(Bits));
  Comprobar(Bits = QWord($4064CC5A1CAC0831), 'Pesetas: ' + IntToHex(Bits, 16));
end;

{ How many colours a sample of the picture's pixels has: a window has text and frames,
  never a plain area. }
function Colores(const Archivo: string): Integer;
var
  Png: TPortableNetworkGraphic;
  Vistos: array of TColor;
  X, Y, I: Integer;
  Color: TColor;
  Nuevo: Boolean;
begin
  Result := 0;
  Vistos := nil;
  if not FileExists(Archivo) then
    Exit;
  Png := TPortableNetworkGraphic.Create;
  try
    Png.LoadFromFile(Archivo);
    Y := 0;
    while Y < Png.Height do
    begin
      X := 0;
      while X < Png.Width do
      begin
        Color := Png.Canvas.Pixels[X, Y];
        Nuevo := True;
        for I := 0 to High(Vistos) do
          if Vistos[I] = Color then
            Nuevo := False;
        if Nuevo then
          Vistos := Vistos + [Color];
        Inc(X, 3);
      end;
      Inc(Y, 3);
    end;
  finally
    Png.Free;
  end;
  Result := Length(Vistos);
end;

{ The screen around the window as a PNG file. }
procedure Capturar(const Archivo: string);
const
  MARGEN = 40; { the frame, where a window manager or Wine draws one }
var
  Fin: TDateTime;
  Pantalla: HDC;
  Imagen: Graphics.TBitmap;
  Png: TPortableNetworkGraphic;
  X, Y: Integer;
  Salida: string;
{$IFDEF MSWINDOWS}
  Memoria: HDC;
  Mapa: HBITMAP;
  Antes: HGDIOBJ;
{$ENDIF}
begin
  Form1.Expresion.Text := 'Raiz(Pesetas) * Euro';
  Form1.Button1.Click;
  Form1.Show;
  Fin := Now + 1.5 / 86400;
  while Now < Fin do
  begin
    Application.ProcessMessages;
    Sleep(20);
  end;
  X := Max(0, Form1.Left - MARGEN);
  Y := Max(0, Form1.Top - MARGEN);
{$IFDEF MSWINDOWS}
  { The screen as GDI has it, into a bitmap of the screen's own kind. }
  Imagen := Graphics.TBitmap.Create;
  Png := TPortableNetworkGraphic.Create;
  try
    Pantalla := Windows.GetDC(0);
    Memoria := Windows.CreateCompatibleDC(Pantalla);
    Mapa := Windows.CreateCompatibleBitmap(Pantalla, Form1.Width + 2 * MARGEN, Form1.Height + 2 * MARGEN);
    Antes := Windows.SelectObject(Memoria, Mapa);
    Windows.BitBlt(Memoria, 0, 0, Form1.Width + 2 * MARGEN, Form1.Height + 2 * MARGEN, Pantalla, X, Y, SRCCOPY);
    Windows.SelectObject(Memoria, Antes);
    Windows.DeleteDC(Memoria);
    Windows.ReleaseDC(0, Pantalla);
    Imagen.Handle := Mapa;
    Png.Assign(Imagen);
    Png.SaveToFile(Archivo);
  finally
    Png.Free;
    Imagen.Free;
  end;
{$ELSE}
  { gtk2 gives no screen through GetDC(0): X's own root window, with ImageMagick. }
  Comprobar(RunCommand('import', ['-window', 'root', '-crop', Format('%dx%d+%d+%d',
    [Form1.Width + 2 * MARGEN, Form1.Height + 2 * MARGEN, X, Y]), Archivo], Salida), 'import: ' + Salida);
{$ENDIF}
  Comprobar(Colores(Archivo) > 3, Format('the screenshot %s shows a window: %d colours', [Archivo, Colores(Archivo)]));
end;

var
  I: Integer;
  Archivo: string;
begin
  try
    SetExceptionMask([exInvalidOp, exDenormalized, exZeroDivide, exOverflow, exUnderflow, exPrecision]);
    Application.Initialize;
    Application.CreateForm(TForm1, Form1);
    MessageBoxFunction := Caja;
    ProbarDisposicion;
    ProbarTextos;
    ProbarCasos;
    ProbarEuro;
    ProbarMensajes;
    Archivo := '';
    for I := 1 to ParamCount do
      if Copy(ParamStr(I), 1, 10) = '--captura=' then
        Archivo := Copy(ParamStr(I), 11, MaxInt);
    if Archivo <> '' then
      Capturar(Archivo);
  except
    on E: Exception do
      Comprobar(False, 'the test raised ' + E.ClassName + ': ' + E.Message);
  end;
  if Fallos > 0 then
  begin
    WriteLn(Fallos, ' checks failed');
    Halt(1);
  end;
  WriteLn('Evaldemo (LCL): every check passed');
end.
