#pragma once
// The display record and the drawing primitives. Every screen is composed in
// `work` (usually starting from the background in `back`) and shown with one
// copy into `screen`.
#include <cstdint>
#include <memory>

#include "platform/display_device.h"

struct Works;

struct FrameBuffer {
  int32_t width = 0;          // pixels per row
  int32_t height = 0;         // rows
  uint32_t memSize = 0;       // bytes of one screen
  uint32_t lineSize = 0;      // bytes per row: width × pixelSize
  uint32_t pixelSize = 0;     // bytes per pixel, 1 to 4
  uint8_t *screen = nullptr;  // the displayed memory
  uint8_t *work = nullptr;    // every screen is drawn here
  uint8_t *back = nullptr;    // the background

  // What the pointers above refer to, kept as long as the record.
  DisplayDevice device;
  std::unique_ptr<uint8_t[]> workStore;
  std::unique_ptr<uint8_t[]> backStore;
};

// Opens, sets up and maps the display; null (after logging why) on failure.
std::unique_ptr<FrameBuffer> fbInit();

// Shows the composed screen: work → screen.
void fbRealize(FrameBuffer *fb);
// Starts a new screen from the background: back → work.
void fbSetBack(FrameBuffer *fb);

// toBack 0 draws into `work`, any other value into `back`. Points whose byte
// offset falls outside the buffer are skipped (a point past the right edge
// lands on the next row). 1- and 3-byte pixel formats are not drawn.
void DrawHorizontalLine(int x0, int y, int x1, uint8_t red, uint8_t green, uint8_t blue,
                        FrameBuffer *fb, int toBack);
void DrawLine(int x0, int y0, int x1, int y1, uint8_t red, uint8_t green, uint8_t blue,
              FrameBuffer *fb, int toBack);
void DrawRect(Works *works, int x0, int y0, int x1, int y1, uint8_t red, uint8_t green,
              uint8_t blue);
void DrawArc(int cx, int cy, int radius, int fromDegree, int toDegree, uint8_t red, uint8_t green,
             uint8_t blue, FrameBuffer *fb, int toBack);
void FillBox(int x0, int y0, int x1, int y1, uint8_t red, uint8_t green, uint8_t blue,
             FrameBuffer *fb, int toBack);
