// stream.h: the buffered file layer of the exchange formats. One stream is open at a time; reads
// and writes go through a 524288-byte buffer. Text numbers are written and parsed the way the
// exchange formats expect them (seven truncated decimals, lenient parsing).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "platform/counted_string.h"
#include "platform/file_spec.h"
#include "platform/status.h"

namespace tsv {

inline constexpr size_t kStreamBufferSize = 524288;

// Each open failure shows "Error: File error has occured." and returns the status.
Status OpenStreamForReading(FileSpec& spec);
Status OpenStreamForWriting(FileSpec& spec);   // created if missing; old bytes stay until StreamFinish
Status OpenStreamForAppending(FileSpec& spec);
// The save dialog for one type, then OpenStreamForWriting. `spec` receives the chosen file.
Status AskAndOpenStream(uint32_t fileType, FileSpec& spec);

Status StreamWriteText(const CountedString& text);
Status StreamWriteText(std::string_view text);
Status StreamWriteBytes(const void* buffer, size_t count);
Status StreamWriteU16(uint16_t value);
Status StreamWriteU32(uint32_t value);
Status StreamWriteInteger(int32_t value);
Status StreamWriteFloat(float value);
Status StreamFlush();
Status StreamClose();
// Sets the end of the file at the current position and closes (flush first).
Status StreamFinish();

// Skips line breaks and reads the next line (bytes up to LF, CR or NUL). At the end of the file
// the text collected so far is returned and the stream is marked finished. A line over 255 bytes or
// a read after the end shows the file error and returns 1.
Status StreamReadLine(CountedString& line);
Status StreamReadBytes(void* buffer, size_t count);
Status StreamSkip(size_t count);
Status StreamReadU16(uint16_t& value);
Status StreamReadU32(uint32_t& value);
[[nodiscard]] bool StreamFinished();
int64_t StreamFileSize();

// Every digit accumulates, every '-' flips the sign, all else is ignored ("12-3" is -123).
int32_t ParseInteger(std::string_view text);
inline int32_t ParseInteger(const CountedString& text) { return ParseInteger(View(text)); }
// Digits before the first '.' and fraction digits after it; '-' flips the sign; 'E' or 'e' starts
// an exponent read like ParseInteger ("-1.5e2" is -150).
float ParseFloat(std::string_view text);
inline float ParseFloat(const CountedString& text) { return ParseFloat(View(text)); }

// The texts StreamWriteInteger and StreamWriteFloat write.
std::string FormatStreamInteger(int32_t value);
std::string FormatStreamFloat(float value);

// Closes any open stream and frees the buffer (tests and shutdown).
void ResetStream();

}  // namespace tsv
