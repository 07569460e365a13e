#pragma once
// Baseline and progressive JPEG decoder for untrusted input: 8-bit samples,
// Huffman coding, one (grey) or three (YCbCr) components, integer arithmetic
// only. Every error stops decoding and releases all working memory.
#include <cstddef>
#include <cstdint>

#include "codec/jpeg/bit_reader.h"
#include "codec/jpeg/chunk_allocator.h"
#include "codec/jpeg/huffman_decoder.h"
#include "codec/jpeg/input_stream.h"

namespace jpegdec {

enum class DecoderStatus {
  kOk,
  kNotJpeg,      // no start-of-image marker
  kUnsupported,  // arithmetic, lossless, hierarchical, 12-bit, CMYK, ...
  kBadHeader,    // a marker segment that breaks the rules
  kBadData,      // corrupt entropy-coded data
  kTruncated,    // the data end too early
  kOutOfMemory,
  kBadArgument,  // requested component count, or use out of order
};

class Decoder {
 public:
  // requested_components 1, 3 or 4, or 0 for the file's own count.
  explicit Decoder(InputStream *stream, int requested_components = 0);
  Decoder(const Decoder &) = delete;
  Decoder &operator=(const Decoder &) = delete;

  // Reads the headers up to the first scan; a progressive (or otherwise
  // multi-scan) image is decoded in full here.
  bool beginDecoding();
  // The next output row, top row first; false after the last row or on error.
  bool decode(const uint8_t **scanline, int *len);
  // The same, converted straight into `out` (width x output components bytes).
  bool decodeRowInto(uint8_t *out);

  DecoderStatus status() const { return status_; }
  int width() const { return width_; }
  int height() const { return height_; }
  int fileComponents() const { return numComponents_; }
  int outputComponents() const { return outComponents_; }

 private:
  static constexpr int kMaxComponents = 3;

  struct Component {
    int id;
    int h, v;        // sampling factors
    int quantTable;  // index of the DQT table
    int dcTable, acTable;
    int dcPredictor;
    int blocksWide, blocksHigh;  // blocks of the component inside the image
    int bufferBlocksWide;        // blocks per row of the MCU grid
    int16_t *coefficients;       // whole-image buffer of quantised blocks, when buffered
    bool quantLatched;
    bool dcCoded;              // a first DC scan (or a sequential scan) has covered it
    uint16_t quantZigzag[64];  // steps of the table as the first scan found it
    uint16_t quantNatural[64];
    uint8_t *plane;  // one MCU row of samples
    int planeStride;
  };

  struct Scan {
    int count;
    Component *components[kMaxComponents];
    int ss, se, ah, al;
  };

  bool fail(DecoderStatus status);
  // Headers.
  bool findStartOfImage();
  bool readHeaders();
  bool readSegment(int marker);
  bool readSegmentPayload(int &len);
  bool readQuantTables(const uint8_t *p, size_t len);
  bool readHuffmanTables(const uint8_t *p, size_t len);
  bool readFrame(int marker, const uint8_t *p, size_t len);
  bool setUpFrame();
  bool readScanHeader();
  bool checkScanTables();
  void startScan();
  // Entropy-coded data.
  bool decodeAllScans();
  bool allComponentsCoded();
  bool decodeBufferedScan();
  bool restartIfDue();
  bool finishMcu();
  bool decodeBlock(Component &comp, int16_t *block, const uint16_t *quant, int &last);
  bool decodeBufferedBlock(Component &comp, int16_t *block);
  bool decodeDcFirst(Component &comp, int16_t *block);
  bool decodeDcRefine(int16_t *block);
  bool decodeAcFirst(Component &comp, int16_t *block);
  bool decodeAcRefine(Component &comp, int16_t *block);
  // Output.
  bool setUpOutput();
  bool decodeMcuRow();
  void outputMcuRowFromBuffers();
  void outputBlock(Component &comp, const int16_t *block, int last, int bx, int by);
  void convertRow(int rowInMcu, uint8_t *out);

  InputStream *stream_;
  ChunkAllocator memory_;
  BitReader in_;
  DecoderStatus status_ = DecoderStatus::kOk;
  bool begun_ = false;

  uint16_t *quantTables_ = nullptr;  // 4 x 64 in zig-zag order
  bool quantDefined_[4] = {};
  HuffmanTable *dcTables_ = nullptr, *acTables_ = nullptr;  // 4 each
  uint8_t *segment_ = nullptr;                              // one marker segment

  bool frameSeen_ = false;
  bool progressive_ = false;
  bool buffered_ = false;  // scans go to whole-image coefficient buffers
  int width_ = 0, height_ = 0;
  int numComponents_ = 0;
  Component components_[kMaxComponents] = {};
  int hMax_ = 1, vMax_ = 1;
  int mcusWide_ = 0, mcusHigh_ = 0;
  Scan scan_ = {};
  int restartInterval_ = 0;
  int mcusToRestart_ = 0;
  int eobRun_ = 0;

  int requested_;
  int outComponents_ = 0;
  bool chromaInFrequency_ = false;  // 2x2 luminance: chroma evaluated at 16x16
  uint8_t *chromaRow_ = nullptr;    // horizontally doubled chroma, 2 rows
  uint8_t *outRow_ = nullptr;
  int mcuRow_ = 0;    // next MCU row to produce
  int rowInMcu_ = 0;  // next row inside the current MCU row
  int rowsLeftInMcuRow_ = 0;
  int outputRow_ = 0;
};

// A newly allocated width x height x requested_components image (free it
// with free()), or null on any error. file_components receives 1 or 3.
uint8_t *decodeFromMemory(const void *data, int size, int *width, int *height, int *file_components,
                          int requested_components);
uint8_t *decodeFromFile(const char *file_name, int *width, int *height, int *file_components,
                        int requested_components);

}  // namespace jpegdec
