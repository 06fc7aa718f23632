// projection.cpp: the view projection of the work records.
#include "render/projection.h"

#include "render/render_state.h"
#include "render/work_data.h"
#include "scene/scene_object.h"

namespace tsv {

ViewProjection MakeViewProjection(const Rotation3& rotation, float zoom, int32_t centerX,
                                  int32_t centerY, int bottomRow) {
  return {rotation, zoom, centerX, int32_t(bottomRow) - centerY};
}

ViewProjection MakeViewProjection(const ObjectView& view, int bottomRow) {
  return MakeViewProjection(ViewRotationMatrix(view.angles), view.zoom, view.centerX,
                            view.centerY, bottomRow);
}

void ProjectWorkRecords(std::span<PointWork> records, const ViewProjection& projection) {
  ++renderState.projectionPasses;
  // A copy: the stores into the records could otherwise alias the projection and force it to be
  // read again for every point.
  const ViewProjection p = projection;
  for (PointWork& record : records) ProjectWorkRecord(record, p);
}

}  // namespace tsv
