// icon.h: the program's icon, a lit organic blob drawn at build time by the resource generator, and
// the PNG files the desktop finds it in. Nothing here is linked into the program itself.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tsv::resgen {

// The sizes of the icon theme folders the icon is installed into (NxN/apps/tessivar.png).
inline constexpr int kIconSizes[] = {16, 24, 32, 48, 64, 128, 256};

// The icon at side x side pixels, rows top-down, each pixel 0xAARRGGBB with straight (not
// premultiplied) alpha and sRGB colour; transparent around the blob. Every size is drawn on its own
// (supersampled), so small icons are as clean as a resampled large one.
std::vector<uint32_t> DrawIcon(int side);

// The picture as an 8-bit RGBA PNG file; empty when the encoder refuses it.
std::string FormatPng(const std::vector<uint32_t>& pixels, int width, int height);

}  // namespace tsv::resgen
