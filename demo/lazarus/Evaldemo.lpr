{ Evaldemo: the expression engine at work through the library Evalionobj, in one window. }
program Evaldemo;

{$MODE DELPHI}

uses
  {$IFDEF UNIX}cthreads, clocale,{$ENDIF}
  Interfaces, Forms, SysUtils, Math, Unit1;

begin
  { As a C program runs: an invalid operation, a division by zero or an overflow gives
    not-a-number or an infinity instead of an exception, so Raiz(-1) shows "Nan" rather than
    unwinding through the engine. }
  SetExceptionMask([exInvalidOp, exDenormalized, exZeroDivide, exOverflow, exUnderflow, exPrecision]);
  try
    Application.Initialize;
    Application.CreateForm(TForm1, Form1);
    Application.Run;
  except
    on E: Exception do
      Application.ShowException(E);
  end;
end.
