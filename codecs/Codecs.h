// The formats of this library beyond BMP: JPEG (libjpeg), GIF (own LZW), PNG (libpng).
#pragma once

// Adds the JPEG, GIF and PNG format classes to the image factory; later calls do nothing.
// A linker drops self-registering objects from a static library unseen, so the registration
// is a call: the playback worker makes it, and so does every program that reads or writes
// these formats without one.
void RegisterCodecs();
