// JPEG reading and writing through libjpeg.
//
// libjpeg reports fatal errors by calling error_exit, which here jumps back to the recovery
// point in the function that called setjmp. Those functions hold only trivially destructible
// locals (library structs, raw pointers, integers) besides the file, whose owner is made
// before setjmp in the same frame: the jump lands in its scope and skips no destructor, so
// the file is closed once, when that function returns, on every path. Every path releases
// the library object.
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <mutex>

// jpeglib.h needs size_t and FILE declared first.
#include <jpeglib.h>
// After jpeglib.h, which it needs.
#include <jerror.h>

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

BOOL Decode(CJpegImpl& image, const CString& path, const CJpegReadOptions& options) {
    CFileStream file(OpenFileForRead(path));
    if (!file) return FALSE;
    jpeg_decompress_struct cinfo;
    ErrorRecord err;
    ProgressRecord progress{};
    cinfo.err = jpeg_std_error(&err.pub);
    err.pub.error_exit = JumpToRecovery;
    if (setjmp(err.recovery)) {
        jpeg_destroy_decompress(&cinfo);
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
    jpeg_stdio_src(&cinfo, file.Get());
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
        return FALSE;
    }

    jpeg_start_decompress(&cinfo);

    if (cinfo.output_components != 1 ||
        image.Create(int32_t(cinfo.output_width), int32_t(cinfo.output_height),
                     8 * cinfo.output_components, -1) == 0) {
        jpeg_destroy_decompress(&cinfo);
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
    return TRUE;
}

BOOL Encode(CJpegImpl& image, const CString& path) {
    CFileStream file(CreateFileForWrite(path));
    if (!file) return FALSE;
    jpeg_compress_struct cinfo;
    ErrorRecord err;
    cinfo.err = jpeg_std_error(&err.pub);
    err.pub.error_exit = JumpToRecovery;
    if (setjmp(err.recovery)) {
        jpeg_destroy_compress(&cinfo);
        return FALSE;
    }
    jpeg_create_compress(&cinfo);
    jpeg_stdio_dest(&cinfo, file.Get());
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
    jpeg_destroy_compress(&cinfo);
    // The library flushed its buffer; a failure the system holds back until the close is
    // still a failed write.
    return file.Close() ? TRUE : FALSE;
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
    CFileStream file(OpenFileForRead(path));
    if (!file) return FALSE;
    jpeg_decompress_struct cinfo;
    ErrorRecord err;
    cinfo.err = jpeg_std_error(&err.pub);
    err.pub.error_exit = JumpToRecovery;
    if (setjmp(err.recovery)) {
        jpeg_destroy_decompress(&cinfo);
        return FALSE;
    }
    jpeg_create_decompress(&cinfo);
    jpeg_stdio_src(&cinfo, file.Get());
    jpeg_read_header(&cinfo, TRUE);
    header->width = int32_t(cinfo.image_width);
    header->height = int32_t(cinfo.image_height);
    header->gray = cinfo.jpeg_color_space == JCS_GRAYSCALE;
    jpeg_destroy_decompress(&cinfo);
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
    return Decode(*this, fileName, options);
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
    return Encode(*this, fileName);
}

#ifdef _WIN32
// libjpeg's memory on Windows, in place of the library's own malloc and free (the static
// library leaves these to the program). The process heap hands every large block back to the
// system when it is freed, and under Wine that remaps the range, a TLB shootdown across the
// process's threads, at each frame's whole-frame buffer: a third of a decode's time on a
// two-core machine. A few freed large blocks are kept for the next decode, as glibc's heap
// does for the same buffers on Linux.
namespace {

constexpr size_t kKeepFrom = 256 * 1024;
constexpr size_t kKeepUpTo = 16 * 1024 * 1024;  // a 1920x1080 frame's buffer is 6 MiB
constexpr int kKept = 2;                        // the worker's decode and one ahead

struct CKeptBlocks {
    std::mutex lock;
    void* block[kKept] = {};
    size_t size[kKept] = {};
    ~CKeptBlocks() {
        for (void* b : block) std::free(b);
    }
};
CKeptBlocks& Kept() {
    static CKeptBlocks kept;
    return kept;
}

}  // namespace

extern "C" {

void* jpeg_get_small(j_common_ptr, size_t bytes) {
    return std::malloc(bytes);
}

void jpeg_free_small(j_common_ptr, void* object, size_t) {
    std::free(object);
}

void* jpeg_get_large(j_common_ptr, size_t bytes) {
    if (bytes >= kKeepFrom && bytes <= kKeepUpTo) {
        CKeptBlocks& kept = Kept();
        std::lock_guard<std::mutex> hold(kept.lock);
        for (int i = 0; i < kKept; ++i) {
            if (kept.block[i] != nullptr && kept.size[i] == bytes) {
                void* b = kept.block[i];
                kept.block[i] = nullptr;
                return b;
            }
        }
    }
    return std::malloc(bytes);
}

void jpeg_free_large(j_common_ptr, void* object, size_t bytes) {
    if (object != nullptr && bytes >= kKeepFrom && bytes <= kKeepUpTo) {
        CKeptBlocks& kept = Kept();
        std::lock_guard<std::mutex> hold(kept.lock);
        // An empty slot, else the one held longest gives way.
        int slot = 0;
        while (slot < kKept - 1 && kept.block[slot] != nullptr) ++slot;
        std::free(kept.block[slot]);
        kept.block[slot] = object;
        kept.size[slot] = bytes;
        return;
    }
    std::free(object);
}

size_t jpeg_mem_available(j_common_ptr cinfo, size_t, size_t max_bytes_needed,
                          size_t already_allocated) {
    const size_t limit = size_t(cinfo->mem->max_memory_to_use);
    if (limit == 0) return max_bytes_needed;
    return limit > already_allocated ? limit - already_allocated : 0;
}

// No backing store: a frame too large for memory fails, as with the library's own.
void jpeg_open_backing_store(j_common_ptr cinfo, void*, long) {
    cinfo->err->msg_code = JERR_NO_BACKING_STORE;
    (*cinfo->err->error_exit)(cinfo);
}

long jpeg_mem_init(j_common_ptr) {
    return 0;
}

void jpeg_mem_term(j_common_ptr) {}

}  // extern "C"
#endif
