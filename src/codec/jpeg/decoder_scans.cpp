// The decoder's entropy-coded data: sequential blocks, the four kinds of
// progressive scan, restart intervals.
#include <algorithm>
#include <array>

#include "codec/jpeg/jpeg_common.h"
#include "codec/jpeg/jpeg_decoder.h"

namespace jpegdec {

using jpegcommon::ZIGZAG;

namespace {

inline int16_t saturate16(int32_t x) { return int16_t(std::clamp(x, -32768, 32767)); }

// Buffered sequential scans keep quantised values; they are scaled at output.
constexpr std::array<uint16_t, 64> UNIT_QUANT = [] {
  std::array<uint16_t, 64> q{};
  q.fill(1);
  return q;
}();

// Reads a magnitude of `size` bits (0..15) as its signed value.
inline int receiveExtend(BitReader &in, int size) {
  return size ? extendValue(in.getBits(size), size) : 0;
}

}  // namespace

bool Decoder::restartIfDue() {
  if (restartInterval_ == 0) return true;
  if (mcusToRestart_ == 0) {
    in_.resetBits();
    int marker = in_.nextMarker();
    if (marker < jpegcommon::kRst0 || marker > jpegcommon::kRst7)
      return fail(marker == BitReader::kEndOfData ? DecoderStatus::kTruncated
                                                  : DecoderStatus::kBadData);
    for (auto &comp : components_) comp.dcPredictor = 0;
    eobRun_ = 0;
    mcusToRestart_ = restartInterval_;
  }
  mcusToRestart_--;
  return true;
}

bool Decoder::finishMcu() {
  if (in_.overran()) return fail(DecoderStatus::kTruncated);
  return true;
}

// One sequential block: quant scales the values (zig-zag order) on the way
// into `block` (natural order, zeroed by the caller); last receives the
// zig-zag index of the last coefficient written.
bool Decoder::decodeBlock(Component &comp, int16_t *block, const uint16_t *quant, int &last) {
  in_.refill();
  int size = dcTables_[comp.dcTable].decode(in_);
  if (size < 0 || size > 15) return fail(DecoderStatus::kBadData);
  comp.dcPredictor = std::clamp(comp.dcPredictor + receiveExtend(in_, size), -32768, 32767);
  block[0] = saturate16(comp.dcPredictor * quant[0]);

  const HuffmanTable &ac = acTables_[comp.acTable];
  int lastWritten = 0;  // a local: a store through `last` could alias the reader's state
  for (int k = 1; k < 64; k++) {
    in_.refill();
    int32_t fast = ac.fastAc[in_.peek(HuffmanTable::kFastBits)];
    int value;
    if (fast) {
      in_.consume(fast & 0xFF);
      k += (fast >> 8) & 0xFF;
      value = fast >> 16;
    } else {
      int symbol = ac.decode(in_);
      if (symbol < 0) return fail(DecoderStatus::kBadData);
      int run = symbol >> 4;
      size = symbol & 15;
      if (size == 0) {
        if (run != 15) break;  // end of block
        k += 15;               // sixteen zeros
        continue;
      }
      k += run;
      value = receiveExtend(in_, size);
    }
    if (k > 63) return fail(DecoderStatus::kBadData);
    block[ZIGZAG[k]] = saturate16(value * quant[k]);
    lastWritten = k;
  }
  last = lastWritten;
  return true;
}

bool Decoder::decodeDcFirst(Component &comp, int16_t *block) {
  in_.refill();
  int size = dcTables_[comp.dcTable].decode(in_);
  if (size < 0 || size > 15) return fail(DecoderStatus::kBadData);
  comp.dcPredictor = std::clamp(comp.dcPredictor + receiveExtend(in_, size), -32768, 32767);
  block[0] = saturate16(comp.dcPredictor * (1 << scan_.al));
  return true;
}

bool Decoder::decodeDcRefine(int16_t *block) {
  in_.refill();
  if (in_.getBits(1)) block[0] = int16_t(block[0] | (1 << scan_.al));
  return true;
}

bool Decoder::decodeAcFirst(Component &comp, int16_t *block) {
  if (eobRun_ > 0) {
    eobRun_--;
    return true;
  }
  const HuffmanTable &ac = acTables_[comp.acTable];
  for (int k = scan_.ss; k <= scan_.se; k++) {
    in_.refill();
    int symbol = ac.decode(in_);
    if (symbol < 0) return fail(DecoderStatus::kBadData);
    int run = symbol >> 4, size = symbol & 15;
    if (size == 0) {
      if (run == 15) {
        k += 15;
        continue;
      }
      // A run of 2^run + extra blocks ends here, this one included.
      eobRun_ = (1 << run) - 1 + int(in_.getBits(run));
      break;
    }
    k += run;
    if (k > scan_.se) return fail(DecoderStatus::kBadData);
    block[ZIGZAG[k]] = saturate16(receiveExtend(in_, size) * (1 << scan_.al));
  }
  return true;
}

// Successive approximation of AC coefficients: one correction bit for every
// coefficient already non-zero, newly non-zero ones placed among the zeros.
bool Decoder::decodeAcRefine(Component &comp, int16_t *block) {
  const int plus = 1 << scan_.al, minus = -plus;
  auto refine = [&](int16_t &coef) {
    in_.refill();
    if (in_.getBits(1) && (coef & plus) == 0) coef = int16_t(coef + (coef >= 0 ? plus : minus));
  };
  const HuffmanTable &ac = acTables_[comp.acTable];
  int k = scan_.ss;
  if (eobRun_ == 0) {
    for (; k <= scan_.se; k++) {
      in_.refill();
      int symbol = ac.decode(in_);
      if (symbol < 0) return fail(DecoderStatus::kBadData);
      int zerosToSkip = symbol >> 4, size = symbol & 15;
      int value = 0;
      if (size != 0) {
        if (size != 1) return fail(DecoderStatus::kBadData);
        value = in_.getBits(1) ? plus : minus;
      } else if (zerosToSkip != 15) {
        eobRun_ = (1 << zerosToSkip) + int(in_.getBits(zerosToSkip));
        break;
      }
      // Refine the non-zero coefficients on the way to the zero the new
      // value (or the run of sixteen zeros) ends on.
      for (; k <= scan_.se; k++) {
        int16_t &coef = block[ZIGZAG[k]];
        if (coef != 0) {
          refine(coef);
        } else {
          if (zerosToSkip == 0) break;
          zerosToSkip--;
        }
      }
      if (value) {
        if (k > scan_.se) return fail(DecoderStatus::kBadData);
        block[ZIGZAG[k]] = int16_t(value);
      }
    }
  }
  if (eobRun_ > 0) {
    // Inside a run of blocks with nothing new: corrections only.
    for (; k <= scan_.se; k++) {
      int16_t &coef = block[ZIGZAG[k]];
      if (coef != 0) refine(coef);
    }
    eobRun_--;
  }
  return true;
}

bool Decoder::decodeBufferedBlock(Component &comp, int16_t *block) {
  if (!progressive_) {
    int last;
    return decodeBlock(comp, block, UNIT_QUANT.data(), last);
  }
  if (scan_.ss == 0) return scan_.ah == 0 ? decodeDcFirst(comp, block) : decodeDcRefine(block);
  return scan_.ah == 0 ? decodeAcFirst(comp, block) : decodeAcRefine(comp, block);
}

bool Decoder::decodeBufferedScan() {
  if (scan_.count == 1) {
    // Not interleaved: one block per MCU, the component's own blocks only.
    Component &comp = *scan_.components[0];
    for (int by = 0; by < comp.blocksHigh; by++) {
      int16_t *row = comp.coefficients + size_t(by) * comp.bufferBlocksWide * 64;
      for (int bx = 0; bx < comp.blocksWide; bx++) {
        if (!restartIfDue() || !decodeBufferedBlock(comp, row + bx * 64) || !finishMcu())
          return false;
      }
    }
    return true;
  }
  for (int my = 0; my < mcusHigh_; my++) {
    for (int mx = 0; mx < mcusWide_; mx++) {
      if (!restartIfDue()) return false;
      for (int i = 0; i < scan_.count; i++) {
        Component &comp = *scan_.components[i];
        for (int by = 0; by < comp.v; by++) {
          int16_t *row =
              comp.coefficients + (size_t(my) * comp.v + by) * comp.bufferBlocksWide * 64;
          for (int bx = 0; bx < comp.h; bx++)
            if (!decodeBufferedBlock(comp, row + (mx * comp.h + bx) * 64)) return false;
        }
      }
      if (!finishMcu()) return false;
    }
  }
  return true;
}

bool Decoder::decodeAllScans() {
  for (;;) {
    if (!decodeBufferedScan()) return false;
    in_.resetBits();
    for (;;) {
      int marker = in_.nextMarker();
      if (marker == jpegcommon::kEoi) return allComponentsCoded();
      if (marker == BitReader::kEndOfData) return fail(DecoderStatus::kTruncated);
      if (marker == jpegcommon::kSoi) return fail(DecoderStatus::kBadHeader);
      if (marker == jpegcommon::kSos) {
        if (!readScanHeader()) return false;
        break;
      }
      if (!readSegment(marker)) return false;
    }
  }
}

// A component no scan has covered would come out as flat grey from no data
// at all; so would a huge frame from a few bytes.
bool Decoder::allComponentsCoded() {
  for (int c = 0; c < numComponents_; c++)
    if (!components_[c].dcCoded) return fail(DecoderStatus::kBadData);
  return true;
}

bool Decoder::decodeMcuRow() {
  for (int mx = 0; mx < mcusWide_; mx++) {
    if (!restartIfDue()) return false;
    for (int i = 0; i < scan_.count; i++) {
      Component &comp = *scan_.components[i];
      for (int by = 0; by < comp.v; by++) {
        for (int bx = 0; bx < comp.h; bx++) {
          alignas(16) int16_t block[64] = {};
          int last;
          if (!decodeBlock(comp, block, comp.quantZigzag, last)) return false;
          outputBlock(comp, block, last, mx * comp.h + bx, by);
        }
      }
    }
    if (!finishMcu()) return false;
  }
  return true;
}

}  // namespace jpegdec
