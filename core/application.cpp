// application.cpp: entry, window, start-up in its fixed order, main loop, shutdown.
#include "core/application.h"

#include <SDL.h>

#include <cstdio>
#include <filesystem>
#include <new>
#include <string>

#include "composer/keyframes.h"
#include "core/app_state.h"
#include "core/main_loop.h"
#include "formats/object_texture.h"
#include "formats/picture_files.h"
#include "platform/events.h"
#include "platform/file_spec.h"
#include "platform/folders.h"
#include "platform/fonts.h"
#include "platform/platform_state.h"
#include "platform/preferences.h"
#include "platform/settings.h"
#include "platform/sdl_services.h"
#include "platform/single_instance.h"
#include "platform/string_ids.h"
#include "platform/string_table.h"
#include "platform/user_services.h"
#include "render/composer_raster.h"
#include "render/render_state.h"
#include "scene/object_table.h"
#include "paint/paint_state.h"
#include "tasks/task_recorder.h"
#include "tools/brush.h"
#include "tools/brush_settings.h"
#include "tools/tool_state.h"
#include "scene/organic.h"
#include "scene/native_files.h"
#include "scene/project.h"
#include "scene/scene_state.h"
#include "ui/colour_dialog.h"
#include "ui/file_commands.h"
#include "ui/dialog.h"
#include "ui/file_dialog.h"
#include "ui/message_box.h"
#include "ui/rooms.h"

namespace tsv {
namespace {

constexpr uint32_t kPanelGrey = Rgb(218, 218, 218);
constexpr int kComposerFallbackSide = 128;

// The composer picture at the size of the preferences, or 128 x 128 when that cannot be had.
bool AllocateComposerBuffer() {
  auto tryAllocate = [](int width, int height) {
    ComposerPicture& picture = renderState.composerPicture;
    if (width <= 0 || height <= 0) return false;
    try {
      picture.pixels.assign(size_t(width) * size_t(height), 0);
    } catch (const std::bad_alloc&) {
      picture.pixels.clear();
      return false;
    }
    picture.width = width;
    picture.height = height;
    picture.orthographicScale = kComposerOrthographicScale;
    return true;
  };
  return tryAllocate(preferences.composerBufferWidth, preferences.composerBufferHeight) ||
         tryAllocate(kComposerFallbackSide, kComposerFallbackSide);
}

// The availability bits of the hardware back ends. QuickDraw3D never exists here; the OpenGL and
// second hardware back ends answer for themselves once they are built.
uint16_t ProbeRenderers() { return 0; }

// The start-up object: an organic sphere in slot 0, made current.
bool CreateStartupSphere() {
  std::unique_ptr<SceneObject> sphere = NewOrganicSceneObject();
  if (!sphere || !FillOrganicShape(*sphere, 0)) return false;
  return StoreObjectInSlot(0, std::move(sphere));
}

void RunStartupAction() {
  if (!app.commandLineFile.empty()) {
    OpenFileByType(app.commandLineFile);
    return;
  }
  // Actions 2 and 3 ask for a project or an object with the open dialog.
  if (preferences.startupAction == 2) (void)AskAndOpenProject();  // a failure has been shown
  if (preferences.startupAction == 3) CommandOpenObject();
}

}  // namespace

int CheckDisplay(const DisplayInfo& display) {
  if (display.width < 800 || display.height < 600 || display.bitsPerPixel < 16) return kFatalCodeDisplay;
  return 0;
}

uint16_t ChooseRenderer(uint16_t preferred, uint16_t availability) {
  uint16_t renderer = kBackendSoftDraw;
  if ((availability & kQuickDraw3DAvailable) && (preferred & 1)) renderer = kBackendQuickDraw3D;
  if ((availability & kOpenGLAvailable) && (preferred & 2)) renderer = kBackendOpenGL;
  if ((availability & kDirect3DAvailable) && (preferred & 4)) renderer = kBackendDirect3D;
  return renderer;
}

void ShowFatalMessage(int code) {
  int id = code >= 128 && code <= 131 ? code : 132;
  ShowStopMessage(GetStringById(id));
}

WindowResult CreateMainWindow() {
  std::string error;
  if (!StartVideo(&error)) {
    ShowStopMessage(FormatString(kFatalNoWindow, {error}));
    return WindowResult::Failed;
  }
  switch (ClaimSingleInstance(InstanceSocketPath(), app.commandLineFile)) {
    case InstanceRole::Second:
      StopVideo();
      return WindowResult::SecondInstance;
    case InstanceRole::First:
      app.instanceListening = true;
      break;
    case InstanceRole::Alone:
      break;
  }
  if (!CreateProgramWindow(GetString(kWindowTitle).c_str(), kPanelGrey)) {
    ShowStopMessage(FormatString(kFatalNoWindow, {SDL_GetError()}));
    ReleaseSingleInstance();
    StopVideo();
    return WindowResult::Failed;
  }
  // Without a usable font the panels still work; their texts are not drawn.
  if (!InitInterfaceFonts()) std::fputs("tessivar: no interface font found; texts are not drawn\n", stderr);
  app.sdlServices.screen = &mainWindow.frame;
  app.sdlServices.present = PresentFrame;
  // A tool's drag shows each redraw of the view (already drawn by the tool) and its readout.
  toolState.present = [] {
    DrawViewLayers(mainWindow.frame);
    PresentFrame();
  };
  app.sdlServices.openDialog = ChooseFileToOpen;
  app.sdlServices.saveDialog = ChooseFileToSave;
  app.sdlServices.colorDialog = ChooseColour;
  app.sdlServices.messageBox = RunMessageBox;
  // After a message box the click that closed it must not reach a panel, and the window is redrawn;
  // a box asked from inside a dialog leaves the redraw to that dialog, which is still on show.
  app.sdlServices.afterModal = [] {
    DrainInput();
    input.buttonDown = false;
    if (dialogState.openDialogs == 0) RedrawWindow();
  };
  SetServices(&app.sdlServices);
  return WindowResult::Created;
}

void DestroyMainWindow() {
  if (platform.services == &app.sdlServices) SetServices(nullptr);
  app.sdlServices = SdlServices{};
  DestroyProgramWindow();
  if (app.instanceListening) ReleaseSingleInstance();
  app.instanceListening = false;
  StopVideo();
}

int InitializeApplication() {
  // Platform start: the temporary folder first; without it nothing can go on.
  if (CreateTempFolder() != kNoError) {
    ShowStopMessage(FormatString(kFatalNoTempFolder, {TempFolderPath()}));
    return kFatalCodeMemory;
  }
  ReadPreferences();
  ReadSettings();
  app.preferencesRead = true;

  // The modeling state starts empty: no objects, no current object, no keyframe owner.
  scene.currentObject = nullptr;
  scene.currentObjectIndex = -1;
  scene.keyframeOwner = nullptr;
  app.cameraDistance = -25.0f;
  app.spinRates[0] = 1.0822536f;
  app.spinRates[1] = 7.575775f;
  app.spinRates[2] = 3.1830988f;

  app.preferredRenderer = preferences.rendererWord & 0x00FF;
  preferences.rendererWord &= 0xFF00;
  app.display = app.displayOverride ? *app.displayOverride : GetDisplayInfo();
  if (int code = CheckDisplay(app.display)) {
    ShowFatalMessage(code);
    return code;
  }

  // The shared data: the organic topology and the rooms' panels (their failures have been shown).
  if (!LoadOrganicTopology() || !LoadInterface()) {
    ShowFatalMessage(kFatalCodeMemory);
    return kFatalCodeMemory;
  }
  ResetUiState();
  SetCurrentRoom(1);

  if (!AllocateComposerBuffer()) {
    ShowFatalMessage(kFatalCodeMemory);
    return kFatalCodeMemory;
  }

  uint16_t availability = ProbeRenderers();
  preferences.rendererWord = uint16_t((preferences.rendererWord & 0x1FFF) | availability);
  preferences.rendererWord = uint16_t((preferences.rendererWord & 0xFF00) | ChooseRenderer(app.preferredRenderer, availability));

  // An object opened from a file brings its texture picture with it.
  nativeFiles.loadTexturePicture = LoadObjectTexturePicture;
  renderState.loadComposerPicture = LoadComposerPicture;
  // The keyframe shapes live in the scratch folder's slot files.
  InstallKeyframeHooks();

  // The object table, the undo copy and the work arrays, then the start-up sphere.
  if (!InitScene() || !InitSoftDraw() || !PrepareBrushEngine() || !CreateStartupSphere()) {
    ShowFatalMessage(kFatalCodeMemory);
    return kFatalCodeMemory;
  }
  BuildBrushProfile(brushSettings.shape);
  InitPaint();
  // The task recorder keeps its working files in the temporary folder made above.
  taskRecorder.currentRoom = [] { return ui.currentRoom; };
  InstallTaskRecorder();
  NewTaskList();
  // A file given at start takes the sphere's place, unless it is one that goes onto an object
  // (a texture picture, an optics file): the sphere then receives it.
  const bool keepSphere = app.commandLineFile.empty() ? preferences.startupAction == 1
                                                       : GoesOntoCurrentObject(app.commandLineFile);
  if (!keepSphere) DisposeSceneObject(scene.objectTable[0]);
  ResetProject();  // also clears the "modified" mark the start-up sphere left

  app.readyToPaint = true;
  RedrawWindow();
  if (scene.discardKeyframeShapes) scene.discardKeyframeShapes();
  RunStartupAction();
  return 0;
}

void RunMainLoop() {
  int result = kLoopContinue;
  do {
    result = MainLoopStep(kLoopContinue);
    while (result == kLoopContinue) result = MainLoopStep(result);
    if (result != kLoopQuit) ActOnLoopResult(result);
  } while (result != kLoopQuit);
}

void ShutdownApplication() {
  // The keyframe shapes go first, then the preferences are written while everything else stands.
  scene.keyframeOwner = nullptr;
  if (scene.discardKeyframeShapes) scene.discardKeyframeShapes();
  // Only preferences that were read are written back: a start that ended before reading them
  // (no temporary folder) must not replace the user's file with the defaults.
  if (app.preferencesRead && WritePreferences() != kNoError) {
    std::fprintf(stderr, "tessivar: the preferences could not be written to %s\n", PathOfSpec(MakePrefsFileSpec()).c_str());
  }
  if (app.preferencesRead && WriteSettings() != kNoError) {
    std::fprintf(stderr, "tessivar: the settings could not be written to %s\n", SettingsFilePath().c_str());
  }
  app.preferencesRead = false;

  // Every object, the undo copy, the work arrays and the organic topology; the view buffers.
  ShutdownScene();
  ShutdownSoftDraw();
  ResetBrushEngine();
  ResetTaskRecorder();
  nativeFiles.loadTexturePicture = nullptr;

  renderState.composerPicture = ComposerPicture{};
  renderState.loadComposerPicture = nullptr;
  scene.discardKeyframeShapes = nullptr;
  app.readyToPaint = false;
  DrainInput();
}

void RunApplication() {
  if (InitializeApplication() == 0) RunMainLoop();
  ShutdownApplication();
}

Status LoadComposerPicture(const FileSpec& file, ComposerTexture& picture) {
  FileSpec spec = file;
  const FileSpec& textures = nativeFiles.project.texturesFolder;
  Picture loaded;
  const PictureLoad load =
      FindAndLoadPicture(spec, loaded, IsFileSpecSet(textures) ? PathOfSpec(textures) : ProjectFolderPath());
  if (load.status != kNoError) {
    ShowStopMessage(FormatString(kErrRenderPictureNotLoaded, {PathOfSpec(file), load.message}));
    return load.status;
  }
  picture.width = loaded.width;
  picture.height = loaded.height;
  picture.pixels = std::move(loaded.pixels);
  return kNoError;
}

void OpenFileByType(const std::string& path) {
  (void)OpenFileOfType(path);  // a file that cannot be opened has been reported
  RedrawWindow();
}

void RedrawWindow() {
  if (mainWindow.frame.width == 0) return;
  SyncFrameToWindow(kPanelGrey);
  DrawInterface(mainWindow.frame);
  PresentFrame();
}

void RedrawViewLayers() {
  if (mainWindow.frame.width == 0) return;
  DrawViewLayers(mainWindow.frame);
  PresentFrame();
}

int AppEntry(const std::string& commandLineFile) {
  // A later start may run in another folder than the first: hand over absolute paths only.
  std::error_code error;
  app.commandLineFile = commandLineFile.empty() ? "" : std::filesystem::absolute(commandLineFile, error).string();
  if (error) app.commandLineFile = commandLineFile;
  InitPlatformDirectories();
  // A missing text resource has been reported; the built-in texts stand in for it.
  (void)LoadStringTable();
  switch (CreateMainWindow()) {
    case WindowResult::SecondInstance:
      return 0;
    case WindowResult::Failed:
      return 1;
    case WindowResult::Created:
      break;
  }
  platform.rememberedFolder = platform.startDirectory;
  RunApplication();
  DestroyMainWindow();
  return 0;
}

}  // namespace tsv
