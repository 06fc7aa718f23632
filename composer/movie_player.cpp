// movie_player.cpp: demuxing, decoding and scaling of a written movie or animated GIF.
#include "composer/movie_player.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <new>
#include <vector>

#include "composer/av_support.h"
#include "composer/movie_output.h"

namespace tsv {
namespace {

// A damaged movie may hold any number of packets that decode to nothing; after this many in a row
// the player takes the movie as ended.
constexpr int kMaxFruitlessPackets = 4096;
constexpr double kDefaultFrameSeconds = 0.1;
constexpr double kMinFrameSeconds = 0.01;
constexpr double kMaxFrameSeconds = 60;

struct InputFree {
  void operator()(AVFormatContext* f) const { avformat_close_input(&f); }
};

bool IsJpegRange(AVPixelFormat format) {
  return format == AV_PIX_FMT_YUVJ420P || format == AV_PIX_FMT_YUVJ422P || format == AV_PIX_FMT_YUVJ444P ||
         format == AV_PIX_FMT_YUVJ440P || format == AV_PIX_FMT_YUVJ411P;
}

// The codecs the player decodes: the video codecs a QuickTime movie names, and GIF.
bool IsPlayableCodec(AVCodecID id) { return id == AV_CODEC_ID_GIF || av::MovCodecTag(id) != 0; }

}  // namespace

struct MoviePlayer::State {
  int width = 0;   // shown size
  int height = 0;
  int sourceWidth = 0;
  int sourceHeight = 0;
  int64_t maxSourcePixels = 0;

  av::ByteEndpoint endpoint;
  int descriptor = -1;  // owned; closed last
  av::IoContextPtr io;
  std::unique_ptr<AVFormatContext, InputFree> input;
  int streamIndex = -1;
  AVRational timeBase{1, 1};
  AVRational frameRate{0, 1};
  av::CodecContextPtr decoder;
  av::FramePtr frame;
  av::PacketPtr packet;
  SwsContext* scale = nullptr;  // sws_getCachedContext replaces it in place
  // The scaler writes here, not into the caller's pixels: its vector code may store whole blocks
  // past a row's last pixel, so the rows are padded to 64 bytes and the block ends with a spare
  // row; the shown pixels are copied out row by row.
  uint8_t* scaled = nullptr;  // av_malloc'd
  int scaledStride = 0;
  bool draining = false;
  bool ended = false;
  int64_t framesDecoded = 0;

  ~State() {
    av_free(scaled);
    sws_freeContext(scale);
    packet.reset();
    frame.reset();
    decoder.reset();
    input.reset();
    io.reset();
    if (descriptor >= 0) ::close(descriptor);
  }
};

MoviePlayer::MoviePlayer() = default;
MoviePlayer::~MoviePlayer() = default;

Status MoviePlayer::Open(const std::string& path, int width, int height, int64_t maxSourcePixels) {
  Close();
  path_ = path;
  bytes_ = {};
  fromBytes_ = false;
  maxSourcePixels_ = maxSourcePixels;
  return OpenSource(width, height);
}

Status MoviePlayer::OpenBytes(std::span<const uint8_t> bytes, int width, int height, int64_t maxSourcePixels) {
  Close();
  path_.clear();
  bytes_ = bytes;
  fromBytes_ = true;
  maxSourcePixels_ = maxSourcePixels;
  return OpenSource(width, height);
}

void MoviePlayer::Close() { state_.reset(); }

Status MoviePlayer::Rewind() {
  if (!state_) return kMalformed;
  const int width = state_->width;
  const int height = state_->height;
  state_.reset();
  return OpenSource(width, height);
}

int MoviePlayer::SourceWidth() const { return state_ ? state_->sourceWidth : 0; }
int MoviePlayer::SourceHeight() const { return state_ ? state_->sourceHeight : 0; }

Status MoviePlayer::OpenSource(int width, int height) {
  if (width < 1 || height < 1 || width > kMaxMovieSide || height > kMaxMovieSide) return kMalformed;
  av::QuietLibraryLog();
  try {
    auto s = std::make_unique<State>();
    s->width = width;
    s->height = height;
    s->maxSourcePixels = maxSourcePixels_;

    std::array<uint8_t, 6> signature{};
    size_t signatureBytes = 0;
    if (fromBytes_) {
      s->endpoint.memory = bytes_;
      signatureBytes = std::min(bytes_.size(), signature.size());
      std::copy_n(bytes_.begin(), signatureBytes, signature.begin());
    } else {
      s->descriptor = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
      if (s->descriptor < 0) return kFileNotFound;
      struct stat info;
      // A pipe or a device could be read for ever; a movie is a file.
      if (::fstat(s->descriptor, &info) != 0 || !S_ISREG(info.st_mode)) return kMalformed;
      const ssize_t n = ::pread(s->descriptor, signature.data(), signature.size(), 0);
      signatureBytes = n > 0 ? size_t(n) : 0;
      s->endpoint.descriptor = s->descriptor;
    }
    const bool gif = signatureBytes == 6 &&
                     (std::memcmp(signature.data(), "GIF87a", 6) == 0 || std::memcmp(signature.data(), "GIF89a", 6) == 0);
    // The demuxer is chosen here, never guessed by the library from the contents.
    const AVInputFormat* demuxer = av_find_input_format(gif ? "gif" : "mov");
    if (demuxer == nullptr) return kMalformed;

    s->io = av::MakeReadingIo(s->endpoint);
    AVFormatContext* input = avformat_alloc_context();
    if (!s->io || input == nullptr) {
      avformat_free_context(input);
      return kNoMemory;
    }
    input->pb = s->io.get();
    input->flags |= AVFMT_FLAG_CUSTOM_IO;
    AVDictionary* options = nullptr;
    av_dict_set(&options, "format_whitelist", "mov,mp4,m4a,3gp,3g2,mj2,gif", 0);
    av_dict_set(&options, "protocol_whitelist", "", 0);
    const int opened = avformat_open_input(&input, nullptr, demuxer, &options);
    av_dict_free(&options);
    if (opened < 0) return kMalformed;  // the library has freed `input`
    s->input.reset(input);

    const int stream = av_find_best_stream(input, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (stream < 0) return kMalformed;
    s->streamIndex = stream;
    const AVStream* st = input->streams[stream];
    const AVCodecParameters* parameters = st->codecpar;
    if (!IsPlayableCodec(parameters->codec_id)) return kMalformed;
    // Some tracks leave the size to the first frame (MPEG-4 in a movie): what is known is checked
    // here, the rest frame by frame and by the decoder's own limit.
    if (parameters->width < 0 || parameters->height < 0 || parameters->width > kMaxMovieSide ||
        parameters->height > kMaxMovieSide ||
        int64_t(parameters->width) * int64_t(parameters->height) > s->maxSourcePixels) {
      return kMalformed;
    }
    s->sourceWidth = parameters->width;
    s->sourceHeight = parameters->height;
    s->timeBase = st->time_base;
    s->frameRate = st->avg_frame_rate;
    // Everything but this track is skipped by the demuxer.
    for (unsigned i = 0; i < input->nb_streams; ++i) {
      if (int(i) != stream) input->streams[i]->discard = AVDISCARD_ALL;
    }

    const AVCodec* codec = avcodec_find_decoder(parameters->codec_id);
    if (codec == nullptr) return kMalformed;
    s->decoder.reset(avcodec_alloc_context3(codec));
    if (!s->decoder) return kNoMemory;
    if (avcodec_parameters_to_context(s->decoder.get(), parameters) < 0) return kMalformed;
    s->decoder->thread_count = 1;
    s->decoder->max_pixels = s->maxSourcePixels;
    if (avcodec_open2(s->decoder.get(), codec, nullptr) < 0) return kMalformed;
    s->frame.reset(av_frame_alloc());
    s->packet.reset(av_packet_alloc());
    if (!s->frame || !s->packet) return kNoMemory;
    state_ = std::move(s);
    return kNoError;
  } catch (const std::bad_alloc&) {
    return kNoMemory;
  }
}

namespace {

// Scales the decoded frame into the shown pixels; false when the frame is not one we can scale.
bool ConvertFrame(MoviePlayer::State& s, std::span<uint32_t> pixels) {
  const AVFrame& f = *s.frame;
  const auto format = AVPixelFormat(f.format);
  if (f.width < 1 || f.height < 1 || f.width > kMaxMovieSide || f.height > kMaxMovieSide ||
      int64_t(f.width) * int64_t(f.height) > s.maxSourcePixels || f.data[0] == nullptr) {
    return false;
  }
  const AVPixFmtDescriptor* d = av_pix_fmt_desc_get(format);
  if (d == nullptr || (d->flags & AV_PIX_FMT_FLAG_HWACCEL) || sws_isSupportedInput(format) <= 0) return false;
  s.scale = sws_getCachedContext(s.scale, f.width, f.height, format, s.width, s.height, AV_PIX_FMT_BGRA,
                                 SWS_BICUBIC, nullptr, nullptr, nullptr);
  if (s.scale == nullptr) return false;
  if (!(d->flags & AV_PIX_FMT_FLAG_RGB) && d->nb_components >= 3) {
    // The matrix and range the file names; BT.601 when it names none we know.
    int space = int(f.colorspace);
    if (space != AVCOL_SPC_BT709 && space != AVCOL_SPC_FCC && space != AVCOL_SPC_BT470BG &&
        space != AVCOL_SPC_SMPTE170M && space != AVCOL_SPC_SMPTE240M && space != AVCOL_SPC_BT2020_NCL) {
      space = SWS_CS_DEFAULT;
    }
    const int fullRange = f.color_range == AVCOL_RANGE_JPEG || IsJpegRange(format) ? 1 : 0;
    sws_setColorspaceDetails(s.scale, sws_getCoefficients(space), fullRange, sws_getCoefficients(SWS_CS_DEFAULT), 1,
                             0, 1 << 16, 1 << 16);
  }
  if (s.scaled == nullptr) {
    s.scaledStride = (s.width * 4 + 63) / 64 * 64;
    s.scaled = static_cast<uint8_t*>(av_malloc(size_t(s.scaledStride) * size_t(s.height + 1) + 256));
    if (s.scaled == nullptr) return false;
  }
  uint8_t* destination[4] = {s.scaled, nullptr, nullptr, nullptr};
  const int destinationStride[4] = {s.scaledStride, 0, 0, 0};
  if (sws_scale(s.scale, f.data, f.linesize, 0, f.height, destination, destinationStride) <= 0) return false;
  for (int row = 0; row < s.height; ++row) {
    std::memcpy(pixels.data() + size_t(row) * size_t(s.width), s.scaled + size_t(row) * size_t(s.scaledStride),
                size_t(s.width) * 4);
  }
  if (s.sourceWidth == 0 || s.sourceHeight == 0) {
    s.sourceWidth = f.width;
    s.sourceHeight = f.height;
  }
  for (uint32_t& p : pixels.first(size_t(s.width) * size_t(s.height))) p &= 0x00FFFFFFu;
  return true;
}

double FrameSeconds(const MoviePlayer::State& s) {
#if LIBAVUTIL_VERSION_INT >= AV_VERSION_INT(57, 30, 100)
  const int64_t duration = s.frame->duration;
#else
  const int64_t duration = s.frame->pkt_duration;
#endif
  double seconds = 0;
  if (duration > 0 && s.timeBase.num > 0 && s.timeBase.den > 0) {
    seconds = double(duration) * s.timeBase.num / s.timeBase.den;
  } else if (s.frameRate.num > 0 && s.frameRate.den > 0) {
    seconds = double(s.frameRate.den) / s.frameRate.num;
  } else {
    seconds = kDefaultFrameSeconds;
  }
  if (!(seconds >= kMinFrameSeconds)) return seconds > 0 ? kMinFrameSeconds : kDefaultFrameSeconds;
  return std::min(seconds, kMaxFrameSeconds);
}

}  // namespace

Status MoviePlayer::NextFrame(std::span<uint32_t> pixels, double& seconds, bool& ended) {
  ended = false;
  if (!state_ || pixels.size() < size_t(state_->width) * size_t(state_->height)) return kMalformed;
  State& s = *state_;
  int fruitless = 0;
  while (!s.ended) {
    const int received = avcodec_receive_frame(s.decoder.get(), s.frame.get());
    if (received == 0) {
      const bool shown = ConvertFrame(s, pixels);
      if (shown) seconds = FrameSeconds(s);
      av_frame_unref(s.frame.get());
      if (shown) {
        ++s.framesDecoded;
        return kNoError;
      }
    } else if (received == AVERROR_EOF) {
      s.ended = true;
      break;
    } else if (s.draining) {
      // Nothing more comes out, or it fails while giving out what it holds: the end.
      s.ended = true;
      break;
    }
    // Otherwise it wants more data, or failed on a damaged frame and goes on with the next.
    if (++fruitless > kMaxFruitlessPackets) {
      s.ended = true;
      break;
    }
    if (s.draining) continue;
    const int read = av_read_frame(s.input.get(), s.packet.get());
    if (read < 0) {
      // The end of the file, or damage the demuxer cannot pass: what the decoder holds still shows.
      s.draining = true;
      if (avcodec_send_packet(s.decoder.get(), nullptr) < 0) s.ended = true;
      continue;
    }
    if (s.packet->stream_index == s.streamIndex) {
      // A packet the decoder refuses is passed over; the next may decode.
      (void)avcodec_send_packet(s.decoder.get(), s.packet.get());
    }
    av_packet_unref(s.packet.get());
  }
  ended = true;
  return s.framesDecoded > 0 ? kNoError : kMalformed;
}

}  // namespace tsv
