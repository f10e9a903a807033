#include "image/ImageFormats.h"

// The libpng reader and writer go here.
BOOL CPngImpl::Read(const CString&) { return FALSE; }

BOOL CPngImpl::Write(const CString&) { return FALSE; }
