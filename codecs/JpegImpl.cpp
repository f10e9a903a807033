#include "image/ImageFormats.h"

// The libjpeg reader and writer go here.
BOOL CJpegImpl::Read(const CString&) { return FALSE; }

BOOL CJpegImpl::Write(const CString&) { return FALSE; }
