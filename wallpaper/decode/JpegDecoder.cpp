#include "wallpaper/decode/JpegDecoder.h"

#include <QFileDevice>
#include <QIODevice>
#include <QImage>
#include <QTransform>
#include <algorithm>
#include <array>
#include <climits>
#include <csetjmp>
#include <cstdio>  // jpeglib.h needs FILE and size_t declared first
#include <cstring>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

// clang-format off
#include <jpeglib.h>
#include <jerror.h>
// clang-format on

#include "support/errors/Errors.h"
#include "wallpaper/decode/ImageDecoding.h"
#include "wallpaper/decode/JpegDcScan.h"
#include "wallpaper/decode/Resample.h"
#include "wallpaper/decode/RowPipeline.h"

// libjpeg reports a fatal error by calling back and never returning; the callback jumps back
// to the setjmp in the function that called into the library. Only trivially destructible
// objects are created between a setjmp and the calls that may jump back to it.

namespace tavrino {

namespace {

// A progressive picture has about ten scans; a hostile one can have many thousands, each of
// which walks the whole picture.
constexpr int kMaxScans = 1000;
constexpr std::size_t kChunk = std::size_t{64} * 1024;

#if Q_BYTE_ORDER == Q_LITTLE_ENDIAN
constexpr J_COLOR_SPACE kRgb32 = JCS_EXT_BGRX;  // QImage::Format_RGB32 as bytes
#else
constexpr J_COLOR_SPACE kRgb32 = JCS_EXT_XRGB;
#endif

struct ErrorManager {
    jpeg_error_mgr pub{};
    std::jmp_buf jump{};
    std::array<char, JMSG_LENGTH_MAX> message{};
    bool outOfMemory = false;
};

ErrorManager& ErrorsOf(j_common_ptr info) {
    // pub is the first member of a standard-layout struct.
    return *reinterpret_cast<ErrorManager*>(info->err);
}

[[noreturn]] void OnError(j_common_ptr info) {
    ErrorManager& errors = ErrorsOf(info);
    (*info->err->format_message)(info, errors.message.data());
    errors.outOfMemory =
        info->err->msg_code == JERR_OUT_OF_MEMORY || info->err->msg_code == JERR_NO_BACKING_STORE;
    std::longjmp(errors.jump, 1);
}

[[noreturn]] void Fail(j_common_ptr info, const char* why) {
    ErrorManager& errors = ErrorsOf(info);
    (void)std::snprintf(errors.message.data(), errors.message.size(), "%s", why);
    std::longjmp(errors.jump, 1);
}

void OnMessage(j_common_ptr info, int level) {
    // A picture cut short is filled with grey and only warned about: refuse it. Other
    // warnings (stray bytes, a damaged segment) leave a picture that mostly shows, and it is
    // shown, as every viewer does.
    if (level < 0 && info->err->msg_code == JWRN_JPEG_EOF) {
        Fail(info, kTruncatedPicture);
    }
}

void OnProgress(j_common_ptr info) {
    if (info->is_decompressor != 0 &&
        reinterpret_cast<j_decompress_ptr>(info)->input_scan_number > kMaxScans) {
        Fail(info, "too many scans");
    }
}

// Reads the device in chunks, so memory does not grow with the file.
struct Source {
    jpeg_source_mgr pub{};
    QIODevice* device = nullptr;
    std::array<JOCTET, kChunk> buffer{};
    std::array<JOCTET, 2> endOfImage{0xFF, JPEG_EOI};
};

Source& SourceOf(j_decompress_ptr info) {
    return *reinterpret_cast<Source*>(info->src);
}

void InitSource(j_decompress_ptr /*info*/) {}
void TermSource(j_decompress_ptr /*info*/) {}

boolean FillInput(j_decompress_ptr info) {
    Source& source = SourceOf(info);
    const qint64 got = source.device->read(reinterpret_cast<char*>(source.buffer.data()),
                                           static_cast<qint64>(source.buffer.size()));
    if (got <= 0) {
        info->err->msg_code = JWRN_JPEG_EOF;
        (*info->err->emit_message)(reinterpret_cast<j_common_ptr>(info), -1);  // jumps
        source.pub.next_input_byte = source.endOfImage.data();
        source.pub.bytes_in_buffer = source.endOfImage.size();
        return TRUE;
    }
    source.pub.next_input_byte = source.buffer.data();
    source.pub.bytes_in_buffer = static_cast<std::size_t>(got);
    return TRUE;
}

void SkipInput(j_decompress_ptr info, long count) {
    if (count <= 0) {
        return;
    }
    Source& source = SourceOf(info);
    auto left = static_cast<std::size_t>(count);
    while (left > source.pub.bytes_in_buffer) {
        left -= source.pub.bytes_in_buffer;
        FillInput(info);
    }
    source.pub.next_input_byte += left;
    source.pub.bytes_in_buffer -= left;
}

// The orientation tag of the first EXIF block, as Qt's own JPEG reader maps it.
QImageIOHandler::Transformations OrientationOf(jpeg_saved_marker_ptr marker) {
    using T = QImageIOHandler::Transformation;
    for (; marker != nullptr; marker = marker->next) {
        constexpr std::size_t kExifHeader = 6;
        if (marker->marker != JPEG_APP0 + 1 || marker->data_length < kExifHeader + 8 ||
            std::memcmp(marker->data, "Exif\0\0", kExifHeader) != 0) {
            continue;
        }
        const JOCTET* tiff = marker->data + kExifHeader;
        const std::size_t size = marker->data_length - kExifHeader;
        bool little = false;
        if (tiff[0] == 'I' && tiff[1] == 'I') {
            little = true;
        } else if (tiff[0] != 'M' || tiff[1] != 'M') {
            return T::TransformationNone;
        }
        const auto read = [&](std::size_t at, int bytes) {
            unsigned long value = 0;
            for (int i = 0; i < bytes; ++i) {
                const JOCTET b = tiff[at + static_cast<std::size_t>(little ? bytes - 1 - i : i)];
                value = (value << 8U) | b;
            }
            return value;
        };
        if (read(2, 2) != 42) {
            return T::TransformationNone;
        }
        const unsigned long directory = read(4, 4);
        if (directory > size - 2) {
            return T::TransformationNone;
        }
        const unsigned long entries = read(directory, 2);
        for (unsigned long i = 0; i < entries; ++i) {
            const std::size_t entry = directory + 2 + 12 * i;
            if (entry + 12 > size) {
                break;
            }
            constexpr unsigned long kOrientation = 0x0112;
            constexpr unsigned long kShort = 3;
            if (read(entry, 2) != kOrientation) {
                continue;
            }
            if (read(entry + 2, 2) != kShort) {
                return T::TransformationNone;
            }
            switch (read(entry + 8, 2)) {
                case 2:
                    return T::TransformationMirror;
                case 3:
                    return T::TransformationRotate180;
                case 4:
                    return T::TransformationFlip;
                case 5:
                    return T::TransformationFlipAndRotate90;
                case 6:
                    return T::TransformationRotate90;
                case 7:
                    return T::TransformationMirrorAndRotate90;
                case 8:
                    return T::TransformationRotate270;
                default:
                    return T::TransformationNone;
            }
        }
        return T::TransformationNone;
    }
    return T::TransformationNone;
}

[[noreturn]] void Raise(const ErrorManager& errors) {
    if (errors.outOfMemory) {
        throw Error(errnum::OutOfMemory, std::string(DefaultDescription(errnum::OutOfMemory)) +
                                             " (" + errors.message.data() + ")");
    }
    ThrowInvalidPicture(errors.message.data());
}

long MemoryLimit(qint64 limit) {
    // libjpeg counts in long, which has 32 bits on Windows.
    return static_cast<long>(std::clamp<qint64>(limit, 1, LONG_MAX));
}

}  // namespace

struct JpegDecoder::State {
    jpeg_decompress_struct info{};
    ErrorManager errors;
    Source source;
    jpeg_progress_mgr progress{};
    bool created = false;
    bool used = false;
    qint64 memoryLimit = 0;
    QImageIOHandler::Transformations orientation;

    State() = default;
    State(const State&) = delete;
    State& operator=(const State&) = delete;
    ~State() {
        if (created) {
            jpeg_destroy_decompress(&info);
        }
    }

    j_common_ptr Common() { return reinterpret_cast<j_common_ptr>(&info); }
    void SetOutput(QSize wanted);
    bool ReadDcOnly(RowPipeline& rows);
    void Read(RowPipeline& rows);
};

JpegDecoder::JpegDecoder(QIODevice& device, qint64 memoryLimit)
    : state_(std::make_unique<State>()) {
    State& s = *state_;
    s.info.err = jpeg_std_error(&s.errors.pub);
    s.errors.pub.error_exit = OnError;
    s.errors.pub.emit_message = OnMessage;
    s.source.device = &device;
    s.memoryLimit = memoryLimit;
    s.source.pub.init_source = InitSource;
    s.source.pub.fill_input_buffer = FillInput;
    s.source.pub.skip_input_data = SkipInput;
    s.source.pub.resync_to_restart = jpeg_resync_to_restart;
    s.source.pub.term_source = TermSource;
    s.progress.progress_monitor = OnProgress;
    if (setjmp(s.errors.jump) != 0) {
        Raise(s.errors);
    }
    jpeg_CreateDecompress(&s.info, JPEG_LIB_VERSION, sizeof s.info);
    s.created = true;
    s.info.mem->max_memory_to_use = MemoryLimit(memoryLimit);
    s.info.src = &s.source.pub;
    s.info.progress = &s.progress;
    jpeg_save_markers(&s.info, JPEG_APP0 + 1, 0xFFFF);
    jpeg_read_header(&s.info, TRUE);
    s.orientation = OrientationOf(s.info.marker_list);
}

JpegDecoder::~JpegDecoder() = default;

QSize JpegDecoder::StoredSize() const {
    return {static_cast<int>(state_->info.image_width),
            static_cast<int>(state_->info.image_height)};
}

QImageIOHandler::Transformations JpegDecoder::Orientation() const {
    return state_->orientation;
}

void JpegDecoder::State::SetOutput(QSize wanted) {
    if (setjmp(errors.jump) != 0) {
        Raise(errors);
    }
    // The smallest eighth that is still no smaller than wanted: the decoder's scaled inverse
    // DCT is nearly free and the filter does the rest.
    unsigned eighths = 1;
    while (eighths < 8 &&
           ((info.image_width * eighths + 7) / 8 < static_cast<unsigned>(wanted.width()) ||
            (info.image_height * eighths + 7) / 8 < static_cast<unsigned>(wanted.height()))) {
        ++eighths;
    }
    info.scale_num = eighths;
    info.scale_denom = 8;
    info.dct_method = JDCT_ISLOW;
    info.do_fancy_upsampling = TRUE;
    // Four-colour pictures come as CMYK and are turned into RGB below.
    info.out_color_space =
        info.jpeg_color_space == JCS_CMYK || info.jpeg_color_space == JCS_YCCK ? JCS_CMYK : kRgb32;
    jpeg_calc_output_dimensions(&info);
}

// At an eighth of the size, a baseline picture in one scan is read for its DC coefficients
// alone, on two cores (see JpegDcScan.h), from the rest of the file mapped into memory.
// Anything that is not such a picture, or not a clean one, is left to libjpeg from where it
// stopped.
bool JpegDecoder::State::ReadDcOnly(RowPipeline& rows) {
    const bool grey = info.num_components == 1 && info.jpeg_color_space == JCS_GRAYSCALE;
    const bool ycc = info.num_components == 3 && info.jpeg_color_space == JCS_YCbCr;
    QIODevice& device = *source.device;
    if (info.scale_num != 1 || info.scale_denom != 8 || (!grey && !ycc) ||
        info.progressive_mode != 0 || info.arith_code != 0 || info.data_precision != 8 ||
        info.restart_interval != 0 || info.comps_in_scan != info.num_components || info.Ss != 0 ||
        info.Se != DCTSIZE2 - 1 || info.Ah != 0 || info.Al != 0 || device.isSequential()) {
        return false;
    }
    DcScanHeader header;
    header.width = static_cast<int>(info.image_width);
    header.height = static_cast<int>(info.image_height);
    for (int ci = 0; ci < info.num_components; ++ci) {
        const jpeg_component_info& c = info.comp_info[ci];
        // The file gives the table numbers; libjpeg checks them only once it starts decoding.
        if (c.dc_tbl_no < 0 || c.dc_tbl_no >= NUM_HUFF_TBLS || c.ac_tbl_no < 0 ||
            c.ac_tbl_no >= NUM_HUFF_TBLS || c.quant_tbl_no < 0 ||
            c.quant_tbl_no >= NUM_QUANT_TBLS) {
            return false;
        }
        const JHUFF_TBL* dc = info.dc_huff_tbl_ptrs[c.dc_tbl_no];
        const JHUFF_TBL* ac = info.ac_huff_tbl_ptrs[c.ac_tbl_no];
        const JQUANT_TBL* quant = info.quant_tbl_ptrs[c.quant_tbl_no];
        if (dc == nullptr || ac == nullptr || quant == nullptr) {
            return false;  // tables the decoder fills in for motion JPEG
        }
        header.components.push_back({c.h_samp_factor, c.v_samp_factor, dc->bits, dc->huffval,
                                     ac->bits, ac->huffval, quant->quantval});
        header.scanOrder.at(static_cast<std::size_t>(ci)) = info.cur_comp_info[ci]->component_index;
    }
    // The scan's bytes run from what libjpeg holds of them to the end of the file. A file is
    // mapped rather than read: fresh memory is what the time would go on. (A file cut short
    // while mapped ends the decoding process with SIGBUS, which is reported like any crash;
    // Windows refuses to cut a mapped file.)
    const qint64 at = device.pos();
    const auto held = static_cast<qint64>(source.pub.bytes_in_buffer);
    const qint64 size = device.size() - at + held;
    if (device.size() - at < 0 || size > memoryLimit / 4) {
        return false;
    }
    try {
        auto* file = qobject_cast<QFileDevice*>(&device);
        if (uchar* mapped = file != nullptr ? file->map(at - held, size) : nullptr) {
            const bool read = DecodeDcEighth(header, mapped, static_cast<std::size_t>(size), rows);
            file->unmap(mapped);
            return read;
        }
        const auto data =
            std::make_unique_for_overwrite<std::uint8_t[]>(static_cast<std::size_t>(size));
        std::memcpy(data.get(), source.pub.next_input_byte, static_cast<std::size_t>(held));
        if (device.read(reinterpret_cast<char*>(data.get()) + held, size - held) == size - held &&
            DecodeDcEighth(header, data.get(), static_cast<std::size_t>(size), rows)) {
            return true;
        }
    } catch (const std::bad_alloc&) {
        // libjpeg needs less.
    }
    device.seek(at);
    return false;
}

void JpegDecoder::State::Read(RowPipeline& rows) {
    if (setjmp(errors.jump) != 0) {
        Raise(errors);
    }
    jpeg_start_decompress(&info);
    const bool cmyk = info.out_color_space == JCS_CMYK;
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = rows.Row();
        if (jpeg_read_scanlines(&info, &row, 1) != 1) {
            continue;
        }
        if (cmyk) {
            // Adobe's four-colour JPEGs store the inks inverted, which is what every decoder
            // assumes.
            for (JDIMENSION x = 0; x < info.output_width; ++x) {
                JOCTET* p = row + std::size_t{x} * 4;
                const unsigned k = p[3];
                const QRgb rgb =
                    qRgb(static_cast<int>(k * p[0] / 255), static_cast<int>(k * p[1] / 255),
                         static_cast<int>(k * p[2] / 255));
                std::memcpy(p, &rgb, sizeof rgb);
            }
        }
        rows.Push();
    }
    jpeg_finish_decompress(&info);
}

void JpegDecoder::DecodeInto(QImage& image) {
    State& s = *state_;
    if (s.used || image.isNull() || image.format() != QImage::Format_RGB32) {
        throw std::logic_error("JpegDecoder::DecodeInto: used twice or not an RGB32 image");
    }
    s.used = true;
    s.SetOutput(image.size());
    RowResampler resampler(
        static_cast<int>(s.info.output_width), static_cast<int>(s.info.output_height),
        PixelView{image.bits(), image.width(), image.height(), image.bytesPerLine()});
    RowPipeline rows(resampler, std::size_t{s.info.output_width} * 4);
    if (!s.ReadDcOnly(rows)) {
        s.Read(rows);
    }
    rows.Finish();
}

QImage JpegDecoder::Oriented(const QImage& image, QImageIOHandler::Transformations turn) {
    using T = QImageIOHandler::Transformation;
    QImage result = image;
    if (turn.testFlag(T::TransformationMirror) || turn.testFlag(T::TransformationFlip)) {
        result = result.mirrored(turn.testFlag(T::TransformationMirror),
                                 turn.testFlag(T::TransformationFlip));
    }
    if (turn.testFlag(T::TransformationRotate90)) {
        result = result.transformed(QTransform().rotate(90));
    }
    if (result.isNull()) {
        throw Error(errnum::OutOfMemory);
    }
    return result;
}

}  // namespace tavrino
