// preferences_dialog.h: the preferences dialog (Ctrl+P): every labelled member of the preferences
// record in titled groups. OK stores the edited values, forced into their ranges, and writes them
// to the preferences file; Cancel keeps the record as it was.
#pragma once

#include "platform/platform_state.h"
#include "platform/preferences.h"
#include "platform/settings.h"
#include "ui/dialog.h"

namespace tsv {

// The ids of the dialog's items (DialogItem::id), for the code and the tests that look them up.
enum PreferencesItemId : int {
  kPrefItemDisplay = 1,
  kPrefItemOnStartup,
  kPrefItemBackgroundAlignment,
  kPrefItemAffectPressure,
  kPrefItemAffectRadius,
  kPrefItemTiltEnable,
  kPrefItemModelingBackground,
  kPrefItemComposerBackground,
  kPrefItemComposerWireframe,
  kPrefItemComposerSelected,
  kPrefItemComposerAnim,
  kPrefItemInitialObjectColor,
  kPrefItemTextureQuality,
  kPrefItemWallpaper,
  kPrefItemBufferSize,
  kPrefItemSmoothness,
  kPrefItemLightness,
  kPrefItemShadowQuality,
  kPrefItemSnapRadius,
  kPrefItemBreakingAngle,
  kPrefItemRealTime,
  kPrefItemFinal,
  kPrefItemMorphQuality,
  kPrefItemAutoScale,
  kPrefItemInterfaceScale,
  kPrefItemHistoryBudget,
};

// The dialog showing `prefs`, and the interface scale and undo memory of `settings`.
Dialog MakePreferencesDialog(const Preferences& prefs, const Settings& settings = platform.settings);
// The dialog's values over `prefs` (members it does not show are kept), then the ranges applied.
void ReadPreferencesDialog(const Dialog& dialog, Preferences& prefs);
// The interface scale (Auto, or 100..200 %) and the undo memory the dialog shows, over `settings`.
void ReadSettingsDialog(const Dialog& dialog, Settings& settings);
// Runs the dialog over the program's preferences. True when closed with OK: the record then holds
// the edited values and has been written to the preferences file with the settings beside it (a
// failure to write is shown); after Cancel nothing changed.
[[nodiscard]] bool RunPreferencesDialog();

}  // namespace tsv
