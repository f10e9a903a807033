// JPEG reading and writing through libjpeg.
//
// libjpeg reports fatal errors by calling error_exit, which here jumps back to the recovery
// point in the function that called setjmp. Those functions hold only trivially destructible
// locals (library structs, raw pointers, integers): nothing dynamic can rely on destruction
// across a longjmp. Every path releases the library object and closes the file.
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <functional>

// jpeglib.h needs size_t and FILE declared first.
#include <jpeglib.h>

#include "codecs/JpegImpl.h"
#include "platform/FileIO.h"

namespace {

constexpr int kFrameColors = 128;

struct ErrorRecord {
    jpeg_error_mgr pub;  // first: the library sees a jpeg_error_mgr*
    std::jmp_buf recovery;
};

[[noreturn]] void JumpToRecovery(j_common_ptr cinfo) {
    // No message: a broken frame is an expected outcome, not something to report.
    std::longjmp(reinterpret_cast<ErrorRecord*>(cinfo->err)->recovery, 1);
}

// The progress monitor asks whether to go on; an abandoned decode leaves through the same
// recovery point as an error.
struct ProgressRecord {
    jpeg_progress_mgr pub;  // first: the library sees a jpeg_progress_mgr*
    const std::function<bool()>* cancel;
};

void AskToGoOn(j_common_ptr cinfo) {
    const auto* progress = reinterpret_cast<ProgressRecord*>(cinfo->progress);
    if ((*progress->cancel)()) JumpToRecovery(cinfo);
}

BOOL Decode(CJpegImpl& image, FILE* file, const CJpegReadOptions& options) {
    jpeg_decompress_struct cinfo;
    ErrorRecord err;
    ProgressRecord progress{};
    cinfo.err = jpeg_std_error(&err.pub);
    err.pub.error_exit = JumpToRecovery;
    if (setjmp(err.recovery)) {
        jpeg_destroy_decompress(&cinfo);
        std::fclose(file);
        return FALSE;
    }
    jpeg_create_decompress(&cinfo);
    if (options.cancel) {
        progress.pub.progress_monitor = AskToGoOn;
        progress.cancel = &options.cancel;
        cinfo.progress = &progress.pub;
    }
    // The library's whole-frame buffers (two-pass quantisation, progressive coefficients)
    // take several bytes a pixel: bound them as the image block is bounded, so that a short
    // file claiming a huge frame fails at once instead of taking gigabytes and seconds.
    cinfo.mem->max_memory_to_use = long(kMaxImageBytes);
    jpeg_stdio_src(&cinfo, file);
    jpeg_read_header(&cinfo, TRUE);

    // Frames are drawn through a realised palette: colour files are reduced to 128 colours.
    // Set every parameter the frames rely on, whatever the library release defaults to.
    const bool gray = cinfo.jpeg_color_space == JCS_GRAYSCALE;
    cinfo.quantize_colors = gray ? FALSE : TRUE;
    if (!gray) {
        cinfo.desired_number_of_colors = kFrameColors;
        cinfo.two_pass_quantize = TRUE;
        cinfo.dither_mode = JDITHER_FS;
    }
    const int32_t eighths =
        JpegScaleEighths(int32_t(cinfo.image_width), int32_t(cinfo.image_height), options.fitWidth,
                         options.fitHeight);
    cinfo.scale_num = eighths < 8 ? unsigned(eighths) : 1;
    cinfo.scale_denom = eighths < 8 ? 8 : 1;
    cinfo.dct_method = JDCT_ISLOW;
    cinfo.do_fancy_upsampling = TRUE;
    jpeg_calc_output_dimensions(&cinfo);

    // Two-pass quantisation buffers and decodes the whole frame inside start_decompress:
    // a frame no image block could hold (a few bytes of header can claim one) is refused
    // before the library spends gigabytes on it.
    // The limits apply to what is decoded: a frame read to fit counts at its scaled size.
    const int64_t pixels = int64_t(cinfo.output_width) * int64_t(cinfo.output_height);
    if (pixels > kMaxImageBytes - kBlockHeaderBytes || pixels > options.maxPixels ||
        (options.cancel && options.cancel())) {
        jpeg_destroy_decompress(&cinfo);
        std::fclose(file);
        return FALSE;
    }

    jpeg_start_decompress(&cinfo);

    if (cinfo.output_components != 1 ||
        image.Create(int32_t(cinfo.output_width), int32_t(cinfo.output_height),
                     8 * cinfo.output_components, -1) == 0) {
        jpeg_destroy_decompress(&cinfo);
        std::fclose(file);
        return FALSE;
    }
    if (eighths < 8) {
        image.fullWidth = int32_t(cinfo.image_width);
        image.fullHeight = int32_t(cinfo.image_height);
    }
    if (gray) {
        image.CreateGrayPalette(256);
    } else {
        image.CreatePalette(cinfo.actual_number_of_colors, cinfo.colormap[0], cinfo.colormap[1],
                            cinfo.colormap[2]);
    }

    // Scanlines are decoded straight into the image rows, top picture row first; the
    // destination never moves below memory row 0.
    int32_t memoryRow = image.imageHeight - 1;
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW row = image.MemoryRow(memoryRow);
        jpeg_read_scanlines(&cinfo, &row, 1);
        if (memoryRow > 0) --memoryRow;
    }

    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    std::fclose(file);
    return TRUE;
}

BOOL Encode(CJpegImpl& image, FILE* file) {
    jpeg_compress_struct cinfo;
    ErrorRecord err;
    cinfo.err = jpeg_std_error(&err.pub);
    err.pub.error_exit = JumpToRecovery;
    if (setjmp(err.recovery)) {
        jpeg_destroy_compress(&cinfo);
        std::fclose(file);
        return FALSE;
    }
    jpeg_create_compress(&cinfo);
    jpeg_stdio_dest(&cinfo, file);
    cinfo.image_width = JDIMENSION(image.imageWidth);
    cinfo.image_height = JDIMENSION(image.imageHeight);
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, image.jpegQuality, TRUE);
    jpeg_start_compress(&cinfo, TRUE);

    JSAMPARRAY samples = (*cinfo.mem->alloc_sarray)(
        reinterpret_cast<j_common_ptr>(&cinfo), JPOOL_IMAGE, JDIMENSION(image.imageWidth) * 3, 1);
    // An 8-bit image is walked through its palette; a 24-bit one by its colour bytes.
    const CImagePalette* palette = image.bitsPerPixel == 8 ? image.imagePalette.get() : nullptr;
    int32_t memoryRow = image.imageHeight - 1;
    while (cinfo.next_scanline < cinfo.image_height) {
        const BYTE* source = image.MemoryRow(memoryRow);
        JSAMPLE* out = samples[0];
        for (int32_t x = 0; x < image.imageWidth; ++x) {
            if (palette) {
                BYTE r = 0, g = 0, b = 0;
                palette->GetEntryRGB(source[x], &r, &g, &b);
                out[3 * x] = r;
                out[3 * x + 1] = g;
                out[3 * x + 2] = b;
            } else {
                out[3 * x] = source[3 * x + 2];
                out[3 * x + 1] = source[3 * x + 1];
                out[3 * x + 2] = source[3 * x];
            }
        }
        if (memoryRow > 0) --memoryRow;
        jpeg_write_scanlines(&cinfo, samples, 1);
    }

    jpeg_finish_compress(&cinfo);
    std::fclose(file);
    jpeg_destroy_compress(&cinfo);
    return TRUE;
}

}  // namespace

int32_t JpegScaleEighths(int32_t width, int32_t height, int32_t fitWidth, int32_t fitHeight) {
    if (fitWidth <= 0 || fitHeight <= 0) return 8;
    for (int32_t n = 1; n < 8; ++n) {
        if (JpegScaledSide(width, n) >= fitWidth && JpegScaledSide(height, n) >= fitHeight) {
            return n;
        }
    }
    return 8;
}

BOOL ReadJpegHeader(const CString& path, CJpegHeader* header) {
    FILE* file = OpenFileForRead(path);
    if (file == nullptr) return FALSE;
    jpeg_decompress_struct cinfo;
    ErrorRecord err;
    cinfo.err = jpeg_std_error(&err.pub);
    err.pub.error_exit = JumpToRecovery;
    if (setjmp(err.recovery)) {
        jpeg_destroy_decompress(&cinfo);
        std::fclose(file);
        return FALSE;
    }
    jpeg_create_decompress(&cinfo);
    jpeg_stdio_src(&cinfo, file);
    jpeg_read_header(&cinfo, TRUE);
    header->width = int32_t(cinfo.image_width);
    header->height = int32_t(cinfo.image_height);
    header->gray = cinfo.jpeg_color_space == JCS_GRAYSCALE;
    jpeg_destroy_decompress(&cinfo);
    std::fclose(file);
    return TRUE;
}

BOOL LoadJpeg(CImage& image, const CString& path, const CJpegReadOptions& options) {
    return image.Load(path, kImageTypeJpeg, [&](CImageImpl& impl, const CString& file) {
        auto* jpeg = dynamic_cast<CJpegImpl*>(&impl);
        return jpeg != nullptr && jpeg->Read(file, options) ? TRUE : FALSE;
    });
}

BOOL CJpegImpl::Read(const CString& path) {
    return Read(path, CJpegReadOptions{});
}

BOOL CJpegImpl::Read(const CString& path, const CJpegReadOptions& options) {
    if (!path.empty()) fileName = path;
    FILE* file = OpenFileForRead(fileName);
    if (file == nullptr) return FALSE;
    return Decode(*this, file, options);
}

BOOL CJpegImpl::Write(const CString& path) {
    if (!path.empty()) fileName = path;
    // Rows are walked as one palette index or three colour bytes per pixel: other layouts
    // would be read past their ends.
    const bool paletted8 = bitsPerPixel == 8 && imagePalette != nullptr;
    const bool rgb24 = bitsPerPixel == 24;
    if (imageBits == nullptr || imageWidth <= 0 || imageHeight <= 0 || !(paletted8 || rgb24)) {
        return FALSE;
    }
    FILE* file = CreateFileForWrite(fileName);
    if (file == nullptr) return FALSE;
    return Encode(*this, file);
}
