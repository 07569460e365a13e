#include "codec/jpeg/jpeg_encoder.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <set>

#include "codec/jpeg/encoder_tables.h"
#include "codec/jpeg/rgb_to_ycc.h"
#include "tests/codec/oracle.h"

namespace {

// The payload of the first segment with that marker.
Bytes Segment(const Bytes &jpeg, uint8_t code) {
  size_t at = FindMarker(jpeg, code);
  if (at == std::string::npos) return {};
  size_t len = size_t(jpeg[at + 2]) << 8 | jpeg[at + 3];
  return Bytes(jpeg.begin() + at + 4, jpeg.begin() + at + 2 + len);
}

// The entropy-coded bytes between the scan header and EOI.
Bytes CodedData(const Bytes &jpeg) {
  size_t sos = FindMarker(jpeg, 0xDA);
  size_t data = sos + 2 + (size_t(jpeg[sos + 2]) << 8 | jpeg[sos + 3]);
  return Bytes(jpeg.begin() + data, jpeg.end() - 2);
}

std::vector<uint8_t> MarkerCodes(const Bytes &jpeg) {
  std::vector<uint8_t> codes;
  for (const auto &marker : Markers(jpeg)) codes.push_back(marker.second);
  return codes;
}

bool Encode(const TestImage &image, void *buffer, int &size, jpegenc::Params params) {
  return jpegenc::encodeToMemory(buffer, size, image.width, image.height, image.channels,
                                 image.pixels.data(), params);
}

}  // namespace

TEST(JpegEncoder, RefusesInvalidArgumentsAndLeavesTheSizeZero) {
  TestImage image = GradientImage(16, 16, 3);
  Bytes out(65536);
  auto refused = [&](jpegenc::Params params, void *buffer, int capacity, int width, int height,
                     int channels, const void *pixels) {
    int size = capacity;
    bool ok = jpegenc::encodeToMemory(buffer, size, width, height, channels, pixels, params);
    return !ok && size == 0;
  };
  jpegenc::Params good;
  const uint8_t *px = image.pixels.data();
  EXPECT_TRUE(refused(good, nullptr, 65536, 16, 16, 3, px));
  EXPECT_TRUE(refused(good, out.data(), 0, 16, 16, 3, px));
  EXPECT_TRUE(refused(good, out.data(), 65536, 0, 16, 3, px));
  EXPECT_TRUE(refused(good, out.data(), 65536, 16, -1, 3, px));
  EXPECT_TRUE(refused(good, out.data(), 65536, 65536, 1, 3, px));  // no room in the frame header
  EXPECT_TRUE(refused(good, out.data(), 65536, 16, 16, 2, px));
  EXPECT_TRUE(refused(good, out.data(), 65536, 16, 16, 5, px));
  EXPECT_TRUE(refused(good, out.data(), 65536, 16, 16, 3, nullptr));
  for (int quality : {0, 101}) {
    jpegenc::Params params;
    params.quality = quality;
    EXPECT_TRUE(refused(params, out.data(), 65536, 16, 16, 3, px)) << quality;
  }
  for (int subsampling : {-1, 4}) {
    jpegenc::Params params;
    params.subsampling = subsampling;
    EXPECT_TRUE(refused(params, out.data(), 65536, 16, 16, 3, px)) << subsampling;
  }
  int size = 65536;
  EXPECT_TRUE(Encode(image, out.data(), size, good));
  EXPECT_GT(size, 0);
}

TEST(JpegEncoder, ABufferOneByteTooSmallFailsWithSizeZero) {
  for (bool twoPass : {false, true}) {
    TestImage image = NoiseImage(45, 30, 3);
    jpegenc::Params params;
    params.twoPass = twoPass;
    Bytes out(1 << 20);
    int exact = int(out.size());
    ASSERT_TRUE(Encode(image, out.data(), exact, params));
    Bytes reference(out.begin(), out.begin() + exact);

    Bytes tight(static_cast<size_t>(exact));
    int size = exact;
    EXPECT_TRUE(Encode(image, tight.data(), size, params));
    EXPECT_EQ(size, exact);
    EXPECT_EQ(tight, reference);
    size = exact - 1;
    EXPECT_FALSE(Encode(image, tight.data(), size, params));
    EXPECT_EQ(size, 0);
  }
}

TEST(JpegEncoder, WritesTheJfifMarkersInOrder) {
  TestImage image = GradientImage(20, 12, 3);
  Bytes jpeg = OurEncode(image, 85, 3);
  std::vector<uint8_t> expected = {0xD8, 0xE0, 0xDB, 0xC0, 0xC4, 0xDA, 0xD9};
  EXPECT_EQ(MarkerCodes(jpeg), expected);
  Bytes app0 = Segment(jpeg, 0xE0);
  Bytes jfif = {'J', 'F', 'I', 'F', 0, 1, 1, 0, 0, 1, 0, 1, 0, 0};
  EXPECT_EQ(app0, jfif);
  EXPECT_EQ(jpeg[FindMarker(jpeg, 0xE0) + 3], 16);  // APP0 length
  EXPECT_EQ(jpeg.back(), 0xD9);
  EXPECT_EQ(jpeg[jpeg.size() - 2], 0xFF);

  // A flat mid-grey block codes to "00" (DC category 0) and "1010" (EOB);
  // the last byte is padded with 1-bits.
  TestImage grey = BlankImage(8, 8, 1);
  std::fill(grey.pixels.begin(), grey.pixels.end(), 128);
  Bytes flat = OurEncode(grey, 50, 0);
  EXPECT_EQ(CodedData(flat), Bytes{0x2B});

  // Every 0xFF in the coded data is followed by a stuffed zero.
  Bytes noisy = CodedData(OurEncode(NoiseImage(64, 64, 3), 100, 1));
  int ff = 0;
  for (size_t i = 0; i < noisy.size(); i++) {
    if (noisy[i] != 0xFF) continue;
    ff++;
    ASSERT_LT(i + 1, noisy.size());
    EXPECT_EQ(noisy[i + 1], 0) << i;
    i++;
  }
  EXPECT_GT(ff, 0);
}

TEST(JpegEncoder, QualityScalesTheAnnexTables) {
  auto lumaTable = [](int quality) {
    Bytes jpeg = OurEncode(GradientImage(8, 8, 3), quality, 1);
    Bytes dqt = Segment(jpeg, 0xDB);
    return Bytes(dqt.begin() + 1, dqt.begin() + 65);  // table 0, zig-zag order
  };
  // Zig-zag order of the luminance table's first entries: 16 11 12 14 12 10.
  Bytes fifty = lumaTable(50);
  EXPECT_EQ(Bytes(fifty.begin(), fifty.begin() + 6), (Bytes{16, 11, 12, 14, 12, 10}));
  EXPECT_EQ(fifty[63], 99);
  Bytes hundred = lumaTable(100);
  EXPECT_EQ(hundred, Bytes(64, 1));
  Bytes one = lumaTable(1);
  EXPECT_EQ(one, Bytes(64, 255));
  // Quality 10: scale 500, (500 * 16 + 50) / 100 = 80.
  EXPECT_EQ(lumaTable(10)[0], 80);
  // Quality 75: scale 50, (50 * 11 + 50) / 100 = 6.
  EXPECT_EQ(lumaTable(75)[1], 6);

  uint8_t scaled[64];
  jpegenc::scaleQuantTable(jpegenc::CHROMA_QUANT, 50, scaled);
  EXPECT_EQ(Bytes(scaled, scaled + 64), Bytes(jpegenc::CHROMA_QUANT, jpegenc::CHROMA_QUANT + 64));
}

TEST(JpegEncoder, SubsamplingCodesAndTheSharedTable) {
  TestImage image = GradientImage(24, 24, 4);
  const uint8_t LUMA_FACTORS[4] = {0x11, 0x11, 0x21, 0x22};
  for (int code = 0; code < 4; code++) {
    Bytes sof = Segment(OurEncode(image, 80, code), 0xC0);
    ASSERT_FALSE(sof.empty());
    EXPECT_EQ(sof[0], 8);  // precision
    EXPECT_EQ(sof[5], code == 0 ? 1 : 3) << code;
    EXPECT_EQ(sof[7], LUMA_FACTORS[code]) << code;
    if (code > 0) {
      EXPECT_EQ(sof[10], 0x11);
      EXPECT_EQ(sof[11], 1);  // chroma quantised with table 1
    }
  }
  TestImage colour = GradientImage(16, 16, 3);
  Bytes out(65536);
  int size = int(out.size());
  jpegenc::Params shared;
  shared.chromaUsesLumaTable = true;
  ASSERT_TRUE(Encode(colour, out.data(), size, shared));
  out.resize(size_t(size));
  EXPECT_EQ(Segment(out, 0xDB).size(), 65u);  // one table
  Bytes sof = Segment(out, 0xC0);
  EXPECT_EQ(sof[11], 0);
  EXPECT_EQ(sof[14], 0);
}

TEST(JpegEncoder, TwoPassCodesWithOptimisedTablesOfAtMostSixteenBits) {
  TestImage image = NoiseImage(120, 80, 3);
  Bytes single = OurEncode(image, 90, 3, false);
  Bytes optimised = OurEncode(image, 90, 3, true);
  EXPECT_LT(optimised.size(), single.size());
  EXPECT_NE(Segment(optimised, 0xC4), Segment(single, 0xC4));
  // The same coefficients under other codes: both decode to the same pixels.
  EXPECT_FALSE(OracleDecode(optimised, 3).empty());
  EXPECT_EQ(OurDecode(optimised, 3), OurDecode(single, 3));

  jpegenc::SymbolCounts counts = {};
  // Fibonacci frequencies: an unlimited Huffman code would be 40 bits deep.
  uint32_t a = 1, b = 1;
  for (int s = 0; s < 40; s++) {
    counts.count[s * 3] = a;
    uint32_t next = a + b;
    a = b;
    b = next;
  }
  jpegenc::HuffmanSpec spec;
  jpegenc::buildOptimalSpec(counts, spec);
  EXPECT_EQ(spec.count(), 40);
  double kraft = 0;
  for (int len = 1; len <= 16; len++) kraft += spec.bits[len] / double(1 << len);
  EXPECT_LT(kraft, 1.0);  // a prefix code with the all-ones word left out
  std::set<int> symbols(spec.values, spec.values + spec.count());
  EXPECT_EQ(symbols.size(), 40u);
  EXPECT_TRUE(symbols.count(117));
  // The most frequent symbol has a code of the shortest length.
  int shortest = 1;
  while (spec.bits[shortest] == 0) shortest++;
  std::set<int> shortestSymbols(spec.values, spec.values + spec.bits[shortest]);
  EXPECT_TRUE(shortestSymbols.count(39 * 3));

  jpegenc::SymbolCounts lone = {};
  lone.count[7] = 5;
  jpegenc::buildOptimalSpec(lone, spec);
  EXPECT_EQ(spec.count(), 1);
  EXPECT_EQ(spec.bits[1], 1);
  EXPECT_EQ(spec.values[0], 7);
}

TEST(JpegEncoder, StandardAcTablesHoldEveryRunAndCategory) {
  for (const jpegenc::HuffmanSpec *spec : {&jpegenc::AC_LUMA_SPEC, &jpegenc::AC_CHROMA_SPEC}) {
    ASSERT_EQ(spec->count(), 162);
    std::set<int> symbols(spec->values, spec->values + 162);
    EXPECT_EQ(symbols.size(), 162u);
    for (int run = 0; run < 16; run++)
      for (int size = 1; size <= 10; size++) EXPECT_TRUE(symbols.count(run << 4 | size));
    EXPECT_TRUE(symbols.count(0x00));
    EXPECT_TRUE(symbols.count(0xF0));
  }
}

TEST(JpegEncoder, ColourConversionFollowsTheIntegerEquations) {
  // Every ninth level of each primary, through the row converter.
  Bytes row;
  for (int r = 0; r < 256; r += 9)
    for (int g = 0; g < 256; g += 9)
      for (int b = 0; b < 256; b += 9)
        row.insert(row.end(), {uint8_t(r), uint8_t(g), uint8_t(b), 0});
  row.insert(row.end(), {255, 255, 255, 0, 0, 0, 255, 0, 255, 0, 0, 0});
  int width = int(row.size() / 4);
  size_t n = static_cast<size_t>(width);
  Bytes y(n), cb(n), cr(n), luma(n);
  jpegenc::rgbToYcc(row.data(), width, 4, y.data(), cb.data(), cr.data());
  jpegenc::rgbToLuma(row.data(), width, 4, luma.data());
  for (int x = 0; x < width; x++) {
    int r = row[4 * x], g = row[4 * x + 1], b = row[4 * x + 2];
    int ey = (19595 * r + 38470 * g + 7471 * b + 32768) >> 16;
    int ecb = std::clamp(((32768 * b - 11059 * r - 21709 * g + 32768) >> 16) + 128, 0, 255);
    int ecr = std::clamp(((32768 * r - 27439 * g - 5329 * b + 32768) >> 16) + 128, 0, 255);
    ASSERT_EQ(y[x], ey) << r << " " << g << " " << b;
    ASSERT_EQ(luma[x], ey);
    ASSERT_EQ(cb[x], ecb) << r << " " << g << " " << b;
    ASSERT_EQ(cr[x], ecr) << r << " " << g << " " << b;
  }
}

TEST(JpegEncoder, ScanlinesMustMatchTheHeight) {
  TestImage image = GradientImage(10, 10, 3);
  Bytes out(65536);
  jpegenc::MemoryOutputStream stream(out.data(), out.size());
  jpegenc::Encoder encoder;
  ASSERT_TRUE(encoder.init(&stream, 10, 10, 3, jpegenc::Params()));
  for (int y = 0; y < 9; y++) EXPECT_TRUE(encoder.processScanline(image.At(0, y)));
  EXPECT_FALSE(encoder.processScanline(nullptr));  // a row short
  EXPECT_FALSE(encoder.processScanline(image.At(0, 0)));

  ASSERT_TRUE(encoder.init(&stream, 10, 10, 3, jpegenc::Params()));
  for (int y = 0; y < 10; y++) EXPECT_TRUE(encoder.processScanline(image.At(0, y)));
  EXPECT_FALSE(encoder.processScanline(image.At(0, 0)));  // a row too many
  EXPECT_FALSE(encoder.init(nullptr, 10, 10, 3, jpegenc::Params()));
  encoder.deinit();
}

TEST(JpegEncoder, FileOutputMatchesMemoryOutputAndFailureLeavesNoFile) {
  TestImage image = ScreenImage(64, 40, 3);
  Bytes memory = OurEncode(image, 85, 3);
  char name[] = "/tmp/kestra-jpeg-XXXXXX";
  int fd = mkstemp(name);
  ASSERT_GE(fd, 0);
  close(fd);
  jpegenc::Params params;
  ASSERT_TRUE(jpegenc::encodeToFile(name, 64, 40, 3, image.pixels.data(), params));
  std::ifstream in(name, std::ios::binary);
  Bytes file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(file, memory);

  params.quality = 0;
  EXPECT_FALSE(jpegenc::encodeToFile(name, 64, 40, 3, image.pixels.data(), params));
  EXPECT_NE(access(name, F_OK), 0);
  EXPECT_FALSE(jpegenc::encodeToFile("/nonexistent-dir/x.jpg", 64, 40, 3, image.pixels.data(),
                                     jpegenc::Params()));
}
