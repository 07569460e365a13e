#include <gtest/gtest.h>
#include <png.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include "tests/codec/oracle.h"

namespace {

struct ToolRun {
  int status;
  std::string stderrText;
};

class KjpegTool : public ::testing::Test {
 protected:
  void SetUp() override {
    char dir[] = "/tmp/kestra-kjpeg-XXXXXX";
    dir_ = mkdtemp(dir);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  std::string Path(const std::string &name) const { return dir_ + "/" + name; }

  ToolRun Kjpeg(const std::string &arguments) const {
    std::string errors = Path("stderr.txt");
    int rc = std::system((std::string(KJPEG_BINARY) + " " + arguments + " 2>" + errors).c_str());
    std::ifstream in(errors);
    std::stringstream text;
    text << in.rdbuf();
    return {WIFEXITED(rc) ? WEXITSTATUS(rc) : -1, text.str()};
  }

  void WritePng(const std::string &name, const TestImage &image) const {
    png_image png = {};
    png.version = PNG_IMAGE_VERSION;
    png.width = png_uint_32(image.width);
    png.height = png_uint_32(image.height);
    png.format = image.channels == 1 ? PNG_FORMAT_GRAY : PNG_FORMAT_RGB;
    ASSERT_TRUE(
        png_image_write_to_file(&png, Path(name).c_str(), 0, image.pixels.data(), 0, nullptr));
  }

  // The pixels of a PNG file as RGBA.
  Bytes ReadPngRgba(const std::string &name, int &width, int &height) const {
    png_image png = {};
    png.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&png, Path(name).c_str())) return {};
    png.format = PNG_FORMAT_RGBA;
    Bytes pixels(PNG_IMAGE_SIZE(png));
    if (!png_image_finish_read(&png, nullptr, pixels.data(), 0, nullptr)) return {};
    width = int(png.width);
    height = int(png.height);
    return pixels;
  }

  Bytes ReadFile(const std::string &name) const {
    std::ifstream in(Path(name), std::ios::binary);
    return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  }

  std::string dir_;
};

bool OneLine(const std::string &text) {
  return !text.empty() && text.find('\n') == text.size() - 1;
}

}  // namespace

TEST_F(KjpegTool, EncodesAndDecodesWithTheGivenOptions) {
  TestImage image = ScreenImage(83, 41, 3);
  WritePng("in.png", image);
  ToolRun encode = Kjpeg("encode " + Path("in.png") + " " + Path("out.jpg") +
                         " --quality 90 --subsampling 1 --two-pass");
  ASSERT_EQ(encode.status, 0) << encode.stderrText;
  EXPECT_TRUE(encode.stderrText.empty());
  Bytes jpeg = ReadFile("out.jpg");
  EXPECT_EQ(jpeg, OurEncode(image, 90, 1, true));

  ToolRun decode = Kjpeg("decode " + Path("out.jpg") + " " + Path("back.png") + " --components 4");
  ASSERT_EQ(decode.status, 0) << decode.stderrText;
  int width = 0, height = 0;
  Bytes back = ReadPngRgba("back.png", width, height);
  EXPECT_EQ(width, 83);
  EXPECT_EQ(height, 41);
  EXPECT_EQ(back, OurDecode(jpeg, 4));

  WritePng("grey.png", GradientImage(20, 10, 1));
  ASSERT_EQ(
      Kjpeg("encode " + Path("grey.png") + " " + Path("grey.jpg") + " --subsampling 0").status, 0);
  int components = 0;
  OurDecode(ReadFile("grey.jpg"), 1, nullptr, nullptr, &components);
  EXPECT_EQ(components, 1);
}

TEST_F(KjpegTool, FailuresGiveOneLineAndANonZeroStatus) {
  WritePng("in.png", GradientImage(8, 8, 3));
  std::vector<std::string> failing = {
      "encode " + Path("missing.png") + " " + Path("x.jpg"),
      "encode " + Path("in.png") + " " + Path("x.jpg") + " --quality 0",
      "encode " + Path("in.png") + " " + Path("x.jpg") + " --subsampling 4",
      "encode " + Path("in.png") + " " + Path("x.jpg") + " --bogus",
      "encode " + Path("in.png") + " /nonexistent-dir/x.jpg",
      "decode " + Path("in.png") + " " + Path("x.png"),
      "decode " + Path("missing.jpg") + " " + Path("x.png"),
      "decode " + Path("in.png") + " " + Path("x.png") + " --components 2",
      "convert a b",
      "encode",
  };
  for (const std::string &arguments : failing) {
    ToolRun run = Kjpeg(arguments);
    EXPECT_NE(run.status, 0) << arguments;
    EXPECT_TRUE(OneLine(run.stderrText)) << arguments << ": " << run.stderrText;
  }
  EXPECT_NE(Kjpeg("decode " + Path("in.png") + " " + Path("x.png")).stderrText.find("not a JPEG"),
            std::string::npos);
}
