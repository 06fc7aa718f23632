// batch_support.cpp: checks, picture writing and project opening shared by the batch commands.
#include "app/batch_support.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "app/command_line.h"
#include "formats/object_texture.h"
#include "formats/picture_files.h"
#include "platform/file_spec.h"
#include "platform/string_ids.h"
#include "platform/string_table.h"
#include "platform/user_services.h"
#include "scene/native_files.h"
#include "scene/project.h"
#include "scene/project_record.h"
#include "scene/scene_state.h"

namespace tsv {

bool IsWritablePictureType(uint32_t type) {
  return type == FourCC("BMP ") || type == FourCC("PNGf") || type == FourCC("GIFf") || type == FourCC("TIFF") ||
         type == FourCC("EIDI");
}

// Writes 32-bit pixels (0x00RRGGBB or with alpha) as the picture type of the file's extension.
bool WritePictureFile(const std::string& path, const std::vector<uint32_t>& pixels, int width, int height,
                      const PictureSaveOptions& options) {
  const FileSpec spec = FileSpecForPath(path, FileTypeFromName(path));
  const PixelRect rect{0, 0, int16_t(height), int16_t(width)};
  return SavePicture(spec, pixels, rect, size_t(width) * 4, options) == kNoError;
}

// A file a batch command reads must be there, be a file and be readable; otherwise the command is
// refused with the reason, before anything else happens.
bool ReadableInput(const std::string& path) {
  struct stat info;
  const char* reason = nullptr;
  if (::stat(path.c_str(), &info) != 0) {
    reason = std::strerror(errno);
  } else if (S_ISDIR(info.st_mode)) {
    reason = "it is a folder";
  } else if (::access(path.c_str(), R_OK) != 0) {
    reason = std::strerror(errno);
  }
  if (reason == nullptr) return true;
  std::fprintf(stderr, "tessivar: cannot read %s: %s\n", path.c_str(), reason);
  return false;
}

// The file a batch command writes must be one it can put there: not a folder, and either in a folder
// that exists and takes new files (the output is written beside itself first, then renamed over the
// file it replaces) or a device that takes bytes. Checked before anything is read or drawn, so that
// nothing is done for an output that cannot be had, and the refusal names the file and why.
bool WritableOutput(const std::string& path) {
  // Through a link the file the link names is the one replaced, in its own folder.
  char resolved[PATH_MAX];
  const std::string target = ::realpath(path.c_str(), resolved) != nullptr ? std::string(resolved) : path;
  struct stat info;
  const char* reason = nullptr;
  bool replacedByRename = true;
  if (::stat(target.c_str(), &info) == 0) {
    if (S_ISDIR(info.st_mode)) {
      reason = "it is a folder";
    } else if (!S_ISREG(info.st_mode)) {
      replacedByRename = false;
      if (::access(target.c_str(), W_OK) != 0) reason = std::strerror(errno);
    }
  } else if (errno != ENOENT) {
    reason = std::strerror(errno);
  }
  if (reason == nullptr && replacedByRename) {
    const size_t cut = target.rfind('/');
    const std::string folder = cut == std::string::npos ? "." : cut == 0 ? "/" : target.substr(0, cut);
    if (::stat(folder.c_str(), &info) != 0) {
      reason = std::strerror(errno);
    } else if (!S_ISDIR(info.st_mode)) {
      reason = std::strerror(ENOTDIR);
    } else if (::access(folder.c_str(), W_OK | X_OK) != 0) {
      reason = std::strerror(errno);
    }
  }
  if (reason == nullptr) return true;
  std::fprintf(stderr, "tessivar: cannot write %s: %s\n", path.c_str(), reason);
  return false;
}

// A refusal of the command line: what is wrong, then how the command is used.
int Usage(const std::string& command, const std::string& message) {
  std::fprintf(stderr, "tessivar: %s\n%s", message.c_str(), CommandUsageText(command).c_str());
  return 1;
}

std::string PrintableText(std::string text) {
  for (char& c : text) {
    if (uint8_t(c) < 0x20 || uint8_t(c) == 0x7F) c = '?';
  }
  return text;
}

// "WxH" with both sides 1..16384 and at most 64 M pixels.
bool ParseRenderSize(const std::string& text, int& width, int& height) {
  const size_t x = text.find('x');
  if (x == std::string::npos) return false;
  auto side = [](const std::string& part, int& value) {
    if (part.empty() || part.size() > 5 || part.find_first_not_of("0123456789") != std::string::npos) return false;
    value = std::atoi(part.c_str());
    return value >= 1 && value <= kMostRenderSide;
  };
  return side(text.substr(0, x), width) && side(text.substr(x + 1), height) &&
         int64_t(width) * height <= kMostRenderPixels;
}

bool OpenProjectForBatch(const std::string& in, OpenedProject& opened) {
  // The record first, so that an object the project names and that cannot be had is known by name.
  const FileSpec spec = FileSpecForPath(in, kProjectFileType);
  std::unique_ptr<ProjectRecord> record;
  // A texture that cannot be read is dropped from its object as it opens (with its message); the
  // render must not then pass for the picture the project describes.
  std::vector<std::string>& unreadableTextures = opened.unreadableTextures;
  nativeFiles.loadTexturePicture = [&unreadableTextures](SceneObject& object) {
    const std::string path = PathOfSpec(object.textureFile);
    if (LoadObjectTexturePicture(object)) return true;
    unreadableTextures.push_back(path);
    return false;
  };
  const bool read = ReadProjectRecordFile(spec, record) == kNoError && OpenProjectFile(spec);
  nativeFiles.loadTexturePicture = LoadObjectTexturePicture;
  if (!read) {
    ShowStopMessage(GetString(kErrCantOpenProject));
    std::fprintf(stderr, "tessivar: %s is not a project file, or is cut short\n", in.c_str());
    return false;
  }
  for (int slot = 0; slot < kObjectSlotCount; ++slot) {
    const FileSpec& named = record->objectFiles[size_t(slot)];
    if (IsFileSpecSet(named) && !scene.objectTable[size_t(slot)]) {
      std::fprintf(stderr, "tessivar: the object %s of the project %s cannot be opened\n",
                   PrintableText(PathOfSpec(named)).c_str(), in.c_str());
      return false;
    }
  }
  return true;
}

}  // namespace tsv
