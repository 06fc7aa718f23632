// main_panels.h: the handlers of the panels every room shares or the modeling room shows: the top
// strip (rooms and file commands), the views, the object list, the deformation tools, the object
// tools and the shapes of the letters room. Their rows are in panel_table.cpp.
#pragma once

#include <string>

#include "platform/canvas.h"
#include "ui/interface_layout.h"

namespace tsv {

struct PlacedPanel;

[[nodiscard]] bool TopStripItemEnabled(int item);
[[nodiscard]] bool TopStripItemChecked(int item);
[[nodiscard]] bool TopStripItemText(int item, std::string& text);
int TopStripItemClick(int item, Rect rect);

[[nodiscard]] bool ViewsItemEnabled(int item);
[[nodiscard]] bool ViewsItemChecked(int item);
int ViewsItemValue(int item);
void SetViewsItemValue(int item, int value);
[[nodiscard]] bool ViewsItemText(int item, std::string& text);
int ViewsItemClick(int item, Rect rect);

// A press in the object list makes the object of that row current.
int ObjectListPress(const PlacedPanel& placed, const PanelItem& item, int phase);

[[nodiscard]] bool DeformItemText(int item, std::string& text);
int DeformItemClick(int item, Rect rect);
// A press on a tool's control runs the tool's drag until release, then commits the change.
int DeformToolPress(const PlacedPanel& placed, const PanelItem& item, int phase);

[[nodiscard]] bool ObjectToolsItemEnabled(int item);
[[nodiscard]] bool ObjectToolsItemChecked(int item);
int ObjectToolsItemClick(int item, Rect rect);

[[nodiscard]] bool ShapesItemEnabled(int item);
int ShapesItemClick(int item, Rect rect);

// The optics panel: its switches, sliders and swatches (material_panels.h), and the optics file
// and clipboard commands.
int OpticsPanelClick(int item, Rect rect);

// What every drag that reshapes the object live needs: where its amount is shown, the axis lock
// and the view's draw options.
void SetUpToolDrag(Rect readout);

}  // namespace tsv
