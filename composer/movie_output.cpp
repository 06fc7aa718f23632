// movie_output.cpp: the "Compression" and "Quality:" choices and the animation writer.
#include "composer/movie_output.h"

#include <unistd.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <new>
#include <string>

#include "composer/av_support.h"
#include "formats/gif.h"
#include "platform/string_ids.h"
#include "platform/string_table.h"
#include "scene/safe_save.h"

namespace tsv {
namespace {

// ---------------------------------------------------------------------------------------------
// Qualities

enum class QualityStep { Minimum, Low, Normal, High, Maximum, Lossless };

QualityStep StepOfQuality(uint32_t quality) {
  if (quality < 128) return QualityStep::Minimum;
  if (quality < 384) return QualityStep::Low;
  if (quality < 640) return QualityStep::Normal;
  if (quality < 896) return QualityStep::High;
  if (quality < kQualityLossless) return QualityStep::Maximum;
  return QualityStep::Lossless;
}

// One value per step, Minimum to Lossless.
using StepValues = std::array<int, 6>;
constexpr StepValues kQscale = {31, 20, 8, 4, 2, 1};
constexpr StepValues kX264Crf = {51, 35, 23, 18, 12, 0};
constexpr StepValues kX265Crf = {51, 36, 28, 22, 16, 0};
constexpr StepValues kPngLevel = {1, 3, 6, 8, 9, 9};
constexpr StepValues kProresProfile = {FF_PROFILE_PRORES_PROXY, FF_PROFILE_PRORES_LT, FF_PROFILE_PRORES_STANDARD,
                                       FF_PROFILE_PRORES_HQ, FF_PROFILE_PRORES_HQ, FF_PROFILE_PRORES_4444};
constexpr StepValues kDnxhrProfile = {FF_PROFILE_DNXHR_LB, FF_PROFILE_DNXHR_LB, FF_PROFILE_DNXHR_SQ,
                                      FF_PROFILE_DNXHR_HQ, FF_PROFILE_DNXHR_HQ, FF_PROFILE_DNXHR_444};

// The encoders that read their quality from a fixed quantiser scale (global_quality in lambda
// units with the qscale flag).
constexpr std::array<AVCodecID, 12> kQscaleCodecs = {
    AV_CODEC_ID_MJPEG, AV_CODEC_ID_MPEG4, AV_CODEC_ID_MPEG1VIDEO, AV_CODEC_ID_MPEG2VIDEO,
    AV_CODEC_ID_H263,  AV_CODEC_ID_H263P, AV_CODEC_ID_MSMPEG4V2, AV_CODEC_ID_MSMPEG4V3,
    AV_CODEC_ID_WMV1,  AV_CODEC_ID_WMV2,  AV_CODEC_ID_FLV1,      AV_CODEC_ID_SVQ1};

void SetOption(AVDictionary** options, const char* key, int value) { av_dict_set_int(options, key, value, 0); }

bool NameIs(const AVCodec* codec, const char* name) { return std::string_view(codec->name) == name; }

// Puts the quality onto the encoder's own scale (the table in movie_output.h).
void ApplyQuality(const AVCodec* codec, AVCodecContext* c, AVDictionary** options, QualityStep step) {
  const auto at = size_t(step);
  const bool lossless = step == QualityStep::Lossless;
  if (std::find(kQscaleCodecs.begin(), kQscaleCodecs.end(), codec->id) != kQscaleCodecs.end()) {
    const int q = kQscale[at];
    c->flags |= AV_CODEC_FLAG_QSCALE;
    c->global_quality = q * FF_QP2LAMBDA;
    c->qmin = std::min(c->qmin > 0 ? c->qmin : q, q);
  } else if (NameIs(codec, "libx264") || NameIs(codec, "libx264rgb")) {
    if (lossless) {
      SetOption(options, "qp", 0);
    } else {
      SetOption(options, "crf", kX264Crf[at]);
    }
  } else if (NameIs(codec, "libx265")) {
    std::string params = "bframes=0:log-level=none";
    if (lossless) {
      params += ":lossless=1";
    } else {
      SetOption(options, "crf", kX265Crf[at]);
    }
    av_dict_set(options, "x265-params", params.c_str(), 0);
  } else if (codec->id == AV_CODEC_ID_PNG) {
    c->compression_level = kPngLevel[at];
  } else if (codec->id == AV_CODEC_ID_PRORES) {
    c->profile = kProresProfile[at];
  } else if (codec->id == AV_CODEC_ID_DNXHD) {
    c->profile = kDnxhrProfile[at];
  }
}

// ---------------------------------------------------------------------------------------------
// Encoder list

std::string TagText(uint32_t tag) {
  std::string text;
  for (int shift = 24; shift >= 0; shift -= 8) text.push_back(char(tag >> shift & 0xFF));
  while (!text.empty() && text.back() == ' ') text.pop_back();
  return text;
}

bool SameText(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}

const AVCodec* MovieCodecOfType(uint32_t outputType) {
  for (const AVCodec* codec : av::MovieEncoderCodecs()) {
    if (av::MovCodecTag(codec->id) == outputType) return codec;
  }
  return nullptr;
}

constexpr std::array<MovieQualityChoice, 6> kQualityChoices = {{
    {kAnimQualityMinimum, kQualityMinimum},
    {kAnimQualityLow, kQualityLow},
    {kAnimQualityHigh, kQualityHigh},
    {kLabelNormal, kQualityNormal},
    {kAnimQualityMaximum, kQualityMaximum},
    {kAnimQualityLossless, kQualityLossless},
}};

struct FormatContextFree {
  void operator()(AVFormatContext* f) const { avformat_free_context(f); }
};

}  // namespace

std::vector<MovieEncoder> ListMovieEncoders() {
  std::vector<MovieEncoder> list;
  list.push_back({GetString(kAnimAnimatedGif), "Animated GIF (GIF89a, fixed palette)", kAnimatedGifOutputType});
  for (const AVCodec* codec : av::MovieEncoderCodecs()) {
    const uint32_t tag = av::MovCodecTag(codec->id);
    // Two codecs stored under one tag would be one choice that writes either.
    if (FindMovieEncoder(list, tag) != nullptr) continue;
    list.push_back({codec->name, codec->long_name != nullptr ? codec->long_name : codec->name, tag});
  }
  return list;
}

const MovieEncoder* FindMovieEncoder(std::span<const MovieEncoder> encoders, uint32_t outputType) {
  for (const MovieEncoder& e : encoders) {
    if (e.outputType == outputType) return &e;
  }
  return nullptr;
}

const MovieEncoder* FindMovieEncoderByName(std::span<const MovieEncoder> encoders, std::string_view text) {
  for (const MovieEncoder& e : encoders) {
    if (SameText(e.name, text)) return &e;
  }
  std::string_view trimmed = text;
  while (!trimmed.empty() && trimmed.back() == ' ') trimmed.remove_suffix(1);
  for (const MovieEncoder& e : encoders) {
    if (!trimmed.empty() && SameText(TagText(e.outputType), trimmed)) return &e;
  }
  return nullptr;
}

uint32_t DefaultMovieOutputType() {
  const std::vector<MovieEncoder> encoders = ListMovieEncoders();
  for (uint32_t preferred : {FourCC("avc1"), FourCC("jpeg")}) {
    if (FindMovieEncoder(encoders, preferred) != nullptr) return preferred;
  }
  return encoders.size() > 1 ? encoders[1].outputType : 0;
}

std::span<const MovieQualityChoice> MovieQualityChoices() { return kQualityChoices; }

uint32_t MovieQualityOfChoice(int index) {
  if (index < 0 || size_t(index) >= kQualityChoices.size()) return kQualityNormal;
  return kQualityChoices[size_t(index)].quality;
}

// ---------------------------------------------------------------------------------------------
// Writer

struct MovieWriter::State {
  int width = 0;
  int height = 0;
  int duration = 0;  // 600ths for a movie, hundredths for a GIF
  int64_t frameIndex = 0;

  // Animated GIF
  std::unique_ptr<GifWriter> gif;
  FileSpec target;

  // Movie. Declared in the order they are set up, so they are released in the reverse.
  SafeSave save;
  av::ByteEndpoint endpoint;
  av::IoContextPtr io;
  std::unique_ptr<AVFormatContext, FormatContextFree> format;
  AVStream* stream = nullptr;
  const AVCodec* codec = nullptr;
  av::CodecContextPtr encoder;
  av::ScalePtr scale;
  av::FramePtr frame;
  av::PacketPtr packet;
};

MovieWriter::MovieWriter() = default;
MovieWriter::~MovieWriter() { Abandon(); }

namespace {

// Opens the encoder for one picture format; null when it refuses.
av::CodecContextPtr OpenEncoder(const AVCodec* codec, AVPixelFormat format, int width, int height, int duration,
                                uint32_t quality, bool globalHeader) {
  av::CodecContextPtr c(avcodec_alloc_context3(codec));
  if (!c) return nullptr;
  c->width = width;
  c->height = height;
  c->pix_fmt = format;
  c->sample_aspect_ratio = AVRational{1, 1};
  // One tick of the encoder is one frame; the packets are rescaled to the track's 600ths.
  av_reduce(&c->time_base.num, &c->time_base.den, duration, kMovieTimeScale, INT32_MAX);
  c->framerate = AVRational{c->time_base.den, c->time_base.num};
  c->max_b_frames = 0;  // samples in display order: sample i is frame i
  c->thread_count = 1;  // the same movie on every machine, and the frame loop owns the other cores
  const AVPixFmtDescriptor* d = av_pix_fmt_desc_get(format);
  if (d->flags & AV_PIX_FMT_FLAG_RGB) {
    c->colorspace = AVCOL_SPC_RGB;
  } else {
    // What the scaler converts with: the BT.601 matrix, full range for the JPEG formats.
    c->colorspace = AVCOL_SPC_SMPTE170M;
    const bool full = format == AV_PIX_FMT_YUVJ420P || format == AV_PIX_FMT_YUVJ422P || format == AV_PIX_FMT_YUVJ444P;
    c->color_range = full ? AVCOL_RANGE_JPEG : AVCOL_RANGE_MPEG;
  }
  c->color_primaries = AVCOL_PRI_BT709;
  c->color_trc = AVCOL_TRC_IEC61966_2_1;
  if (globalHeader) c->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  AVDictionary* options = nullptr;
  ApplyQuality(codec, c.get(), &options, StepOfQuality(quality));
  const int opened = avcodec_open2(c.get(), codec, &options);
  av_dict_free(&options);
  if (opened < 0) return nullptr;
  return c;
}

// Hands every packet the encoder has ready to the muxer.
Status DrainEncoder(MovieWriter::State& s) {
  for (;;) {
    const int received = avcodec_receive_packet(s.encoder.get(), s.packet.get());
    if (received == AVERROR(EAGAIN) || received == AVERROR_EOF) return kNoError;
    if (received < 0 || s.packet->pts == AV_NOPTS_VALUE) return kWriteError;
    AVPacket* p = s.packet.get();
    p->stream_index = s.stream->index;
    if (p->dts == AV_NOPTS_VALUE) p->dts = p->pts;
    p->duration = 1;  // one frame
    av_packet_rescale_ts(p, s.encoder->time_base, s.stream->time_base);
    // Takes the packet's data and leaves the packet empty.
    if (av_interleaved_write_frame(s.format.get(), p) < 0 || s.endpoint.failed) return kWriteError;
  }
}

}  // namespace

Status MovieWriter::Begin(const FileSpec& target, int width, int height, int framesPerSecond,
                          const AnimationOutputOptions& options) {
  Abandon();
  if (width < 1 || height < 1 || width > kMaxMovieSide || height > kMaxMovieSide || framesPerSecond < 1) {
    return kMalformed;
  }
  const bool gif = options.outputType == kAnimatedGifOutputType;
  if (framesPerSecond > (gif ? kMaxGifFramesPerSecond : kMaxMovieFramesPerSecond)) return kMalformed;
  try {
    auto s = std::make_unique<State>();
    s->width = width;
    s->height = height;
    if (gif) {
      s->duration = 100 / framesPerSecond;
      s->gif = std::make_unique<GifWriter>();
      s->target = target;
      const PixelRect rect{0, 0, int16_t(height), int16_t(width)};
      if (Status st = s->gif->WriteHeader(target, {}, rect, size_t(width) * 4, s->duration, options.gif);
          st != kNoError) {
        return st;
      }
      state_ = std::move(s);
      return kNoError;
    }

    av::QuietLibraryLog();
    s->codec = MovieCodecOfType(options.outputType);
    const AVOutputFormat* mov = av::MovMuxer();
    if (s->codec == nullptr || mov == nullptr) return kMalformed;
    s->duration = kMovieTimeScale / framesPerSecond;

    s->save.quiet = true;  // the caller reports the failure in its own words
    if (!BeginSafeSave(target, s->save)) return kWriteError;
    s->endpoint.descriptor = s->save.file.descriptor;
    s->io = av::MakeWritingIo(s->endpoint);
    AVFormatContext* format = nullptr;
    if (!s->io || avformat_alloc_output_context2(&format, mov, nullptr, nullptr) < 0 || format == nullptr) {
      return kNoMemory;
    }
    s->format.reset(format);
    s->format->pb = s->io.get();
    s->format->flags |= AVFMT_FLAG_CUSTOM_IO;

    const bool globalHeader = (mov->flags & AVFMT_GLOBALHEADER) != 0;
    const bool lossless = StepOfQuality(options.quality) == QualityStep::Lossless;
    for (AVPixelFormat candidate : av::CandidatePixelFormats(s->codec, width, height, lossless)) {
      s->encoder = OpenEncoder(s->codec, candidate, width, height, s->duration, options.quality, globalHeader);
      if (s->encoder) break;
    }
    if (!s->encoder) return kWriteError;

    s->stream = avformat_new_stream(s->format.get(), nullptr);
    if (s->stream == nullptr) return kNoMemory;
    s->stream->time_base = AVRational{1, kMovieTimeScale};
    s->stream->avg_frame_rate = s->encoder->framerate;
    if (avcodec_parameters_from_context(s->stream->codecpar, s->encoder.get()) < 0) return kNoMemory;
    AVDictionary* muxerOptions = nullptr;
    // Without it the muxer raises a time scale under 10000 to a multiple of it (19200).
    av_dict_set_int(&muxerOptions, "video_track_timescale", kMovieTimeScale, 0);
    const int header = avformat_write_header(s->format.get(), &muxerOptions);
    av_dict_free(&muxerOptions);
    if (header < 0 || s->endpoint.failed) return kWriteError;
    if (s->stream->time_base.num != 1 || s->stream->time_base.den != kMovieTimeScale) return kWriteError;

    s->scale.reset(sws_getContext(width, height, AV_PIX_FMT_BGR0, width, height, s->encoder->pix_fmt, SWS_BICUBIC,
                                  nullptr, nullptr, nullptr));
    s->frame.reset(av_frame_alloc());
    s->packet.reset(av_packet_alloc());
    if (!s->scale || !s->frame || !s->packet) return kNoMemory;
    s->frame->format = s->encoder->pix_fmt;
    s->frame->width = width;
    s->frame->height = height;
    s->frame->color_range = s->encoder->color_range;
    s->frame->colorspace = s->encoder->colorspace;
    if (av_frame_get_buffer(s->frame.get(), 0) < 0) return kNoMemory;
    state_ = std::move(s);
    return kNoError;
  } catch (const std::bad_alloc&) {
    return kNoMemory;
  }
}

Status MovieWriter::AddFrame(std::span<const uint32_t> pixels) {
  if (!state_) return kWriteError;
  State& s = *state_;
  if (pixels.size() < size_t(s.width) * size_t(s.height)) {
    Abandon();
    return kMalformed;
  }
  if (s.gif) {
    const PixelRect rect{0, 0, int16_t(s.height), int16_t(s.width)};
    const Status written = s.gif->WriteFrame(s.target, pixels, rect, size_t(s.width) * 4);
    if (written != kNoError) Abandon();
    return written;
  }
  // The encoder may still hold the last frame's buffer.
  if (av_frame_make_writable(s.frame.get()) < 0) {
    Abandon();
    return kNoMemory;
  }
  const uint8_t* source[4] = {reinterpret_cast<const uint8_t*>(pixels.data()), nullptr, nullptr, nullptr};
  const int sourceStride[4] = {s.width * 4, 0, 0, 0};
  sws_scale(s.scale.get(), source, sourceStride, 0, s.height, s.frame->data, s.frame->linesize);
  s.frame->pts = s.frameIndex;
  // The quantiser-scale encoders take each frame's quality from the frame itself.
  s.frame->quality = s.encoder->global_quality;
  Status status = avcodec_send_frame(s.encoder.get(), s.frame.get()) < 0 ? kWriteError : DrainEncoder(s);
  if (status != kNoError) {
    Abandon();
    return status;
  }
  ++s.frameIndex;
  return kNoError;
}

Status MovieWriter::Finish() {
  if (!state_) return kWriteError;
  State& s = *state_;
  if (s.gif) {
    const Status written = s.gif->WriteTrailer(s.target);
    state_.reset();
    return written;
  }
  bool ok = avcodec_send_frame(s.encoder.get(), nullptr) >= 0 && DrainEncoder(s) == kNoError &&
            av_write_trailer(s.format.get()) >= 0 && !s.endpoint.failed;
  // The muxer went back to patch sizes; the temporary ends where the file does.
  ok = ok && ::lseek(s.save.file.descriptor, 0, SEEK_END) >= 0 && CommitSafeSave(s.save);
  state_.reset();  // an uncommitted save removes its temporary
  return ok ? kNoError : kWriteError;
}

void MovieWriter::Abandon() {
  if (!state_) return;
  if (state_->save.active) AbandonSafeSave(state_->save);
  state_.reset();  // a GIF writer dropped before its trailer removes its temporary
}

int MovieWriter::End(int loopStatus) {
  if (loopStatus != 0) {
    Abandon();
    return loopStatus;
  }
  return Finish();
}

int MovieWriter::FrameDuration() const { return state_ ? state_->duration : 0; }

std::string MovieWriter::EncoderName() const {
  return state_ && state_->codec != nullptr ? state_->codec->name : "";
}

std::string MovieWriter::PixelFormatName() const {
  if (!state_ || !state_->encoder) return "";
  const char* name = av_get_pix_fmt_name(state_->encoder->pix_fmt);
  return name != nullptr ? name : "";
}

}  // namespace tsv
