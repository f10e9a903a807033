// The image and codec test programs make JPEG, GIF and PNG images through the factory, as a
// program does once it has registered the codecs.
#include "codecs/Codecs.h"

namespace {

const bool g_codecsRegistered = (RegisterCodecs(), true);

}  // namespace
