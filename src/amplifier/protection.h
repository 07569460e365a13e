#pragma once
// The amplifier's protection switch: on, it also pads the input fully.
struct Works;

void AttivaDisattivaProtezione(Works *works, int on);
