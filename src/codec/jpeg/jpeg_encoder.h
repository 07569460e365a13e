#pragma once
// Baseline JPEG encoder: 8-bit samples, Huffman coding, JFIF output, integer
// arithmetic only.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "codec/jpeg/forward_dct.h"
#include "codec/jpeg/huffman_encoder.h"

namespace jpegenc {

struct Params {
  int quality = 85;  // 1..100
  // 0 luminance only, 1 all components 1x1, 2 luminance 2x1, 3 luminance 2x2.
  int subsampling = 3;
  bool chromaUsesLumaTable = false;
  bool twoPass = false;  // second pass codes with Huffman tables optimised from the first
};

class OutputStream {
 public:
  virtual ~OutputStream() = default;
  virtual bool put(const void *data, size_t len) = 0;
};

// Writes into a caller buffer of fixed capacity; a put that would not fit
// fails and writes nothing.
class MemoryOutputStream : public OutputStream {
 public:
  MemoryOutputStream(uint8_t *buffer, size_t capacity) : buffer_(buffer), capacity_(capacity) {}
  bool put(const void *data, size_t len) override;
  size_t size() const { return size_; }

 private:
  uint8_t *buffer_;
  size_t capacity_;
  size_t size_ = 0;
};

// Writes to a file; remembers the first failure.
class FileOutputStream : public OutputStream {
 public:
  ~FileOutputStream() override;
  bool open(const char *file_name);
  bool put(const void *data, size_t len) override;
  // Closes the file; true when every write and the close succeeded.
  bool close();

 private:
  FILE *file_ = nullptr;
  bool ok_ = false;
};

class Encoder {
 public:
  Encoder() = default;
  Encoder(const Encoder &) = delete;
  Encoder &operator=(const Encoder &) = delete;

  bool init(OutputStream *stream, int width, int height, int num_channels, const Params &params);
  // One call per row, top row first, then one with a null row to end the pass.
  bool processScanline(const void *row);
  void deinit();

  int totalPasses() const { return params_.twoPass ? 2 : 1; }
  int currentPass() const { return pass_; }

 private:
  struct Component {
    int id;
    int h, v;        // sampling factors
    int quantTable;  // 0 luminance, 1 chrominance
    int huffTable;   // 0 luminance, 1 chrominance
    int lastDc;
  };

  bool countingPass() const;
  void startPass();
  bool finishPass();
  void convertRow(const uint8_t *row, int rowInMcu);
  void replicateLastRow(int firstMissing);
  void downsampleChroma(uint8_t *plane) const;
  void encodeMcuRow();
  void transformMcuRow();
  void codeOrCountBlock(int component, int blockRow, int block);
  void writeHeaders();
  void writeMarker(uint8_t code, const uint8_t *payload, size_t len);

  Params params_;
  int width_ = 0, height_ = 0, channels_ = 0;
  int numComponents_ = 0;
  Component components_[3] = {};
  int mcuWidth_ = 8, mcuHeight_ = 8;
  int paddedWidth_ = 0;  // width rounded up to whole MCUs
  int stride_ = 0;       // of the planes: whole groups of eight blocks
  int rowsInPass_ = 0;   // rows received in the current pass
  int rowInMcu_ = 0;
  int pass_ = 0;  // 1 or 2 while encoding, 0 before init and after the last pass
  bool failed_ = false;

  // One MCU row per colour plane at full resolution; chroma is box-filtered
  // in place before its blocks are taken.
  std::vector<uint8_t> planes_[3];
  // The MCU row's quantised blocks per component, block row by block row.
  std::vector<QuantisedGroup> groups_[3];
  int groupsPerRow_[3] = {};
  Quantiser quantisers_[2];
  uint8_t quantTables_[2][64] = {};  // natural order
  HuffmanSpec dcSpecs_[2], acSpecs_[2];
  HuffmanCode dcCodes_[2], acCodes_[2];
  SymbolCounts dcCounts_[2], acCounts_[2];
  EntropyWriter writer_;
};

bool encodeToMemory(void *buffer, int &size, int width, int height, int channels,
                    const void *pixels, const Params &params = Params());
bool encodeToFile(const char *file_name, int width, int height, int num_channels,
                  const void *image_data, const Params &params = Params());

}  // namespace jpegenc
