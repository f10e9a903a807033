#include "image/ImageFormats.h"

// The BMP file routines go here.
BOOL CBmpImpl::Read(const CString&) { return FALSE; }

BOOL CBmpImpl::Write(const CString&) { return FALSE; }
