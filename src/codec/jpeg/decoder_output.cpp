// The decoder's output side: blocks to sample planes, planes to pixel rows.
#include <algorithm>
#include <cstring>

#include "codec/jpeg/colour_convert.h"
#include "codec/jpeg/inverse_dct.h"
#include "codec/jpeg/jpeg_common.h"
#include "codec/jpeg/jpeg_decoder.h"

namespace jpegdec {

using jpegcommon::ZIGZAG;

bool Decoder::setUpOutput() {
  buffered_ = progressive_ || scan_.count != numComponents_;
  outComponents_ = requested_ ? requested_ : numComponents_;
  chromaInFrequency_ = numComponents_ == 3 && hMax_ == 2 && vMax_ == 2;

  for (int c = 0; c < numComponents_; c++) {
    Component &comp = components_[c];
    int scale = c > 0 && chromaInFrequency_ ? 2 : 1;
    comp.planeStride = mcusWide_ * comp.h * 8 * scale;
    comp.plane =
        static_cast<uint8_t *>(memory_.allocate(size_t(comp.planeStride) * comp.v * 8 * scale));
    if (!comp.plane) return fail(DecoderStatus::kOutOfMemory);
    if (buffered_) {
      size_t blocks = size_t(comp.bufferBlocksWide) * mcusHigh_ * comp.v;
      comp.coefficients = static_cast<int16_t *>(memory_.allocate(blocks * 64 * sizeof(int16_t)));
      if (!comp.coefficients) return fail(DecoderStatus::kOutOfMemory);
    }
  }
  if (numComponents_ == 3 && hMax_ == 2 && vMax_ == 1) {
    chromaRow_ = static_cast<uint8_t *>(memory_.allocate(size_t(mcusWide_) * 16 * 2));
    if (!chromaRow_) return fail(DecoderStatus::kOutOfMemory);
  }
  outRow_ = static_cast<uint8_t *>(memory_.allocate(size_t(width_) * outComponents_));
  if (!outRow_) return fail(DecoderStatus::kOutOfMemory);
  return true;
}

bool Decoder::decode(const uint8_t **scanline, int *len) {
  if (!decodeRowInto(outRow_)) return false;
  if (scanline) *scanline = outRow_;
  if (len) *len = width_ * outComponents_;
  return true;
}

bool Decoder::decodeRowInto(uint8_t *out) {
  if (!begun_ || status_ != DecoderStatus::kOk || outputRow_ >= height_) return false;
  if (rowsLeftInMcuRow_ == 0) {
    if (buffered_)
      outputMcuRowFromBuffers();
    else if (!decodeMcuRow())
      return false;
    mcuRow_++;
    rowInMcu_ = 0;
    rowsLeftInMcuRow_ = std::min(8 * vMax_, height_ - outputRow_);
  }
  convertRow(rowInMcu_, out);
  rowInMcu_++;
  rowsLeftInMcuRow_--;
  outputRow_++;
  return true;
}

void Decoder::outputMcuRowFromBuffers() {
  for (int c = 0; c < numComponents_; c++) {
    Component &comp = components_[c];
    for (int by = 0; by < comp.v; by++) {
      const int16_t *row =
          comp.coefficients + (size_t(mcuRow_) * comp.v + by) * comp.bufferBlocksWide * 64;
      for (int bx = 0; bx < comp.bufferBlocksWide; bx++) {
        const int16_t *quantised = row + bx * 64;
        alignas(16) int16_t block[64];
        for (int i = 0; i < 64; i++)
          block[i] = int16_t(std::clamp(quantised[i] * comp.quantNatural[i], -32768, 32767));
        int last = 63;
        while (last > 0 && quantised[ZIGZAG[last]] == 0) last--;
        outputBlock(comp, block, last, bx, by);
      }
    }
  }
}

// Places one block of dequantised coefficients (natural order) at block
// column bx, block row by of the component's plane; last is the zig-zag
// index of the last coefficient that may be non-zero.
void Decoder::outputBlock(Component &comp, const int16_t *block, int last, int bx, int by) {
  bool chroma = &comp != &components_[0];
  if (chroma && outComponents_ == 1) return;  // luminance only
  if (chroma && chromaInFrequency_) {
    inverseDct16(block, last, comp.plane + size_t(by) * 16 * comp.planeStride + bx * 16,
                 comp.planeStride);
  } else {
    inverseDct(block, last, comp.plane + size_t(by) * 8 * comp.planeStride + bx * 8,
               comp.planeStride);
  }
}

void Decoder::convertRow(int rowInMcu, uint8_t *out) {
  const Component &luma = components_[0];
  const uint8_t *y = luma.plane + size_t(rowInMcu) * luma.planeStride;
  if (numComponents_ == 1 || outComponents_ == 1) {
    greyToOutput(y, out, width_, outComponents_);
    return;
  }
  const Component &blue = components_[1], &red = components_[2];
  // Chroma row: full resolution in the frequency-domain layout, every other
  // luminance row when luminance is sampled 1x2.
  int chromaRow = !chromaInFrequency_ && vMax_ == 2 ? rowInMcu / 2 : rowInMcu;
  const uint8_t *cb = blue.plane + size_t(chromaRow) * blue.planeStride;
  const uint8_t *cr = red.plane + size_t(chromaRow) * red.planeStride;
  if (!chromaInFrequency_ && hMax_ == 2) {
    int doubledWidth = mcusWide_ * 16;
    doubleHorizontally(cb, chromaRow_, width_);
    doubleHorizontally(cr, chromaRow_ + doubledWidth, width_);
    cb = chromaRow_;
    cr = chromaRow_ + doubledWidth;
  }
  yccToRgb(y, cb, cr, out, width_, outComponents_);
}

}  // namespace jpegdec
