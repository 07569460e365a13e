#pragma once
// The example tables of T.81 Annex K: quantisation (natural order) and the
// Huffman tables used when no optimised ones are built.
#include <cstdint>

#include "codec/jpeg/huffman_encoder.h"

namespace jpegenc {

extern const uint8_t LUMA_QUANT[64];
extern const uint8_t CHROMA_QUANT[64];

// base scaled by quality 1..100 (50 leaves it unchanged), entries 1..255.
void scaleQuantTable(const uint8_t base[64], int quality, uint8_t out[64]);

extern const HuffmanSpec DC_LUMA_SPEC;
extern const HuffmanSpec AC_LUMA_SPEC;
extern const HuffmanSpec DC_CHROMA_SPEC;
extern const HuffmanSpec AC_CHROMA_SPEC;

}  // namespace jpegenc
