#pragma once
// Display slice of the shared record.
#include <atomic>
#include <cstdint>
#include <mutex>

struct FrameBuffer;

struct DisplayState {
  FrameBuffer *fb = nullptr;  // null when the display could not be opened
  // Held by every screen step while it draws; a thread composing a whole
  // pass holds it around the pass (hence recursive). The primitives take none.
  std::recursive_mutex drawMutex;
  char imageName[16]{};  // next full-screen image, without ".png"
  std::atomic<int32_t> imgPosX{0};
  std::atomic<int32_t> imgPosY{0};
};
