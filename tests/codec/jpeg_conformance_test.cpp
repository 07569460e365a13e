// Our codec against the independent library: files we write decode with it,
// files it writes decode with ours, and both decoders give the same pixels.
#include <gtest/gtest.h>
#include <turbojpeg.h>

#include "tests/codec/oracle.h"

namespace {

enum class Content { kSmooth, kNoise, kScreen };

TestImage Picture(Content content, int width, int height, int channels) {
  switch (content) {
    case Content::kSmooth:
      return GradientImage(width, height, channels);
    case Content::kNoise:
      return NoiseImage(width, height, channels);
    default:
      return ScreenImage(width, height, channels);
  }
}

// Compares our decoding of `jpeg` with the library's. Same pixels within 1
// per channel where both decoders reconstruct the same samples: grey, 4:4:4,
// and the layouts that repeat chroma samples (against the library's plain
// upsampling). With 2x2 luminance our chroma is evaluated in the frequency
// domain while the library interpolates: at least as close to the source
// (within 1 dB) in every case. Against the library's own interpolating
// output, for pictures large enough and with colour that varies slowly,
// every subsampled layout is within 40 dB.
void ExpectSamePixels(const Bytes &jpeg, int lumaH, int lumaV, bool grey, const TestImage &source,
                      Content content, const std::string &what) {
  int components = grey ? 1 : 3;
  Bytes ours = OurDecode(jpeg, components);
  ASSERT_FALSE(ours.empty()) << what;
  Bytes library = OracleDecode(jpeg, components);
  ASSERT_FALSE(library.empty()) << what;
  bool subsampled = !grey && lumaH * lumaV > 1;
  if (subsampled && source.width >= 64 && content != Content::kScreen) {
    EXPECT_GE(Psnr(ours, library), 40.0) << what;
  }
  if (lumaH == 2 && lumaV == 2) {
    Bytes original = AsComponents(source, components);
    EXPECT_GT(Psnr(ours, original), Psnr(library, original) - 1.0) << what;
  } else {
    if (subsampled) library = OracleDecode(jpeg, components, TJFLAG_FASTUPSAMPLE);
    EXPECT_LE(MaxDifference(ours, library), 1) << what;
  }
}

struct Size {
  int width, height;
};

}  // namespace

TEST(JpegConformance, OurFilesDecodeWithTheLibraryAndMatchIt) {
  static const int LUMA[4][2] = {{1, 1}, {1, 1}, {2, 1}, {2, 2}};
  for (Size size : {Size{1, 1}, Size{17, 9}, Size{801, 479}}) {
    bool large = size.width > 100;
    for (Content content : {Content::kSmooth, Content::kNoise, Content::kScreen}) {
      if (large && content == Content::kNoise) continue;
      TestImage image = Picture(content, size.width, size.height, 4);
      for (int quality : {1, 10, 25, 50, 75, 90, 100}) {
        if (large && quality != 10 && quality != 50 && quality != 90) continue;
        for (int subsampling = 0; subsampling < 4; subsampling++) {
          for (bool twoPass : {false, true}) {
            std::string what = std::to_string(size.width) + "x" + std::to_string(size.height) +
                               " content " + std::to_string(int(content)) + " q" +
                               std::to_string(quality) + " sub" + std::to_string(subsampling) +
                               (twoPass ? " two-pass" : "");
            Bytes jpeg = OurEncode(image, quality, subsampling, twoPass);
            ASSERT_FALSE(jpeg.empty()) << what;
            ExpectSamePixels(jpeg, LUMA[subsampling][0], LUMA[subsampling][1], subsampling == 0,
                             image, content, what);
          }
        }
      }
    }
  }
}

TEST(JpegConformance, LibraryFilesDecodeToTheLibrarysPixels) {
  struct Layout {
    int samp, h, v;
  };
  const Layout LAYOUTS[] = {{TJSAMP_444, 1, 1},
                            {TJSAMP_422, 2, 1},
                            {TJSAMP_420, 2, 2},
                            {TJSAMP_440, 1, 2},
                            {TJSAMP_GRAY, 1, 1}};
  struct Variant {
    const char *name;
    int flags;
    std::vector<std::pair<std::string, std::string>> environment;
  };
  const Variant VARIANTS[] = {{"baseline", 0, {}},
                              {"restart every MCU row", 0, {{"TJ_RESTART", "1"}}},
                              {"restart every 3 MCUs", 0, {{"TJ_RESTART", "3B"}}},
                              {"progressive", TJFLAG_PROGRESSIVE, {}},
                              {"optimised Huffman", 0, {{"TJ_OPTIMIZE", "1"}}}};
  for (Content content : {Content::kSmooth, Content::kNoise, Content::kScreen}) {
    for (const Layout &layout : LAYOUTS) {
      bool grey = layout.samp == TJSAMP_GRAY;
      TestImage image = Picture(content, 203, 117, grey ? 1 : 3);
      for (const Variant &variant : VARIANTS) {
        for (int quality : {30, 95}) {
          OracleOptions options;
          options.subsampling = layout.samp;
          options.quality = quality;
          options.flags = variant.flags;
          options.environment = variant.environment;
          Bytes jpeg = OracleEncode(image, options);
          ASSERT_FALSE(jpeg.empty());
          std::string what = std::string(variant.name) + " subsampling " +
                             std::to_string(layout.samp) + " content " +
                             std::to_string(int(content)) + " q" + std::to_string(quality);
          ExpectSamePixels(jpeg, layout.h, layout.v, grey, image, content, what);
        }
      }
    }
  }
}

TEST(JpegConformance, TheLibrarysSwitchesReallyChangeItsFiles) {
  // Guards the test above: the variants must differ from plain files.
  TestImage image = NoiseImage(64, 64, 3);
  OracleOptions options;
  Bytes plain = OracleEncode(image, options);
  options.environment = {{"TJ_RESTART", "1"}};
  EXPECT_NE(FindMarker(OracleEncode(image, options), 0xDD), std::string::npos);
  options.environment = {{"TJ_OPTIMIZE", "1"}};
  EXPECT_LT(OracleEncode(image, options).size(), plain.size());
  options.environment.clear();
  options.flags = TJFLAG_PROGRESSIVE;
  EXPECT_NE(FindMarker(OracleEncode(image, options), 0xC2), std::string::npos);
}
