// AVI movies through FFmpeg's libraries (libavformat's AVI muxer, libavcodec's encoders, libswscale for the
// pixel formats). Frames arrive as bottom-up DIBs and are turned the right way up before encoding, so every
// reader shows them as they were drawn. All output goes through the file layer's writer, into a temporary file.
#include "platform/movie_writer.h"

#include <cstdio>
#include <cstring>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
#include <libavutil/opt.h>
#include <libswscale/swscale.h>
}

#include "platform/file_system.h"

namespace kz::platform {

namespace {

// The encoders offered, in the chooser's order, when this FFmpeg has them.
constexpr struct {
    const char* name;
    const char* description;
} kOffered[] = {
    {kUncompressedEncoder, "Full frames (uncompressed)"},
    {"mjpeg", "Motion JPEG"},
    {"mpeg4", "MPEG-4 Part 2"},
    {"msmpeg4v2", "Microsoft MPEG-4 version 2"},
    {"huffyuv", "HuffYUV (lossless)"},
    {"ffv1", "FFV1 (lossless)"},
};

struct FormatCloser {
    void operator()(AVFormatContext* f) const { avformat_free_context(f); }
};
struct CodecCloser {
    void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
struct FrameCloser {
    void operator()(AVFrame* f) const { av_frame_free(&f); }
};
struct PacketCloser {
    void operator()(AVPacket* p) const { av_packet_free(&p); }
};
struct ScaleCloser {
    void operator()(SwsContext* s) const { sws_freeContext(s); }
};
struct IoCloser {
    void operator()(AVIOContext* io) const {
        av_freep(&io->buffer);
        avio_context_free(&io);
    }
};

// Frames the codec takes as they come in these layouts; 1-, 8- and 16-bit frames are widened to 24 bits first.
AVPixelFormat source_format(int bits) { return bits == 32 ? AV_PIX_FMT_BGRA : AV_PIX_FMT_BGR24; }

// One DIB row widened to BGR (3 bytes a pixel), for the bit counts that are not taken as they are.
void widen_row(const std::uint8_t* row, int width, int bits, const std::vector<std::uint32_t>& palette,
               std::uint8_t* out) {
    auto from_palette = [&](unsigned index, std::uint8_t* px) {
        const std::uint32_t q = index < palette.size() ? palette[index] : 0;
        px[0] = q & 0xFF;
        px[1] = (q >> 8) & 0xFF;
        px[2] = (q >> 16) & 0xFF;
    };
    for (int x = 0; x < width; ++x, out += 3) {
        if (bits == 1) {
            from_palette((row[x / 8] >> (7 - x % 8)) & 1, out);
        } else if (bits == 8) {
            from_palette(row[x], out);
        } else {  // 16 bits: x-5-5-5, little-endian
            const unsigned v = row[2 * x] | (row[2 * x + 1] << 8);
            out[0] = static_cast<std::uint8_t>((v & 31) * 255 / 31);
            out[1] = static_cast<std::uint8_t>(((v >> 5) & 31) * 255 / 31);
            out[2] = static_cast<std::uint8_t>(((v >> 10) & 31) * 255 / 31);
        }
    }
}

std::string av_message(int code) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return text;
}

}  // namespace

struct MovieWriter::Impl {
    MovieFrameFormat format;
    std::unique_ptr<FileWriter> file;
    std::unique_ptr<AVIOContext, IoCloser> io;
    std::unique_ptr<AVFormatContext, FormatCloser> muxer;
    std::unique_ptr<AVCodecContext, CodecCloser> encoder;
    std::unique_ptr<AVFrame, FrameCloser> frame;
    std::unique_ptr<AVPacket, PacketCloser> packet;
    std::unique_ptr<SwsContext, ScaleCloser> scale;
    AVStream* stream = nullptr;
    std::vector<std::uint8_t> widened;  // the frame at 24 bits, for 1-, 8- and 16-bit frames
    int count = 0;
    bool failed = false;
    bool finished = false;

    static int write_packet(void* opaque, std::uint8_t* data, int size) {
        auto* self = static_cast<Impl*>(opaque);
        if (!self->file->write(data, static_cast<std::size_t>(size))) {
            self->failed = true;
            return AVERROR(EIO);
        }
        return size;
    }

    static std::int64_t seek(void* opaque, std::int64_t offset, int whence) {
        std::FILE* f = static_cast<Impl*>(opaque)->file->stream();
        if (whence == AVSEEK_SIZE) {
            const off_t here = ftello(f);
            if (fseeko(f, 0, SEEK_END) != 0) return -1;
            const off_t size = ftello(f);
            return fseeko(f, here, SEEK_SET) == 0 ? size : -1;
        }
        if (fseeko(f, offset, whence & ~AVSEEK_FORCE) != 0) return -1;
        return ftello(f);
    }

    // Sends one frame (or, with null, the end) through the encoder and the packets it gives into the file.
    bool encode(AVFrame* input) {
        if (avcodec_send_frame(encoder.get(), input) < 0) return false;
        for (;;) {
            const int got = avcodec_receive_packet(encoder.get(), packet.get());
            if (got == AVERROR(EAGAIN) || got == AVERROR_EOF) return true;
            if (got < 0) return false;
            av_packet_rescale_ts(packet.get(), encoder->time_base, stream->time_base);
            packet->stream_index = stream->index;
            if (av_interleaved_write_frame(muxer.get(), packet.get()) < 0) return false;
        }
    }
};

std::size_t movie_frame_bytes(const MovieFrameFormat& f) {
    const int bits = f.bits_per_pixel;
    if (f.width <= 0 || f.height <= 0 || f.width > 16384 || f.height > 16384) return 0;
    if (bits != 1 && bits != 8 && bits != 16 && bits != 24 && bits != 32) return 0;
    return std::size_t(((std::int64_t(f.width) * bits + 31) / 32) * 4) * std::size_t(f.height);
}

std::vector<MovieEncoder> movie_encoders() {
    std::vector<MovieEncoder> out;
    const AVOutputFormat* avi = av_guess_format("avi", nullptr, nullptr);
    for (const auto& offered : kOffered) {
        const AVCodec* codec = avcodec_find_encoder_by_name(offered.name);
        if (codec && avi && avformat_query_codec(avi, codec->id, FF_COMPLIANCE_NORMAL) == 1)
            out.push_back({offered.name, offered.description});
    }
    return out;
}

MovieWriter::MovieWriter(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
MovieWriter::~MovieWriter() = default;  // an unfinished movie's temporary file goes with the file writer

std::unique_ptr<MovieWriter> MovieWriter::create(std::string_view windows_path, const MovieFrameFormat& format,
                                                 int frames_per_second, std::string_view stream_name,
                                                 const MovieCompression& compression, std::string* error) {
    auto fail = [&](std::string why) -> std::unique_ptr<MovieWriter> {
        if (error) *error = std::move(why);
        return nullptr;
    };
    // FFmpeg's own chatter stays quiet unless something fails.
    if (av_log_get_level() == AV_LOG_INFO) av_log_set_level(AV_LOG_ERROR);
    if (movie_frame_bytes(format) == 0) return fail("frames of this size or bit count cannot be recorded");
    if (frames_per_second <= 0) return fail("the frame rate must be above 0");
    const AVCodec* codec = avcodec_find_encoder_by_name(compression.encoder.c_str());
    if (!codec || codec->type != AVMEDIA_TYPE_VIDEO) return fail("no encoder named " + compression.encoder);

    auto impl = std::make_unique<Impl>();
    impl->format = format;
    impl->file = std::make_unique<FileWriter>(windows_path);
    if (!impl->file->is_open()) return fail("cannot write beside the file");
    AVFormatContext* muxer = nullptr;
    if (avformat_alloc_output_context2(&muxer, nullptr, "avi", nullptr) < 0 || !muxer)
        return fail("no AVI writer in this FFmpeg");
    impl->muxer.reset(muxer);
    constexpr int kBuffer = 1 << 16;
    auto* buffer = static_cast<std::uint8_t*>(av_malloc(kBuffer));
    if (!buffer) return fail("out of memory");
    impl->io.reset(avio_alloc_context(buffer, kBuffer, 1, impl.get(), nullptr, &Impl::write_packet, &Impl::seek));
    if (!impl->io) {
        av_free(buffer);
        return fail("out of memory");
    }
    muxer->pb = impl->io.get();
    muxer->flags |= AVFMT_FLAG_CUSTOM_IO;

    impl->encoder.reset(avcodec_alloc_context3(codec));
    AVCodecContext* enc = impl->encoder.get();
    const AVPixelFormat source = source_format(format.bits_per_pixel);
    AVPixelFormat target = source;
    if (codec->pix_fmts) {
        target = codec->pix_fmts[0];  // the encoder's own first choice, unless it takes the frames as they are
        for (const AVPixelFormat* p = codec->pix_fmts; *p != AV_PIX_FMT_NONE; ++p)
            if (*p == source) target = source;
    }
    enc->width = format.width;
    enc->height = format.height;
    enc->pix_fmt = target;
    enc->time_base = {1, frames_per_second};
    enc->framerate = {frames_per_second, 1};
    if (compression.key_frame_every > 0) enc->gop_size = compression.key_frame_every;
    if (compression.bytes_per_second > 0) {
        enc->bit_rate = std::int64_t(compression.bytes_per_second) * 8;
    } else if (codec->id != AV_CODEC_ID_RAWVIDEO) {
        // Quality 0..10000 onto the quantiser scale 31..2; the default sits near the top.
        const int quality = compression.quality < 0 ? 9000 : std::min(compression.quality, 10000);
        enc->flags |= AV_CODEC_FLAG_QSCALE;
        enc->global_quality = FF_QP2LAMBDA * (31 - quality * 29 / 10000);
    }
    if (muxer->oformat->flags & AVFMT_GLOBALHEADER) enc->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    if (const int r = avcodec_open2(enc, codec, nullptr); r < 0)
        return fail("the encoder " + compression.encoder + " refuses these frames: " + av_message(r));
    impl->stream = avformat_new_stream(muxer, nullptr);
    if (!impl->stream || avcodec_parameters_from_context(impl->stream->codecpar, enc) < 0) return fail("out of memory");
    impl->stream->time_base = enc->time_base;
    impl->stream->avg_frame_rate = enc->framerate;
    const std::string name(stream_name);
    if (!name.empty()) av_dict_set(&impl->stream->metadata, "title", name.c_str(), 0);
    if (const int r = avformat_write_header(muxer, nullptr); r < 0 || impl->failed)
        return fail("cannot write the movie: " + av_message(r));

    impl->frame.reset(av_frame_alloc());
    impl->packet.reset(av_packet_alloc());
    if (!impl->frame || !impl->packet) return fail("out of memory");
    impl->frame->format = target;
    impl->frame->width = format.width;
    impl->frame->height = format.height;
    if (av_frame_get_buffer(impl->frame.get(), 0) < 0) return fail("out of memory");
    impl->scale.reset(sws_getContext(format.width, format.height, source, format.width, format.height, target,
                                     SWS_BICUBIC, nullptr, nullptr, nullptr));
    if (!impl->scale) return fail("no conversion to the encoder's pixels");
    if (format.bits_per_pixel < 24)
        impl->widened.resize(std::size_t(((format.width * 3 + 3) / 4) * 4) * std::size_t(format.height));
    return std::unique_ptr<MovieWriter>(new MovieWriter(std::move(impl)));
}

bool MovieWriter::add_frame(const std::uint8_t* rows, std::size_t size) {
    Impl& m = *impl_;
    const MovieFrameFormat& f = m.format;
    if (m.failed || m.finished || !rows || size < movie_frame_bytes(f)) return false;
    const int in_stride = static_cast<int>(movie_frame_bytes(f) / std::size_t(f.height));
    const std::uint8_t* bottom_up = rows;
    int stride = in_stride;
    if (f.bits_per_pixel < 24) {
        stride = static_cast<int>(m.widened.size() / std::size_t(f.height));
        for (int y = 0; y < f.height; ++y)
            widen_row(rows + std::size_t(y) * in_stride, f.width, f.bits_per_pixel, f.palette,
                      m.widened.data() + std::size_t(y) * stride);
        bottom_up = m.widened.data();
    }
    // The last stored row is the top one: reading from it with a negative stride turns the frame upright.
    const std::uint8_t* top = bottom_up + std::size_t(f.height - 1) * stride;
    const int strides[4] = {-stride, 0, 0, 0};
    const std::uint8_t* planes[4] = {top, nullptr, nullptr, nullptr};
    if (av_frame_make_writable(m.frame.get()) < 0) {
        m.failed = true;
        return false;
    }
    sws_scale(m.scale.get(), planes, strides, 0, f.height, m.frame->data, m.frame->linesize);
    m.frame->pts = m.count;
    if (m.encoder->flags & AV_CODEC_FLAG_QSCALE) m.frame->quality = m.encoder->global_quality;
    if (!m.encode(m.frame.get()) || m.failed) {
        m.failed = true;
        return false;
    }
    ++m.count;
    return true;
}

bool MovieWriter::finish() {
    Impl& m = *impl_;
    if (m.finished) return false;
    m.finished = true;
    if (m.failed || !m.encode(nullptr) || av_write_trailer(m.muxer.get()) < 0) return false;
    avio_flush(m.io.get());
    if (m.failed || m.io->error < 0) return false;
    return m.file->commit();
}

int MovieWriter::frames() const { return impl_->count; }

}  // namespace kz::platform
