// av_support.h: what the movie writer and the movie player share of libavformat and libavcodec:
// owning handles for the library's records, byte input and output over our own files and memory
// (no libav protocol ever opens a path: a movie cannot make the library reach other files), the
// list of movie encoders behind the "Compression" choices, and a quiet library log.
// Private to composer/: callers outside it see movie_output.h and movie_player.h only.
#pragma once

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/pixdesc.h>
#include <libswscale/swscale.h>
}

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

namespace tsv::av {

struct CodecContextFree {
  void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
struct FrameFree {
  void operator()(AVFrame* f) const { av_frame_free(&f); }
};
struct PacketFree {
  void operator()(AVPacket* p) const { av_packet_free(&p); }
};
struct ScaleFree {
  void operator()(SwsContext* s) const { sws_freeContext(s); }
};
struct DictionaryFree {
  void operator()(AVDictionary* d) const { av_dict_free(&d); }
};
using CodecContextPtr = std::unique_ptr<AVCodecContext, CodecContextFree>;
using FramePtr = std::unique_ptr<AVFrame, FrameFree>;
using PacketPtr = std::unique_ptr<AVPacket, PacketFree>;
using ScalePtr = std::unique_ptr<SwsContext, ScaleFree>;

// The library prints nothing: failures come back as our statuses.
void QuietLibraryLog();

// Where an I/O context reads or writes: an open file descriptor (read and write, with seeking),
// or bytes in memory (read only). A failed write is remembered in `failed`.
struct ByteEndpoint {
  int descriptor = -1;
  std::span<const uint8_t> memory;
  int64_t position = 0;  // in `memory`
  bool failed = false;
};

// An AVIOContext over an endpoint, with its buffer; frees both. The endpoint must outlive it.
struct IoContextFree {
  void operator()(AVIOContext* io) const;
};
using IoContextPtr = std::unique_ptr<AVIOContext, IoContextFree>;
IoContextPtr MakeReadingIo(ByteEndpoint& endpoint);
IoContextPtr MakeWritingIo(ByteEndpoint& endpoint);

// The mov muxer, and the encoders that can go into it: one per codec id, usable without special
// hardware, able to take a picture format the scaler makes. A native encoder wins over a library
// wrapper of the same codec; the list is ordered by long name (case ignored), then name.
const AVOutputFormat* MovMuxer();
std::vector<const AVCodec*> MovieEncoderCodecs();
// The four-character code the mov muxer stores for the codec, first letter highest; 0 for none.
uint32_t MovCodecTag(AVCodecID id);

// The picture formats to try for an encoder, best first: the encoder's own order, except that
// formats it cannot take at this size (chroma halved along an odd side) go last, then those with
// an alpha channel (the movie is opaque); for a lossless movie RGB formats come first, then
// full-chroma YUV. Formats the scaler cannot make, palettes, bitstreams and greys are left out.
std::vector<AVPixelFormat> CandidatePixelFormats(const AVCodec* codec, int width, int height, bool lossless);

}  // namespace tsv::av
