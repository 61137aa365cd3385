/* The control identifiers of Evaldemo's window. The button is IDOK because that is the
 * command Enter sends to a window whose messages go through IsDialogMessage, which makes it
 * the default button. Programs that drive the window find its controls by these. */
#ifndef EVALDEMO_CONTROLES_H
#define EVALDEMO_CONTROLES_H

#define EVALDEMO_CLASE "TForm1"
#define EVALDEMO_TITULO "Form1"

enum {
    ID_BUTTON1 = 1, /* IDOK */
    ID_EXPRESION = 101,
    ID_RESULTADO,
    ID_LABEL1,
    ID_LABEL2,
    ID_LABEL3,
    ID_LABEL4,
    ID_LABEL5,
    ID_LABEL6
};

#endif
