// JPEG files through libjpeg-turbo (Linux), a scanline at a time onto the
// canvas.
//
// libjpeg reports a fatal error through error_exit, which by default ends
// the process; here it jumps back to decodeWithJumps instead. The jump skips
// only libjpeg's own frames and helpers that own nothing, so no destructor is
// passed over: everything with one lives in JpegSession, outside the frame
// that set the jump. A warning that means missing or corrupt data ends the
// decode the same way, so no picture is ever half read in silence.
#include <csetjmp>
#include <cstdio>
#include <vector>

#include <jpeglib.h>
// After jpeglib.h, which it needs.
#include <jerror.h>

#include "interchange/PictureCodecs.h"
#include "interchange/PixelRows.h"

namespace ferrovel {
namespace {

// Coefficient buffers of a progressive file are the largest allocation; this
// bounds them (and all other libjpeg memory) above the largest canvas.
constexpr long kJpegMemory = 768L << 20;
// A progressive file may hold any number of scans, each of which costs a pass
// over the coefficients; real encoders write about ten.
constexpr int kMostScans = 500;

struct JpegErrors {
    jpeg_error_mgr manager;  // first, so that libjpeg's pointer is ours too
    std::jmp_buf jump;
    PictureProblem problem = PictureProblem::Damaged;
};

struct JpegSession {
    jpeg_decompress_struct info{};
    JpegErrors errors{};
    jpeg_progress_mgr progress{};
    std::vector<std::uint8_t> row, bgr;
};

JpegErrors& errorsOf(j_common_ptr info) {
    return *reinterpret_cast<JpegErrors*>(info->err);
}

PictureProblem problemOfError(int code) {
    switch (code) {
        case JERR_OUT_OF_MEMORY:
        case JERR_NO_BACKING_STORE:
            return PictureProblem::NoMemory;
        case JERR_IMAGE_TOO_BIG:
            return PictureProblem::TooLarge;
        case JERR_INPUT_EOF:
        case JWRN_JPEG_EOF:
            return PictureProblem::Truncated;
        case JERR_BAD_PRECISION:
        case JERR_NOT_COMPILED:
        case JERR_CONVERSION_NOTIMPL:
            return PictureProblem::Unsupported;
        default:
            return PictureProblem::Damaged;
    }
}

[[noreturn]] void stop(j_common_ptr info, PictureProblem problem) {
    JpegErrors& errors = errorsOf(info);
    errors.problem = problem;
    std::longjmp(errors.jump, 1);
}

[[noreturn]] void onError(j_common_ptr info) {
    stop(info, problemOfError(info->err->msg_code));
}

// Level -1 is a warning about the data; the harmless ones are let through.
void onMessage(j_common_ptr info, int level) {
    if (level >= 0) return;
    switch (info->err->msg_code) {
        case JWRN_EXTRANEOUS_DATA:
        case JWRN_ADOBE_XFORM:
        case JWRN_JFIF_MAJOR:
        case JWRN_BOGUS_ICC:
            return;
        default:
            stop(info, problemOfError(info->err->msg_code));
    }
}

void onProgress(j_common_ptr info) {
    const auto* decompress = reinterpret_cast<j_decompress_ptr>(info);
    if (decompress->input_scan_number > kMostScans) stop(info, PictureProblem::Unsupported);
}

bool isCmyk(const jpeg_decompress_struct& info) {
    return info.jpeg_color_space == JCS_CMYK || info.jpeg_color_space == JCS_YCCK;
}

// Only trivially destructible locals between here and libjpeg.
void readScanlines(JpegSession& session, PictureCanvas& canvas) {
    jpeg_decompress_struct& info = session.info;
    const auto width = static_cast<std::int32_t>(info.output_width);
    JSAMPROW row = session.row.data();
    while (info.output_scanline < info.output_height) {
        const auto y = static_cast<std::int32_t>(info.output_scanline);
        if (jpeg_read_scanlines(&info, &row, 1) != 1)
            stop(reinterpret_cast<j_common_ptr>(&info), PictureProblem::Damaged);
        if (isCmyk(info)) {
            invertedCmykToBgr(row, width, session.bgr.data());
            placeRow(canvas, y, 0, 1, session.bgr.data(), width);
        } else {
            placeRow(canvas, y, 0, 1, row, width);
        }
    }
}

PictureProblem decodeWithJumps(JpegSession& session, std::span<const std::uint8_t> bytes,
                               PictureCanvas& canvas) {
    jpeg_decompress_struct& info = session.info;
    if (setjmp(session.errors.jump)) return session.errors.problem;
    jpeg_create_decompress(&info);
    info.mem->max_memory_to_use = kJpegMemory;
    session.progress.progress_monitor = onProgress;
    info.progress = &session.progress;
    jpeg_mem_src(&info, bytes.data(), static_cast<unsigned long>(bytes.size()));
    jpeg_read_header(&info, TRUE);
    const CanvasOpen open = openPictureCanvas(canvas, info.image_width, info.image_height);
    if (open != CanvasOpen::Opened) return problemOf(open);
    // Adobe's inverted CMYK is converted here; everything else by libjpeg.
    info.out_color_space = isCmyk(info) ? JCS_CMYK : JCS_EXT_BGR;
    jpeg_start_decompress(&info);
    session.row.resize(std::size_t{info.output_width} * 4);
    session.bgr.resize(std::size_t{info.output_width} * 3);
    readScanlines(session, canvas);
    jpeg_finish_decompress(&info);
    return PictureProblem::None;
}

}  // namespace

PictureProblem decodeJpeg(std::span<const std::uint8_t> bytes, PictureCanvas& canvas) {
    JpegSession session;
    session.info.err = jpeg_std_error(&session.errors.manager);
    session.errors.manager.error_exit = onError;
    session.errors.manager.emit_message = onMessage;
    PictureProblem problem;
    try {
        problem = decodeWithJumps(session, bytes, canvas);
    } catch (const std::bad_alloc&) {
        problem = PictureProblem::NoMemory;
    }
    jpeg_destroy_decompress(&session.info);
    return problem;
}

}  // namespace ferrovel
