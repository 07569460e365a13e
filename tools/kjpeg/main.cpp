// kjpeg encode IN.png OUT.jpg [--quality Q] [--subsampling 0-3] [--two-pass]
// kjpeg decode IN.jpg OUT.png [--components 1|3|4]
// Exit status 0 on success; otherwise one line on standard error saying why.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "codec/jpeg/jpeg_decoder.h"
#include "codec/jpeg/jpeg_encoder.h"
#include "png_files.h"

namespace {

constexpr int kFailed = 1;
constexpr int kUsage = 2;

const char USAGE[] =
    "usage: kjpeg encode IN.png OUT.jpg [--quality Q] [--subsampling 0-3] [--two-pass] | "
    "kjpeg decode IN.jpg OUT.png [--components 1|3|4]";

int Fail(const std::string &reason) {
  std::fprintf(stderr, "kjpeg: %s\n", reason.c_str());
  return kFailed;
}

int Usage(const std::string &reason) {
  std::fprintf(stderr, "kjpeg: %s (%s)\n", reason.c_str(), USAGE);
  return kUsage;
}

// Whole decimal number in [low, high].
bool ParseNumber(const char *text, int low, int high, int &value) {
  char *end;
  long v = std::strtol(text, &end, 10);
  if (end == text || *end != '\0' || v < low || v > high) return false;
  value = int(v);
  return true;
}

const char *Describe(jpegdec::DecoderStatus status) {
  switch (status) {
    case jpegdec::DecoderStatus::kNotJpeg:
      return "not a JPEG file";
    case jpegdec::DecoderStatus::kUnsupported:
      return "unsupported JPEG (only 8-bit baseline or progressive Huffman, grey or YCbCr)";
    case jpegdec::DecoderStatus::kBadHeader:
      return "corrupt JPEG header";
    case jpegdec::DecoderStatus::kBadData:
      return "corrupt JPEG data";
    case jpegdec::DecoderStatus::kTruncated:
      return "truncated JPEG";
    case jpegdec::DecoderStatus::kOutOfMemory:
      return "out of memory";
    default:
      return "cannot decode";
  }
}

int Encode(const std::string &in, const std::string &out, const std::vector<std::string> &options) {
  jpegenc::Params params;
  for (size_t i = 0; i < options.size(); i++) {
    const std::string &option = options[i];
    bool hasValue = i + 1 < options.size();
    if (option == "--two-pass") {
      params.twoPass = true;
    } else if (option == "--quality" && hasValue) {
      if (!ParseNumber(options[++i].c_str(), 1, 100, params.quality))
        return Usage("quality must be 1..100");
    } else if (option == "--subsampling" && hasValue) {
      if (!ParseNumber(options[++i].c_str(), 0, 3, params.subsampling))
        return Usage("subsampling must be 0..3");
    } else {
      return Usage("unknown option " + option);
    }
  }
  PngPicture picture;
  std::string error;
  if (!ReadPng(in, picture, error)) return Fail("cannot read " + in + ": " + error);
  if (!jpegenc::encodeToFile(out.c_str(), picture.width, picture.height, picture.channels,
                             picture.pixels.data(), params))
    return Fail("cannot write " + out);
  return 0;
}

int Decode(const std::string &in, const std::string &out, const std::vector<std::string> &options) {
  int components = 0;  // the file's own
  for (size_t i = 0; i < options.size(); i++) {
    if (options[i] == "--components" && i + 1 < options.size()) {
      if (!ParseNumber(options[++i].c_str(), 1, 4, components) || components == 2)
        return Usage("components must be 1, 3 or 4");
    } else {
      return Usage("unknown option " + options[i]);
    }
  }
  jpegdec::FileInputStream stream;
  if (!stream.open(in.c_str())) return Fail("cannot open " + in);
  jpegdec::Decoder decoder(&stream, components);
  if (!decoder.beginDecoding()) return Fail(in + ": " + Describe(decoder.status()));
  size_t rowBytes = size_t(decoder.width()) * decoder.outputComponents();
  std::vector<uint8_t> pixels(rowBytes * decoder.height());
  for (int y = 0; y < decoder.height(); y++) {
    const uint8_t *row;
    int len;
    if (!decoder.decode(&row, &len)) return Fail(in + ": " + Describe(decoder.status()));
    std::copy(row, row + rowBytes, pixels.begin() + y * rowBytes);
  }
  std::string error;
  if (!WritePng(out, pixels.data(), decoder.width(), decoder.height(), decoder.outputComponents(),
                error))
    return Fail("cannot write " + out + ": " + error);
  return 0;
}

}  // namespace

int main(int argc, char **argv) {
  if (argc < 4) return Usage("missing arguments");
  std::string command = argv[1];
  std::vector<std::string> options(argv + 4, argv + argc);
  if (command == "encode") return Encode(argv[2], argv[3], options);
  if (command == "decode") return Decode(argv[2], argv[3], options);
  return Usage("unknown command " + command);
}
