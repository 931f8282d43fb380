#pragma once
// Display options of the page view. Front ends persist them; the engine only reads
// them. Defaults are those a fresh installation starts with.
#include <string>

#include "menuview/image.h"

namespace morvex::menuview {

struct DisplayOptions {
  Rgba colBackground{0, 0, 128};            // navy: behind the background picture
  Rgba colSelectedButton{255, 255, 0};      // yellow: label of the selected/activated button
  Rgba colNormalButton{255, 255, 255};      // white: label of a normal-state button
  Rgba colInvalidButton{128, 128, 128};     // grey: label of a button without commands
  Rgba colWindow{0, 255, 0};                // lime: effect window frames
  Rgba colSelectedFrame{255, 0, 0};         // red: frame of the selected/activated button
  Rgba colNormalFrame{192, 192, 192};       // silver: frame of a normal-state button
  Rgba colInvalidFrame{0, 0, 0};            // black: frame of a button without commands
  Rgba colObjectBackground{192, 192, 192};  // silver: behind BOG, effect and object pictures

  bool background = false;     // use the user background picture
  std::string backgroundFile;  // BMP or PNG
  bool preload = true;         // colour all of a page's objects before drawing it

  bool showButtonId = false;
  bool showObjectId = false;
  bool showButtonFrame = false;
  bool showWindowFrame = false;
  bool fullScreen = false;  // fit-to-window view (larger overlay labels)
  bool playSound = false;
  // Button states whose object the menu lacks (a composition read without its
  // pictures) are drawn as fixed-size markers with the button id.
  bool placeholders = false;

  bool showInEffects = true;
  bool showOutEffects = true;
  bool buttonAnimation = false;
  int gridSize = 15;  // 0..100, right-drag grid
};

}  // namespace morvex::menuview
