// BMP files: the whole pixel block moves between memory and disk through the DIB routines.
#include <memory>

#include "image/Dib.h"
#include "image/ImageFormats.h"

BOOL CBmpImpl::Read(const CString& path) {
    if (!path.empty()) fileName = path;
    ReleaseBlock();
    CDibBlock loaded = LoadDIBBlock(fileName);
    if (!loaded) return FALSE;
    const size_t bytes = loaded.size;
    if (!AdoptBlock(std::move(loaded.bytes), bytes)) return FALSE;

    const HPALETTE palette = PaletteFromColorTable(imageDIB, 0);
    if (!palette) return TRUE;  // no colour table: colorType stays as it was
    auto owner = std::make_unique<CImagePalette>();
    owner->Attach(palette);
    imagePalette = std::move(owner);
    UpdateDIBColorTable(imageDIB, palette, TRUE);
    colorType = kColorTypePalette | kColorTypeColor;
    return TRUE;
}

BOOL CBmpImpl::Write(const CString& path) {
    if (!path.empty()) fileName = path;
    // Two bits per pixel is no BMP depth: such a file could not be read back.
    if (!imageDIB || bitsPerPixel == 2) return FALSE;
    // Without a palette the table is already in colour form, the picture's own colours:
    // replacing them with the stock palette would lose them.
    if (imagePalette) UpdateDIBColorTable(imageDIB, imagePalette->GetSafeHandle(), FALSE);
    const BOOL result = SaveDIBBlock(fileName, imageDIB, BlockBytes());
    if (imagePalette) UpdateDIBColorTable(imageDIB, imagePalette->GetSafeHandle(), TRUE);
    return result;
}
