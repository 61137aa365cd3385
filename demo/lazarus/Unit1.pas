{ The demonstration form: an expression typed into a line, evaluated with a fresh parser
  state of Evalionobj at each click; the form itself answers the engine's requests for
  four variables and three functions. }
unit Unit1;

{$MODE DELPHI}

interface

uses
  Classes, SysUtils, Math, Forms, Controls, StdCtrls, Dialogs, Evalion, EvalionEstandar;

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
  public
    procedure AlPedirVariable(Variable: PAnsiChar; var R: BLOQUEDEDATOS); {$IFDEF WIN32}register;{$ENDIF}
    procedure AlPedirFuncion(Funcion: PAnsiChar; Parametros: PBLOQUES; N: Int32; var R: BLOQUEDEDATOS);
      {$IFDEF WIN32}register;{$ENDIF}
  end;

var
  Form1: TForm1;

implementation

{$R *.lfm}

const
  { Pesetas in one euro. }
  PESETAS_POR_EURO: Double = 166.386;

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
    { The message table every demonstration shows; a code without a text shows none, and
      no position either. }
    Tabla := A_Mensaje(R.Error);
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
