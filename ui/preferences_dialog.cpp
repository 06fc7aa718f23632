// preferences_dialog.cpp: the layout of the preferences dialog and the way its items map onto the
// preferences record.
#include "ui/preferences_dialog.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "platform/file_spec.h"
#include "platform/folders.h"
#include "platform/settings.h"
#include "platform/string_table.h"
#include "platform/user_services.h"

namespace tsv {
namespace {

constexpr int kMargin = 12;
constexpr int kColumnWidth = 206;
constexpr int kGroupGap = 10;
constexpr int kRadioRow = 20;
constexpr int kFieldRow = 24;
constexpr int kFieldHeight = 20;
constexpr int kFieldWidth = 70;
constexpr int kSwatchRow = 22;
constexpr int kCheckRow = 20;

// Lays titled groups out one below the other in a column of the dialog.
struct Column {
  Dialog& dialog;
  int left;
  int top = kMargin;

  // A group whose inside is `contentHeight` pixels high; returns that inside.
  Rect Group(StringId title, int contentHeight) {
    Rect probe = GroupContentRect({left, top, kColumnWidth, 1000});
    int overhead = 1000 - probe.height;
    Rect frame = {left, top, kColumnWidth, contentHeight + overhead};
    AddGroup(dialog, frame, GetString(title));
    top += frame.height + kGroupGap;
    return GroupContentRect(frame);
  }
};

void SetId(Dialog& dialog, int index, int id) { dialog.items[size_t(index)].id = id; }

void Radios(Column& column, StringId title, std::vector<StringId> entries, int value, int id, StringId hover) {
  Rect inside = column.Group(title, int(entries.size()) * kRadioRow);
  std::vector<std::string> texts;
  for (StringId entry : entries) texts.push_back(GetString(entry));
  SetId(column.dialog, AddRadioGroup(column.dialog, inside, std::move(texts), value, GetString(hover)), id);
}

// A label on the left and its number field on the right of one row; the label shares the field's
// hover text.
int FieldRow(Dialog& dialog, Rect inside, int row, StringId label, double value, double minimum, double maximum,
             int decimals, double step, int id, StringId hover) {
  int top = inside.top + row * kFieldRow;
  std::string hoverText = GetString(hover);
  AddLabel(dialog, {inside.left, top, inside.width - kFieldWidth - 8, kFieldHeight}, GetString(label), {}, hoverText);
  int index = AddNumberField(dialog, {inside.left + inside.width - kFieldWidth, top, kFieldWidth, kFieldHeight}, value,
                             minimum, maximum, decimals, hoverText);
  dialog.items[size_t(index)].step = step;
  SetId(dialog, index, id);
  return index;
}

void SwatchRow(Dialog& dialog, Rect inside, int row, StringId label, Rgb16 colour, int id, StringId hover) {
  int top = inside.top + row * kSwatchRow;
  std::string hoverText = GetString(hover);
  SetId(dialog, AddSwatch(dialog, {inside.left, top + 2, 34, 17}, colour, hoverText), id);
  AddLabel(dialog, {inside.left + 42, top, inside.width - 42, 21}, GetString(label), {}, hoverText);
}

void CheckRow(Dialog& dialog, Rect inside, int row, StringId label, bool checked, int id, StringId hover) {
  SetId(dialog, AddCheckBox(dialog, {inside.left, inside.top + row * kCheckRow, inside.width, kCheckRow},
                            GetString(label), checked, GetString(hover)),
        id);
}

const DialogItem* Find(const Dialog& dialog, int id) {
  int index = FindDialogItem(dialog, id);
  return index >= 0 ? &dialog.items[size_t(index)] : nullptr;
}

template <typename T>
void ReadChoice(const Dialog& dialog, int id, T& member) {
  // No entry chosen means the stored value has no entry of its own: keep it.
  if (const DialogItem* item = Find(dialog, id); item && item->selected >= 0) member = T(item->selected);
}

void ReadFloat(const Dialog& dialog, int id, float& member) {
  if (const DialogItem* item = Find(dialog, id)) member = float(item->number);
}

void ReadInt(const Dialog& dialog, int id, int16_t& member) {
  if (const DialogItem* item = Find(dialog, id)) member = int16_t(std::lround(item->number));
}

void ReadColour(const Dialog& dialog, int id, Rgb16& member) {
  if (const DialogItem* item = Find(dialog, id)) member = item->colour;
}

void ReadFlag(const Dialog& dialog, int id, uint16_t bit, uint16_t& flags) {
  if (const DialogItem* item = Find(dialog, id)) flags = item->checked ? uint16_t(flags | bit) : uint16_t(flags & ~bit);
}

}  // namespace

Dialog MakePreferencesDialog(const Preferences& prefs, const Settings& settings) {
  Dialog dialog;
  dialog.title = GetString(kPrefTitle);
  dialog.width = kMargin * 4 + kColumnWidth * 3;

  // First column: the choices and the tablet.
  Column first{dialog, kMargin};
  Radios(first, kPrefDisplay, {kPrefDisplayNothing, kPrefDisplayTime, kPrefDisplayFps}, prefs.displayChoice,
         kPrefItemDisplay, kHoverPrefDisplay);
  Radios(first, kPrefOnStartup, {kPrefDoNothing, kPrefCreateSphere, kPrefOpenProject, kPrefOpenObject},
         prefs.startupAction, kPrefItemOnStartup, kHoverPrefOnStartup);
  Radios(first, kPrefBackgroundAlignment, {kPrefFillBackground, kPrefNoStretching, kPrefFitX, kPrefFitY},
         prefs.backgroundAlignment, kPrefItemBackgroundAlignment, kHoverPrefBackgroundAlignment);
  Rect tablet = first.Group(kPrefTablet, 3 * kCheckRow);
  CheckRow(dialog, tablet, 0, kPrefAffectPressure, prefs.tabletFlags & 1, kPrefItemAffectPressure, kHoverPrefAffectPressure);
  CheckRow(dialog, tablet, 1, kPrefAffectRadius, prefs.tabletFlags & 2, kPrefItemAffectRadius, kHoverPrefAffectRadius);
  CheckRow(dialog, tablet, 2, kPrefTiltEnable, prefs.tabletFlags & 4, kPrefItemTiltEnable, kHoverPrefTiltEnable);

  // Second column: colours, textures, wallpaper.
  Column second{dialog, kMargin * 2 + kColumnWidth};
  Rect colours = second.Group(kPrefColors, 5 * kSwatchRow);
  SwatchRow(dialog, colours, 0, kPrefModelingBackground, prefs.modelingBackground, kPrefItemModelingBackground,
            kHoverPrefModelingBackground);
  SwatchRow(dialog, colours, 1, kPrefComposerBackground, prefs.composerBackground, kPrefItemComposerBackground,
            kHoverPrefComposerBackground);
  SwatchRow(dialog, colours, 2, kPrefComposerWireframe, prefs.composerWireframe, kPrefItemComposerWireframe,
            kHoverPrefComposerWireframe);
  SwatchRow(dialog, colours, 3, kPrefComposerSelected, prefs.composerSelected, kPrefItemComposerSelected,
            kHoverPrefComposerSelected);
  SwatchRow(dialog, colours, 4, kPrefComposerAnim, prefs.composerAnim, kPrefItemComposerAnim, kHoverPrefComposerAnim);
  Rect object = second.Group(kPrefDefaultObject, kSwatchRow);
  SwatchRow(dialog, object, 0, kPrefInitialObjectColor, prefs.defaultObjectColour, kPrefItemInitialObjectColor,
            kHoverPrefInitialObjectColor);
  Radios(second, kPrefTextureQuality, {kLabelNormal, kPrefBiLinear, kPrefBiCubic}, prefs.textureQuality,
         kPrefItemTextureQuality, kHoverPrefTextureQuality);
  // The group's title names the one field inside it.
  Rect wallpaper = second.Group(kPrefWallpaper, kFieldRow);
  SetId(dialog,
        AddNumberField(dialog, {wallpaper.left, wallpaper.top, kFieldWidth, kFieldHeight}, prefs.wallpaperIndex, 0,
                       65535, 0, GetString(kHoverPrefWallpaper)),
        kPrefItemWallpaper);
  // The window: the interface scale (Auto takes the largest that fits) and the undo memory.
  Rect window = second.Group(kPrefWindow, kCheckRow + 2 * kFieldRow);
  CheckRow(dialog, window, 0, kPrefAutoScale, settings.interfaceScale == kInterfaceScaleAuto, kPrefItemAutoScale,
           kHoverPrefAutoScale);
  const Rect fields{window.left, window.top + kCheckRow, window.width, window.height - kCheckRow};
  FieldRow(dialog, fields, 0, kPrefInterfaceScale,
           settings.interfaceScale == kInterfaceScaleAuto ? kMinInterfaceScale : settings.interfaceScale,
           kMinInterfaceScale, kMaxInterfaceScale, 0, 5, kPrefItemInterfaceScale, kHoverPrefInterfaceScale);
  FieldRow(dialog, fields, 1, kPrefHistoryBudget, double(settings.historyBudgetMB), 16, double(kMaxHistoryBudgetMB), 0, 64,
           kPrefItemHistoryBudget, kHoverPrefHistoryBudget);

  // Third column: the numbers of the composer, the snaps and the mesh builders.
  Column third{dialog, kMargin * 3 + kColumnWidth * 2};
  Rect shadows = third.Group(kPrefShadows, 4 * kFieldRow);
  FieldRow(dialog, shadows, 0, kPrefShadowBufferSize, prefs.shadowBufferSize, 0.5, 10, 2, 0.5, kPrefItemBufferSize,
           kHoverPrefBufferSize);
  FieldRow(dialog, shadows, 1, kPrefShadowSmoothness, prefs.shadowSmoothness, 0, 40, 2, 1, kPrefItemSmoothness,
           kHoverPrefSmoothness);
  FieldRow(dialog, shadows, 2, kPrefShadowLightness, prefs.shadowLightness, 0, 1, 2, 0.05, kPrefItemLightness,
           kHoverPrefLightness);
  std::string qualityHover = GetString(kHoverPrefShadowQuality);
  AddLabel(dialog, {shadows.left, shadows.top + 3 * kFieldRow, shadows.width - 98, kFieldHeight}, GetString(kPrefQuality),
           {}, qualityHover);
  SetId(dialog,
        AddSlider(dialog, {shadows.left + shadows.width - 92, shadows.top + 3 * kFieldRow, 92, kFieldHeight},
                  prefs.shadowQuality, 3, qualityHover),
        kPrefItemShadowQuality);
  Rect snaps = third.Group(kPrefSnaps, 2 * kFieldRow);
  FieldRow(dialog, snaps, 0, kPrefSnapRadius, prefs.snapRadius, 2, 20, 1, 1, kPrefItemSnapRadius, kHoverPrefSnapRadius);
  FieldRow(dialog, snaps, 1, kPrefBreakingAngle, prefs.breakingAngle, 0, 180, 1, 1, kPrefItemBreakingAngle,
           kHoverPrefBreakingAngle);
  Rect quorvels = third.Group(kPrefQuorvelsResolution, 2 * kFieldRow);
  FieldRow(dialog, quorvels, 0, kPrefRealTime, prefs.quorvelRealtimeResolution, 8, 128, 0, 1, kPrefItemRealTime,
           kHoverPrefRealTime);
  FieldRow(dialog, quorvels, 1, kPrefFinal, prefs.quorvelFinalResolution, 8, 128, 0, 1, kPrefItemFinal, kHoverPrefFinal);
  Rect morph = third.Group(kPrefMorph, kFieldRow);
  FieldRow(dialog, morph, 0, kPrefQuality, prefs.morphQuality, 16, 512, 0, 1, kPrefItemMorphQuality,
           kHoverPrefMorphQuality);

  // The tallest column sets the height; OK and Cancel sit below the third column.
  int firstBottom = first.top - kGroupGap, secondBottom = second.top - kGroupGap, thirdBottom = third.top - kGroupGap;
  dialog.height = std::max({firstBottom + kMargin, secondBottom + kMargin, thirdBottom + kMargin + 24 + kMargin});
  AddOkCancel(dialog);
  return dialog;
}

void ReadPreferencesDialog(const Dialog& dialog, Preferences& prefs) {
  ReadChoice(dialog, kPrefItemDisplay, prefs.displayChoice);
  ReadChoice(dialog, kPrefItemOnStartup, prefs.startupAction);
  ReadChoice(dialog, kPrefItemBackgroundAlignment, prefs.backgroundAlignment);
  ReadChoice(dialog, kPrefItemTextureQuality, prefs.textureQuality);
  ReadFlag(dialog, kPrefItemAffectPressure, 1, prefs.tabletFlags);
  ReadFlag(dialog, kPrefItemAffectRadius, 2, prefs.tabletFlags);
  ReadFlag(dialog, kPrefItemTiltEnable, 4, prefs.tabletFlags);
  ReadColour(dialog, kPrefItemModelingBackground, prefs.modelingBackground);
  ReadColour(dialog, kPrefItemComposerBackground, prefs.composerBackground);
  ReadColour(dialog, kPrefItemComposerWireframe, prefs.composerWireframe);
  ReadColour(dialog, kPrefItemComposerSelected, prefs.composerSelected);
  ReadColour(dialog, kPrefItemComposerAnim, prefs.composerAnim);
  ReadColour(dialog, kPrefItemInitialObjectColor, prefs.defaultObjectColour);
  if (const DialogItem* item = Find(dialog, kPrefItemWallpaper)) prefs.wallpaperIndex = uint16_t(std::lround(item->number));
  ReadFloat(dialog, kPrefItemBufferSize, prefs.shadowBufferSize);
  ReadFloat(dialog, kPrefItemSmoothness, prefs.shadowSmoothness);
  ReadFloat(dialog, kPrefItemLightness, prefs.shadowLightness);
  if (const DialogItem* item = Find(dialog, kPrefItemShadowQuality)) prefs.shadowQuality = uint16_t(item->sliderValue);
  ReadFloat(dialog, kPrefItemSnapRadius, prefs.snapRadius);
  ReadFloat(dialog, kPrefItemBreakingAngle, prefs.breakingAngle);
  ReadInt(dialog, kPrefItemRealTime, prefs.quorvelRealtimeResolution);
  ReadInt(dialog, kPrefItemFinal, prefs.quorvelFinalResolution);
  ReadInt(dialog, kPrefItemMorphQuality, prefs.morphQuality);
  ClampPreferences(prefs);
}

void ReadSettingsDialog(const Dialog& dialog, Settings& settings) {
  const DialogItem* automatic = Find(dialog, kPrefItemAutoScale);
  const DialogItem* scale = Find(dialog, kPrefItemInterfaceScale);
  if (automatic != nullptr && automatic->checked) {
    settings.interfaceScale = kInterfaceScaleAuto;
  } else if (automatic != nullptr && scale != nullptr) {
    settings.interfaceScale = InterfaceScaleSetting(std::llround(scale->number));
  }
  if (const DialogItem* budget = Find(dialog, kPrefItemHistoryBudget)) {
    settings.historyBudgetMB = HistoryBudgetSetting(std::llround(budget->number));
  }
}

bool RunPreferencesDialog() {
  Dialog dialog = MakePreferencesDialog(preferences);
  if (RunDialog(dialog).role == ButtonRole::Cancel) return false;
  Preferences edited = preferences;
  ReadPreferencesDialog(dialog, edited);
  preferences = edited;
  ReadSettingsDialog(dialog, platform.settings);
  // Stored at once, so that a program that ends without quitting keeps them too; the settings
  // beside them (the dialogs' folders) go with them.
  if (WritePreferences() != kNoError) {
    ShowStopMessage(FormatString(kErrCantWritePreferences, {PathOfSpec(MakePrefsFileSpec())}));
  } else if (WriteSettings() != kNoError) {
    ShowStopMessage(FormatString(kErrCantWritePreferences, {SettingsFilePath()}));
  }
  return true;
}

}  // namespace tsv
