// resources.cpp: loading resource files, with the byte-order and row-order fixes of the known ids.
#include "platform/resources.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <bit>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/byte_order.h"
#include "platform/platform_state.h"
#include "platform/string_ids.h"
#include "platform/string_table.h"
#include "platform/user_services.h"

namespace tsv {
namespace {

bool IsWordTable(int id) {
  return id == 130 || (id >= 200 && id <= 204) || id == 501 || (id >= 513 && id <= 515) ||
         (id >= 620 && id <= 625) || id == 1024 || (id >= 3000 && id <= 3005);
}

struct PictureSize {
  int width = 0, height = 0;
};

PictureSize BottomUpPicture(int id) {
  if (id >= 620 && id <= 625) return {148, 148};
  switch (id) {
    case 1024: return {400, 363};
    case 514: return {152, 15};
    case 515: return {42, 88};
    case 516: return {92, 92};
    case 800: return {84, 14};
    default: return {};
  }
}

void FlipRows(std::vector<uint8_t>& bytes, PictureSize size) {
  size_t row = size_t(size.width) * 4;
  std::vector<uint8_t> scratch(row);
  for (int top = 0, bottom = size.height - 1; top < bottom; ++top, --bottom) {
    uint8_t* a = bytes.data() + row * size_t(top);
    uint8_t* b = bytes.data() + row * size_t(bottom);
    std::memcpy(scratch.data(), a, row);
    std::memcpy(a, b, row);
    std::memcpy(b, scratch.data(), row);
  }
}

void ReportResource(StringId message, int id) {
  ShowStopMessage(FormatString(message, {std::to_string(id)}));
}

}  // namespace

std::string ResourceFilePath(ResourceKind kind, int id) {
  char name[32];
  std::snprintf(name, sizeof name, "res%04d", id);
  std::string folder = platform.resourceDirectory;
  if (!folder.empty() && folder.back() != '/') folder += '/';
  folder += kind == ResourceKind::Data ? "Resource/english/" : "Resource/english/Text/";
  return folder + name;
}

std::optional<std::vector<uint8_t>> LoadResourceFile(ResourceKind kind, int id) {
  std::string path = ResourceFilePath(kind, id);
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  struct stat info;
  if (fd < 0 || ::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    if (fd >= 0) ::close(fd);
    ReportResource(kind == ResourceKind::Data ? kResMissingData : kResMissingText, id);
    return std::nullopt;
  }
  std::vector<uint8_t> bytes;
  try {
    bytes.resize(size_t(info.st_size));
  } catch (const std::bad_alloc&) {
    ::close(fd);
    ReportResource(kResReadError, id);
    return std::nullopt;
  }
  size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = ::read(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += size_t(n);
  }
  ::close(fd);
  if (done != bytes.size()) {
    ReportResource(kResReadError, id);
    return std::nullopt;
  }
  if (kind == ResourceKind::Data) {
    PictureSize picture = BottomUpPicture(id);
    if (picture.width > 0) {
      // A picture shorter than its fixed size cannot be turned: it is a damaged resource.
      if (bytes.size() < size_t(picture.width) * size_t(picture.height) * 4) {
        ReportResource(kResReadError, id);
        return std::nullopt;
      }
    }
    if (IsWordTable(id)) BigEndianWordsToMachine(bytes.data(), bytes.size() / 4);
    if (picture.width > 0) FlipRows(bytes, picture);
  }
  return bytes;
}

std::optional<std::vector<uint8_t>> LoadResourceFile(ResourceKind kind, int id, size_t minimumSize) {
  std::optional<std::vector<uint8_t>> bytes = LoadResourceFile(kind, id);
  if (bytes && bytes->size() < minimumSize) {
    ReportResource(kResReadError, id);
    return std::nullopt;
  }
  return bytes;
}

uint32_t ResourceWord(const std::vector<uint8_t>& bytes, size_t index) {
  uint32_t word = 0;
  if ((index + 1) * 4 <= bytes.size()) std::memcpy(&word, bytes.data() + index * 4, 4);
  return word;
}

float ResourceFloat(const std::vector<uint8_t>& bytes, size_t index) {
  return std::bit_cast<float>(ResourceWord(bytes, index));
}

}  // namespace tsv
