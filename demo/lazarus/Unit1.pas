{ The demonstration form: an expression typed into a line, evaluated with a fresh parser
  state of Evalionobj at each click; the form itself answers the engine's requests for
  four variables and three functions. }
unit Unit1;

{$MODE DELPHI}

interface

uses
  Classes, SysUtils, Math, Forms, Controls, Graphics, StdCtrls, Dialogs, Evalion;

type
  TForm1 = class(TForm)
    Expresion: TEdit;
    Resultado: TEdit;
    Label1: TLabel;
    Label2: TLabel;
    Button1: TButton;
    Label3: TLabel;
    Label4: TLabel;
    Label5: TLabel;
    Label6: TLabel;
    procedure Button1Click(Sender: TObject);
  private
    function FinDeEtiqueta(Etiqueta: TLabel): Integer;
    procedure AjustarEtiquetas;
  public
    constructor Create(AOwner: TComponent); override;
    procedure AlPedirVariable(Variable: PAnsiChar; var R: BLOQUEDEDATOS); {$IFDEF WIN32}register;{$ENDIF}
    procedure AlPedirFuncion(Funcion: PAnsiChar; Parametros: PBLOQUES; N: Int32; var R: BLOQUEDEDATOS);
      {$IFDEF WIN32}register;{$ENDIF}
  end;

var
  Form1: TForm1;

{ The message for an error code, in the engine's Windows-1252, or nil for a code that has
  none (a code a request handler made up). }
function MensajeDeError(Codigo: Int32): PAnsiChar;

implementation

{$R *.lfm}

const
  { Pesetas in one euro. }
  PESETAS_POR_EURO: Double = 166.386;

type
  TMensaje = record
    Codigo: Int32;
    Texto: PAnsiChar;
  end;

const
  { Windows-1252 bytes: #$E9 e acute, #$F3 o acute. The text for E_CARACTER has always been
    written without accents; users match on it as it is. The program carries its own table,
    so that it needs no library besides Evalionobj. }
  MENSAJES: array[0..10] of TMensaje = (
    (Codigo: E_OPERADOR; Texto: 'Se esperaba un operador en la posici'#$F3'n '),
    (Codigo: E_VALOR; Texto: 'Se ha encontrado un valor que no puede ser evaluado como una expresi'#$F3'n num'#$E9'rica en la posici'#$F3'n '),
    (Codigo: E_PARENTESIS; Texto: 'Se esperaba un par'#$E9'ntesis en la posici'#$F3'n '),
    (Codigo: E_CIERREFUNCION; Texto: 'Se esperaba un par'#$E9'ntesis de cierre de funci'#$F3'n en la posici'#$F3'n '),
    (Codigo: E_OPERANDO; Texto: 'Se esperaba un operando en la posici'#$F3'n '),
    (Codigo: E_SEPARADOR; Texto: 'Se esperaba un separador de lista en la posici'#$F3'n '),
    (Codigo: E_INCOMPATIBLES; Texto: 'Los operandos no son compatibles en la posici'#$F3'n '),
    (Codigo: E_CARACTER; Texto: 'Se ha encontrado un caracter no valido en la posicion '),
    (Codigo: E_VARIABLE; Texto: 'Se esperaba una variable en la posici'#$F3'n '),
    (Codigo: E_FUNCION; Texto: 'Se esperaba una funci'#$F3'n en la posici'#$F3'n '),
    (Codigo: E_DIVISION; Texto: 'Error de divisi'#$F3'n en la posici'#$F3'n '));

function MensajeDeError(Codigo: Int32): PAnsiChar;
var
  I: Integer;
begin
  for I := Low(MENSAJES) to High(MENSAJES) do
    if MENSAJES[I].Codigo = Codigo then
      Exit(MENSAJES[I].Texto);
  Result := nil;
end;

const
  { The smallest text height a label is made smaller to, in pixels. }
  ALTURA_MINIMA = 7;

constructor TForm1.Create(AOwner: TComponent);
begin
  inherited Create(AOwner);
  AjustarEtiquetas;
end;

{ Where the text of Etiqueta has to end: where the next control on its row begins, or at the
  form's edge. }
function TForm1.FinDeEtiqueta(Etiqueta: TLabel): Integer;
var
  I: Integer;
  Otro: TControl;
begin
  Result := ClientWidth;
  for I := 0 to ControlCount - 1 do
  begin
    Otro := Controls[I];
    if (Otro <> Etiqueta) and (Otro.Left > Etiqueta.Left) and (Otro.Top < Etiqueta.Top + Etiqueta.Height) and
      (Etiqueta.Top < Otro.Top + Otro.Height) then
      Result := Min(Result, Otro.Left);
  end;
end;

{ The form was laid out with "MS Sans Serif", which a system without it (Linux without Wine's
  fonts, Wine without fonts-wine) replaces with a wider font: the end of a label's text, its
  colon, would then fall under the control beside it. Such a label gets a smaller font, one
  pixel of height at a time, until its text ends before that control. }
procedure TForm1.AjustarEtiquetas;
var
  I, Fin: Integer;
  Etiqueta: TLabel;
  Medida: TBitmap;
begin
  Medida := TBitmap.Create;
  try
    for I := 0 to ComponentCount - 1 do
      if Components[I] is TLabel then
      begin
        Etiqueta := TLabel(Components[I]);
        Fin := FinDeEtiqueta(Etiqueta);
        Medida.Canvas.Font.Assign(Etiqueta.Font);
        while (Etiqueta.Left + Medida.Canvas.TextWidth(Etiqueta.Caption) > Fin) and
          (Medida.Canvas.Font.Height < -ALTURA_MINIMA) do
          Medida.Canvas.Font.Height := Medida.Canvas.Font.Height + 1;
        if Medida.Canvas.Font.Height <> Etiqueta.Font.Height then
          Etiqueta.Font.Height := Medida.Canvas.Font.Height;
      end;
  finally
    Medida.Free;
  end;
end;

procedure TForm1.Button1Click(Sender: TObject);
var
  Estado: ESTADODEANALISIS;
  R: BLOQUEDEDATOS;
  Variable: TALPEDIRVARIABLE;
  Funcion: TALPEDIRFUNCION;
  Texto: RawByteString;
  Tabla: PAnsiChar;
  Mensaje: string;
begin
  Resultado.Text := '';
  A_Inicializar(@Estado);
  Variable := AlPedirVariable;
  Funcion := AlPedirFuncion;
  A_AsignarAlPedir(@Estado, TMethod(Variable).Code, TMethod(Variable).Data, TMethod(Funcion).Code,
    TMethod(Funcion).Data);
  { The line holds the toolkit's UTF-8; the engine reads Windows-1252. }
  Texto := TextoParaElMotor(Expresion.Text);
  R := A_Analizar(@Estado, PAnsiChar(Texto));
  Mensaje := 'Error: ';
  if R.Error <> 0 then
  begin
    { A code without a text shows none, and no position either. }
    Tabla := MensajeDeError(R.Error);
    if Tabla <> nil then
      Mensaje := Mensaje + TextoDelMotor(Tabla) + IntToStr(R.Posicion);
    Application.MessageBox(PChar(Mensaje), 'Error', 1);
  end
  else if R.Tipo = TIPO_CADENA then
    Resultado.Text := CadenaDe(R)
  else
    Resultado.Text := FloatToStr(R.Numero);
end;

{ Writes a text value: a time or a date, short, in the locale's characters. }
procedure PonerTexto(var R: BLOQUEDEDATOS; const Valor: string);
begin
  StrPLCopy(PAnsiChar(@R.Cadena[0]), TextoParaElMotor(Valor), EVALION_LARGO_CADENA - 1);
  R.Tipo := TIPO_CADENA;
end;

procedure TForm1.AlPedirVariable(Variable: PAnsiChar; var R: BLOQUEDEDATOS);
begin
  if StrIComp(Variable, 'Euro') = 0 then
  begin
    R.Numero := 1 / PESETAS_POR_EURO;
    R.Tipo := TIPO_NUMERO;
  end
  else if StrIComp(Variable, 'Pesetas') = 0 then
  begin
    R.Numero := PESETAS_POR_EURO;
    R.Tipo := TIPO_NUMERO;
  end
  else if StrIComp(Variable, 'Hora') = 0 then
    PonerTexto(R, TimeToStr(Time))
  else if StrIComp(Variable, 'Fecha') = 0 then
    PonerTexto(R, DateToStr(Date))
  else
    R.Error := E_VARIABLE;
end;

procedure TForm1.AlPedirFuncion(Funcion: PAnsiChar; Parametros: PBLOQUES; N: Int32; var R: BLOQUEDEDATOS);
begin
  if (StrIComp(Funcion, 'Raiz') = 0) and (N = 1) then
  begin
    R.Tipo := TIPO_NUMERO;
    R.Numero := Sqrt(Parametros^[0].Numero);
  end
  else if (StrIComp(Funcion, 'Seno') = 0) and (N = 1) then
  begin
    R.Tipo := TIPO_NUMERO;
    R.Numero := Sin(Parametros^[0].Numero);
  end
  else if (StrIComp(Funcion, 'si') = 0) and (N = 3) then
  begin
    if Parametros^[0].Tipo <> TIPO_NUMERO then
      R.Error := E_INCOMPATIBLES
    else if Parametros^[0].Numero = 0 then
      R := Parametros^[2]
    else
      R := Parametros^[1];
  end
  else
    R.Error := E_FUNCION;
end;

end.
