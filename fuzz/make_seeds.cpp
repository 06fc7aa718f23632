// make_seeds.cpp: writes the seed corpora with the program's own writers, so every seed is a file
// the program itself would write. Usage: tessivar_fuzz_seeds CORPUS_FOLDER (fuzz/corpus).
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "formats/picture.h"
#include "formats/picture_files.h"
#include "fuzz/fuzz_support.h"
#include "platform/file_spec.h"
#include "platform/preferences.h"
#include "scene/object_file.h"
#include "scene/object_table.h"
#include "scene/optics_file.h"
#include "scene/preview_file.h"

namespace {

using namespace tsv;

bool WriteBytes(const std::string& path, std::span<const uint8_t> bytes) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return std::fclose(file) == 0 && written;
}

// A small picture with every kind of pixel the readers tell apart: colours, greys, see-through.
Picture SeedPicture(int width, int height) {
  Picture picture{width, height, std::vector<uint32_t>(size_t(width) * size_t(height))};
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const uint32_t alpha = (x + y) % 5 == 0 ? 0u : 255u;
      picture.pixels[size_t(y * width + x)] =
          alpha << 24 | uint32_t(x * 37 % 256) << 16 | uint32_t(y * 53 % 256) << 8 | uint32_t((x ^ y) * 29 % 256);
    }
  }
  return picture;
}

bool WriteObjectSeeds(const std::string& corpus) {
  std::unique_ptr<SceneObject> object = NewSceneObject(4, 2);
  if (!object) return false;
  const std::string objectPath = corpus + "/object_file/square.cmf";
  if (!SaveObjectToFile(*object, FileSpecForPath(objectPath, kObjectFileType))) return false;
  // The save wrote the preview file beside the object: it is the preview seed.
  std::filesystem::rename(corpus + "/object_file/square.cif", corpus + "/preview_file/square.cif");
  OpticsFileWords words{};
  std::vector<uint8_t> optics(kOpticsFileSize);
  StoreOpticsFile(words, std::span<uint8_t, kOpticsFileSize>(optics.data(), kOpticsFileSize));
  return WriteBytes(corpus + "/optics_file/zero.cmo", optics);
}

bool WritePreferenceSeeds(const std::string& corpus) {
  Preferences prefs;
  SetDefaultPreferences(prefs);
  std::vector<uint8_t> bytes(kPreferencesSize);
  StorePreferences(prefs, std::span<uint8_t, kPreferencesSize>(bytes.data(), kPreferencesSize));
  return WriteBytes(corpus + "/preferences/defaults.prf", bytes);
}

bool WritePictureSeeds(const std::string& corpus) {
  struct Seed { const char* target; const char* name; uint32_t type; PictureSaveOptions options; };
  const Seed seeds[] = {
      {"bmp", "small.bmp", FourCC("BMP "), {}},
      {"ei", "plain.img", FourCC("EIDI"), {false, true, false, false}},
      {"ei", "compressed.img", FourCC("EIDI"), {false, true, false, true}},
      {"tiff", "alpha.tif", FourCC("TIFF"), {false, true, false, false}},
      {"tiff", "plain.tif", FourCC("TIFF"), {}},
      {"gif", "plain.gif", FourCC("GIFf"), {false, false, false, false}},
      {"gif", "alpha_interlaced.gif", FourCC("GIFf"), {true, true, true, false}},
      {"png", "small.png", FourCC("PNGf"), {}},
  };
  const Picture picture = SeedPicture(13, 7);
  for (const Seed& seed : seeds) {
    const std::string path = corpus + "/" + seed.target + "/" + seed.name;
    if (SavePicture(FileSpecForPath(path, seed.type), picture.pixels, RectOfPicture(picture),
                    size_t(picture.width) * 4, seed.options) != kNoError) {
      std::fprintf(stderr, "tessivar_fuzz_seeds: could not write %s\n", path.c_str());
      return false;
    }
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: tessivar_fuzz_seeds CORPUS_FOLDER\n");
    return 2;
  }
  fuzz::InitFuzzTarget();
  const std::string corpus = argv[1];
  for (const char* target : {"object_file", "optics_file", "preview_file", "preferences", "task_list", "gif",
                             "bmp", "ei", "tiff", "png", "jpeg"}) {
    std::filesystem::create_directories(corpus + "/" + target);
  }
  const bool ok = WriteObjectSeeds(corpus) && WritePreferenceSeeds(corpus) && WritePictureSeeds(corpus);
  if (!ok) std::fprintf(stderr, "tessivar_fuzz_seeds: a seed could not be written\n");
  fuzz::ResetFuzzState();
  return ok ? 0 : 1;
}
