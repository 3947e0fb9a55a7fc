#pragma once
// Small helpers that the tests, the benchmark, the fuzz targets and the examples share.

#include <cstdint>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

// A path from the UTF-8 names the tools take, and back, with '/' between its parts: the
// narrow strings of std::filesystem are in the ANSI code page on Windows.
std::filesystem::path utf8_path(const std::string& text);
std::string utf8_of(const std::filesystem::path& path);

// The whole file; empty when it cannot be read.
std::vector<std::uint8_t> read_file(const std::string& path);

// Creates or replaces the file; false when it could not be written whole.
bool write_file(const std::string& path, const std::vector<std::uint8_t>& bytes);

// Writes a little-endian field into a file's bytes.
void patch_le16(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint16_t value);
void patch_le32(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint32_t value);

// A copy of the bytes with one 32-bit field rewritten.
std::vector<std::uint8_t> patched32(std::vector<std::uint8_t> bytes, std::size_t at,
                                    std::uint32_t value);

// A whole number from low to high, both included.
int pick(std::mt19937& random, int low, int high);

// Every value of the attribute `name` in a page, in order.
std::vector<std::string> attribute_values(const std::string& page, const std::string& name);

// A link's %XX escapes decoded.
std::string percent_decoded(const std::string& link);
