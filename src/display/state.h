#pragma once
// Display slice of the shared record.
#include <atomic>
#include <cstdint>

struct FrameBuffer;

struct DisplayState {
  FrameBuffer *fb = nullptr;
  char imageName[16]{};  // next full-screen image, without ".png"
  std::atomic<int32_t> imgPosX{0};
  std::atomic<int32_t> imgPosY{0};
};
