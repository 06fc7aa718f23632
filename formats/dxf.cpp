// dxf.cpp: DXF import (a counting pass, then a reading pass with the same rules) and the two export
// variants.
//
// A DXF file is a run of groups, each two lines: an integer group code and a value. Code 0 has the
// entity type as its value. The program is Y-up and DXF Z-up: a file point (X, Y, Z) is the point
// (X, Z, -Y), and a point (x, y, z) is written as (x, -z, y).
#include "formats/dxf.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <string_view>
#include <vector>

#include "formats/formats_state.h"
#include "platform/counted_string.h"
#include "platform/progress.h"
#include "platform/stream.h"
#include "platform/string_ids.h"
#include "platform/string_table.h"
#include "platform/user_services.h"
#include "scene/object_table.h"
#include "scene/safe_save.h"
#include "scene/topology.h"

namespace tsv {
namespace {

// ---------------------------------------------------------------------------------------------
// Import

enum class Outcome {
  kGoOn,
  kReadFailed,  // the stream has shown its file error
  kRefused,     // "Error: Can't import object." is still to be shown
};

// One pass over the file. While counting there is no object and the limits are those of any mesh;
// while reading, points and triangles go into the object and the limits are the counted numbers,
// so that a file that reads differently the second time can never write past them.
struct DxfPass {
  SceneObject* object = nullptr;
  Triangle* triangles = nullptr;
  int64_t points = 0;     // next free point slot
  int64_t triangleCount = 0;  // next free triangle slot
  int64_t pointLimit = kMaxMeshPoints;
  int64_t triangleLimit = kMaxMeshTriangles;
  Outcome outcome = Outcome::kGoOn;
  // Progress: bytes seen (each line and one line end), the bar's offset (0 counting, 64 reading).
  int64_t bytesSeen = 0;
  int64_t fileSize = 1;
  int progressBase = 0;
  int progressShown = -1;
  std::vector<Vec3f> scratch;  // the vertices of a closed polyline, in file axes
};

struct Group {
  int32_t code = 0;
  float value = 0;
};

bool Refuse(DxfPass& pass) {
  pass.outcome = Outcome::kRefused;
  return false;
}

bool ReadLine(DxfPass& pass, CountedString& line) {
  if (StreamReadLine(line) != kNoError) {
    pass.outcome = Outcome::kReadFailed;
    return false;
  }
  pass.bytesSeen += line.length + 1;
  const int value = pass.progressBase + int(std::min<int64_t>(pass.bytesSeen, pass.fileSize) * 64 / pass.fileSize);
  if (value != pass.progressShown) {
    pass.progressShown = value;
    AdvanceProgress(value, -1);
  }
  return true;
}

// A group: its code line, and (except for code 0, whose entity type the caller reads) its value
// line. The layer name (code 8) is text and counts as 0.
bool ReadGroup(DxfPass& pass, Group& group) {
  CountedString line;
  if (!ReadLine(pass, line)) return false;
  group.code = ParseInteger(line);
  group.value = 0;
  if (group.code == 0) return true;
  if (!ReadLine(pass, line)) return false;
  if (group.code != 8) group.value = ParseFloat(line);
  return true;
}

bool IsLine(const CountedString& line, std::string_view text) { return View(line) == text; }

// Group values used as counts or indices: truncated toward zero, held inside 32 bits.
int64_t WholeValue(float value) {
  return int64_t(std::clamp(std::trunc(double(value)), double(INT32_MIN), double(INT32_MAX)));
}

// A point given in file axes.
bool AddPoint(DxfPass& pass, float x, float y, float z) {
  if (pass.points >= pass.pointLimit) return Refuse(pass);
  if (pass.object != nullptr) pass.object->points[size_t(pass.points)] = Vec3f{x, z, -y};
  ++pass.points;
  return true;
}

bool AddTriangle(DxfPass& pass, int64_t a, int64_t b, int64_t c) {
  if (pass.triangleCount >= pass.triangleLimit) return Refuse(pass);
  if (pass.triangles != nullptr) pass.triangles[pass.triangleCount] = Triangle{uint32_t(a), uint32_t(b), uint32_t(c)};
  ++pass.triangleCount;
  return true;
}

// Closed 3D polyline: its VERTEX entities up to the first other entity type (which is consumed),
// fanned from the first vertex. Fewer than three vertices add nothing.
bool ReadClosedPolyline(DxfPass& pass) {
  pass.scratch.clear();
  CountedString type;
  for (;;) {
    if (!ReadLine(pass, type)) return false;
    if (!IsLine(type, "VERTEX")) break;
    Vec3f vertex;
    Group group;
    do {
      if (!ReadGroup(pass, group)) return false;
      if (group.code == 10) vertex.x = group.value;
      if (group.code == 20) vertex.y = group.value;
      if (group.code == 30) vertex.z = group.value;
    } while (group.code != 0);
    // A vertex list longer than any mesh can hold is refused before it fills memory.
    if (int64_t(pass.scratch.size()) >= kMaxMeshPoints) return Refuse(pass);
    pass.scratch.push_back(vertex);
  }
  const int64_t n = int64_t(pass.scratch.size());
  if (n < 3) return true;
  const int64_t first = pass.points;
  for (const Vec3f& v : pass.scratch) {
    if (!AddPoint(pass, v.x, v.y, v.z)) return false;
  }
  for (int64_t k = 0; k + 2 < n; ++k) {
    if (!AddTriangle(pass, first, first + k + 1, first + k + 2)) return false;
  }
  return true;
}

// Polygon mesh of M rows by N columns: M x N vertices, other lines passed over, then two triangles
// per grid cell.
bool ReadPolygonMesh(DxfPass& pass, int64_t rows, int64_t columns) {
  if (rows < 2 || columns < 2) return Refuse(pass);
  const int64_t total = rows * columns;  // both are below 2^31: no overflow
  const int64_t cells = (rows - 1) * (columns - 1);
  if (total > pass.pointLimit - pass.points || cells > (pass.triangleLimit - pass.triangleCount) / 2) {
    return Refuse(pass);
  }
  const int64_t first = pass.points;
  CountedString line;
  for (int64_t read = 0; read < total;) {
    if (!ReadLine(pass, line)) return false;
    if (!IsLine(line, "VERTEX")) continue;
    float v[3] = {0, 0, 0};
    bool any = false;
    Group group;
    do {
      if (!ReadGroup(pass, group)) return false;
      if (group.code == 10 || group.code == 20 || group.code == 30) {
        v[group.code / 10 - 1] = group.value;
        any = true;
      }
    } while (group.code != 0);
    if (!any) return Refuse(pass);
    if (!AddPoint(pass, v[0], v[1], v[2])) return false;
    ++read;
  }
  for (int64_t r = 0; r + 1 < rows; ++r) {
    for (int64_t c = 0; c + 1 < columns; ++c) {
      const int64_t p = first + r * columns + c;
      const int64_t q = first + (r + 1) * columns + c + 1;
      if (!AddTriangle(pass, p, q, q - 1) || !AddTriangle(pass, p, p + 1, q)) return false;
    }
  }
  return true;
}

// Polyface mesh: point records (flags 192), then face records (flags 128) whose indices count from
// 1 among this mesh's points; a negative index only marks an invisible edge. A fourth index 0 (or
// the third again) means a triangle; any other index must name one of this mesh's points, or it
// would reach into the points of another entity.
bool ReadPolyfaceMesh(DxfPass& pass) {
  const int64_t first = pass.points;
  int64_t meshPoints = 0;
  bool faces = false;
  CountedString type;
  for (;;) {
    if (!ReadLine(pass, type)) return false;
    if (!IsLine(type, "VERTEX")) return true;
    float v[3] = {0, 0, 0};
    float index[4] = {0, 0, 0, 0};
    bool has[4] = {false, false, false, false};  // groups 71..74
    bool any = false;
    int64_t flags = 0;
    Group group;
    do {
      if (!ReadGroup(pass, group)) return false;
      const int32_t code = group.code;
      if (code == 10 || code == 20 || code == 30) {
        v[code / 10 - 1] = group.value;
        any = true;
      } else if (code >= 71 && code <= 73) {
        v[code - 71] = group.value;
        any = true;
      }
      if (code >= 71 && code <= 74) {
        index[code - 71] = group.value;
        has[code - 71] = true;
      }
      if (code == 70) flags = WholeValue(group.value);
    } while (group.code != 0);
    if (!any) return Refuse(pass);
    if (!faces && flags == 192) {
      if (!AddPoint(pass, v[0], v[1], v[2])) return false;
      ++meshPoints;
      continue;
    }
    faces = true;
    if (flags != 128 || !has[0] || !has[1] || !has[2]) return Refuse(pass);
    int64_t corner[4] = {0, 0, 0, 0};
    for (int k = 0; k < 4; ++k) corner[k] = std::abs(WholeValue(index[k]));
    for (int k = 0; k < 3; ++k) {
      if (corner[k] < 1 || corner[k] > meshPoints) return Refuse(pass);
    }
    if (!AddTriangle(pass, first + corner[0] - 1, first + corner[1] - 1, first + corner[2] - 1)) return false;
    if (has[3] && corner[3] != 0 && corner[3] != corner[2]) {
      if (corner[3] > meshPoints) return Refuse(pass);
      if (!AddTriangle(pass, first + corner[0] - 1, first + corner[2] - 1, first + corner[3] - 1)) return false;
    }
  }
}

// POLYLINE: the header groups up to code 0, then its vertices by kind. Only the exact flag values
// 9 (closed 3D polyline), 16 (polygon mesh) and 64 (polyface mesh) are read; other kinds and a
// header without "vertices follow" (66 = 1) are passed over with their vertices.
bool ReadPolyline(DxfPass& pass) {
  bool verticesFollow = false, hasRows = false, hasColumns = false;
  float flags = 0;
  int64_t rows = 0, columns = 0;
  Group group;
  do {
    if (!ReadGroup(pass, group)) return false;
    switch (group.code) {
      case 66: verticesFollow = group.value == 1.0f; break;
      case 70: flags = group.value; break;
      case 71: rows = WholeValue(group.value), hasRows = true; break;
      case 72: columns = WholeValue(group.value), hasColumns = true; break;
      default: break;
    }
  } while (group.code != 0);
  if (!verticesFollow) return true;
  if (flags == 9.0f) return ReadClosedPolyline(pass);
  if (flags == 16.0f) return hasRows && hasColumns ? ReadPolygonMesh(pass, rows, columns) : true;
  if (flags == 64.0f) return ReadPolyfaceMesh(pass);
  return true;
}

// 3DFACE: groups are passed over up to code 10; from there the twelve corner values must come in
// their exact order, or the entity is passed over (a code 0 ends it at once). A fourth corner
// equal to the third makes a triangle, any other a quadrilateral split on the 1-3 diagonal.
bool ReadFace(DxfPass& pass) {
  static constexpr int32_t kOrder[12] = {10, 20, 30, 11, 21, 31, 12, 22, 32, 13, 23, 33};
  Group group;
  do {
    if (!ReadGroup(pass, group)) return false;
    if (group.code == 0) return true;
  } while (group.code != 10);
  float c[12];
  c[0] = group.value;
  for (int k = 1; k < 12; ++k) {
    if (!ReadGroup(pass, group)) return false;
    if (group.code != kOrder[k]) return true;
    c[k] = group.value;
  }
  const int64_t first = pass.points;
  for (int corner = 0; corner < 3; ++corner) {
    if (!AddPoint(pass, c[corner * 3], c[corner * 3 + 1], c[corner * 3 + 2])) return false;
  }
  if (c[9] == c[6] && c[10] == c[7] && c[11] == c[8]) return AddTriangle(pass, first, first + 1, first + 2);
  return AddPoint(pass, c[9], c[10], c[11]) && AddTriangle(pass, first, first + 1, first + 2) &&
         AddTriangle(pass, first, first + 2, first + 3);
}

// Sections are not interpreted: every line that is exactly POLYLINE or 3DFACE starts an entity.
void RunPass(DxfPass& pass) {
  CountedString line;
  while (!StreamFinished()) {
    if (!ReadLine(pass, line)) return;
    if (IsLine(line, "POLYLINE")) {
      if (!ReadPolyline(pass)) return;
    } else if (IsLine(line, "3DFACE")) {
      if (!ReadFace(pass)) return;
    }
  }
}

// The file name without folder and extension.
CountedString NameOfFile(const FileSpec& spec) {
  std::string name = FileNameOfPath(PathOfSpec(spec));
  if (const size_t dot = name.rfind('.'); dot != std::string::npos && dot > 0) name.resize(dot);
  return TextToCountedString(name);
}

std::unique_ptr<SceneObject> GiveUp(Outcome outcome, std::unique_ptr<SceneObject> object = nullptr) {
  (void)StreamClose();
  HideProgress();
  if (object) DisposeSceneObject(object);
  if (outcome == Outcome::kRefused) ShowStopMessage(GetString(kErrCantImportObject));
  return nullptr;
}

// The farthest point at 256 units from the origin. A file whose points all lie at (or next to) the
// origin is taken as 0.001 units across, so the scale stays finite.
void NormaliseSize(SceneObject& object) {
  double farthest = 0;
  for (const Vec3f& p : object.points) {
    farthest = std::max(farthest, double(p.x) * p.x + double(p.y) * p.y + double(p.z) * p.z);
  }
  const double r = std::max(std::sqrt(farthest), 0.001);
  const double factor = 256.0 / r;
  for (Vec3f& p : object.points) {
    p = Vec3f{float(p.x * factor), float(p.y * factor), float(p.z * factor)};
  }
  object.importScale = float(r / 256.0);
}

}  // namespace

std::unique_ptr<SceneObject> ImportDxf(const FileSpec& spec) {
  FileSpec source = spec;
  if (OpenStreamForReading(source) != kNoError) return nullptr;  // shown
  ShowProgress(GetString(kProgressImportingDxf), -1);

  DxfPass counting;
  counting.fileSize = std::max<int64_t>(StreamFileSize(), 1);
  RunPass(counting);
  if (counting.outcome != Outcome::kGoOn) return GiveUp(counting.outcome);
  if (counting.points < 1 || counting.triangleCount < 1) return GiveUp(Outcome::kRefused);

  // The second pass reads the file from its start again.
  if (OpenStreamForReading(source) != kNoError) return GiveUp(Outcome::kReadFailed);
  std::unique_ptr<SceneObject> object = NewSceneObject(int32_t(counting.points), int32_t(counting.triangleCount));
  if (!object) return GiveUp(Outcome::kReadFailed);  // the memory error has been shown
  Topology* topology = MutableTopology(*object);
  if (topology == nullptr) {
    ShowStopMessage(GetString(kErrNotEnoughMemory));
    return GiveUp(Outcome::kReadFailed, std::move(object));
  }
  std::fill(object->points.begin(), object->points.end(), Vec3f{});
  std::fill(topology->triangles.begin(), topology->triangles.end(), Triangle{~0u, ~0u, ~0u});

  DxfPass reading;
  reading.object = object.get();
  reading.triangles = topology->triangles.data();
  reading.pointLimit = counting.points;
  reading.triangleLimit = counting.triangleCount;
  reading.fileSize = counting.fileSize;
  reading.progressBase = 64;
  RunPass(reading);
  if (reading.outcome != Outcome::kGoOn) return GiveUp(reading.outcome, std::move(object));
  // Both passes follow the same rules, so the numbers differ only when the file changed between
  // them; a half-filled object would hold points at the origin and triangles of nothing.
  if (reading.points != counting.points || reading.triangleCount != counting.triangleCount) {
    return GiveUp(Outcome::kRefused, std::move(object));
  }
  (void)StreamClose();
  HideProgress();
  for (const Triangle& t : topology->triangles) {
    if (t[0] >= uint32_t(object->pointCount) || t[1] >= uint32_t(object->pointCount) ||
        t[2] >= uint32_t(object->pointCount)) {
      return GiveUp(Outcome::kRefused, std::move(object));
    }
  }
  NormaliseSize(*object);
  object->name = NameOfFile(spec);
  if (!CompleteImportedObject(object.get())) {
    ShowStopMessage(GetString(kErrNotEnoughMemory));
    return GiveUp(Outcome::kReadFailed, std::move(object));
  }
  return object;
}

// ---------------------------------------------------------------------------------------------
// Export

namespace {

// Text gathered in a buffer and handed to the save in large pieces. The first failure sticks: the
// rest is not written and the save is abandoned.
struct DxfWriter {
  static constexpr size_t kChunk = 1 << 19;
  SafeSave save;
  std::string buffer;
  bool failed = false;

  void Flush() {
    if (failed || buffer.empty()) return;
    if (!WriteSafeSave(save, std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(buffer.data()), buffer.size()))) {
      failed = true;
    }
    buffer.clear();
  }
  void Text(std::string_view text) {
    buffer.append(text);
    if (buffer.size() >= kChunk) Flush();
  }
  void Integer(int64_t value) { Text(FormatStreamInteger(int32_t(value))); }
  void Float(float value) { Text(FormatStreamFloat(value)); }
};

constexpr std::string_view kComment = "999\nDXF file exported from Quelbrook Tessivar. v1\n0\n";

// The layer of the 3D faces: the object's name on one line. A line break or other control
// character would split it or end it early, so those become blanks; an empty name would be an
// empty line, which every reader skips, so it becomes the layer "0".
std::string LayerName(const SceneObject& object) {
  std::string name(View(object.name));
  for (char& c : name) {
    if (static_cast<unsigned char>(c) < 32 || c == 127) c = ' ';
  }
  return name.empty() ? "0" : name;
}

void WritePoint(DxfWriter& w, const Vec3f& p, float s, std::string_view codeX, std::string_view codeY,
                std::string_view codeZ) {
  w.Text(codeX);
  w.Float(p.x * s);
  w.Text(codeY);
  w.Float(-(p.z * s));
  w.Text(codeZ);
  w.Float(p.y * s);
}

void Advance(int64_t done, int64_t total, int64_t step) {
  if (done % step == 0 && total > 0) AdvanceProgress(int(done * kProgressMax / total), -1);
}

void WritePolylineVariant(DxfWriter& w, const SceneObject& object, std::span<const Triangle> triangles, float s) {
  const int64_t points = object.pointCount, total = std::max<int64_t>(points + int64_t(triangles.size()) - 1, 1);
  w.Text("SECTION\n2\nENTITIES\n0\nPOLYLINE\n8\n0\n66\n1\n70\n64\n71\n");
  w.Integer(points);
  w.Text("\n72\n");
  w.Integer(int64_t(triangles.size()));
  w.Text("\n0\n");
  int64_t item = 0;
  for (int64_t i = 0; i < points && !w.failed; ++i, ++item) {
    Advance(item, total, 256);
    w.Text("VERTEX\n8\n0\n");
    WritePoint(w, object.points[size_t(i)], s, "10\n", "\n20\n", "\n30\n");
    w.Text("\n70\n192\n0\n");
  }
  for (size_t t = 0; t < triangles.size() && !w.failed; ++t, ++item) {
    Advance(item, total, 256);
    w.Text("VERTEX\n8\n0\n10\n0\n20\n0\n30\n0\n70\n128\n71\n");
    w.Integer(int64_t(triangles[t][0]) + 1);
    w.Text("\n72\n");
    w.Integer(int64_t(triangles[t][1]) + 1);
    w.Text("\n73\n");
    w.Integer(int64_t(triangles[t][2]) + 1);
    w.Text("\n74\n");
    w.Integer(int64_t(triangles[t][2]) + 1);
    w.Text("\n0\n");
  }
  w.Text("SEQEND\n8\n0\n0\nENDSEC\n0\nEOF\n");
}

void WriteFaceVariant(DxfWriter& w, const SceneObject& object, std::span<const Triangle> triangles, float s) {
  const std::string layer = LayerName(object);
  const int64_t total = std::max<int64_t>(int64_t(triangles.size()), 1);
  w.Text("SECTION\n2\nHEADER\n0\nENDSEC\n0\nSECTION\n2\nENTITIES\n0\n");
  for (size_t t = 0; t < triangles.size() && !w.failed; ++t) {
    Advance(int64_t(t), total, 256);
    const Triangle& tri = triangles[t];
    w.Text("3DFACE\n8\n");
    w.Text(layer);
    w.Text("\n62\n1\n");
    WritePoint(w, object.points[tri[0]], s, "10\n", "\n20\n", "\n30\n");
    WritePoint(w, object.points[tri[1]], s, "\n11\n", "\n21\n", "\n31\n");
    WritePoint(w, object.points[tri[2]], s, "\n12\n", "\n22\n", "\n32\n");
    WritePoint(w, object.points[tri[2]], s, "\n13\n", "\n23\n", "\n33\n");
    w.Text("\n0\n");
  }
  w.Text("ENDSEC\n0\nEOF\n");
}

}  // namespace

Status ExportDxf(const SceneObject* object, uint16_t variant, const FileSpec& target) {
  if (object == nullptr || (variant != kDxfPolyline && variant != kDxf3dFace)) return kWriteError;
  const std::span<const Triangle> triangles = Triangles(*object);
  // A triangle naming a point the object does not have would be written from beyond its points.
  if (object->pointCount < 0 || object->points.size() != size_t(object->pointCount) ||
      triangles.size() != size_t(std::max(object->triangleCount, 0))) {
    return kWriteError;
  }
  for (const Triangle& t : triangles) {
    if (t[0] >= object->points.size() || t[1] >= object->points.size() || t[2] >= object->points.size()) {
      return kWriteError;
    }
  }
  DxfWriter w;
  if (!BeginSafeSave(target, w.save)) return kWriteError;  // shown
  ShowProgress(GetString(variant == kDxfPolyline ? kProgressWritingPolylineDxf : kProgressWriting3dFaceDxf), -1);
  const float s = formatsState.exportScale;
  w.Text(kComment);
  if (variant == kDxfPolyline) {
    WritePolylineVariant(w, *object, triangles, s);
  } else {
    WriteFaceVariant(w, *object, triangles, s);
  }
  w.Flush();
  HideProgress();
  if (w.failed) {
    AbandonSafeSave(w.save);
    return kWriteError;
  }
  return CommitSafeSave(w.save) ? kNoError : kWriteError;
}

}  // namespace tsv
