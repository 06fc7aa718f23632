// shade_ramp.h: the object's 256-colour shade palette, through which the 8-bit shade buffer of the
// modeling view is shown. Rebuilt whenever the optics or the modeling background change.
#pragma once

namespace tsv {

struct SceneObject;

// Fills the object's `shadeRamp` from its optics; entry 0 is the modeling background colour of the
// preferences. An object without a ramp array (the work object) is left alone.
void BuildShadeRamp(SceneObject& object);

}  // namespace tsv
