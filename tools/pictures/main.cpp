// kestra-pictures OUTDIR [FONTDIR]: draws every background picture of the
// display into OUTDIR as <name>.png. The same fonts give the same bytes.
#include <cstdio>
#include <filesystem>
#include <string>

#include "pictures.h"
#include "platform/paths.h"

int main(int argc, char **argv) {
  if (argc < 2 || argc > 3) {
    fprintf(stderr, "usage: kestra-pictures OUTDIR [FONTDIR]\n");
    return 2;
  }
  std::string out = argv[1];
  std::string fontDir = argc == 3 ? argv[2] : Paths{}.systemFontsDir;
  PictureFonts fonts(fontDir);
  if (!fonts.Loaded()) {
    fprintf(stderr, "kestra-pictures: cannot load the DejaVu fonts from %s\n", fontDir.c_str());
    return 1;
  }
  std::error_code ec;
  std::filesystem::create_directories(out, ec);
  for (const PictureDef &def : Pictures()) {
    Canvas canvas(PICTURE_WIDTH, PICTURE_HEIGHT, Rgb{0, 0, 0});
    def.draw(canvas, fonts);
    std::string error;
    if (!WritePng(out + "/" + def.name + ".png", canvas.ToPicture(), error)) {
      fprintf(stderr, "kestra-pictures: %s\n", error.c_str());
      return 1;
    }
  }
  return 0;
}
