// Times palette-translate against the literal reference model and a plain copy of the same
// file, on generated workloads, and reports the tool's peak resident memory.
// Usage: bench-translate [WORK_DIR [batch | png | truecolour | compact | engine | tiers TOOL...]]
// (default: a new directory under /tmp, removed after). "batch" runs only the folder
// workload, W7; "png" only the palette PNG workloads, W6, W6b and W6t (one column);
// "truecolour" only W8;
// "compact" only W1 with and without --compact-palette;
// "engine" only the in-memory table of the kernels on each tier; "tiers" times the given
// builds of palette-translate (each capped at a kernel tier) against cat.

#include <zlib.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "bmp_builder.h"
#include "engine_speed.h"
#include "image/png_write.h"
#include "png_builder.h"
#include "subprocess.h"
#include "whole_files.h"

namespace {

const std::string TOOL = PALETTE_TRANSLATE_PATH;
const std::string REFERENCE = REFERENCE_TRANSLATE_PATH;
const std::string BATCH = PALETTE_BATCH_PATH;

// A command line: the program, then its arguments.
timed_run run_command(const std::vector<std::string>& command, const std::string& stdout_path) {
  return run_program_timed(command[0], {command.begin() + 1, command.end()}, stdout_path);
}

struct summary {
  double median_seconds;
  long peak_kib;
};

// One thing to time: a program, or work done in this process.
using timed_step = std::function<timed_run()>;

// Runs the steps in turn, `times` rounds, so that a change in the machine's load touches
// all of them alike; each round starts one step later, so that none always follows the
// same one (whose output it may truncate). The median of each.
std::vector<summary> run_steps_interleaved(const std::vector<timed_step>& steps, int times) {
  std::vector<std::vector<double>> seconds(steps.size());
  std::vector<summary> results(steps.size(), summary{0, 0});
  for (int round = 0; round < times; ++round) {
    for (std::size_t k = 0; k < steps.size(); ++k) {
      std::size_t c = (k + static_cast<std::size_t>(round)) % steps.size();
      timed_run m = steps[c]();
      seconds[c].push_back(m.seconds);
      results[c].peak_kib = std::max(results[c].peak_kib, m.peak_kib);
    }
  }
  for (std::size_t c = 0; c < steps.size(); ++c) {
    std::sort(seconds[c].begin(), seconds[c].end());
    results[c].median_seconds = seconds[c][seconds[c].size() / 2];
  }
  return results;
}

timed_step command_step(const std::vector<std::string>& command, const std::string& stdout_path) {
  return [command, stdout_path] {
    timed_run m = run_command(command, stdout_path);
    if (m.status != 0) std::fprintf(stderr, "  %s exited with %d\n", command[0].c_str(), m.status);
    return m;
  };
}

// The step, run right after this process touched and gave back `bytes` of memory. On a
// virtual machine that hands freed memory to its host, memory nothing touched for a few
// seconds costs about 3 ms a MiB at its first touch, and 0.1 ms just after another
// process freed it: timed both ways, the two show what the program costs and what the
// machine adds.
timed_step after_warming(timed_step step, std::size_t bytes) {
  return [step, bytes] {
    {
      std::vector<std::uint8_t> touched(bytes, 1);
      volatile std::uint8_t keep = touched[bytes / 2];
      (void)keep;
    }
    return step();
  };
}

std::vector<summary> run_interleaved(const std::vector<std::vector<std::string>>& commands,
                                     const std::vector<std::string>& stdout_paths, int times) {
  std::vector<timed_step> steps;
  for (std::size_t c = 0; c < commands.size(); ++c)
    steps.push_back(command_step(commands[c], stdout_paths[c]));
  return run_steps_interleaved(steps, times);
}

// The palette of the big workloads: a dark background, then 29 colour ramps of 8 shades
// (232 entries); the entries above are black, so 234 count as used.
constexpr int USED_ENTRIES = 234;

std::vector<rgb> ramp_palette() {
  std::vector<rgb> palette = {{12, 12, 20}};
  for (int i = 1; i < 256; ++i) {
    int hue = (i - 1) / 8;
    int shade = 30 + ((i - 1) % 8) * 28;
    auto channel = [&](int phase) {
      return static_cast<std::uint8_t>(shade * (2 + (hue * phase) % 7) / 8);
    };
    palette.push_back(i < 233 ? rgb{channel(1), channel(3), channel(5)} : rgb{});
  }
  return palette;
}

std::uint8_t shade_of(int hue, int shade) {
  return static_cast<std::uint8_t>(1 + hue * 8 + shade);
}

// One 128 x 128 cell of a sprite sheet: an outlined body in flat shades, a dithered
// shadow band, a highlight and eyes, on the flat background.
std::uint8_t sprite_pixel(int x, int y, int cell) {
  int hue = cell % 29;
  int dx = x - 64;
  int dy = y - 60;
  int rx = 36 + cell % 17;
  int ry = 30 + cell % 23;
  long inside = static_cast<long>(dx) * dx * ry * ry + static_cast<long>(dy) * dy * rx * rx;
  long edge = static_cast<long>(rx) * rx * ry * ry;
  if (inside > edge) return y < 8 && (x + cell) % 41 == 0 ? shade_of(hue, 7) : 0;
  if (inside > edge * 85 / 100) return shade_of(hue, 0);
  if ((dx + 14) * (dx + 14) + (dy - 8) * (dy - 8) < 40 ||
      (dx - 14) * (dx - 14) + (dy - 8) * (dy - 8) < 40) {
    return shade_of((hue + 11) % 29, 7);
  }
  if (dy < -ry / 3) return (x + y) % 2 == 0 ? shade_of(hue, 2) : shade_of(hue, 3);
  if (dx * dx + (dy - ry / 2) * (dy - ry / 2) < 60) return shade_of(hue, 6);
  return shade_of(hue, 4);
}

// A sprite sheet, the common big palette image: its rows as a bottom-up bitmap stores them.
std::vector<std::vector<std::uint8_t>> sheet_rows(int size, int colors) {
  std::vector<std::vector<std::uint8_t>> rows;
  for (int row = 0; row < size; ++row) {
    std::vector<std::uint8_t> line(static_cast<std::size_t>(size));
    for (int col = 0; col < size; ++col) {
      std::uint8_t value = sprite_pixel(col % 128, row % 128, (row / 128) * 64 + col / 128);
      line[static_cast<std::size_t>(col)] =
          colors == 256 ? value : static_cast<std::uint8_t>(value % colors);
    }
    rows.push_back(std::move(line));
  }
  return rows;
}

std::vector<std::uint8_t> sheet_image(int size, int height_sign, std::uint32_t info_size,
                                      int colors, std::uint32_t compression = 0) {
  bmp_recipe recipe;
  recipe.compression = compression;
  recipe.width = size;
  recipe.height = size * height_sign;
  recipe.info_size = info_size;
  recipe.palette = ramp_palette();
  recipe.palette.resize(static_cast<std::size_t>(colors));
  recipe.colors_used = colors == 256 ? 0 : colors;
  recipe.rows = sheet_rows(size, colors);
  return build_bmp(recipe);
}

// The same sheet as a sprite editor exports it: a palette PNG, background transparent,
// no row filters (as libpng chooses for palette images), zlib level 6.
std::vector<std::uint8_t> sheet_png(int size) {
  png_recipe recipe;
  recipe.width = static_cast<std::uint32_t>(size);
  recipe.height = static_cast<std::uint32_t>(size);
  recipe.palette = ramp_palette();
  recipe.transparency = {0};
  recipe.rows = sheet_rows(size, 256);
  std::reverse(recipe.rows.begin(), recipe.rows.end());  // PNG stores the top row first
  return build_png(recipe);
}

// The W8 sheet's 200 colours: the clear background, then 199 of the ramps' shades, each
// made distinct by its blue.
constexpr int TRUE_COLOURS = 200;

// A sheet pixel's red, green, blue and alpha; the background is clear.
std::array<std::uint8_t, 4> true_colour_of(std::uint8_t value) {
  static const std::vector<rgb> ramp = ramp_palette();
  std::uint8_t number =
      value == 0 ? 0 : static_cast<std::uint8_t>(1 + (value - 1) % (TRUE_COLOURS - 1));
  rgb c = ramp[number];
  return {c.red, c.green, number, static_cast<std::uint8_t>(number == 0 ? 0 : 255)};
}

// The sheet's rows in stored order, bottom first, each pixel's colour put into its line
// by `put` as the form stores it.
template <typename Sample, typename Put>
std::vector<std::vector<Sample>> true_colour_rows(int size, Put put) {
  std::vector<std::vector<Sample>> rows;
  for (const std::vector<std::uint8_t>& row : sheet_rows(size, 256)) {
    std::vector<Sample> line;
    line.reserve(row.size() * 4);
    for (std::uint8_t value : row) put(line, true_colour_of(value));
    rows.push_back(std::move(line));
  }
  return rows;
}

// The sprite sheet as most editors save it: RGBA, the background fully transparent.
std::vector<std::uint8_t> sheet_rgba_png(int size) {
  png_recipe recipe;
  recipe.width = static_cast<std::uint32_t>(size);
  recipe.height = static_cast<std::uint32_t>(size);
  recipe.color_type = 6;
  // The mix libpng's adaptive choice made when ImageMagick saved this sheet as PNG32: 48 %
  // Sub, 45 % Up, 7 % Paeth.
  recipe.filters = {1, 2, 1, 2, 1, 2, 1, 2, 1, 2, 1, 2, 1, 4};
  recipe.rows = true_colour_rows<std::uint8_t>(size, [](auto& line, std::array<std::uint8_t, 4> c) {
    line.insert(line.end(), c.begin(), c.end());
  });
  std::reverse(recipe.rows.begin(), recipe.rows.end());  // PNG stores the top row first
  return build_png(recipe);
}

// The same sheet as a 32-bit bitmap with an alpha mask in a 124-byte header.
std::vector<std::uint8_t> sheet_rgba_bmp(int size) {
  true_colour_bmp recipe;
  recipe.width = size;
  recipe.height = size;
  recipe.bits = 32;
  recipe.compression = 3;
  recipe.info_size = 124;
  recipe.masks = {0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000};
  recipe.rows =
      true_colour_rows<std::uint32_t>(size, [](auto& line, std::array<std::uint8_t, 4> c) {
        line.push_back(std::uint32_t{c[3]} << 24 | std::uint32_t{c[0]} << 16 |
                       std::uint32_t{c[1]} << 8 | c[2]);
      });
  return build_true_colour_bmp(recipe);
}

// The hard case: round radial gradients, whose value changes at almost every pixel, and
// 3 % salt noise over the background.
std::vector<std::uint8_t> noisy_image(int size) {
  bmp_recipe recipe;
  recipe.width = size;
  recipe.height = size;
  recipe.palette = ramp_palette();
  std::uint32_t noise = 12345;
  for (int row = 0; row < size; ++row) {
    std::vector<std::uint8_t> line(static_cast<std::size_t>(size), 0);
    for (int col = 0; col < size; ++col) {
      int dx = col % 96 - 48;
      int dy = row % 96 - 48;
      int r2 = dx * dx + dy * dy;
      noise = noise * 1103515245u + 12345u;
      if (r2 < 40 * 40) {
        line[static_cast<std::size_t>(col)] =
            static_cast<std::uint8_t>(1 + (r2 / 24 + (row / 96) * 7) % 232);
      } else if ((noise >> 24) < 8) {
        line[static_cast<std::size_t>(col)] = static_cast<std::uint8_t>(1 + (noise >> 8) % 232);
      }
    }
    recipe.rows.push_back(std::move(line));
  }
  return build_bmp(recipe);
}

// Every pixel an independent value, uniform over the used entries: every pixel drawn, and
// a new value at nearly every pixel.
std::vector<std::uint8_t> uniform_noise_image(int size) {
  bmp_recipe recipe;
  recipe.width = size;
  recipe.height = size;
  recipe.palette = ramp_palette();
  std::mt19937 random(2026);
  std::uniform_int_distribution<int> value(0, USED_ENTRIES - 1);
  for (int row = 0; row < size; ++row) {
    std::vector<std::uint8_t> line(static_cast<std::size_t>(size));
    for (std::uint8_t& pixel : line) pixel = static_cast<std::uint8_t>(value(random));
    recipe.rows.push_back(std::move(line));
  }
  return build_bmp(recipe);
}

// A 64 x 64 sprite: one sheet cell at half size; the cell number varies shape and hue.
std::vector<std::uint8_t> small_sprite(int cell) {
  bmp_recipe recipe;
  recipe.width = 64;
  recipe.height = 64;
  recipe.palette = ramp_palette();
  for (int row = 0; row < 64; ++row) {
    std::vector<std::uint8_t> line(64);
    for (int col = 0; col < 64; ++col)
      line[static_cast<std::size_t>(col)] = sprite_pixel(col * 2, row * 2, cell);
    recipe.rows.push_back(std::move(line));
  }
  return build_bmp(recipe);
}

struct workload {
  const char* name;
  std::string file;
  std::vector<std::string> parameters;
  int runs;
  int reference_runs;
};

// A translation's command line: the program, the two files, the four numbers.
std::vector<std::string> translate_command(const std::string& program, const std::string& file,
                                           const std::string& out,
                                           const std::vector<std::string>& parameters) {
  std::vector<std::string> command = {program, file, out};
  command.insert(command.end(), parameters.begin(), parameters.end());
  return command;
}

void report(const workload& w, const std::string& dir) {
  std::string out = dir + "/out.bmp";
  std::vector<std::string> tool = translate_command(TOOL, w.file, out, w.parameters);
  std::vector<std::string> reference = translate_command(REFERENCE, w.file, out, w.parameters);
  std::vector<summary> pair =
      run_interleaved({{"/bin/cat", w.file}, tool}, {out, "/dev/null"}, w.runs);
  summary copy = pair[0];
  summary ours = pair[1];
  std::printf("%s  %8.1f MiB input\n", w.name,
              static_cast<double>(std::filesystem::file_size(w.file)) / (1 << 20));
  std::printf("    palette-translate %9.2f ms   %6.2f x cat   peak %7.1f MiB (%.2f x input)\n",
              ours.median_seconds * 1e3, ours.median_seconds / copy.median_seconds,
              static_cast<double>(ours.peak_kib) / 1024.0,
              static_cast<double>(ours.peak_kib) * 1024.0 /
                  static_cast<double>(std::filesystem::file_size(w.file)));
  std::printf("    cat               %9.2f ms\n", copy.median_seconds * 1e3);
  if (w.reference_runs > 0) {
    summary literal = run_interleaved({reference}, {"/dev/null"}, w.reference_runs)[0];
    std::printf("    reference model   %9.2f ms   %6.1f x palette-translate\n",
                literal.median_seconds * 1e3, literal.median_seconds / ours.median_seconds);
  }
}

// Several builds of the tool (capped at different kernel tiers) against cat, side by side.
void report_tools(const workload& w, const std::vector<std::string>& tools,
                  const std::string& dir) {
  std::string out = dir + "/out.bmp";
  std::vector<std::vector<std::string>> commands = {{"/bin/cat", w.file}};
  std::vector<std::string> outputs = {out};
  for (const std::string& tool : tools) {
    commands.push_back(translate_command(tool, w.file, out, w.parameters));
    outputs.push_back("/dev/null");
  }
  std::vector<summary> times = run_interleaved(commands, outputs, w.runs);
  std::printf("%s\n    cat %9.2f ms\n", w.name, times[0].median_seconds * 1e3);
  for (std::size_t t = 0; t < tools.size(); ++t) {
    std::printf("    %9.2f ms  %6.2f x cat  %s\n", times[t + 1].median_seconds * 1e3,
                times[t + 1].median_seconds / times[0].median_seconds, tools[t].c_str());
  }
}

// The same picture stored two ways, the tool run on each in the same rounds.
void report_pair(const char* name, const std::string& file, const std::string& baseline,
                 const std::vector<std::string>& parameters, const std::string& dir, int runs) {
  std::string out = dir + "/out.bmp";
  std::vector<summary> pair = run_interleaved({translate_command(TOOL, file, out, parameters),
                                               translate_command(TOOL, baseline, out, parameters)},
                                              {"/dev/null", "/dev/null"}, runs);
  std::printf("%s  %8.1f MiB input\n", name,
              static_cast<double>(std::filesystem::file_size(file)) / (1 << 20));
  std::printf(
      "    palette-translate %9.2f ms   %6.2f x the same picture uncompressed (%.2f ms)   peak "
      "%7.1f MiB\n",
      pair[0].median_seconds * 1e3, pair[0].median_seconds / pair[1].median_seconds,
      pair[1].median_seconds * 1e3, static_cast<double>(pair[0].peak_kib) / 1024.0);
}

// The sprite sheet with and without --compact-palette, in the same rounds: what compaction
// adds to the whole tool.
void report_compaction(const std::string& dir, int runs) {
  std::string sheet = dir + "/sheet.bmp";
  std::string out = dir + "/out.bmp";
  std::vector<std::string> parameters = {"255", "255", "255", "30"};
  std::vector<std::string> compacted = translate_command(TOOL, sheet, out, parameters);
  compacted.insert(compacted.begin() + 1, "--compact-palette");
  std::vector<summary> pair =
      run_interleaved({compacted, translate_command(TOOL, sheet, out, parameters)},
                      {"/dev/null", "/dev/null"}, runs);
  std::printf("W1c the sprite sheet with --compact-palette, tolerances 255, 30 %%\n");
  std::printf("    palette-translate %9.2f ms   %6.2f x without the option (%.2f ms)\n",
              pair[0].median_seconds * 1e3, pair[0].median_seconds / pair[1].median_seconds,
              pair[1].median_seconds * 1e3);
}

void report_startup(const std::string& file, const std::string& dir, int runs) {
  std::string out = dir + "/small-out.bmp";
  auto per_run = [&](const std::vector<std::string>& command, const std::string& stdout_path) {
    double seconds = 0;
    for (int i = 0; i < runs; ++i) seconds += run_command(command, stdout_path).seconds;
    return seconds / runs;
  };
  double ours = per_run({TOOL, file, out, "40", "40", "40", "30"}, "/dev/null");
  double copy = per_run({"/bin/cat", file}, out);
  std::printf(
      "W3  64 x 64, %d runs\n    palette-translate %9.3f ms per run   %6.2f x cat\n    cat         "
      "      %9.3f ms per run\n",
      runs, ours * 1e3, ours / copy, copy * 1e3);
}

constexpr int SPRITE_FOLDERS = 100;
constexpr int SPRITES_PER_FOLDER = 100;

std::string sprite_name(int folder, int sprite) {
  return "set" + std::to_string(folder) + "/sprite" + std::to_string(sprite) + ".bmp";
}

// The sprites, and the output folders the per-process recipes expect to exist.
void write_sprites(const std::string& in, const std::vector<std::string>& outs) {
  for (int folder = 0; folder < SPRITE_FOLDERS; ++folder) {
    std::filesystem::create_directories(in + "/set" + std::to_string(folder));
    for (const std::string& out : outs)
      std::filesystem::create_directories(out + "/set" + std::to_string(folder));
    for (int sprite = 0; sprite < SPRITES_PER_FOLDER; ++sprite)
      write_file(in + "/" + sprite_name(folder, sprite),
                 small_sprite(folder * SPRITES_PER_FOLDER + sprite));
  }
}

// The first output that differs from palette-batch's, or "".
std::string first_difference(const std::string& expected, const std::string& actual) {
  for (int folder = 0; folder < SPRITE_FOLDERS; ++folder) {
    for (int sprite = 0; sprite < SPRITES_PER_FOLDER; ++sprite) {
      std::string name = sprite_name(folder, sprite);
      std::vector<std::uint8_t> left = read_file(expected + "/" + name);
      if (left.empty() || left != read_file(actual + "/" + name)) return name;
    }
  }
  return "";
}

// palette-batch against one palette-translate process per image: the shell recipe that
// used to be the README's (a shell per image) and xargs handing the tool its six
// parameters directly (the least a process per image can cost). A copy of the tree
// shows what the file system alone costs.
void report_batch(const std::string& dir, int runs) {
  std::string in = dir + "/sprites";
  std::string batch_out = dir + "/batch-out";
  std::string recipe_out = dir + "/recipe-out";
  std::string direct_out = dir + "/direct-out";
  write_sprites(in, {recipe_out, direct_out});
  std::string recipe = "cd '" + in +
                       "' && find . -iname '*.bmp' -print0 | xargs -0 -P \"$(nproc)\" -I{} sh -c "
                       "'\"$0\" \"$1\" \"$2/$1\" 40 40 40 30 >/dev/null' '" +
                       TOOL + "' {} '" + recipe_out + "'";
  // find's \000 is a NUL; a shorter \0 would run into the digits after it.
  std::string direct = "cd '" + in + "' && find . -iname '*.bmp' -printf '%p\\000" + direct_out +
                       "/%p\\00040\\00040\\00040\\00030\\000' | xargs -0 -n 6 -P \"$(nproc)\" '" +
                       TOOL + "' >/dev/null";
  std::vector<summary> times =
      run_interleaved({{BATCH, in, batch_out, "40", "40", "40", "30"},
                       {"/bin/sh", "-c", recipe},
                       {"/bin/sh", "-c", direct},
                       {"/bin/cp", "-rT", in, dir + "/copy-out"}},
                      {"/dev/null", "/dev/null", "/dev/null", "/dev/null"}, runs);
  std::printf("W7  %d sprites of 64 x 64 in %d folders, tolerances 40, 30 %%, %d rounds\n",
              SPRITE_FOLDERS * SPRITES_PER_FOLDER, SPRITE_FOLDERS, runs);
  std::printf(
      "    palette-batch       %9.1f ms   %5.2f x cp -rT of the tree (%.1f ms)   peak %.1f MiB\n",
      times[0].median_seconds * 1e3, times[0].median_seconds / times[3].median_seconds,
      times[3].median_seconds * 1e3, static_cast<double>(times[0].peak_kib) / 1024.0);
  const char* names[] = {"xargs + sh per image", "xargs, tool directly"};
  const std::string outs[] = {recipe_out, direct_out};
  for (int i = 0; i < 2; ++i) {
    std::string differs = first_difference(batch_out, outs[i]);
    std::printf("    %-20s%9.1f ms   palette-batch is %5.1f x faster   outputs %s%s\n", names[i],
                times[static_cast<std::size_t>(i) + 1].median_seconds * 1e3,
                times[static_cast<std::size_t>(i) + 1].median_seconds / times[0].median_seconds,
                differs.empty() ? "identical" : "DIFFER at ", differs.c_str());
  }
}

// The image data of a PNG file: its IDAT chunks' bytes, joined.
std::vector<std::uint8_t> image_data_of(const std::vector<std::uint8_t>& png) {
  std::vector<std::uint8_t> data;
  for (std::size_t at = 8; at + 12 <= png.size();) {
    std::size_t length = std::size_t{png[at]} << 24 | std::size_t{png[at + 1]} << 16 |
                         std::size_t{png[at + 2]} << 8 | png[at + 3];
    if (std::equal(png.begin() + static_cast<std::ptrdiff_t>(at) + 4,
                   png.begin() + static_cast<std::ptrdiff_t>(at) + 8, "IDAT"))
      data.insert(data.end(), png.begin() + static_cast<std::ptrdiff_t>(at) + 8,
                  png.begin() + static_cast<std::ptrdiff_t>(at + 8 + length));
    at += 12 + length;
  }
  return data;
}

// Work timed in a child process of its own, which prepares its data untimed: the
// benchmark itself stays small, since every program it starts is forked from it and a
// fork copies its page tables (and counts its memory in the child's peak).
template <typename Work>
timed_step child_step(Work work) {
  return [work] {
    process_result result = run_child([&] {
      double seconds = work();
      std::printf("%.9f\n", seconds);
      std::fflush(stdout);
      return 0;
    });
    return timed_run{result.status == 0 ? std::stod(result.out) : 0, 0, result.status};
  };
}

// zlib's inflate of a whole stream into `out`, its check value computed or not (the tool
// inflates only what the rows need, so it never reaches the check value).
bool inflate_all(const std::vector<std::uint8_t>& stream, std::vector<std::uint8_t>& out,
                 bool check) {
  z_stream z{};
  if (inflateInit(&z) != Z_OK) return false;
  if (!check) inflateValidate(&z, 0);
  z.next_in = const_cast<Bytef*>(stream.data());
  z.avail_in = static_cast<uInt>(stream.size());
  z.next_out = out.data();
  z.avail_out = static_cast<uInt>(out.size());
  int result = inflate(&z, Z_FINISH);
  inflateEnd(&z);
  return result == Z_STREAM_END || (!check && z.avail_out == 0);
}

// zlib's inflate alone of a PNG file's image data, `filtered_size` bytes of it.
timed_step inflate_step(const std::string& png, std::size_t filtered_size, bool check) {
  return child_step([=] {
    std::vector<std::uint8_t> compressed = image_data_of(read_file(png));
    std::vector<std::uint8_t> rows(filtered_size);
    std::fill(rows.begin(), rows.end(), 0);  // the pages in place, as the tool's are
    return seconds_of([&] { inflate_all(compressed, rows, check); });
  });
}

// zlib's deflate alone, at the tool's level, of the rows of a PNG the tool wrote, filtered
// as it wrote them.
timed_step deflate_step(const std::string& png, std::size_t filtered_size) {
  return child_step([=] {
    std::vector<std::uint8_t> rows(filtered_size);
    inflate_all(image_data_of(read_file(png)), rows, true);
    return seconds_of([&] { zlib_stream(rows, PNG_DEFLATE_LEVEL); });
  });
}

// Pillow opens the file, decodes it and saves it; the script reports the time of that
// alone too, without the interpreter's start.
const char* const PILLOW_SCRIPT =
    "import sys, time\n"
    "from PIL import Image\n"
    "start = time.perf_counter()\n"
    "image = Image.open(sys.argv[1])\n"
    "image.load()\n"
    "image.save(sys.argv[2])\n"
    "print(time.perf_counter() - start)\n";

const std::string PYTHON = "/usr/bin/python3";

bool have_pillow() {
  return run_program(PYTHON, {"-c", "import PIL.Image"}).status == 0;
}

// The seconds the Pillow script printed in each round: their median.
double median_printed_seconds(const std::vector<double>& printed) {
  std::vector<double> sorted = printed;
  std::sort(sorted.begin(), sorted.end());
  return sorted.empty() ? 0 : sorted[sorted.size() / 2];
}

// The sprite sheet as a palette PNG, to a bitmap and to a PNG, against zlib's inflate of
// its image data and deflate of the output's, alone, and against Pillow.
void report_png(const std::string& dir, int runs) {
  std::string sheet = dir + "/sheet.png";
  std::vector<std::string> parameters = {"255", "255", "255", "30"};
  std::string to_bmp = dir + "/png-out.bmp";
  std::string to_png = dir + "/png-out.png";
  run_command(translate_command(TOOL, sheet, to_png, parameters), "/dev/null");
  std::size_t filtered_size = std::size_t{8192 + 1} * 8192;
  std::vector<timed_step> steps = {
      inflate_step(sheet, filtered_size, false),
      deflate_step(to_png, filtered_size),
      command_step(translate_command(TOOL, sheet, to_bmp, parameters), "/dev/null"),
      command_step(translate_command(TOOL, sheet, to_png, parameters), "/dev/null"),
      inflate_step(sheet, filtered_size, true),
  };
  bool pillow = have_pillow();
  std::vector<double> printed[2];
  if (pillow) {
    for (int k = 0; k < 2; ++k) {
      std::string out = k == 0 ? dir + "/pillow-out.bmp" : dir + "/pillow-out.png";
      std::string seconds_file = dir + "/pillow-seconds-" + std::to_string(k);
      steps.push_back([=, &printed] {
        timed_run m = run_command({PYTHON, "-c", PILLOW_SCRIPT, sheet, out}, seconds_file);
        printed[k].push_back(
            std::stod(std::string(reinterpret_cast<const char*>(read_file(seconds_file).data()),
                                  read_file(seconds_file).size())));
        return m;
      });
    }
  }
  std::vector<summary> t = run_steps_interleaved(steps, runs);
  double inflate_alone = t[0].median_seconds;
  double deflate_alone = t[1].median_seconds;
  std::printf(
      "W6  the sprite sheet as a palette PNG (%.1f MiB), tolerances 255, 30 %%, %d rounds\n",
      static_cast<double>(std::filesystem::file_size(sheet)) / (1 << 20), runs);
  std::printf(
      "    zlib inflate alone %8.2f ms (%.2f ms with its check value)   deflate alone "
      "(level %d) %8.2f ms\n",
      inflate_alone * 1e3, t[4].median_seconds * 1e3, PNG_DEFLATE_LEVEL, deflate_alone * 1e3);
  const char* outputs[] = {"bitmap", "PNG"};
  double budgets[] = {inflate_alone, inflate_alone + deflate_alone};
  const char* budget_names[] = {"inflate", "inflate + deflate"};
  for (int k = 0; k < 2; ++k) {
    const summary& ours = t[static_cast<std::size_t>(k) + 2];
    std::printf("    to a %-6s  palette-translate %8.2f ms   %5.2f x %s alone   peak %.1f MiB\n",
                outputs[k], ours.median_seconds * 1e3, ours.median_seconds / budgets[k],
                budget_names[k], static_cast<double>(ours.peak_kib) / 1024.0);
    if (!pillow) continue;
    const summary& theirs = t[static_cast<std::size_t>(k) + 5];
    std::printf(
        "                Pillow open + save %8.2f ms (%.2f ms without Python's start)   "
        "palette-translate %.1f x faster\n",
        theirs.median_seconds * 1e3, median_printed_seconds(printed[k]) * 1e3,
        theirs.median_seconds / ours.median_seconds);
  }
  if (!pillow) std::printf("    Pillow: not measured (apt-get install -y python3-pil)\n");
}

// A folder holding an ImageMagick policy whose limits take this picture: Debian's own (256
// MiB of memory, 1 GiB of disk, 128 megapixels) refuse it, and -limit may only lower them.
std::string imagemagick_policy(const std::string& dir) {
  std::string folder = dir + "/imagemagick-policy";
  std::filesystem::create_directories(folder);
  const std::string policy =
      "<policymap>\n"
      "  <policy domain=\"resource\" name=\"memory\" value=\"4GiB\"/>\n"
      "  <policy domain=\"resource\" name=\"map\" value=\"8GiB\"/>\n"
      "  <policy domain=\"resource\" name=\"area\" value=\"1GP\"/>\n"
      "  <policy domain=\"resource\" name=\"disk\" value=\"16GiB\"/>\n"
      "</policymap>\n";
  write_file(folder + "/policy.xml", std::vector<std::uint8_t>(policy.begin(), policy.end()));
  return folder;
}

// ImageMagick's convert, where installed: Debian names it after its version.
std::string imagemagick_convert() {
  for (const char* path : {"/usr/bin/convert-im6.q16", "/usr/bin/convert"})
    if (std::filesystem::exists(path)) return path;
  return "";
}

double mib(double bytes) {
  return bytes / (1 << 20);
}

// The sheet in true colour: an RGBA PNG to a palette PNG, against zlib's inflate and
// deflate alone and ImageMagick's lossless route to a palette PNG; then as a 32-bit bitmap
// to a bitmap, against cat.
void report_true_colour(const std::string& dir, int runs) {
  std::string png = dir + "/sheet-rgba.png";
  std::string bmp = dir + "/sheet-rgba.bmp";
  std::string to_png = dir + "/rgba-out.png";
  std::string to_bmp = dir + "/rgba-out.bmp";
  std::vector<std::string> parameters = {"40", "40", "40", "30"};
  run_command(translate_command(TOOL, png, to_png, parameters), "/dev/null");
  std::size_t filtered_size = std::size_t{8192 * 4 + 1} * 8192;
  std::vector<timed_step> steps = {
      inflate_step(png, filtered_size, false),
      deflate_step(to_png, std::size_t{8192 + 1} * 8192),
      command_step(translate_command(TOOL, png, to_png, parameters), "/dev/null"),
      command_step({"/bin/cat", bmp}, to_bmp),
      command_step(translate_command(TOOL, bmp, to_bmp, parameters), "/dev/null"),
      after_warming(command_step(translate_command(TOOL, png, to_png, parameters), "/dev/null"),
                    std::size_t{512} << 20),
      after_warming(command_step(translate_command(TOOL, bmp, to_bmp, parameters), "/dev/null"),
                    std::size_t{512} << 20),
  };
  std::string convert = imagemagick_convert();
  if (!convert.empty())
    steps.push_back(
        command_step({"/usr/bin/env", "MAGICK_CONFIGURE_PATH=" + imagemagick_policy(dir), convert,
                      png, "-define", "png:color-type=3", dir + "/imagemagick-out.png"},
                     "/dev/null"));
  std::vector<summary> t = run_steps_interleaved(steps, runs);
  // U: the 8-bit bottom-up bitmap the picture is read as.
  double u_size = 8192.0 * 8192 + 14 + 40 + 4 * 256;
  auto peak_against_budget = [&](const summary& s, const std::string& file) {
    double budget = 1.3 * u_size + static_cast<double>(std::filesystem::file_size(file));
    double peak = static_cast<double>(s.peak_kib) * 1024.0;
    std::printf("peak %.1f MiB (%.2f x 1.3 U + the file, %.1f MiB)\n", mib(peak), peak / budget,
                mib(budget));
  };
  double budget = t[0].median_seconds + t[1].median_seconds;
  std::printf(
      "W8  the sprite sheet as RGBA, %d colours (%.1f MiB PNG), tolerances 40, 30 %%, %d "
      "rounds\n",
      TRUE_COLOURS, mib(static_cast<double>(std::filesystem::file_size(png))), runs);
  std::printf("    zlib inflate alone %8.2f ms   deflate alone (level %d) of the output %8.2f ms\n",
              t[0].median_seconds * 1e3, PNG_DEFLATE_LEVEL, t[1].median_seconds * 1e3);
  std::printf("    to a PNG     palette-translate %8.2f ms   %5.2f x inflate + deflate   ",
              t[2].median_seconds * 1e3, t[2].median_seconds / budget);
  peak_against_budget(t[2], png);
  std::printf("                 after 512 MiB were touched and freed %8.2f ms   %5.2f x\n",
              t[5].median_seconds * 1e3, t[5].median_seconds / budget);
  if (convert.empty()) {
    std::printf("    ImageMagick: not measured (apt-get install -y imagemagick)\n");
  } else {
    std::printf(
        "                 %s -define png:color-type=3 %8.1f ms   palette-translate %.1f x "
        "faster\n",
        convert.c_str(), t[7].median_seconds * 1e3, t[7].median_seconds / t[2].median_seconds);
  }
  std::printf(
      "    32-bit bitmap (%.1f MiB) to a bitmap  palette-translate %8.2f ms   %5.2f x cat "
      "(%.2f ms)   ",
      mib(static_cast<double>(std::filesystem::file_size(bmp))), t[4].median_seconds * 1e3,
      t[4].median_seconds / t[3].median_seconds, t[3].median_seconds * 1e3);
  peak_against_budget(t[4], bmp);
  std::printf("                 after 512 MiB were touched and freed %8.2f ms   %5.2f x cat\n",
              t[6].median_seconds * 1e3, t[6].median_seconds / t[3].median_seconds);
}

void write_true_colour_sheets(const std::string& dir) {
  write_file(dir + "/sheet-rgba.png", sheet_rgba_png(8192));
  write_file(dir + "/sheet-rgba.bmp", sheet_rgba_bmp(8192));
}

// W6 to a bitmap against the same picture stored as a bitmap, to a bitmap.
void report_png_against_bitmap(const std::string& dir, int runs) {
  report_pair("W6b the sprite sheet as a palette PNG, to a bitmap, tolerances 255, 30 %",
              dir + "/sheet.png", dir + "/sheet.bmp", {"255", "255", "255", "30"}, dir, runs);
}

// A picture of one column (W6t), where whatever a row costs shows: as a palette PNG and
// as its bitmap twin, both of background alone.
void report_thin_png(const std::string& dir, int runs) {
  constexpr std::uint32_t HEIGHT = 100'000'000;
  png_recipe png;
  png.width = 1;
  png.height = HEIGHT;
  png.palette = ramp_palette();
  write_file(dir + "/thin.png", build_png(png));
  bmp_recipe bitmap;
  bitmap.width = 1;
  bitmap.height = static_cast<std::int32_t>(HEIGHT);
  bitmap.palette = ramp_palette();
  write_file(dir + "/thin.bmp", build_bmp(bitmap));
  report_pair("W6t a palette PNG of 1 x 100,000,000, to a bitmap, tolerances 40, 30 %",
              dir + "/thin.png", dir + "/thin.bmp", {"40", "40", "40", "30"}, dir, runs);
  std::filesystem::remove(dir + "/thin.png");
  std::filesystem::remove(dir + "/thin.bmp");
}

void generate_workloads(const std::string& dir) {
  std::printf("Generating workloads in %s ...\n", dir.c_str());
  std::fflush(stdout);
  write_file(dir + "/sheet.bmp", sheet_image(8192, 1, 40, 256));
  write_file(dir + "/uniform.bmp", uniform_noise_image(8192));
  write_file(dir + "/noisy.bmp", noisy_image(8192));
  write_file(dir + "/topdown.bmp", sheet_image(8192, -1, 124, 16));
  write_file(dir + "/small.bmp", sheet_image(64, 1, 40, 256));
  write_file(dir + "/sheet-rle8.bmp", sheet_image(8192, 1, 40, 256, 1));
  write_file(dir + "/sheet.png", sheet_png(8192));
}

std::vector<workload> heavy_workloads(const std::string& dir) {
  return {
      {"W1  sprite sheet 8192 x 8192, 256 colours, tolerances 255, 30 %",
       dir + "/sheet.bmp",
       {"255", "255", "255", "30"},
       9,
       1},
      {"W1n every pixel an independent uniform value, 8192 x 8192, tolerances 255, 30 %",
       dir + "/uniform.bmp",
       {"255", "255", "255", "30"},
       9,
       1},
      {"W1g noisy gradients 8192 x 8192, 256 colours, tolerances 255, 30 %",
       dir + "/noisy.bmp",
       {"255", "255", "255", "30"},
       9,
       0},
      {"W2  the sprite sheet, 0 %", dir + "/sheet.bmp", {"255", "255", "255", "0"}, 9, 1},
      {"W4  top-down 8192 x 8192, 124-byte header, 16 colours, tolerances 60, 50 %",
       dir + "/topdown.bmp",
       {"60", "60", "60", "50"},
       9,
       0},
  };
}

std::vector<engine_workload> engine_workloads(const std::string& dir) {
  return {{"W1", dir + "/sheet.bmp", {255, 255, 255, 0.3f}},
          {"W1n", dir + "/uniform.bmp", {255, 255, 255, 0.3f}},
          {"W2", dir + "/sheet.bmp", {255, 255, 255, 0.0f}},
          {"W4", dir + "/topdown.bmp", {60, 60, 60, 0.5f}}};
}

}  // namespace

// Usage: bench-translate [DIR [batch | png | truecolour | compact | engine | tiers TOOL...]]
int main(int argc, char** argv) {
  bool own_dir = argc < 2;
  std::string dir = own_dir ? std::filesystem::temp_directory_path() / "palette-bench" : argv[1];
  std::filesystem::create_directories(dir);
  std::string mode = argc > 2 ? argv[2] : "";
  if (mode == "batch") {
    report_batch(dir, 3);
    return 0;
  }
  if (mode == "png") {
    write_file(dir + "/sheet.png", sheet_png(8192));
    write_file(dir + "/sheet.bmp", sheet_image(8192, 1, 40, 256));
    report_png(dir, 9);
    report_png_against_bitmap(dir, 9);
    report_thin_png(dir, 5);
    return 0;
  }
  if (mode == "truecolour") {
    write_true_colour_sheets(dir);
    report_true_colour(dir, 5);
    return 0;
  }
  generate_workloads(dir);
  if (mode == "engine") {
    report_engine_speed(engine_workloads(dir), 7);
    return 0;
  }
  if (mode == "compact") {
    report_compaction(dir, 15);
    return 0;
  }
  if (mode == "tiers") {
    std::vector<std::string> tools(argv + 3, argv + argc);
    for (const workload& w : heavy_workloads(dir)) report_tools(w, tools, dir);
    return 0;
  }
  for (const workload& w : heavy_workloads(dir)) report(w, dir);
  report_pair("W5  the sprite sheet stored RLE8, 0 %", dir + "/sheet-rle8.bmp", dir + "/sheet.bmp",
              {"255", "255", "255", "0"}, dir, 9);
  report_compaction(dir, 9);
  report_startup(dir + "/small.bmp", dir, 200);
  report_engine_speed(engine_workloads(dir), 7);
  report_png(dir, 9);
  report_png_against_bitmap(dir, 9);
  report_thin_png(dir, 5);
  write_true_colour_sheets(dir);
  report_true_colour(dir, 5);
  report_batch(dir, 3);
  if (own_dir) std::filesystem::remove_all(dir);
  return 0;
}
