#pragma once
// Full-screen pictures: PNG files in the pictures folder, named without ".png".

struct Works;

// Loads the picture named by works->display.imageName into the background
// buffer (toBack non-zero) or into the work buffer, which is then shown.
// Accepts 8-bit RGBA no larger than the display; the alpha is dropped. Every
// refusal is logged and leaves the target as it was.
void getPng(Works *works, int toBack);
