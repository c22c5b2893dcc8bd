// Skin pictures from files: bitmap, JPEG or GIF, decoded by the platform's
// OLE picture loader and kept as a bitmap.
#pragma once

#include "fw/Bitmap.h"
#include "fw/String.h"

// Replaces the picture with the file's. A caller that loads several pictures
// holds a CComScope around them, so that COM is set up once. A file that is missing, unreadable or
// not a picture the loader decodes, and a bitmap file shorter than its header
// says, leave the picture empty (no bitmap, size 0 x 0) and return FALSE;
// nothing is raised.
BOOL LoadPictureFile(const CString& path, CBitmap& picture);
