{ Evalion's standard library from Pascal: the constants and functions a host may answer
  without writing them again (Pi, E, Raiz, Max, Mayusculas, ...) and the Spanish messages
  of the error codes. libevalion-estandar on Linux, EvalionEstandar.dll (stdcall) on 32-bit
  Windows; it needs no engine library and works with either form. }
unit EvalionEstandar;

{$IFDEF FPC}{$MODE DELPHI}{$ENDIF}

interface

uses
  Evalion;

const
{$IFDEF MSWINDOWS}
  EVALION_ESTANDAR_BIBLIOTECA = 'EvalionEstandar.dll';
{$ELSE}
  EVALION_ESTANDAR_BIBLIOTECA = 'evalion-estandar';
{$ENDIF}

{ 1 and R filled when Variable is a standard constant; 0 and R untouched otherwise. }
function A_EstandarVariable(Variable: PAnsiChar; var R: BLOQUEDEDATOS): Int32;
  {$IFDEF MSWINDOWS}stdcall{$ELSE}cdecl{$ENDIF}; external EVALION_ESTANDAR_BIBLIOTECA;

{ 1 and R filled (a value, or E_FUNCION for a count it does not take, E_INCOMPATIBLES for an
  argument of the wrong kind) when Funcion is a standard function; 0 otherwise. }
function A_EstandarFuncion(Funcion: PAnsiChar; Parametros: PBLOQUES; N: Int32; var R: BLOQUEDEDATOS): Int32;
  {$IFDEF MSWINDOWS}stdcall{$ELSE}cdecl{$ENDIF}; external EVALION_ESTANDAR_BIBLIOTECA;

{ The standard function Funcion as C code (cdecl on both platforms) for calls of Argumentos
  numbers (1 to 4), computing bit for bit what A_EstandarFuncion answers, for
  A_VincularFuncion of EvalionFormula; nil for an unknown name, a count it does not take, or
  a function whose answer or arguments may be texts (si, Texto, Mayusculas...). With
  ESTANDAR_CON_TEXTOS added to Argumentos, si too (on x86-64), for a binding that leaves a
  call with a text argument to the host (A_EstandarMarcas). }
function A_EstandarNativa(Funcion: PAnsiChar; Argumentos: Int32): Pointer;
  {$IFDEF MSWINDOWS}stdcall{$ELSE}cdecl{$ENDIF}; external EVALION_ESTANDAR_BIBLIOTECA;

{ What a binding of that code adds to the count it gives A_VincularFuncion: a text argument
  left to the host (si), and the operation a form's machine code computes itself (Raiz, Abs,
  si); 0 for the rest. }
function A_EstandarMarcas(Funcion: PAnsiChar; Argumentos: Int32): Int32;
  {$IFDEF MSWINDOWS}stdcall{$ELSE}cdecl{$ENDIF}; external EVALION_ESTANDAR_BIBLIOTECA;

{ The constant Variable (Pi, E) as a number that lives as long as the library, for
  A_Vincular of EvalionFormula; nil for any other name. }
function A_EstandarConstante(Variable: PAnsiChar): PDouble;
  {$IFDEF MSWINDOWS}stdcall{$ELSE}cdecl{$ENDIF}; external EVALION_ESTANDAR_BIBLIOTECA;

{ The Windows-1252 message of a code, ending in a blank before the position; nil for a
  code without one (a host's own code). The text is static. }
function A_Mensaje(Codigo: Int32): PAnsiChar;
  {$IFDEF MSWINDOWS}stdcall{$ELSE}cdecl{$ENDIF}; external EVALION_ESTANDAR_BIBLIOTECA;

{ The message of an error block's code followed by its position, converted as
  TextoDelMotor does; '' for a code without one. }
function MensajeDeError(const R: BLOQUEDEDATOS): string;

implementation

uses
  SysUtils;

function MensajeDeError(const R: BLOQUEDEDATOS): string;
var
  Texto: PAnsiChar;
begin
  Texto := A_Mensaje(R.Error);
  if Texto = nil then
    Result := ''
  else
    Result := TextoDelMotor(Texto) + IntToStr(R.Posicion);
end;

end.
