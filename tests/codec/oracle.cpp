#include "tests/codec/oracle.h"

#include <turbojpeg.h>

#include <cmath>
#include <cstdlib>

#include "codec/jpeg/jpeg_decoder.h"
#include "codec/jpeg/jpeg_encoder.h"

namespace {

int PixelFormat(int components) {
  return components == 1 ? TJPF_GRAY : components == 3 ? TJPF_RGB : TJPF_RGBA;
}

Bytes Compress(const uint8_t *pixels, int width, int height, int format,
               const OracleOptions &options) {
  for (const auto &[name, value] : options.environment) setenv(name.c_str(), value.c_str(), 1);
  tjhandle handle = tjInitCompress();
  unsigned char *out = nullptr;
  unsigned long size = 0;
  int rc = tjCompress2(handle, pixels, width, 0, height, format, &out, &size, options.subsampling,
                       options.quality, options.flags);
  Bytes jpeg;
  if (rc == 0) jpeg.assign(out, out + size);
  tjFree(out);
  tjDestroy(handle);
  for (const auto &entry : options.environment) unsetenv(entry.first.c_str());
  return jpeg;
}

}  // namespace

Bytes OracleEncode(const TestImage &image, const OracleOptions &options) {
  return Compress(image.pixels.data(), image.width, image.height, PixelFormat(image.channels),
                  options);
}

Bytes OracleEncodeCmyk(int width, int height, const OracleOptions &options) {
  Bytes cmyk(size_t(width) * height * 4);
  for (size_t i = 0; i < cmyk.size(); i++) cmyk[i] = uint8_t(i * 7);
  return Compress(cmyk.data(), width, height, TJPF_CMYK, options);
}

Bytes OracleDecode(const Bytes &jpeg, int components, int flags) {
  tjhandle handle = tjInitDecompress();
  int width, height, subsampling, colourspace;
  Bytes pixels;
  if (tjDecompressHeader3(handle, jpeg.data(), jpeg.size(), &width, &height, &subsampling,
                          &colourspace) == 0) {
    pixels.resize(size_t(width) * height * components);
    if (tjDecompress2(handle, jpeg.data(), jpeg.size(), pixels.data(), width, 0, height,
                      PixelFormat(components), flags) != 0)
      pixels.clear();
  }
  tjDestroy(handle);
  return pixels;
}

Bytes OurDecode(const Bytes &jpeg, int components, int *width, int *height, int *fileComponents) {
  int w = 0, h = 0, c = 0;
  uint8_t *pixels =
      jpegdec::decodeFromMemory(jpeg.data(), int(jpeg.size()), &w, &h, &c, components);
  Bytes out;
  if (pixels) out.assign(pixels, pixels + size_t(w) * h * components);
  std::free(pixels);
  if (width) *width = w;
  if (height) *height = h;
  if (fileComponents) *fileComponents = c;
  return out;
}

Bytes OurEncode(const TestImage &image, int quality, int subsampling, bool twoPass) {
  Bytes out(size_t(image.width) * image.height * 8 + 4096);
  int size = int(out.size());
  jpegenc::Params params;
  params.quality = quality;
  params.subsampling = subsampling;
  params.twoPass = twoPass;
  if (!jpegenc::encodeToMemory(out.data(), size, image.width, image.height, image.channels,
                               image.pixels.data(), params))
    return {};
  out.resize(size_t(size));
  return out;
}

int MaxDifference(const Bytes &a, const Bytes &b) {
  if (a.size() != b.size()) return 256;
  int worst = 0;
  for (size_t i = 0; i < a.size(); i++) worst = std::max(worst, std::abs(a[i] - b[i]));
  return worst;
}

double Psnr(const Bytes &a, const Bytes &b) {
  if (a.size() != b.size() || a.empty()) return 0;
  double sum = 0;
  for (size_t i = 0; i < a.size(); i++) sum += double(a[i] - b[i]) * (a[i] - b[i]);
  if (sum == 0) return 99;
  return 10 * std::log10(255.0 * 255.0 * a.size() / sum);
}

Bytes AsComponents(const TestImage &image, int components) {
  Bytes out;
  for (int y = 0; y < image.height; y++)
    for (int x = 0; x < image.width; x++) {
      const uint8_t *p = image.pixels.data() + (size_t(y) * image.width + x) * image.channels;
      if (components == 1)
        out.push_back(image.channels == 1
                          ? p[0]
                          : uint8_t((19595 * p[0] + 38470 * p[1] + 7471 * p[2] + 32768) >> 16));
      else
        for (int c = 0; c < 3; c++) out.push_back(image.channels == 1 ? p[0] : p[c]);
    }
  return out;
}

std::vector<std::pair<size_t, uint8_t>> Markers(const Bytes &jpeg) {
  std::vector<std::pair<size_t, uint8_t>> found;
  size_t i = 0;
  while (i + 1 < jpeg.size()) {
    if (jpeg[i] != 0xFF || jpeg[i + 1] == 0 || jpeg[i + 1] == 0xFF) {
      i++;  // coded data (or fill bytes)
      continue;
    }
    uint8_t code = jpeg[i + 1];
    found.push_back({i, code});
    bool standalone =
        code == 0xD8 || code == 0xD9 || (code >= 0xD0 && code <= 0xD7) || code == 0x01;
    if (standalone || i + 3 >= jpeg.size()) {
      i += 2;
      continue;
    }
    i += 2 + (size_t(jpeg[i + 2]) << 8 | jpeg[i + 3]);  // a segment: skip its payload
  }
  return found;
}

size_t FindMarker(const Bytes &jpeg, uint8_t code) {
  for (const auto &[offset, marker] : Markers(jpeg))
    if (marker == code) return offset;
  return std::string::npos;
}
