#include "codec/jpeg/jpeg_decoder.h"

#include <gtest/gtest.h>
#include <turbojpeg.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "codec/jpeg/chunk_allocator.h"
#include "codec/jpeg/jpeg_encoder.h"
#include "tests/codec/oracle.h"

namespace {

using jpegdec::DecoderStatus;

DecoderStatus StatusOf(const Bytes &jpeg, int components = 3) {
  jpegdec::MemoryInputStream stream(jpeg.data(), jpeg.size());
  jpegdec::Decoder decoder(&stream, components);
  if (decoder.beginDecoding()) {
    const uint8_t *row;
    int len;
    while (decoder.decode(&row, &len)) {
    }
  }
  return decoder.status();
}

// Hands out the data a few bytes at a time, as a slow file or socket would.
class TricklingStream : public jpegdec::InputStream {
 public:
  TricklingStream(const Bytes &data, int step) : data_(data), step_(step) {}
  int read(uint8_t *buf, int max_bytes, bool *eof_flag) override {
    int n = int(std::min<size_t>({size_t(step_), size_t(max_bytes), data_.size() - offset_}));
    std::memcpy(buf, data_.data() + offset_, size_t(n));
    offset_ += size_t(n);
    *eof_flag = offset_ == data_.size();
    return n;
  }

 private:
  const Bytes &data_;
  int step_;
  size_t offset_ = 0;
};

Bytes DecodeThrough(jpegdec::InputStream &stream, int components) {
  jpegdec::Decoder decoder(&stream, components);
  Bytes pixels;
  if (!decoder.beginDecoding()) return pixels;
  const uint8_t *row;
  int len;
  while (decoder.decode(&row, &len)) pixels.insert(pixels.end(), row, row + len);
  return pixels;
}

// A copy with the frame header's byte at `offset` (from the SOF marker) set.
Bytes WithFrameByte(Bytes jpeg, size_t offset, uint8_t value) {
  size_t sof = FindMarker(jpeg, 0xC0);
  if (sof == std::string::npos) sof = FindMarker(jpeg, 0xC2);
  jpeg[sof + offset] = value;
  return jpeg;
}

}  // namespace

TEST(JpegDecoder, OnePixelRoundTrip) {
  TestImage image = BlankImage(1, 1, 3);
  image.Set(0, 0, 200, 30, 90);
  for (int subsampling : {1, 3}) {
    Bytes jpeg = OurEncode(image, 95, subsampling);
    int w, h, components;
    Bytes pixels = OurDecode(jpeg, 3, &w, &h, &components);
    ASSERT_EQ(pixels.size(), 3u);
    EXPECT_EQ(w, 1);
    EXPECT_EQ(h, 1);
    EXPECT_EQ(components, 3);
    EXPECT_NEAR(pixels[0], 200, 4);
    EXPECT_NEAR(pixels[1], 30, 4);
    EXPECT_NEAR(pixels[2], 90, 4);
  }
}

TEST(JpegDecoder, OutputComponentCounts) {
  TestImage colour = ScreenImage(40, 24, 3);
  Bytes jpeg = OurEncode(colour, 90, 1);
  Bytes rgb = OurDecode(jpeg, 3);
  Bytes rgba = OurDecode(jpeg, 4);
  ASSERT_EQ(rgba.size(), 40u * 24 * 4);
  for (size_t p = 0; p < 40 * 24; p++) {
    ASSERT_EQ(rgba[4 * p + 3], 255) << p;
    for (int c = 0; c < 3; c++) ASSERT_EQ(rgba[4 * p + c], rgb[3 * p + c]);
  }
  // One component from a colour file: the luminance, as the library gives it.
  EXPECT_EQ(OurDecode(jpeg, 1), OracleDecode(jpeg, 1));
  // Grey files: the value in R, G and B.
  Bytes grey = OurEncode(GradientImage(40, 24, 1), 90, 0);
  int fileComponents;
  Bytes one = OurDecode(grey, 1, nullptr, nullptr, &fileComponents);
  EXPECT_EQ(fileComponents, 1);
  Bytes four = OurDecode(grey, 4);
  ASSERT_EQ(four.size(), one.size() * 4);
  for (size_t p = 0; p < one.size(); p++)
    EXPECT_EQ(Bytes(four.begin() + 4 * p, four.begin() + 4 * p + 4),
              (Bytes{one[p], one[p], one[p], 255}));
  for (int wrong : {0, 2, 5}) EXPECT_TRUE(OurDecode(jpeg, wrong).empty()) << wrong;
}

TEST(JpegDecoder, ProgressiveEqualsBaseline) {
  TestImage image = NoiseImage(67, 45, 3);
  for (int subsampling : {TJSAMP_444, TJSAMP_420, TJSAMP_GRAY}) {
    OracleOptions options;
    options.subsampling = subsampling;
    Bytes baseline = OracleEncode(image, options);
    options.flags = TJFLAG_PROGRESSIVE;
    Bytes progressive = OracleEncode(image, options);
    ASSERT_NE(FindMarker(progressive, 0xC2), std::string::npos);
    Bytes a = OurDecode(baseline, 3), b = OurDecode(progressive, 3);
    ASSERT_FALSE(a.empty());
    EXPECT_EQ(a, b) << subsampling;
  }
}

TEST(JpegDecoder, FindsTheStartMarkerAfterAtMost4095Bytes) {
  Bytes jpeg = OurEncode(GradientImage(16, 16, 3), 80, 3);
  Bytes reference = OurDecode(jpeg, 3);
  for (size_t junk : {size_t(1), size_t(100), size_t(4095), size_t(4096)}) {
    Bytes prefixed(junk, 0x55);
    prefixed.insert(prefixed.end(), jpeg.begin(), jpeg.end());
    if (junk <= 4095)
      EXPECT_EQ(OurDecode(prefixed, 3), reference) << junk;
    else
      EXPECT_EQ(StatusOf(prefixed), DecoderStatus::kNotJpeg);
  }
  EXPECT_EQ(StatusOf(Bytes{0xFF}), DecoderStatus::kNotJpeg);
}

TEST(JpegDecoder, RefusesFramesItDoesNotDecode) {
  TestImage image = GradientImage(32, 32, 3);
  OracleOptions options;
  options.subsampling = TJSAMP_420;
  Bytes good = OracleEncode(image, options);
  ASSERT_FALSE(OurDecode(good, 3).empty());
  auto refusedAs = [](const Bytes &jpeg, DecoderStatus status) {
    return OurDecode(jpeg, 3).empty() && StatusOf(jpeg) == status;
  };

  options.environment = {{"TJ_ARITHMETIC", "1"}};
  Bytes arithmetic = OracleEncode(image, options);
  ASSERT_NE(FindMarker(arithmetic, 0xC9), std::string::npos);
  EXPECT_TRUE(refusedAs(arithmetic, DecoderStatus::kUnsupported));

  options.environment.clear();
  Bytes cmyk = OracleEncodeCmyk(32, 32, options);
  ASSERT_FALSE(cmyk.empty());
  EXPECT_TRUE(refusedAs(cmyk, DecoderStatus::kUnsupported));

  // Frame header: +4 precision, +5 height, +7 width, +9 count, +11 luma sampling.
  EXPECT_TRUE(refusedAs(WithFrameByte(good, 4, 12), DecoderStatus::kUnsupported));  // 12-bit
  Bytes lossless = good;
  lossless[FindMarker(good, 0xC0) + 1] = 0xC3;
  EXPECT_TRUE(refusedAs(lossless, DecoderStatus::kUnsupported));
  Bytes hierarchical = good;
  hierarchical[FindMarker(good, 0xC0) + 1] = 0xC5;
  EXPECT_TRUE(refusedAs(hierarchical, DecoderStatus::kUnsupported));
  EXPECT_TRUE(refusedAs(WithFrameByte(good, 6, 0), DecoderStatus::kUnsupported));  // height 0
  EXPECT_TRUE(refusedAs(WithFrameByte(WithFrameByte(good, 7, 0x40), 8, 0x01),
                        DecoderStatus::kUnsupported));  // width 16385
  EXPECT_TRUE(refusedAs(WithFrameByte(good, 11, 0x31), DecoderStatus::kUnsupported));  // 3x1
  EXPECT_TRUE(refusedAs(WithFrameByte(good, 14, 0x21), DecoderStatus::kUnsupported));  // chroma 2x1
  EXPECT_TRUE(refusedAs(WithFrameByte(good, 11, 0x50), DecoderStatus::kBadHeader));    // 5x0
  EXPECT_TRUE(refusedAs(WithFrameByte(good, 9, 2), DecoderStatus::kBadHeader));   // length mismatch
  EXPECT_TRUE(refusedAs(WithFrameByte(good, 12, 4), DecoderStatus::kBadHeader));  // table 4
}

TEST(JpegDecoder, EveryTruncationFailsCleanly) {
  TestImage image = ScreenImage(48, 40, 3);
  OracleOptions options;
  options.subsampling = TJSAMP_420;
  options.quality = 90;
  Bytes baseline = OracleEncode(image, options);
  options.flags = TJFLAG_PROGRESSIVE;
  Bytes progressive = OracleEncode(image, options);
  // A sequential image is complete without its EOI; a progressive one is not.
  for (size_t n = 0; n + 2 < baseline.size(); n++) {
    Bytes cut(baseline.begin(), baseline.begin() + n);
    ASSERT_TRUE(OurDecode(cut, 4).empty()) << n;
  }
  for (size_t n = 0; n < progressive.size(); n++) {
    Bytes cut(progressive.begin(), progressive.begin() + n);
    ASSERT_TRUE(OurDecode(cut, 3).empty()) << n;
  }
  Bytes cut(baseline.begin(), baseline.begin() + baseline.size() / 2);
  EXPECT_EQ(StatusOf(cut), DecoderStatus::kTruncated);
}

TEST(JpegDecoder, RestartMarkersAreHonouredAndChecked) {
  TestImage image = NoiseImage(64, 48, 3);
  OracleOptions options;
  options.subsampling = TJSAMP_422;
  options.environment = {{"TJ_RESTART", "1"}};
  Bytes jpeg = OracleEncode(image, options);
  std::vector<size_t> restarts;
  for (const auto &[offset, code] : Markers(jpeg))
    if (code >= 0xD0 && code <= 0xD7) restarts.push_back(offset);
  ASSERT_GE(restarts.size(), 2u);
  EXPECT_EQ(MaxDifference(OurDecode(jpeg, 3), OracleDecode(jpeg, 3, TJFLAG_FASTUPSAMPLE)), 0);
  // A marker other than RSTn where one is due is corrupt data.
  Bytes broken = jpeg;
  broken[restarts[1] + 1] = 0xC4;
  EXPECT_TRUE(OurDecode(broken, 3).empty());
  EXPECT_EQ(StatusOf(broken), DecoderStatus::kBadData);
}

TEST(JpegDecoder, CorruptDataAndTablesAreRefused) {
  Bytes jpeg = OurEncode(ScreenImage(32, 32, 3), 85, 3);
  // A Huffman table with more codes of one length than the length holds.
  Bytes badTable = jpeg;
  size_t dht = FindMarker(jpeg, 0xC4);
  badTable[dht + 5] = 3;  // three codes of length 1
  EXPECT_EQ(StatusOf(badTable), DecoderStatus::kBadHeader);
  // A scan naming a component the frame does not have.
  Bytes badScan = jpeg;
  badScan[FindMarker(jpeg, 0xDA) + 5] = 9;
  EXPECT_EQ(StatusOf(badScan), DecoderStatus::kBadHeader);
  // All-ones coded data is no Huffman code.
  Bytes ones = jpeg;
  size_t sos = FindMarker(jpeg, 0xDA);
  size_t data = sos + 2 + (size_t(jpeg[sos + 2]) << 8 | jpeg[sos + 3]);
  for (size_t i = data; i + 2 < ones.size(); i += 2) {
    ones[i] = 0xFF;
    ones[i + 1] = 0x00;
  }
  EXPECT_TRUE(OurDecode(ones, 3).empty());
  EXPECT_EQ(StatusOf(ones), DecoderStatus::kBadData);
  // A progressive AC scan before its component's first DC scan.
  OracleOptions options;
  options.subsampling = TJSAMP_GRAY;
  options.flags = TJFLAG_PROGRESSIVE;
  Bytes progressive = OracleEncode(GradientImage(16, 16, 1), options);
  ASSERT_FALSE(OurDecode(progressive, 1).empty());
  auto scans = Markers(progressive);
  size_t firstSos = FindMarker(progressive, 0xDA);
  Bytes skipped(progressive.begin(), progressive.begin() + firstSos);
  size_t second = 0;
  for (const auto &[offset, code] : scans)
    if (code == 0xDA && offset > firstSos && second == 0) second = offset;
  ASSERT_GT(second, 0u);
  skipped.insert(skipped.end(), progressive.begin() + second, progressive.end());
  EXPECT_TRUE(OurDecode(skipped, 1).empty());
}

TEST(JpegDecoder, StreamsFileAndLowerLevelUse) {
  TestImage image = ScreenImage(50, 30, 3);
  Bytes jpeg = OurEncode(image, 85, 2);
  Bytes reference = OurDecode(jpeg, 3);
  ASSERT_FALSE(reference.empty());
  for (int step : {1, 7, 4096}) {
    TricklingStream stream(jpeg, step);
    EXPECT_EQ(DecodeThrough(stream, 3), reference) << step;
  }

  char name[] = "/tmp/kestra-jpeg-XXXXXX";
  int fd = mkstemp(name);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(write(fd, jpeg.data(), jpeg.size()), ssize_t(jpeg.size()));
  close(fd);
  int w = 0, h = 0, components = 0;
  uint8_t *pixels = jpegdec::decodeFromFile(name, &w, &h, &components, 3);
  ASSERT_NE(pixels, nullptr);
  EXPECT_EQ(Bytes(pixels, pixels + reference.size()), reference);
  std::free(pixels);
  unlink(name);
  EXPECT_EQ(jpegdec::decodeFromFile(name, &w, &h, &components, 3), nullptr);

  jpegdec::MemoryInputStream stream(jpeg.data(), jpeg.size());
  jpegdec::Decoder decoder(&stream);
  ASSERT_TRUE(decoder.beginDecoding());
  EXPECT_EQ(decoder.width(), 50);
  EXPECT_EQ(decoder.height(), 30);
  EXPECT_EQ(decoder.outputComponents(), 3);
  const uint8_t *row;
  int len, rows = 0;
  while (decoder.decode(&row, &len)) {
    EXPECT_EQ(len, 150);
    rows++;
  }
  EXPECT_EQ(rows, 30);
  EXPECT_EQ(decoder.status(), DecoderStatus::kOk);
  EXPECT_FALSE(decoder.beginDecoding());
  EXPECT_EQ(decoder.status(), DecoderStatus::kBadArgument);
}

TEST(JpegDecoder, ChunkAllocatorCarvesRoundedRequestsFromLargeChunks) {
  jpegdec::ChunkAllocator memory;
  auto *a = static_cast<uint8_t *>(memory.allocate(1));
  auto *b = static_cast<uint8_t *>(memory.allocate(5));
  auto *c = static_cast<uint8_t *>(memory.allocate(1));
  EXPECT_EQ(b - a, 4);
  EXPECT_EQ(c - b, 8);
  EXPECT_EQ(a[0] | b[4] | c[0], 0);  // zero-filled
  EXPECT_EQ(memory.chunkCount(), 1u);
  memory.allocate(32512 - 16);  // exactly the rest of the small chunk
  EXPECT_EQ(memory.chunkCount(), 1u);
  memory.allocate(40000);  // a chunk of its own, 40960 bytes
  EXPECT_EQ(memory.chunkCount(), 2u);
  memory.allocate(960);
  EXPECT_EQ(memory.chunkCount(), 2u);
  memory.allocate(4);
  EXPECT_EQ(memory.chunkCount(), 3u);
  EXPECT_EQ(memory.allocate(SIZE_MAX), nullptr);  // refused before its rounding overflows
  memory.releaseAll();
  EXPECT_EQ(memory.chunkCount(), 0u);
}
