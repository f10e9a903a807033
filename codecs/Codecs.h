// The formats of this library beyond BMP: JPEG (libjpeg), GIF (own LZW), PNG (libpng).
#pragma once

// The JPEG, GIF and PNG format classes are in the image factory before main runs, in every
// program and module that links this library (Codecs.cpp says how). Calling this as well,
// at any time and on any thread, is harmless: the formats are registered once.
void RegisterCodecs();
