// Start-up, main loop and shutdown of the application core, in process with SDL's offscreen video.
#include <gtest/gtest.h>

#include <SDL.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include "core/app_state.h"
#include "core/application.h"
#include "formats/picture_writers.h"
#include "platform/folders.h"
#include "platform/platform_state.h"
#include "platform/preferences.h"
#include "platform/scripted_services.h"
#include "platform/single_instance.h"
#include "render/composer_frame.h"
#include "render/render_state.h"
#include "scene/native_files.h"
#include "scene/object_file.h"
#include "scene/object_table.h"
#include "scene/scene_state.h"
#include "ui/rooms.h"
#include "tests/support/temp_dir.h"
#include "tests/support/reset_all_state.h"

namespace tsv {
namespace {

TEST(Startup, DisplayCheck) {
  EXPECT_EQ(CheckDisplay({1024, 768, 8}), 128);
  EXPECT_EQ(CheckDisplay({800, 600, 16}), 0);
  EXPECT_EQ(CheckDisplay({799, 600, 32}), 128);
  EXPECT_EQ(CheckDisplay({800, 599, 32}), 128);
  EXPECT_EQ(CheckDisplay({1920, 1080, 24}), 0);
}

TEST(Startup, RendererChoiceTakesTheLastAvailableMatch) {
  EXPECT_EQ(ChooseRenderer(4, 0), kBackendSoftDraw);  // Direct3D wanted, none available
  EXPECT_EQ(ChooseRenderer(4 | 2, kOpenGLAvailable), kBackendOpenGL);
  EXPECT_EQ(ChooseRenderer(4 | 2, kOpenGLAvailable | kDirect3DAvailable), kBackendDirect3D);
  EXPECT_EQ(ChooseRenderer(1, kQuickDraw3DAvailable), kBackendQuickDraw3D);
  EXPECT_EQ(ChooseRenderer(0, kOpenGLAvailable | kDirect3DAvailable), kBackendSoftDraw);
}

TEST(Startup, FatalMessages) {
  ScriptedServices services;
  for (int code : {128, 129, 130, 131, 7}) ShowFatalMessage(code);
  EXPECT_EQ(services.Texts(ShownKind::Stop),
            (std::vector<std::string>{
                "Tessivar needs at least 16-bit color to run and at least 800x600 resolution. Please use control "
                "panel to set required display options.",
                "Not enough memory to run Tessivar. Try quitting other applications to free some and then restart.",
                "object export error?", "mesh manipulation error?", "Unknown error"}));
}

// Each test runs the real start-up against the build's resource folder, with its own folders for
// preferences, scratch files and the instance socket, and no window: the services are scripted.
class Application : public testing::Test {
 protected:
  void SetUp() override {
    test::ResetAllState();
    platform.resourceDirectory = TESSIVAR_TEST_RESOURCE_ROOT;
    app.displayOverride = DisplayInfo{1024, 768, 32};
  }
  void TearDown() override { test::ResetAllState(); }
  void WritePrefs(int16_t startupAction) {
    Preferences prefs;
    SetDefaultPreferences(prefs);
    prefs.startupAction = startupAction;
    uint8_t image[kPreferencesSize];
    StorePreferences(prefs, image);
    test::WriteFileBytes(dir / "config/Tessivar/Tessivar 1.0 Prefs", std::vector<uint8_t>(image, image + kPreferencesSize));
  }
  test::TempDir dir;
  test::ScopedEnv config{"XDG_CONFIG_HOME", dir / "config"};
  test::ScopedEnv tmp{"TMPDIR", dir.str()};
  ScriptedServices services;
};

TEST_F(Application, StartsWithOneOrganicSphereCurrentInSlot0) {
  ASSERT_EQ(InitializeApplication(), 0);
  ASSERT_NE(scene.objectTable[0], nullptr);
  EXPECT_EQ(scene.currentObject, scene.objectTable[0].get());
  EXPECT_EQ(scene.currentObjectIndex, 0);
  EXPECT_NE(scene.currentObject->isOrganic, 0);
  EXPECT_EQ(scene.currentObject->pointCount, 8194);
  for (int slot = 1; slot < kObjectSlotCount; ++slot) EXPECT_EQ(scene.objectTable[size_t(slot)], nullptr);
  EXPECT_FALSE(scene.projectModified);
  EXPECT_TRUE(app.readyToPaint);
  EXPECT_EQ(renderState.composerPicture.width * renderState.composerPicture.height, 400 * 300);
  EXPECT_EQ(preferences.rendererWord & 0xFF, kBackendSoftDraw);
  EXPECT_TRUE(services.shown.empty());
  ShutdownApplication();
  EXPECT_EQ(scene.objectTable[0], nullptr);
  EXPECT_EQ(test::ReadFileBytes(dir / "config/Tessivar/Tessivar 1.0 Prefs").size(), kPreferencesSize);
}

// The composer's picture loader that start-up hands down: a texture that cannot be read ends the
// render with the loader's status and one message naming the file and why.
TEST_F(Application, TheComposerSaysWhichTextureItCouldNotRead) {
  ASSERT_EQ(InitializeApplication(), 0);
  ASSERT_NE(scene.objectTable[0], nullptr);
  renderState.composerPicture.pixels.assign(16 * 12, 0);
  renderState.composerPicture.width = 16;
  renderState.composerPicture.height = 12;
  nativeFiles.project.texturesOn = 1;
  test::WriteFileText(dir / "wood.bmp", "BM but nothing a picture needs");
  struct Case {
    std::string file;
    Status status;
    std::string reason;
  } cases[] = {{dir / "wood.bmp", kInvalidBmpFile, "Invalid BMP file."},
               {dir / "gone.png", kFileNotFound, "Error: Couldn't load picture."}};
  for (const Case& c : cases) {
    services.shown.clear();
    scene.objectTable[0]->textureFile = FileSpecForPath(c.file, FileTypeFromName(c.file));
    EXPECT_EQ(RenderComposerFrame(), c.status) << c.file;
    EXPECT_EQ(services.Texts(ShownKind::Stop),
              std::vector<std::string>{"Error: The picture \"" + c.file + "\" cannot be used for rendering. " + c.reason});
  }
  ShutdownApplication();
}

TEST_F(Application, ActionNothingStartsWithAnEmptyTable) {
  WritePrefs(0);
  ASSERT_EQ(InitializeApplication(), 0);
  for (int slot = 0; slot < kObjectSlotCount; ++slot) EXPECT_EQ(scene.objectTable[size_t(slot)], nullptr);
  EXPECT_EQ(scene.currentObject, nullptr);
  EXPECT_EQ(scene.currentObjectIndex, -1);
  ShutdownApplication();
}

TEST_F(Application, ACommandLineFileTakesPrecedenceOverTheSphere) {
  app.commandLineFile = dir / "picture.xyz";
  ASSERT_EQ(InitializeApplication(), 0);
  EXPECT_EQ(scene.currentObject, nullptr);
  ASSERT_EQ(services.Texts(ShownKind::Stop).size(), 1u);
  EXPECT_EQ(services.Texts(ShownKind::Stop)[0], "Can't open " + (dir / "picture.xyz") + ": Unknown file type.");
  ShutdownApplication();
}

TEST_F(Application, ACommandLinePictureIsLaidOnTheStartUpSphere) {
  ASSERT_EQ(WriteBmpFile(dir / "wood.bmp", std::vector<uint32_t>{0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF}, 2, 2),
            kNoError);
  app.commandLineFile = dir / "wood.bmp";
  ASSERT_EQ(InitializeApplication(), 0);
  ASSERT_NE(scene.currentObject, nullptr);
  EXPECT_EQ(scene.currentObject->textureImage.size(), 4u);
  EXPECT_TRUE(services.Texts(ShownKind::Stop).empty());
  ShutdownApplication();
}

TEST_F(Application, ACommandLineObjectOpensWithoutAskingAboutTheSphereItReplaces) {
  {
    ASSERT_TRUE(InitScene());
    std::unique_ptr<SceneObject> object = NewSceneObject(3, 1);
    ASSERT_TRUE(SaveObjectToFile(*object, FileSpecForPath(dir / "Rock.cmf", kObjectFileType)));
    DisposeSceneObject(object);
    ResetScene();
  }
  services.shown.clear();  // the save's progress
  app.commandLineFile = dir / "Rock.cmf";
  ASSERT_EQ(InitializeApplication(), 0);
  EXPECT_TRUE(services.shown.empty());
  ASSERT_NE(scene.currentObject, nullptr);
  EXPECT_EQ(scene.currentObject->pointCount, 3);
  ShutdownApplication();
}

TEST_F(Application, ASmallDisplayStopsWithCode128AndShutsDownInOrder) {
  app.displayOverride = DisplayInfo{1024, 768, 8};
  EXPECT_EQ(InitializeApplication(), 128);
  ASSERT_EQ(services.Texts(ShownKind::Stop).size(), 1u);
  EXPECT_EQ(services.Texts(ShownKind::Stop)[0].rfind("Tessivar needs at least 16-bit color", 0), 0u);
  EXPECT_EQ(scene.objectTable[0], nullptr);
  ShutdownApplication();  // tolerates what was never created
  EXPECT_EQ(test::ReadFileBytes(dir / "config/Tessivar/Tessivar 1.0 Prefs").size(), kPreferencesSize);
}

TEST_F(Application, WithoutATemporaryFolderTheStartEndsAndThePreferencesStayAsTheyWere) {
  WritePrefs(3);
  const std::vector<uint8_t> before = test::ReadFileBytes(dir / "config/Tessivar/Tessivar 1.0 Prefs");
  // A file where the temporary folder's parent should be: no folder can be made in it.
  test::WriteFileText(dir / "not-a-folder", "x");
  test::ScopedEnv noFolder{"TMPDIR", dir / "not-a-folder"};
  RemoveProcessTempFolder();  // the test's own scratch folder would stand in for the missing one
  EXPECT_EQ(InitializeApplication(), 129);
  ASSERT_EQ(services.Texts(ShownKind::Stop).size(), 1u);
  EXPECT_EQ(services.Texts(ShownKind::Stop)[0].rfind("Tessivar cannot create its temporary folder", 0), 0u);
  ShutdownApplication();
  EXPECT_EQ(test::ReadFileBytes(dir / "config/Tessivar/Tessivar 1.0 Prefs"), before);
}

TEST_F(Application, MissingResourcesStopWithCode129) {
  platform.resourceDirectory = dir / "nowhere";
  EXPECT_EQ(InitializeApplication(), 129);
  std::vector<std::string> stops = services.Texts(ShownKind::Stop);
  ASSERT_EQ(stops.size(), 2u);
  EXPECT_EQ(stops[0], "Can't find data resource 3004");
  EXPECT_EQ(stops[1].rfind("Not enough memory to run Tessivar.", 0), 0u);
  ShutdownApplication();
}

TEST_F(Application, AnUnusableComposerSizeFallsBackTo128Square) {
  Preferences prefs;
  SetDefaultPreferences(prefs);
  prefs.composerBufferWidth = -5;
  uint8_t image[kPreferencesSize];
  StorePreferences(prefs, image);
  test::WriteFileBytes(dir / "config/Tessivar/Tessivar 1.0 Prefs", std::vector<uint8_t>(image, image + kPreferencesSize));
  ASSERT_EQ(InitializeApplication(), 0);
  EXPECT_EQ(renderState.composerPicture.width, 128);
  EXPECT_EQ(renderState.composerPicture.height, 128);
  ShutdownApplication();
}

TEST_F(Application, TheWindowsCloseRequestEndsTheLoopThroughTheOrderlyShutdown) {
  test::ScopedEnv driver("SDL_VIDEODRIVER", "offscreen");
  test::ScopedEnv runtime("XDG_RUNTIME_DIR", dir.str());
  ASSERT_EQ(CreateMainWindow(), WindowResult::Created);
  SetServices(&services);
  ASSERT_EQ(InitializeApplication(), 0);
  EXPECT_GT(mainWindow.frame.width, 0);
  // The room is drawn: the top strip's panel over the grey frame, the view in its background colour.
  EXPECT_NE(PixelAt(mainWindow.frame, 0, 0), PixelAt(mainWindow.frame, ui.viewRect.left + 1, ui.viewRect.top + 1));
  EXPECT_EQ(PixelAt(mainWindow.frame, ui.viewRect.left + 1, ui.viewRect.top + 1), 0u);

  SDL_Event close{};
  close.type = SDL_WINDOWEVENT;
  close.window.event = SDL_WINDOWEVENT_CLOSE;
  close.window.windowID = SDL_GetWindowID(mainWindow.window);
  ASSERT_EQ(SDL_PushEvent(&close), 1);
  RunMainLoop();  // returns only on the quit result
  ShutdownApplication();
  DestroyMainWindow();
  SetServices(&services);
  EXPECT_EQ(scene.objectTable[0], nullptr);
  EXPECT_EQ(test::ReadFileBytes(dir / "config/Tessivar/Tessivar 1.0 Prefs").size(), kPreferencesSize);
  EXPECT_TRUE(services.shown.empty());
}

TEST(SingleInstance, ALaterStartHandsOverItsPath) {
  test::TempDir dir;
  std::string socket = dir / "instance.socket";
  ASSERT_EQ(ClaimSingleInstance(socket, ""), InstanceRole::First);
  EXPECT_EQ(ClaimSingleInstance(socket, "/home/ann/Rock.cmf"), InstanceRole::Second);
  EXPECT_EQ(ClaimSingleInstance(socket, ""), InstanceRole::Second);
  EXPECT_EQ(PollInstanceMessages(), (std::vector<std::string>{"/home/ann/Rock.cmf", ""}));
  EXPECT_TRUE(PollInstanceMessages().empty());
  ReleaseSingleInstance();
  EXPECT_FALSE(std::filesystem::exists(socket));

  // A socket left behind by a program that ended without cleaning up is taken over.
  int stale = ::socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::snprintf(address.sun_path, sizeof address.sun_path, "%s", socket.c_str());
  ASSERT_EQ(::bind(stale, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  ::close(stale);
  ASSERT_TRUE(std::filesystem::exists(socket));
  EXPECT_EQ(ClaimSingleInstance(socket, "/x.cmf"), InstanceRole::First);
  EXPECT_TRUE(PollInstanceMessages().empty());
  ReleaseSingleInstance();
}

}  // namespace
}  // namespace tsv
