// quorvel_panel.h: the Quorvels room: the Balls panel (adding, duplicating, deleting and
// selecting balls, their strength, radii, axis and name, the threshold, the mesh, the preview,
// Atomize, refine, and the set files), the mouse in the Kelvane view, and the view controls
// (views 1..7, zoom) as they act on the Kelvane view in this room.
#pragma once

#include <string>

#include "platform/canvas.h"
#include "tools/quorvels.h"
#include "ui/dialog.h"

namespace tsv {

// The name field's dialog: the ball's name in one text field of at most 31 bytes. OK with a name
// that is not blank stores it (cut at the start of a character); false for Cancel or a blank name.
inline constexpr int kBallNameField = 1;
Dialog MakeBallNameDialog(const Ball& ball);
[[nodiscard]] bool AskBallName(Ball& ball);

[[nodiscard]] bool BallsItemEnabled(int item);
[[nodiscard]] bool BallsItemChecked(int item);
int BallsItemValue(int item);
void SetBallsItemValue(int item, int value);
bool BallsItemValueText(int item, int value, std::string& text);
bool BallsItemText(int item, std::string& text);
int BallsItemClick(int item, Rect rect);
// Presses on the sliders (the step Undo takes back); kNotMine, so the slider follows as usual.
int BallsItemPress(int item, int phase);
// Undo and Redo of ball edits (Ctrl+Z, Ctrl+Shift+Z and the top strip's buttons in this room).
int UndoBallStep();
int RedoBallStep();

// The slider positions (0..256) of the ball values and back: strength -50..50 linear, radius
// 1..1000 and threshold 1..100 by powers of ten, across 0.1..10 likewise (1 in the middle).
int StrengthSlider(float strength);
float StrengthFromSlider(int value);
int RadiusSlider(float r1);
float RadiusFromSlider(int value);
int AcrossSlider(float r2);
float AcrossFromSlider(int value);
int ThresholdSlider(int threshold);
int ThresholdFromSlider(int value);

// The Kelvane view's mouse: a press on a ball selects it and its drag moves it in the view plane
// (Shift scales it, Ctrl turns its axis); a press beside every ball turns the view as it drags,
// and a click there without a drag clears the selection. A loop result.
int HandleKelvaneView(int phase, int mouseX, int mouseY);

// The Delete key in the room: the selected ball goes.
int DeleteSelectedBall();
// The preview made again after an edit of the balls (nothing while it is off).
void RefreshQuorvelPreview();

// The view controls in this room: view 0..6 turns the Kelvane view to that view's angles; the
// zoom slider and its steps set the Kelvane zoom; Home fits the balls into the view.
int ChooseKelvaneView(int view);
int KelvaneZoomSlider();
float KelvaneZoomAtSlider(int value);  // the view's scale at that slider position
void SetKelvaneZoomSlider(int value);
int StepKelvaneZoom(int steps);
int FrameKelvaneBalls();

// The strip over the view in this room: the set's name and its number of balls.
std::string KelvaneTitle();
// Draws the Kelvane view into the view picture; false when it could not be drawn.
[[nodiscard]] bool DrawKelvane();

// Opens a set file into the room (the command line, a file handed over by a second start).
[[nodiscard]] bool OpenQuorvelSetFile(const std::string& path);

}  // namespace tsv
