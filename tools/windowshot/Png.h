#pragma once
#include <cstdint>
#include <vector>

// Writes 8-bit RGB rows as a PNG with stored (uncompressed) deflate blocks.
bool WritePng(const char* path, int width, int height, const std::vector<std::uint8_t>& rgb);
