// av_support.cpp: byte I/O for libavformat over descriptors and memory, the movie encoder list and
// the choice of picture formats.
#include "composer/av_support.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <string>
#include <string_view>
#include <tuple>

namespace tsv::av {
namespace {

constexpr int kIoBufferBytes = 64 * 1024;

int ReadPacket(void* opaque, uint8_t* buffer, int size) {
  auto& endpoint = *static_cast<ByteEndpoint*>(opaque);
  if (size <= 0) return 0;
  if (endpoint.descriptor < 0) {
    const int64_t left = int64_t(endpoint.memory.size()) - endpoint.position;
    if (left <= 0) return AVERROR_EOF;
    const int n = int(std::min<int64_t>(left, size));
    std::memcpy(buffer, endpoint.memory.data() + endpoint.position, size_t(n));
    endpoint.position += n;
    return n;
  }
  for (;;) {
    const ssize_t n = ::read(endpoint.descriptor, buffer, size_t(size));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return AVERROR(EIO);
    if (n == 0) return AVERROR_EOF;
    return int(n);
  }
}

// FFmpeg 5 passes a mutable buffer to the writer, later releases a const one; both convert.
int WritePacket(void* opaque, const uint8_t* buffer, int size) {
  auto& endpoint = *static_cast<ByteEndpoint*>(opaque);
  if (endpoint.failed || endpoint.descriptor < 0) return AVERROR(EIO);
  size_t done = 0;
  while (done < size_t(size)) {
    const ssize_t n = ::write(endpoint.descriptor, buffer + done, size_t(size) - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      endpoint.failed = true;
      return AVERROR(EIO);
    }
    done += size_t(n);
  }
  return size;
}
int WritePacketMutable(void* opaque, uint8_t* buffer, int size) { return WritePacket(opaque, buffer, size); }

int64_t Seek(void* opaque, int64_t offset, int whence) {
  auto& endpoint = *static_cast<ByteEndpoint*>(opaque);
  whence &= ~AVSEEK_FORCE;
  if (endpoint.descriptor < 0) {
    const int64_t size = int64_t(endpoint.memory.size());
    if (whence == AVSEEK_SIZE) return size;
    int64_t target = offset;
    if (whence == SEEK_CUR) {
      target = endpoint.position + offset;
    } else if (whence == SEEK_END) {
      target = size + offset;
    } else if (whence != SEEK_SET) {
      return AVERROR(EINVAL);
    }
    if (target < 0 || target > size) return AVERROR(EINVAL);
    endpoint.position = target;
    return target;
  }
  if (whence == AVSEEK_SIZE) {
    struct stat info;
    if (::fstat(endpoint.descriptor, &info) != 0 || !S_ISREG(info.st_mode)) return AVERROR(ENOSYS);
    return int64_t(info.st_size);
  }
  if (whence != SEEK_SET && whence != SEEK_CUR && whence != SEEK_END) return AVERROR(EINVAL);
  const off_t at = ::lseek(endpoint.descriptor, off_t(offset), whence);
  return at < 0 ? AVERROR(errno) : int64_t(at);
}

IoContextPtr MakeIo(ByteEndpoint& endpoint, bool writing) {
  auto* buffer = static_cast<unsigned char*>(av_malloc(kIoBufferBytes));
  if (buffer == nullptr) return nullptr;
  AVIOContext* io = avio_alloc_context(buffer, kIoBufferBytes, writing ? 1 : 0, &endpoint,
                                       writing ? nullptr : ReadPacket,
                                       writing ? WritePacketMutable : nullptr, Seek);
  if (io == nullptr) {
    av_free(buffer);
    return nullptr;
  }
  return IoContextPtr(io);
}

bool UsableOutputFormat(AVPixelFormat format) {
  const AVPixFmtDescriptor* d = av_pix_fmt_desc_get(format);
  if (d == nullptr) return false;
  if (d->flags & (AV_PIX_FMT_FLAG_HWACCEL | AV_PIX_FMT_FLAG_PAL | AV_PIX_FMT_FLAG_BITSTREAM)) return false;
  if (d->nb_components < 3) return false;  // a grey movie would lose the colours
  return sws_isSupportedOutput(format) > 0;
}

// Encoders that only work with a device or an operating system service behind them, and those the
// library itself marks experimental (they refuse to open at the normal strictness).
bool NeedsSpecialSupport(const AVCodec* codec) {
  if (codec->capabilities & (AV_CODEC_CAP_HARDWARE | AV_CODEC_CAP_HYBRID | AV_CODEC_CAP_EXPERIMENTAL)) return true;
  if (avcodec_get_hw_config(codec, 0) != nullptr) return true;
  // Software libraries are named "lib..." (libx264, libvpx); other wrappers (v4l2m2m, mediacodec,
  // videotoolbox) hand the work to the system or its hardware. The OpenMAX encoders carry no
  // wrapper name in every release, only their "_omx" ending.
  const std::string_view name = codec->name;
  if (name.size() > 4 && name.substr(name.size() - 4) == "_omx") return true;
  return codec->wrapper_name != nullptr && std::strncmp(codec->wrapper_name, "lib", 3) != 0;
}

bool HasUsableFormat(const AVCodec* codec) {
  if (codec->pix_fmts == nullptr) return true;  // takes any: we give it RGB
  for (const AVPixelFormat* f = codec->pix_fmts; *f != AV_PIX_FMT_NONE; ++f) {
    if (UsableOutputFormat(*f)) return true;
  }
  return false;
}

int DiscardBytes(void*, uint8_t*, int size) { return size; }
int64_t PretendSeek(void*, int64_t offset, int whence) { return whence == AVSEEK_SIZE ? -1 : offset; }

// Whether the mov muxer sets up a track of the codec. Its tag table names more codecs than it
// writes into a QuickTime movie (VP8, VP9 and AV1 only go into MP4), and only setting the muxer
// up tells. Nothing is written: the output discards its bytes. The size is one every codec
// takes (DV has fixed sizes).
bool MovMuxerTakes(const AVOutputFormat* mov, AVCodecID id) {
  AVFormatContext* format = nullptr;
  if (avformat_alloc_output_context2(&format, mov, nullptr, nullptr) < 0 || format == nullptr) return false;
  bool takes = false;
  auto* buffer = static_cast<unsigned char*>(av_malloc(kIoBufferBytes));
  AVIOContext* io = buffer != nullptr ? avio_alloc_context(buffer, kIoBufferBytes, 1, nullptr, nullptr,
                                                             DiscardBytes, PretendSeek)
                                      : nullptr;
  AVStream* stream = io != nullptr ? avformat_new_stream(format, nullptr) : nullptr;
  if (stream != nullptr) {
    format->pb = io;
    format->flags |= AVFMT_FLAG_CUSTOM_IO;
    stream->codecpar->codec_type = AVMEDIA_TYPE_VIDEO;
    stream->codecpar->codec_id = id;
    stream->codecpar->width = 720;
    stream->codecpar->height = 480;
    stream->time_base = AVRational{1, 600};
    takes = avformat_init_output(format, nullptr) >= 0;
  }
  avformat_free_context(format);
  if (io != nullptr) {
    av_freep(&io->buffer);
    avio_context_free(&io);
  } else {
    av_free(buffer);
  }
  return takes;
}

std::string Lower(const char* text) {
  std::string s = text != nullptr ? text : "";
  for (char& c : s) c = char(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

}  // namespace

void QuietLibraryLog() { av_log_set_level(AV_LOG_QUIET); }

void IoContextFree::operator()(AVIOContext* io) const {
  if (io == nullptr) return;
  av_freep(&io->buffer);
  avio_context_free(&io);
}

IoContextPtr MakeReadingIo(ByteEndpoint& endpoint) { return MakeIo(endpoint, false); }
IoContextPtr MakeWritingIo(ByteEndpoint& endpoint) { return MakeIo(endpoint, true); }

const AVOutputFormat* MovMuxer() { return av_guess_format("mov", nullptr, nullptr); }

uint32_t MovCodecTag(AVCodecID id) {
  const AVOutputFormat* mov = MovMuxer();
  if (mov == nullptr || mov->codec_tag == nullptr) return 0;
  const unsigned tag = av_codec_get_tag(mov->codec_tag, id);
  // The library keeps tags with the first letter in the lowest byte.
  return (tag & 0xFFu) << 24 | (tag >> 8 & 0xFFu) << 16 | (tag >> 16 & 0xFFu) << 8 | (tag >> 24 & 0xFFu);
}

std::vector<const AVCodec*> MovieEncoderCodecs() {
  QuietLibraryLog();  // the muxer says why it refuses a codec
  std::vector<const AVCodec*> chosen;
  std::vector<AVCodecID> refused;
  const AVOutputFormat* mov = MovMuxer();
  if (mov == nullptr) return chosen;
  void* iterator = nullptr;
  while (const AVCodec* codec = av_codec_iterate(&iterator)) {
    if (!av_codec_is_encoder(codec) || codec->type != AVMEDIA_TYPE_VIDEO) continue;
    if (NeedsSpecialSupport(codec) || !HasUsableFormat(codec)) continue;
    if (avformat_query_codec(mov, codec->id, FF_COMPLIANCE_NORMAL) != 1 || MovCodecTag(codec->id) == 0) continue;
    auto same = std::find_if(chosen.begin(), chosen.end(), [&](const AVCodec* c) { return c->id == codec->id; });
    if (same == chosen.end()) {
      if (std::find(refused.begin(), refused.end(), codec->id) != refused.end()) continue;
      if (!MovMuxerTakes(mov, codec->id)) {
        refused.push_back(codec->id);
        continue;
      }
      chosen.push_back(codec);
    } else if ((*same)->wrapper_name != nullptr && codec->wrapper_name == nullptr) {
      *same = codec;  // the library's own encoder before a wrapper of an outside one
    }
    // Otherwise the first one registered stays: libavcodec lists its preferred wrapper first
    // (libx264 before libx264rgb).
  }
  std::stable_sort(chosen.begin(), chosen.end(), [](const AVCodec* a, const AVCodec* b) {
    return std::make_tuple(Lower(a->long_name), std::string(a->name)) <
           std::make_tuple(Lower(b->long_name), std::string(b->name));
  });
  return chosen;
}

std::vector<AVPixelFormat> CandidatePixelFormats(const AVCodec* codec, int width, int height, bool lossless) {
  std::vector<AVPixelFormat> formats;
  if (codec->pix_fmts == nullptr) {
    formats.push_back(AV_PIX_FMT_RGB24);
  } else {
    for (const AVPixelFormat* f = codec->pix_fmts; *f != AV_PIX_FMT_NONE; ++f) {
      if (UsableOutputFormat(*f)) formats.push_back(*f);
    }
  }
  auto rank = [&](AVPixelFormat format) {
    const AVPixFmtDescriptor* d = av_pix_fmt_desc_get(format);
    const bool misfit = ((width & 1) && d->log2_chroma_w > 0) || ((height & 1) && d->log2_chroma_h > 0);
    const bool alpha = (d->flags & AV_PIX_FMT_FLAG_ALPHA) != 0;
    const bool rgb = (d->flags & AV_PIX_FMT_FLAG_RGB) != 0;
    const bool subsampled = d->log2_chroma_w > 0 || d->log2_chroma_h > 0;
    const int exactness = !lossless ? 0 : rgb ? 0 : subsampled ? 2 : 1;
    return std::make_tuple(misfit, alpha, exactness);
  };
  std::stable_sort(formats.begin(), formats.end(),
                   [&](AVPixelFormat a, AVPixelFormat b) { return rank(a) < rank(b); });
  return formats;
}

}  // namespace tsv::av
