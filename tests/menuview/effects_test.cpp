// In and out effects: schedules with their durations and status lines, windows,
// cropped and whole composition objects, the preview picture and the cropping edits.
#include <gtest/gtest.h>

#include "menuview/effects.h"
#include "synthetic_menu.h"

using namespace morvex;
using namespace morvex::menuview;
using namespace morvex::menuview::test;

namespace {

constexpr Rgba kNavy{0, 0, 128, 255};

// Colour of palette 1 entry for column c of a column object.
Rgba columnColour(int c) {
  const uint8_t i = uint8_t(c % 250 + 1);
  return Rgba{i, uint8_t(255 - i), 77, 255};
}

// A page whose in-effects hold one effect with one composition object in window 0.
struct EffectPage : SyntheticMenu {
  // Clock that advances by `drawMs` between the start and the end of each effect.
  double now = 1000.0;
  double drawMs = 20.0;
  bool tick = false;

  EffectPage() {
    addColumnObject(9, 200, 50);
    igs::EffectSequence& in = page().effects[0];
    in.numWindows = 1;
    in.windows[0] = igs::EffectWindow{0, 700, 400, 300, 100};
    igs::Effect e;
    e.duration = 45000;
    e.paletteId = 1;
    igs::CompositionObject c;
    c.objectId = 9;
    c.windowId = 0;
    c.x = 730;
    c.y = 420;
    e.objects.push_back(c);
    e.numObjects = 1;
    in.effects.push_back(e);
    in.numEffects = 1;
    finish();
    view->clockMs = [this] {
      tick = !tick;
      if (!tick) now += drawMs;
      return now;
    };
  }
  igs::Page& page() {
    bog(0, 0);
    return menu.ics.pages[0];
  }
};

}  // namespace

TEST(Effects, HalfSecondEffectWaitsTheRestOfItsDuration) {
  EffectPage m;
  m.view->renderEffects(m.page().effects[0]);
  auto frames = m.view->takeFrames();
  ASSERT_EQ(frames.size(), 1u);
  EXPECT_EQ(frames[0].waitMs, 480u);
  EXPECT_EQ(frames[0].status, "Effect: 0  duration: 500ms, displayed: 500 ms");
  // The frame shows the object at its own (x, y) inside the window.
  EXPECT_EQ(frames[0].patch.pixel(730 - frames[0].x, 420 - frames[0].y), columnColour(0));
  // After the sequence the window is restored from the background.
  EXPECT_EQ(m.view->page().pixel(735, 425), kNavy);
  EXPECT_EQ(m.view->page(), m.view->background());
}

TEST(Effects, SlowDrawingIsNotWaitedFor) {
  EffectPage m;
  m.drawMs = 600.0;
  m.view->renderEffects(m.page().effects[0]);
  auto frames = m.view->takeFrames();
  ASSERT_EQ(frames.size(), 1u);
  EXPECT_EQ(frames[0].waitMs, 0u);
  EXPECT_EQ(frames[0].status, "Effect: 0  duration: 500ms, displayed: 600 ms");
}

TEST(Effects, CroppedObjectIsTakenFromItsCroppingRectangle) {
  EffectPage m;
  igs::CompositionObject& c = m.page().effects[0].effects[0].objects[0];
  c.flags = 2;
  c.cropX = 10;
  c.cropY = 0;
  c.cropWidth = 100;
  c.cropHeight = 50;
  m.options.showButtonFrame = true;
  m.view->renderEffects(m.page().effects[0]);
  auto frames = m.view->takeFrames();
  ASSERT_EQ(frames.size(), 1u);
  const ViewFrame& f = frames[0];
  auto at = [&](int x, int y) { return f.patch.pixel(x - f.x, y - f.y); };
  // 100 x 50 pixels from columns 10..109; the frame (Normal button colour) sits on its edge.
  EXPECT_EQ(at(731, 421), columnColour(11));
  EXPECT_EQ(at(828, 421), columnColour(108));
  EXPECT_EQ(at(730, 420), (Rgba{255, 255, 255, 255}));
  EXPECT_EQ(at(829, 440), (Rgba{255, 255, 255, 255}));
  EXPECT_EQ(at(830, 440), kNavy);
  EXPECT_EQ(at(731, 470), kNavy);
}

TEST(Effects, WindowsFramesAndEmptySequences) {
  EffectPage m;
  m.options.showWindowFrame = true;
  m.view->renderEffects(m.page().effects[0]);
  auto frames = m.view->takeFrames();
  ASSERT_EQ(frames.size(), 1u);
  const ViewFrame& f = frames[0];
  EXPECT_EQ(f.patch.pixel(700 - f.x, 450 - f.y), (Rgba{0, 255, 0, 255}));  // window frame, lime
  EXPECT_EQ(f.patch.pixel(929 - f.x, 440 - f.y), (Rgba{255, 255, 255, 255}));  // object frame

  // A sequence with windows and no effects only clears its windows: a button that
  // reaches across the window keeps its pixels outside it.
  m.addSolidObject(0, 400, 20, kRed);
  m.bog(0, 0).defaultValid = 0;
  m.addButton(0, 0, makeButton(0, 650, 410, 0, 0, 0));
  m.finish();
  m.options.showInEffects = false;
  m.view->renderPage();
  m.view->takeFrames();
  igs::EffectSequence empty = m.page().effects[0];
  empty.effects.clear();
  empty.numEffects = 0;
  m.view->renderEffects(empty);
  EXPECT_TRUE(m.view->takeFrames().empty());
  EXPECT_EQ(m.view->page().pixel(705, 415), kNavy);
  EXPECT_EQ(m.view->page().pixel(660, 415), (Rgba{255, 0, 0, 255}));
  EXPECT_EQ(m.view->page().pixel(1010, 415), (Rgba{255, 0, 0, 255}));

  // An object whose window id names no window of the sequence is not drawn.
  igs::EffectSequence orphan = m.page().effects[0];
  orphan.effects[0].objects[0].windowId = 1;
  m.options.showWindowFrame = false;
  m.view->renderEffects(orphan);
  frames = m.view->takeFrames();
  ASSERT_EQ(frames.size(), 1u);
  EXPECT_TRUE(frames[0].patch.empty());
}

TEST(Effects, PageDrawPlaysInEffectsWhenOnAndTheTimerFollowsTheOption) {
  EffectPage m;
  m.options.buttonAnimation = true;
  m.view->renderPage();
  auto frames = m.view->takeFrames();
  ASSERT_GE(frames.size(), 1u);
  EXPECT_EQ(frames[0].status.rfind("Effect: 0", 0), 0u);
  EXPECT_TRUE(m.view->animationTimerOn);
  m.options.showInEffects = false;
  m.view->renderPage();
  for (const auto& f : m.view->takeFrames()) EXPECT_TRUE(f.status.empty());
}

TEST(Effects, PreviewDrawsOnTheEffectPictureOverTheWindow) {
  EffectPage m;
  const Rgba silver{192, 192, 192, 255};
  m.view->effectPreview(m.page().effects[0], 0, 0);
  const Image& pic = m.view->effectPicture();
  EXPECT_EQ(pic.pixel(730, 420), columnColour(0));
  EXPECT_EQ(pic.pixel(10, 10), silver);
  // Previewing again refills the window first: the old position is cleared.
  m.page().effects[0].effects[0].objects[0].x = 760;
  m.view->effectPreview(m.page().effects[0], 0, 0);
  EXPECT_EQ(pic.pixel(730, 420), silver);
  EXPECT_EQ(pic.pixel(760, 420), columnColour(0));
  // Out-of-range indices draw nothing.
  const Image before = pic;
  m.view->effectPreview(m.page().effects[0], 3, 0);
  m.view->effectPreview(m.page().effects[0], 0, 7);
  EXPECT_EQ(m.view->effectPicture(), before);
}

TEST(Effects, GridTextsAndCroppingEdits) {
  EffectPage m;
  const igs::EffectSequence& seq = m.page().effects[0];
  auto w = effectWindowRows(seq);
  ASSERT_EQ(w.size(), 1u);
  EXPECT_EQ(w[0], (std::array<std::string, 5>{"00", "700", "400", "300", "100"}));
  auto e = effectRows(seq);
  ASSERT_EQ(e.size(), 1u);
  EXPECT_EQ(e[0], (std::array<std::string, 4>{"000", "0:00:00.500", "01", "1"}));
  EXPECT_EQ(durationText(90000u * 3725), "1:02:05.000");
  auto c = compObjectRows(seq.effects[0]);
  EXPECT_EQ(c[0], (std::array<std::string, 5>{"000", "0009", "00", "730", "420"}));

  igs::CompositionObject obj = seq.effects[0].objects[0];
  EXPECT_EQ(cropFields(obj), CropFields{});
  obj.flags = 2;
  obj.cropX = 5;
  obj.cropWidth = 20;
  EXPECT_EQ(cropFields(obj), (CropFields{true, true, 5, 0, 20, 0}));
  EXPECT_FALSE(setCropValue(obj, CropField::Width, -3));
  EXPECT_EQ(obj.cropWidth, 20);
  EXPECT_TRUE(setCropValue(obj, CropField::Height, 40));
  EXPECT_EQ(obj.cropHeight, 40);
  EXPECT_TRUE(setCropValue(obj, CropField::X, 5000));
  EXPECT_EQ(obj.cropX, 1919);
}

TEST(Effects, ObjectsShowOnlyThroughTheirWindowWhenPlayingAndPreviewing) {
  // A 200 x 50 object in a 100 x 40 window at (700, 400), placed at the window's corner.
  EffectPage m;
  igs::EffectSequence& in = m.page().effects[0];
  in.windows[0] = igs::EffectWindow{0, 700, 400, 100, 40};
  in.effects[0].objects[0].x = 700;
  in.effects[0].objects[0].y = 400;
  // A second effect slides the object 50 pixels left inside the window.
  igs::Effect slide = in.effects[0];
  slide.objects[0].x = 650;
  in.effects.push_back(slide);
  in.numEffects = 2;

  m.options.showWindowFrame = false;
  m.options.showButtonFrame = false;
  m.view->blankPage();
  const Image before = m.view->page();
  // Play the first effect alone and compare the whole page outside the window.
  auto countOutside = [&](const Image& pic, const Image& ref) {
    int n = 0;
    for (int y = 0; y < kPageHeight; ++y)
      for (int x = 0; x < kPageWidth; ++x) {
        const bool inside = x >= 700 && x < 800 && y >= 400 && y < 440;
        if (!inside && pic.pixel(x, y) != ref.pixel(x, y)) ++n;
      }
    return n;
  };
  igs::EffectSequence first = in;
  first.effects.resize(1);
  first.numEffects = 1;
  m.view->blankPage();
  m.view->renderEffects(first);
  EXPECT_EQ(countOutside(m.view->page(), before), 0);
  EXPECT_EQ(m.view->page(), before);  // the window is cleared after the sequence

  // Sliding leaves no trail: during the slide the window shows the object's columns
  // 50..149 and nothing of it is left outside.
  igs::EffectSequence slideOnly = in;
  slideOnly.effects.erase(slideOnly.effects.begin());
  slideOnly.numEffects = 1;
  // Stop before the closing clear by looking at the preview, which keeps its picture.
  m.view->resetEffectPicture();
  m.view->effectPreview(in, 1, 0);
  const Image& pic = m.view->effectPicture();
  EXPECT_EQ(pic.pixel(700, 400), columnColour(50));
  EXPECT_EQ(pic.pixel(799, 439), columnColour(149));
  const Rgba silver{192, 192, 192, 255};
  EXPECT_EQ(pic.pixel(699, 400), silver);  // left of the window
  EXPECT_EQ(pic.pixel(650, 400), silver);  // where the object starts
  EXPECT_EQ(pic.pixel(700, 440), silver);  // below the window
  m.view->blankPage();
  m.view->renderEffects(slideOnly);
  EXPECT_EQ(countOutside(m.view->page(), before), 0);
}

TEST(Effects, GridCellsAcceptOnlyValuesTheFormatCanHold) {
  // Durations: the forms a user types, and the 24-bit limit of the stored field.
  EXPECT_EQ(parseDuration("0:00:00.500"), 45000u);
  EXPECT_EQ(parseDuration("1.5"), 135000u);
  EXPECT_EQ(parseDuration("2:03"), 123u * 90000u);
  EXPECT_EQ(parseDuration(durationText(45000)), 45000u);
  EXPECT_EQ(parseDuration("0:03:06.000"), 16740000u);
  EXPECT_EQ(parseDuration("0:03:07.000"), std::nullopt);  // 16,830,000 ticks: past 24 bits
  EXPECT_EQ(parseDuration("0:3:00"), std::nullopt);
  EXPECT_EQ(parseDuration("1:60"), std::nullopt);
  EXPECT_EQ(parseDuration(" 1"), std::nullopt);
  EXPECT_EQ(parseDuration("1."), std::nullopt);

  EffectPage m;
  igs::EffectSequence& seq = m.page().effects[0];
  const igs::EffectSequence before = seq;
  // Windows stay inside the 1920 x 1080 frame and are never empty.
  EXPECT_FALSE(setEffectWindowCell(seq, 0, WindowField::Width, "1300", 1920, 1080));  // 700 + 1300 > 1920
  EXPECT_FALSE(setEffectWindowCell(seq, 0, WindowField::Height, "0", 1920, 1080));
  EXPECT_FALSE(setEffectWindowCell(seq, 0, WindowField::Id, "5", 1920, 1080));     // the id is not edited
  EXPECT_FALSE(setEffectWindowCell(seq, 1, WindowField::X, "5", 1920, 1080));     // no second window
  EXPECT_FALSE(setEffectCell(seq, 0, EffectField::Palette, "02", 2));                   // palette 2 of two
  EXPECT_FALSE(setCompObjectCell(seq, 0, 0, CompObjectField::ObjectId, "000A", 10, 1920, 1080));
  EXPECT_FALSE(setCompObjectCell(seq, 0, 0, CompObjectField::WindowId, "01", 10, 1920, 1080));  // window 1 of one
  EXPECT_FALSE(setCompObjectCell(seq, 0, 0, CompObjectField::X, "1920", 10, 1920, 1080));
  EXPECT_FALSE(setCompObjectCell(seq, 0, 0, CompObjectField::X, "-1", 10, 1920, 1080));
  EXPECT_EQ(seq, before);

  EXPECT_TRUE(setEffectWindowCell(seq, 0, WindowField::Width, "1220", 1920, 1080));
  EXPECT_EQ(seq.windows[0].width, 1220);
  EXPECT_FALSE(setEffectWindowCell(seq, 0, WindowField::Width, "1220", 1920, 1080));  // unchanged: nothing to record
  EXPECT_TRUE(setEffectCell(seq, 0, EffectField::Duration, "0:00:01.000", 2));
  EXPECT_EQ(seq.effects[0].duration, 90000u);
  EXPECT_TRUE(setEffectCell(seq, 0, EffectField::Palette, "0", 2));
  EXPECT_EQ(seq.effects[0].paletteId, 0);
  EXPECT_TRUE(setCompObjectCell(seq, 0, 0, CompObjectField::ObjectId, "a", 11, 1920, 1080));
  EXPECT_EQ(seq.effects[0].objects[0].objectId, 10);
  EXPECT_TRUE(setCompObjectCell(seq, 0, 0, CompObjectField::Y, "1079", 11, 1920, 1080));
  EXPECT_EQ(seq.effects[0].objects[0].y, 1079);
}
