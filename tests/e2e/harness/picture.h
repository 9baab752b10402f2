// What the viewer should show, from our own decoding of the same file: the core's
// LoadGamePicture with a host of our own, and a pixel-by-pixel comparison of a screen shot of
// the client area with the picture's palette colours at a zoom factor.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <string>

#include "common/dib_image.h"
#include "harness/screen.h"

namespace qelva::e2e {

struct Decoded {
  DibImage image;            // empty when the file is no picture or decoding failed
  std::string name;          // the path as LoadGamePicture left it ("omall.dat[5]")
  std::string failure;       // the message of the failure raised, if one was
  std::string shownMessage;  // a message the decoder asked its host to show
};

// Decodes a file as the viewer must: a path relative to the sample folder ("\\" separated) or a
// full one; archives give entry `entry`.
Decoded DecodeSample(const std::wstring& relativePath, int32_t entry = 0);

// The palette colour of picture pixel (x, y), top row 0, as 0x00RRGGBB.
uint32_t PictureColour(const DibImage& image, int x, int y);

// How the picture should lie in the client area.
struct View {
  int zoom = 1;
  POINT origin{0, 0};       // client position of the picture's top-left pixel (scrolled: negative)
  uint32_t background = 0;  // the colour around the picture, 0x00RRGGBB
};

// The background the viewer leaves around a small picture: the button-shadow colour.
uint32_t WindowBackground();

// Every pixel of the shot (the client area) is the picture's colour where the picture lies,
// and the background colour elsewhere.
::testing::AssertionResult ShowsPicture(const Shot& shot, const DibImage& image, const View& view);

}  // namespace qelva::e2e
