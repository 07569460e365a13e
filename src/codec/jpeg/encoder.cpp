#include <algorithm>
#include <bit>
#include <cstring>

#include "codec/jpeg/encoder_tables.h"
#include "codec/jpeg/jpeg_common.h"
#include "codec/jpeg/jpeg_encoder.h"
#include "codec/jpeg/rgb_to_ycc.h"

namespace jpegenc {

namespace {

constexpr int kMaxDimension = 65535;  // the frame header holds 16 bits
constexpr uint8_t kEobSymbol = 0x00;
constexpr uint8_t kZrlSymbol = 0xF0;

// Magnitude category and the bits that follow it for a coefficient value.
inline int category(int value) { return std::bit_width(unsigned(value < 0 ? -value : value)); }
inline uint32_t magnitudeBits(int value, int size) {
  return uint32_t(value < 0 ? value - 1 : value) & ((1u << size) - 1);
}

// The symbols of one quantised block with the bits that follow each:
// emit(isAc, symbol, bits, size).
template <typename Emit>
void forEachSymbol(const QuantisedGroup &group, int lane, int &lastDc, Emit emit) {
  auto at = [&](int k) { return int(group.zigzag[k][lane]); };
  int dc = at(0);
  int diff = dc - lastDc;
  lastDc = dc;
  int size = category(diff);
  emit(false, uint8_t(size), magnitudeBits(diff, size), size);
  uint64_t nonZero = group.nonZeroAc[lane];
  int last = 0;
  while (nonZero) {
    int k = std::countr_zero(nonZero);
    nonZero &= nonZero - 1;
    int run = k - last - 1;
    for (; run >= 16; run -= 16) emit(true, kZrlSymbol, 0, 0);
    int value = at(k);
    size = category(value);
    emit(true, uint8_t(run << 4 | size), magnitudeBits(value, size), size);
    last = k;
  }
  if (last < 63) emit(true, kEobSymbol, 0, 0);
}

void put16(uint8_t *p, int value) {
  p[0] = uint8_t(value >> 8);
  p[1] = uint8_t(value);
}

}  // namespace

bool Encoder::init(OutputStream *stream, int width, int height, int num_channels,
                   const Params &params) {
  deinit();
  if (!stream || width <= 0 || height <= 0 || width > kMaxDimension || height > kMaxDimension)
    return false;
  if (num_channels != 1 && num_channels != 3 && num_channels != 4) return false;
  if (params.quality < 1 || params.quality > 100 || params.subsampling < 0 ||
      params.subsampling > 3)
    return false;

  params_ = params;
  width_ = width;
  height_ = height;
  channels_ = num_channels;
  numComponents_ = params.subsampling == 0 ? 1 : 3;
  static const int LUMA_SAMPLING[4][2] = {{1, 1}, {1, 1}, {2, 1}, {2, 2}};
  int lumaH = LUMA_SAMPLING[params.subsampling][0], lumaV = LUMA_SAMPLING[params.subsampling][1];
  int chromaTable = params.chromaUsesLumaTable ? 0 : 1;
  components_[0] = {1, lumaH, lumaV, 0, 0, 0};
  components_[1] = {2, 1, 1, chromaTable, 1, 0};
  components_[2] = {3, 1, 1, chromaTable, 1, 0};
  mcuWidth_ = 8 * lumaH;
  mcuHeight_ = 8 * lumaV;
  paddedWidth_ = (width + mcuWidth_ - 1) / mcuWidth_ * mcuWidth_;

  scaleQuantTable(LUMA_QUANT, params.quality, quantTables_[0]);
  scaleQuantTable(CHROMA_QUANT, params.quality, quantTables_[1]);
  for (int t = 0; t < 2; t++) quantisers_[t].setTable(quantTables_[t]);
  dcSpecs_[0] = DC_LUMA_SPEC;
  acSpecs_[0] = AC_LUMA_SPEC;
  dcSpecs_[1] = DC_CHROMA_SPEC;
  acSpecs_[1] = AC_CHROMA_SPEC;
  for (int t = 0; t < 2; t++) {
    dcCodes_[t].build(dcSpecs_[t]);
    acCodes_[t].build(acSpecs_[t]);
  }
  std::memset(dcCounts_, 0, sizeof dcCounts_);
  std::memset(acCounts_, 0, sizeof acCounts_);

  // Room for whole groups of eight blocks in every plane.
  stride_ = (paddedWidth_ + 8 * kLanes - 1) / (8 * kLanes) * (8 * kLanes);
  for (int c = 0; c < numComponents_; c++) {
    planes_[c].assign(size_t(stride_) * mcuHeight_, 0);
    int blockRows = c == 0 ? components_[0].v : 1;
    int blocksPerRow = c == 0 ? paddedWidth_ / 8 : paddedWidth_ / mcuWidth_;
    groupsPerRow_[c] = (blocksPerRow + kLanes - 1) / kLanes;
    groups_[c].assign(size_t(blockRows) * groupsPerRow_[c], QuantisedGroup{});
  }
  writer_.start(stream);
  pass_ = 1;
  startPass();
  return true;
}

void Encoder::deinit() {
  for (auto &plane : planes_) std::vector<uint8_t>().swap(plane);
  for (auto &groups : groups_) std::vector<QuantisedGroup>().swap(groups);
  pass_ = 0;
}

bool Encoder::countingPass() const { return params_.twoPass && pass_ == 1; }

void Encoder::startPass() {
  rowsInPass_ = 0;
  rowInMcu_ = 0;
  failed_ = false;
  for (auto &comp : components_) comp.lastDc = 0;
  if (!countingPass()) writeHeaders();
}

bool Encoder::processScanline(const void *row) {
  if (pass_ == 0) return false;
  if (!row) return finishPass();
  if (rowsInPass_ >= height_) return false;
  convertRow(static_cast<const uint8_t *>(row), rowInMcu_);
  rowsInPass_++;
  if (++rowInMcu_ == mcuHeight_) {
    encodeMcuRow();
    rowInMcu_ = 0;
  }
  return !failed_ && writer_.ok();
}

bool Encoder::finishPass() {
  if (rowsInPass_ != height_) {
    pass_ = 0;
    return false;
  }
  if (rowInMcu_ > 0) {
    replicateLastRow(rowInMcu_);
    encodeMcuRow();
  }
  if (countingPass()) {
    for (int t = 0; t < (numComponents_ == 3 ? 2 : 1); t++) {
      buildOptimalSpec(dcCounts_[t], dcSpecs_[t]);
      buildOptimalSpec(acCounts_[t], acSpecs_[t]);
      dcCodes_[t].build(dcSpecs_[t]);
      acCodes_[t].build(acSpecs_[t]);
    }
    pass_ = 2;
    startPass();
    return writer_.ok();
  }
  writer_.flushBits();
  static const uint8_t EOI[2] = {0xFF, jpegcommon::kEoi};
  writer_.putBytes(EOI, 2);
  bool ok = writer_.flush() && !failed_;
  pass_ = 0;
  return ok;
}

void Encoder::convertRow(const uint8_t *row, int rowInMcu) {
  size_t offset = size_t(rowInMcu) * stride_;
  if (numComponents_ == 3)
    rgbToYcc(row, width_, channels_, planes_[0].data() + offset, planes_[1].data() + offset,
             planes_[2].data() + offset);
  else
    rgbToLuma(row, width_, channels_, planes_[0].data() + offset);
  // Missing columns repeat the last pixel of the row.
  for (int c = 0; c < numComponents_; c++) {
    uint8_t *line = planes_[c].data() + offset;
    std::memset(line + width_, line[width_ - 1], size_t(paddedWidth_ - width_));
  }
}

void Encoder::replicateLastRow(int firstMissing) {
  for (int c = 0; c < numComponents_; c++) {
    uint8_t *plane = planes_[c].data();
    const uint8_t *last = plane + size_t(firstMissing - 1) * stride_;
    for (int r = firstMissing; r < mcuHeight_; r++)
      std::memcpy(plane + size_t(r) * stride_, last, size_t(paddedWidth_));
  }
}

// Box-filters a full-resolution chroma plane down to one sample per MCU
// column, in place (each output lies at or before the inputs it reads).
void Encoder::downsampleChroma(uint8_t *plane) const {
  int h = components_[0].h, v = components_[0].v;
  int outWidth = paddedWidth_ / h;
  for (int r = 0; r < 8; r++) {
    const uint8_t *top = plane + size_t(r * v) * stride_;
    const uint8_t *bottom = top + (v == 2 ? stride_ : 0);
    uint8_t *out = plane + size_t(r) * stride_;
    if (h == 2 && v == 2) {
      for (int x = 0; x < outWidth; x++)
        out[x] = uint8_t(
            (top[2 * x] + top[2 * x + 1] + bottom[2 * x] + bottom[2 * x + 1] + 1 + (x & 1)) >> 2);
    } else {
      for (int x = 0; x < outWidth; x++)
        out[x] = uint8_t((top[2 * x] + top[2 * x + 1] + (x & 1)) >> 1);
    }
  }
}

void Encoder::encodeMcuRow() {
  bool subsampled = numComponents_ == 3 && (components_[0].h > 1 || components_[0].v > 1);
  if (subsampled) {
    downsampleChroma(planes_[1].data());
    downsampleChroma(planes_[2].data());
  }
  transformMcuRow();
  int mcus = paddedWidth_ / mcuWidth_;
  for (int m = 0; m < mcus; m++) {
    Component &luma = components_[0];
    for (int by = 0; by < luma.v; by++)
      for (int bx = 0; bx < luma.h; bx++) codeOrCountBlock(0, by, m * luma.h + bx);
    for (int c = 1; c < numComponents_; c++) codeOrCountBlock(c, 0, m);
  }
}

// Every block of the MCU row, transformed and quantised eight at a time.
void Encoder::transformMcuRow() {
  for (int c = 0; c < numComponents_; c++) {
    const Quantiser &quantiser = quantisers_[components_[c].quantTable];
    int blockRows = c == 0 ? components_[0].v : 1;
    for (int r = 0; r < blockRows; r++) {
      const uint8_t *line = planes_[c].data() + size_t(r) * 8 * stride_;
      for (int g = 0; g < groupsPerRow_[c]; g++) {
        int16_t coefficients[64][kLanes];
        forwardDct8(line + g * 8 * kLanes, stride_, coefficients);
        quantiser.quantise(coefficients, groups_[c][size_t(r) * groupsPerRow_[c] + g]);
      }
    }
  }
}

void Encoder::codeOrCountBlock(int c, int blockRow, int block) {
  Component &comp = components_[c];
  const QuantisedGroup &group =
      groups_[c][size_t(blockRow) * groupsPerRow_[c] + size_t(block / kLanes)];
  int lane = block % kLanes;
  if (countingPass()) {
    SymbolCounts &dc = dcCounts_[comp.huffTable];
    SymbolCounts &ac = acCounts_[comp.huffTable];
    forEachSymbol(group, lane, comp.lastDc, [&](bool isAc, uint8_t symbol, uint32_t, int) {
      (isAc ? ac : dc).count[symbol]++;
    });
    return;
  }
  const HuffmanCode &dc = dcCodes_[comp.huffTable];
  const HuffmanCode &ac = acCodes_[comp.huffTable];
  forEachSymbol(group, lane, comp.lastDc, [&](bool isAc, uint8_t symbol, uint32_t bits, int size) {
    const HuffmanCode &table = isAc ? ac : dc;
    int codeSize = table.size[symbol];
    // A symbol the first pass never saw has no code: the rows differed.
    if (codeSize == 0) failed_ = true;
    writer_.putBits(uint32_t(table.code[symbol]) << size | bits, codeSize + size);
  });
}

void Encoder::writeMarker(uint8_t code, const uint8_t *payload, size_t len) {
  uint8_t head[4] = {0xFF, code, 0, 0};
  put16(head + 2, int(len + 2));
  writer_.putBytes(head, 4);
  writer_.putBytes(payload, len);
}

void Encoder::writeHeaders() {
  static const uint8_t SOI[2] = {0xFF, jpegcommon::kSoi};
  writer_.putBytes(SOI, 2);
  // JFIF 1.01, no density unit, 1x1, no thumbnail.
  static const uint8_t APP0[14] = {'J', 'F', 'I', 'F', 0, 1, 1, 0, 0, 1, 0, 1, 0, 0};
  writeMarker(jpegcommon::kApp0, APP0, sizeof APP0);

  bool color = numComponents_ == 3;
  int tables = color && !params_.chromaUsesLumaTable ? 2 : 1;
  uint8_t dqt[2 * 65];
  for (int t = 0; t < tables; t++) {
    dqt[t * 65] = uint8_t(t);
    for (int k = 0; k < 64; k++) dqt[t * 65 + 1 + k] = quantTables_[t][jpegcommon::ZIGZAG[k]];
  }
  writeMarker(jpegcommon::kDqt, dqt, size_t(tables) * 65);

  uint8_t sof[6 + 3 * 3];
  sof[0] = 8;
  put16(sof + 1, height_);
  put16(sof + 3, width_);
  sof[5] = uint8_t(numComponents_);
  for (int c = 0; c < numComponents_; c++) {
    const Component &comp = components_[c];
    sof[6 + 3 * c] = uint8_t(comp.id);
    sof[7 + 3 * c] = uint8_t(comp.h << 4 | comp.v);
    sof[8 + 3 * c] = uint8_t(comp.quantTable);
  }
  writeMarker(jpegcommon::kSof0, sof, size_t(6 + 3 * numComponents_));

  uint8_t dht[4 * (17 + 256)];
  size_t len = 0;
  auto addTable = [&](int tableClass, int id, const HuffmanSpec &spec) {
    dht[len++] = uint8_t(tableClass << 4 | id);
    std::memcpy(dht + len, spec.bits + 1, 16);
    len += 16;
    std::memcpy(dht + len, spec.values, size_t(spec.count()));
    len += size_t(spec.count());
  };
  for (int t = 0; t < (color ? 2 : 1); t++) {
    addTable(0, t, dcSpecs_[t]);
    addTable(1, t, acSpecs_[t]);
  }
  writeMarker(jpegcommon::kDht, dht, len);

  uint8_t sos[1 + 2 * 3 + 3];
  sos[0] = uint8_t(numComponents_);
  for (int c = 0; c < numComponents_; c++) {
    sos[1 + 2 * c] = uint8_t(components_[c].id);
    sos[2 + 2 * c] = uint8_t(components_[c].huffTable << 4 | components_[c].huffTable);
  }
  uint8_t *tail = sos + 1 + 2 * numComponents_;
  tail[0] = 0;  // spectral selection 0..63
  tail[1] = 63;
  tail[2] = 0;  // no successive approximation
  writeMarker(jpegcommon::kSos, sos, size_t(4 + 2 * numComponents_));
}

}  // namespace jpegenc
