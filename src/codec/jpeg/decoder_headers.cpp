// The decoder's marker segments: everything before and between the scans.
#include <cstring>

#include "codec/jpeg/jpeg_common.h"
#include "codec/jpeg/jpeg_decoder.h"

namespace jpegdec {

using namespace jpegcommon;

namespace {

constexpr size_t kInputBufferSize = 4096;
constexpr size_t kSegmentCapacity = 65535;
constexpr int kSoiSearchLimit = 4095;  // bytes looked at past the first two
constexpr int kMaxDimension = 16384;
constexpr int kMaxBlocksPerMcuRow = 8192;

inline int word(const uint8_t *p) { return p[0] << 8 | p[1]; }

bool isUnsupportedFrame(int marker) {
  // Lossless, hierarchical and arithmetic-coded frames (0xC4 is DHT, 0xCC DAC).
  return (marker >= kSof3 && marker <= kSof15 && marker != kDht && marker != kDac) ||
         marker == kDhp || marker == kExp;
}

bool isStandalone(int marker) { return (marker >= kRst0 && marker <= kRst7) || marker == kTem; }

}  // namespace

Decoder::Decoder(InputStream *stream, int requested_components)
    : stream_(stream), requested_(requested_components) {}

bool Decoder::fail(DecoderStatus status) {
  if (status_ == DecoderStatus::kOk) status_ = status;
  memory_.releaseAll();
  return false;
}

bool Decoder::beginDecoding() {
  if (begun_) return fail(DecoderStatus::kBadArgument);
  begun_ = true;
  if (!stream_ || (requested_ != 0 && requested_ != 1 && requested_ != 3 && requested_ != 4))
    return fail(DecoderStatus::kBadArgument);

  auto *input = static_cast<uint8_t *>(memory_.allocate(kInputBufferSize));
  quantTables_ = static_cast<uint16_t *>(memory_.allocate(4 * 64 * sizeof(uint16_t)));
  dcTables_ = static_cast<HuffmanTable *>(memory_.allocate(8 * sizeof(HuffmanTable)));
  segment_ = static_cast<uint8_t *>(memory_.allocate(kSegmentCapacity));
  if (!input || !quantTables_ || !dcTables_ || !segment_) return fail(DecoderStatus::kOutOfMemory);
  acTables_ = dcTables_ + 4;
  in_.init(stream_, input, kInputBufferSize);

  return findStartOfImage() && readHeaders() && setUpOutput() && (!buffered_ || decodeAllScans());
}

bool Decoder::findStartOfImage() {
  uint8_t previous, current;
  if (!in_.readByte(previous) || !in_.readByte(current)) return fail(DecoderStatus::kNotJpeg);
  for (int extra = 0; !(previous == 0xFF && current == kSoi); extra++) {
    previous = current;
    if (extra == kSoiSearchLimit || !in_.readByte(current)) return fail(DecoderStatus::kNotJpeg);
  }
  return true;
}

bool Decoder::readHeaders() {
  for (;;) {
    int marker = in_.nextMarker();
    if (marker == BitReader::kEndOfData) return fail(DecoderStatus::kTruncated);
    if (marker == kSos) {
      if (!frameSeen_) return fail(DecoderStatus::kBadHeader);
      return readScanHeader();
    }
    if (marker == kEoi || marker == kSoi) return fail(DecoderStatus::kBadHeader);
    if (!readSegment(marker)) return false;
  }
}

bool Decoder::readSegment(int marker) {
  if (isStandalone(marker)) return true;
  if (isUnsupportedFrame(marker)) return fail(DecoderStatus::kUnsupported);
  int len;
  if (!readSegmentPayload(len)) return false;
  switch (marker) {
    case kDqt:
      return readQuantTables(segment_, size_t(len));
    case kDht:
      return readHuffmanTables(segment_, size_t(len));
    case kDri:
      if (len != 2) return fail(DecoderStatus::kBadHeader);
      restartInterval_ = word(segment_);
      return true;
    case kSof0:
    case kSof1:
    case kSof2:
      return readFrame(marker, segment_, size_t(len));
    default:
      return true;  // APPn, COM and anything else that is only skipped
  }
}

bool Decoder::readSegmentPayload(int &len) {
  int length;
  if (!in_.readWord(length)) return fail(DecoderStatus::kTruncated);
  if (length < 2) return fail(DecoderStatus::kBadHeader);
  len = length - 2;
  if (!in_.readBytes(segment_, size_t(len))) return fail(DecoderStatus::kTruncated);
  return true;
}

bool Decoder::readQuantTables(const uint8_t *p, size_t len) {
  while (len > 0) {
    int precision = p[0] >> 4, id = p[0] & 15;
    size_t size = 1 + 64 * size_t(precision + 1);
    if (precision > 1 || id > 3 || len < size) return fail(DecoderStatus::kBadHeader);
    uint16_t *table = quantTables_ + 64 * id;
    for (int k = 0; k < 64; k++) table[k] = precision ? uint16_t(word(p + 1 + 2 * k)) : p[1 + k];
    quantDefined_[id] = true;
    p += size;
    len -= size;
  }
  return true;
}

bool Decoder::readHuffmanTables(const uint8_t *p, size_t len) {
  while (len > 0) {
    if (len < 17) return fail(DecoderStatus::kBadHeader);
    int tableClass = p[0] >> 4, id = p[0] & 15;
    int count = 0;
    for (int i = 1; i <= 16; i++) count += p[i];
    if (tableClass > 1 || id > 3 || count > 256 || len < 17 + size_t(count))
      return fail(DecoderStatus::kBadHeader);
    HuffmanTable &table = (tableClass == 0 ? dcTables_ : acTables_)[id];
    if (!table.build(p + 1, p + 17, count)) return fail(DecoderStatus::kBadHeader);
    p += 17 + count;
    len -= 17 + size_t(count);
  }
  return true;
}

bool Decoder::readFrame(int marker, const uint8_t *p, size_t len) {
  if (frameSeen_ || len < 6) return fail(DecoderStatus::kBadHeader);
  int precision = p[0];
  height_ = word(p + 1);
  width_ = word(p + 3);
  numComponents_ = p[5];
  if (numComponents_ == 0 || numComponents_ > 4 || len != 6 + 3 * size_t(numComponents_))
    return fail(DecoderStatus::kBadHeader);
  if (precision != 8 || (numComponents_ != 1 && numComponents_ != 3))
    return fail(DecoderStatus::kUnsupported);
  if (width_ < 1 || width_ > kMaxDimension || height_ < 1 || height_ > kMaxDimension)
    return fail(DecoderStatus::kUnsupported);

  for (int c = 0; c < numComponents_; c++) {
    const uint8_t *q = p + 6 + 3 * c;
    Component &comp = components_[c];
    comp.id = q[0];
    comp.h = q[1] >> 4;
    comp.v = q[1] & 15;
    comp.quantTable = q[2];
    if (comp.h < 1 || comp.h > 4 || comp.v < 1 || comp.v > 4 || comp.quantTable > 3)
      return fail(DecoderStatus::kBadHeader);
    for (int other = 0; other < c; other++)
      if (components_[other].id == comp.id) return fail(DecoderStatus::kBadHeader);
  }
  if (numComponents_ == 1) {
    // A lone component is never interleaved: its sampling factors do not matter.
    components_[0].h = components_[0].v = 1;
  } else {
    const Component &luma = components_[0];
    for (int c = 1; c < 3; c++)
      if (components_[c].h != 1 || components_[c].v != 1) return fail(DecoderStatus::kUnsupported);
    if (luma.h > 2 || luma.v > 2) return fail(DecoderStatus::kUnsupported);
  }
  progressive_ = marker == kSof2;
  frameSeen_ = true;
  return setUpFrame();
}

bool Decoder::setUpFrame() {
  hMax_ = components_[0].h;
  vMax_ = components_[0].v;
  mcusWide_ = (width_ + 8 * hMax_ - 1) / (8 * hMax_);
  mcusHigh_ = (height_ + 8 * vMax_ - 1) / (8 * vMax_);
  int blocksPerMcu = 0;
  for (int c = 0; c < numComponents_; c++) {
    Component &comp = components_[c];
    int samplesWide = (width_ * comp.h + hMax_ - 1) / hMax_;
    int samplesHigh = (height_ * comp.v + vMax_ - 1) / vMax_;
    comp.blocksWide = (samplesWide + 7) / 8;
    comp.blocksHigh = (samplesHigh + 7) / 8;
    comp.bufferBlocksWide = mcusWide_ * comp.h;
    blocksPerMcu += comp.h * comp.v;
  }
  if (mcusWide_ * blocksPerMcu > kMaxBlocksPerMcuRow) return fail(DecoderStatus::kUnsupported);
  return true;
}

bool Decoder::readScanHeader() {
  int len;
  if (!readSegmentPayload(len)) return false;
  const uint8_t *p = segment_;
  int count = len > 0 ? p[0] : 0;
  if (count < 1 || count > numComponents_ || len != 4 + 2 * count)
    return fail(DecoderStatus::kBadHeader);
  scan_.count = count;
  for (int i = 0; i < count; i++) {
    int id = p[1 + 2 * i], tables = p[2 + 2 * i];
    Component *comp = nullptr;
    for (int c = 0; c < numComponents_; c++)
      if (components_[c].id == id) comp = &components_[c];
    for (int j = 0; j < i; j++)
      if (scan_.components[j] == comp) comp = nullptr;  // listed twice
    if (!comp || (tables >> 4) > 3 || (tables & 15) > 3) return fail(DecoderStatus::kBadHeader);
    comp->dcTable = tables >> 4;
    comp->acTable = tables & 15;
    scan_.components[i] = comp;
  }
  const uint8_t *tail = p + 1 + 2 * count;
  scan_.ss = tail[0];
  scan_.se = tail[1];
  scan_.ah = tail[2] >> 4;
  scan_.al = tail[2] & 15;
  if (progressive_) {
    bool dcScan = scan_.ss == 0;
    if ((dcScan && scan_.se != 0) || (!dcScan && (scan_.se < scan_.ss || scan_.se > 63)) ||
        (!dcScan && count != 1) || scan_.ah > 13 || scan_.al > 13)
      return fail(DecoderStatus::kBadHeader);
  } else {
    scan_.ss = 0;
    scan_.se = 63;
    scan_.ah = scan_.al = 0;
  }
  return checkScanTables();
}

// The Huffman tables the scan codes with must exist, and each component's
// quantisation table is taken as it stands at the component's first scan.
bool Decoder::checkScanTables() {
  bool firstDc = !progressive_ || (scan_.ss == 0 && scan_.ah == 0);
  bool needsAc = !progressive_ || scan_.ss > 0;
  for (int i = 0; i < scan_.count; i++) {
    Component &comp = *scan_.components[i];
    if ((firstDc && !dcTables_[comp.dcTable].defined) ||
        (needsAc && !acTables_[comp.acTable].defined))
      return fail(DecoderStatus::kBadHeader);
    // Every later scan of a component refines what its first DC scan began.
    if (!firstDc && !comp.dcCoded) return fail(DecoderStatus::kBadHeader);
    comp.dcCoded = true;
    if (comp.quantLatched) continue;
    if (!quantDefined_[comp.quantTable]) return fail(DecoderStatus::kBadHeader);
    const uint16_t *table = quantTables_ + 64 * comp.quantTable;
    for (int k = 0; k < 64; k++) {
      comp.quantZigzag[k] = table[k];
      comp.quantNatural[ZIGZAG[k]] = table[k];
    }
    comp.quantLatched = true;
  }
  startScan();
  return true;
}

void Decoder::startScan() {
  for (auto &comp : components_) comp.dcPredictor = 0;
  eobRun_ = 0;
  mcusToRestart_ = restartInterval_;
  in_.resetBits();
}

}  // namespace jpegdec
