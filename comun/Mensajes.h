// What hosts we ship show for the engine's error codes. The texts are Latin-1 (the
// engine's character set), each ending in a blank so that the position follows directly.
#ifndef EVALION_MENSAJES_H
#define EVALION_MENSAJES_H

#include <cstdint>

namespace Evalion {

// The message for Codigo, or nullptr for a code that has none (a host's own code).
const char *TextoDeError(int32_t Codigo);

} // namespace Evalion

#endif
