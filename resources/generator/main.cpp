// main.cpp of tessivar_resgen: writes the resource folder that ships beside tessivar, and the C++
// constants of the string table.
//   tessivar_resgen code STRINGS LAYOUT OUTDIR  -> OUTDIR/platform/string_ids.h,
//                                                  OUTDIR/string_table_builtin.cpp, OUTDIR/ui/layout_ids.h
//   tessivar_resgen folder STRINGS LAYOUT ROOT  -> ROOT/Resource/english/... (data and text resources)
//   tessivar_resgen icons OUTDIR                -> OUTDIR/hicolor/NxN/apps/tessivar.png, one per size
#include <bit>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "resources/generator/icon.h"
#include "resources/generator/layout_source.h"
#include "resources/generator/organic_mesh.h"
#include "resources/generator/string_source.h"

namespace fs = std::filesystem;
using namespace tsv::resgen;

namespace {

bool ReadWholeFile(const fs::path& path, std::string& out) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream buffer;
  buffer << in.rdbuf();
  out = buffer.str();
  return true;
}

// Rewrites a file only when its contents change, so that generated sources do not trigger rebuilds.
bool WriteIfChanged(const fs::path& path, const std::string& contents) {
  std::string old;
  if (ReadWholeFile(path, old) && old == contents) return true;
  fs::create_directories(path.parent_path());
  fs::path temp = path;
  temp += ".tmp";
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    if (!out) return false;
    out.write(contents.data(), static_cast<std::streamsize>(contents.size()));
    if (!out) return false;
  }
  fs::rename(temp, path);
  return true;
}

void AppendU32BE(std::string& out, uint32_t v) {
  out += static_cast<char>(v >> 24);
  out += static_cast<char>(v >> 16);
  out += static_cast<char>(v >> 8);
  out += static_cast<char>(v);
}

void AppendF32BE(std::string& out, float f) {
  AppendU32BE(out, std::bit_cast<uint32_t>(f));
}

std::string ResourceName(int id) {
  char name[16];
  std::snprintf(name, sizeof name, "res%04d", id);
  return name;
}

bool LoadStrings(const char* path, std::vector<StringEntry>& entries) {
  std::string contents;
  if (!ReadWholeFile(path, contents)) {
    std::cerr << "tessivar_resgen: cannot read " << path << "\n";
    return false;
  }
  std::vector<std::string> errors;
  entries = ParseStringSource(contents, path, errors);
  for (const std::string& e : errors) std::cerr << e << "\n";
  return errors.empty();
}

bool LoadLayout(const char* path, const std::vector<StringEntry>& strings, InterfaceLayout& layout) {
  std::string contents;
  if (!ReadWholeFile(path, contents)) {
    std::cerr << "tessivar_resgen: cannot read " << path << "\n";
    return false;
  }
  std::vector<std::string> errors;
  layout = ParseLayoutSource(contents, path, strings, errors);
  for (const std::string& e : errors) std::cerr << e << "\n";
  return errors.empty();
}

int WriteCode(const std::vector<StringEntry>& entries, const InterfaceLayout& layout, const fs::path& outDir) {
  if (!WriteIfChanged(outDir / "platform" / "string_ids.h", FormatStringIdsHeader(entries)) ||
      !WriteIfChanged(outDir / "string_table_builtin.cpp", FormatBuiltinTable(entries)) ||
      !WriteIfChanged(outDir / "ui" / "layout_ids.h", FormatLayoutHeader(layout))) {
    std::cerr << "tessivar_resgen: cannot write into " << outDir << "\n";
    return 1;
  }
  return 0;
}

int WriteFolder(const std::vector<StringEntry>& entries, const InterfaceLayout& layout, const fs::path& root) {
  const fs::path english = root / "Resource" / "english";
  const fs::path text = english / "Text";

  // Data resources hold big-endian 32-bit words; the loader converts them to machine order.
  OrganicMesh sphere = BuildOrganicSphere();
  std::string topology;
  topology.reserve(sphere.triangles.size() * 12);
  for (const auto& t : sphere.triangles) {
    for (uint32_t index : t) AppendU32BE(topology, index);
  }
  bool ok = WriteIfChanged(english / ResourceName(3004), topology);
  for (int shape = 0; shape < kStandardShapeCount && ok; ++shape) {
    std::string positions;
    for (const Vec3& p : BuildStandardShape(shape, sphere)) {
      AppendF32BE(positions, p.x);
      AppendF32BE(positions, p.y);
      AppendF32BE(positions, p.z);
    }
    ok = WriteIfChanged(english / ResourceName(200 + shape), positions);
  }

  // The room and panel layouts: the table, then an item map and a picture per panel layout.
  if (ok) ok = WriteIfChanged(english / ResourceName(kLayoutTableResource), FormatLayoutTable(layout));
  for (size_t k = 0; k < layout.panels.size() && ok; ++k) {
    ok = WriteIfChanged(english / ResourceName(kFirstItemMapResource + int(k)), FormatItemMap(layout.panels[k])) &&
         WriteIfChanged(english / ResourceName(kFirstPanelPictureResource + int(k)),
                        FormatPanelPicture(layout.panels[k]));
  }

  // One text resource per block of 64 string-table ids, named by the list number of the block.
  std::set<int32_t> lists;
  for (const StringEntry& e : entries) lists.insert(e.list);
  for (int32_t list : lists) {
    if (!ok) break;
    ok = WriteIfChanged(text / ResourceName(list), FormatTextResource(entries, list));
  }
  if (!ok) {
    std::cerr << "tessivar_resgen: cannot write the resource folder " << english << "\n";
    return 1;
  }
  return WriteIfChanged(root / "Resource" / ".generated", "resource folder complete\n") ? 0 : 1;
}

// The icon in every size, in the folders of an icon theme, so that installing is a copy.
int WriteIcons(const fs::path& outDir) {
  for (int side : kIconSizes) {
    const std::string png = FormatPng(DrawIcon(side), side, side);
    const std::string size = std::to_string(side) + "x" + std::to_string(side);
    const fs::path path = outDir / "hicolor" / size / "apps" / "tessivar.png";
    if (png.empty() || !WriteIfChanged(path, png)) {
      std::cerr << "tessivar_resgen: cannot write the icon " << path << "\n";
      return 1;
    }
  }
  return WriteIfChanged(outDir / ".generated", "icons complete\n") ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::string(argv[1]) == "icons") {
    try {
      return WriteIcons(argv[2]);
    } catch (const std::exception& e) {
      std::cerr << "tessivar_resgen: " << e.what() << "\n";
      return 1;
    }
  }
  if (argc != 5) {
    std::cerr << "usage: tessivar_resgen code|folder STRINGS LAYOUT OUTDIR\n"
                 "       tessivar_resgen icons OUTDIR\n";
    return 2;
  }
  std::vector<StringEntry> entries;
  if (!LoadStrings(argv[2], entries)) return 1;
  InterfaceLayout layout;
  if (!LoadLayout(argv[3], entries, layout)) return 1;
  const std::string mode = argv[1];
  try {
    if (mode == "code") return WriteCode(entries, layout, argv[4]);
    if (mode == "folder") return WriteFolder(entries, layout, argv[4]);
  } catch (const std::exception& e) {
    std::cerr << "tessivar_resgen: " << e.what() << "\n";
    return 1;
  }
  std::cerr << "tessivar_resgen: unknown mode " << mode << "\n";
  return 2;
}
