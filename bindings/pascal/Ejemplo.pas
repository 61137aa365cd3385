{ Evalion from Pascal: a TEvalion whose events an object of the host answers, with the
  standard library behind its own names; then a text prepared once and evaluated over a
  column, the standard library computed inside the form.
  fpc -dEVALION_OBJETO Ejemplo.pas }
program Ejemplo;

{$IFDEF FPC}{$MODE DELPHI}{$ENDIF}

uses
  SysUtils, Math, Evalion, EvalionEstandar, EvalionFormula;

type
  TCalculo = class
    procedure PedirVariable(Sender: TObject; Variable: PAnsiChar; var R: BLOQUEDEDATOS);
    procedure PedirFuncion(Sender: TObject; Funcion: PAnsiChar; Parametros: PBLOQUES; N: Int32;
      var R: BLOQUEDEDATOS);
  end;

procedure TCalculo.PedirVariable(Sender: TObject; Variable: PAnsiChar; var R: BLOQUEDEDATOS);
begin
  if AnsiString(Variable) = 'IVA' then
    PonerNumero(R, 0.21)
  else if A_EstandarVariable(Variable, R) = 0 then
    R.Error := E_VARIABLE;
end;

procedure TCalculo.PedirFuncion(Sender: TObject; Funcion: PAnsiChar; Parametros: PBLOQUES; N: Int32;
  var R: BLOQUEDEDATOS);
begin
  if (AnsiString(Funcion) = 'doble') and (N = 1) then
    PonerNumero(R, 2 * Parametros^[0].Numero)
  else if A_EstandarFuncion(Funcion, Parametros, N, R) = 0 then
    R.Error := E_FUNCION;
end;

procedure Mostrar(Evaluador: TEvalion; const Texto: AnsiString);
var
  R: BLOQUEDEDATOS;
begin
  R := Evaluador.Analizar(Texto);
  if R.Error <> 0 then
    WriteLn(Texto, ' -> error ', R.Error, ' at position ', R.Posicion)
  else if R.Tipo = TIPO_CADENA then
    WriteLn(Texto, ' -> "', PAnsiChar(@R.Cadena[0]), '"')
  else
    WriteLn(Texto, ' -> ', FloatToStr(R.Numero));
end;

{ Texto over the rows of x: Raiz and Redondear are computed by the form, IVA is asked of the
  analyser's event at every row. }
procedure Filas(Evaluador: TEvalion; const Texto: AnsiString);
const
  X: array[0..2] of Double = (0, 3, 4);
var
  Formula: TFormula;
  Valores: array[0..2] of Double;
  I: Integer;
begin
  Formula := TFormula.Create(Evaluador, Texto);
  Formula.Estandar := True;
  Formula.VincularColumna('x', @X[0]);
  Formula.EvaluarFilas(Length(X), @Valores[0]);
  Write(Texto, ' for x = 0, 3, 4 ->');
  for I := 0 to High(Valores) do
    Write(' ', FloatToStr(Valores[I]));
  WriteLn;
  Formula.Free;
end;

var
  Evaluador: TEvalion;
  Calculo: TCalculo;
begin
  Calculo := TCalculo.Create;
  Evaluador := TEvalion.Create(nil);
  Evaluador.OnPedirVariable := Calculo.PedirVariable;
  Evaluador.OnPedirFuncion := Calculo.PedirFuncion;
  Mostrar(Evaluador, '1.250 * (1 + IVA)');
  Mostrar(Evaluador, 'doble(Raiz(2)) ^ 2');
  Mostrar(Evaluador, 'Mayusculas("iva")');
  Mostrar(Evaluador, 'Precio * IVA');
  Filas(Evaluador, 'Redondear(Raiz(x*x + 16) * (1 + IVA); 2)');
  Evaluador.Free;
  Calculo.Free;
end.
