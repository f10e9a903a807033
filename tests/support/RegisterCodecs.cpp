// Linked into the test and benchmark programs that make JPEG, GIF and PNG images through the
// factory without a playback worker (which registers the codecs itself), as a program does
// once it has registered them.
#include "codecs/Codecs.h"

namespace {

const bool g_codecsRegistered = (RegisterCodecs(), true);

}  // namespace
