// What hosts we ship show for the engine's error codes. The texts are Latin-1 (the
// engine's character set), each ending in a blank so that the position follows directly.
#ifndef EVALION_MENSAJES_H
#define EVALION_MENSAJES_H

#include <cstdint>
#include <string>

namespace Evalion {

// The message for Codigo, or nullptr for a code that has none (a host's own code).
const char *TextoDeError(int32_t Codigo);

// "Error: " followed by the code's text and the position; "Error: " alone for a code
// without a text. Latin-1.
std::string MensajeDeError(int32_t Codigo, int32_t Posicion);

} // namespace Evalion

#endif
