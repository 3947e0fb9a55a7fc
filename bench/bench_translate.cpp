// Times palette-translate against the literal reference model and a plain copy of the same
// file, on generated workloads, and reports the tool's peak resident memory.
// Usage: bench-translate [WORK_DIR] (default: a new directory under /tmp, removed after)

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "bmp_builder.h"

namespace {

const std::string TOOL = PALETTE_TRANSLATE_PATH;
const std::string REFERENCE = REFERENCE_TRANSLATE_PATH;

struct measurement {
  double seconds;
  long peak_kib;
  int status;
};

// Runs a program with standard output sent to a file (or /dev/null).
measurement run_once(const std::vector<std::string>& command, const std::string& stdout_path) {
  auto start = std::chrono::steady_clock::now();
  pid_t pid = fork();
  if (pid == 0) {
    int out = open(stdout_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    dup2(out, STDOUT_FILENO);
    std::vector<char*> argv;
    for (const std::string& part : command) argv.push_back(const_cast<char*>(part.c_str()));
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  wait4(pid, &status, 0, &usage);
  std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
  return {elapsed.count(), usage.ru_maxrss, WIFEXITED(status) ? WEXITSTATUS(status) : -1};
}

struct summary {
  double median_seconds;
  long peak_kib;
};

summary run_many(const std::vector<std::string>& command, const std::string& stdout_path,
                 int times) {
  std::vector<double> seconds;
  long peak = 0;
  for (int i = 0; i < times; ++i) {
    measurement m = run_once(command, stdout_path);
    if (m.status != 0) std::fprintf(stderr, "  %s exited with %d\n", command[0].c_str(), m.status);
    seconds.push_back(m.seconds);
    peak = std::max(peak, m.peak_kib);
  }
  std::sort(seconds.begin(), seconds.end());
  return {seconds[seconds.size() / 2], peak};
}

void write_bytes(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

// A dark background with round shapes in radial gradients and some speckle, using the
// first 240 palette entries; the entries above are black, so 241 count as used.
std::vector<std::uint8_t> map_image(int size, int height_sign, std::uint32_t info_size,
                                    int colors) {
  bmp_spec spec;
  spec.width = size;
  spec.height = size * height_sign;
  spec.info_size = info_size;
  spec.palette.push_back({12, 12, 20});
  for (int i = 1; i < colors; ++i) {
    spec.palette.push_back({static_cast<std::uint8_t>(30 + (i * 37) % 220),
                            static_cast<std::uint8_t>(20 + (i * 91) % 230),
                            static_cast<std::uint8_t>(25 + (i * 53) % 225)});
  }
  int used = std::min(colors, 240);
  spec.palette.resize(colors == 256 ? 256 : static_cast<std::size_t>(colors));
  for (std::size_t i = static_cast<std::size_t>(used); i < spec.palette.size(); ++i)
    spec.palette[i] = {};
  spec.colors_used = colors == 256 ? 0 : colors;
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
            static_cast<std::uint8_t>(1 + (r2 / 24 + (row / 96) * 7) % (used - 1));
      } else if ((noise >> 24) < 8) {
        line[static_cast<std::size_t>(col)] =
            static_cast<std::uint8_t>(1 + (noise >> 8) % (used - 1));
      }
    }
    spec.rows.push_back(std::move(line));
  }
  return build_bmp(spec);
}

struct workload {
  const char* name;
  std::string file;
  std::vector<std::string> parameters;
  int runs;
  int reference_runs;
};

void report(const workload& w, const std::string& dir) {
  std::string out = dir + "/out.bmp";
  std::vector<std::string> tool = {TOOL, w.file, out};
  std::vector<std::string> reference = {REFERENCE, w.file, out};
  for (const std::string& p : w.parameters) {
    tool.push_back(p);
    reference.push_back(p);
  }
  summary copy = run_many({"/bin/cat", w.file}, out, w.runs);
  summary ours = run_many(tool, "/dev/null", w.runs);
  std::printf("%s  %8.1f MiB input\n", w.name,
              static_cast<double>(std::filesystem::file_size(w.file)) / (1 << 20));
  std::printf("    palette-translate %9.2f ms   %6.2f x cat   peak %7.1f MiB (%.2f x input)\n",
              ours.median_seconds * 1e3, ours.median_seconds / copy.median_seconds,
              static_cast<double>(ours.peak_kib) / 1024.0,
              static_cast<double>(ours.peak_kib) * 1024.0 /
                  static_cast<double>(std::filesystem::file_size(w.file)));
  std::printf("    cat               %9.2f ms\n", copy.median_seconds * 1e3);
  if (w.reference_runs > 0) {
    summary literal = run_many(reference, "/dev/null", w.reference_runs);
    std::printf("    reference model   %9.2f ms   %6.1f x palette-translate\n",
                literal.median_seconds * 1e3, literal.median_seconds / ours.median_seconds);
  }
}

void report_startup(const std::string& file, const std::string& dir, int runs) {
  std::string out = dir + "/small-out.bmp";
  auto per_run = [&](const std::vector<std::string>& command, const std::string& stdout_path) {
    auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < runs; ++i) run_once(command, stdout_path);
    std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    return elapsed.count() / runs;
  };
  double ours = per_run({TOOL, file, out, "40", "40", "40", "30"}, "/dev/null");
  double copy = per_run({"/bin/cat", file}, out);
  std::printf(
      "W3  64 x 64, %d runs\n    palette-translate %9.3f ms per run   %6.2f x cat\n    cat         "
      "      %9.3f ms per run\n",
      runs, ours * 1e3, ours / copy, copy * 1e3);
}

}  // namespace

int main(int argc, char** argv) {
  bool own_dir = argc < 2;
  std::string dir = own_dir ? std::filesystem::temp_directory_path() / "palette-bench" : argv[1];
  std::filesystem::create_directories(dir);
  std::printf("Generating workloads in %s ...\n", dir.c_str());
  std::fflush(stdout);
  write_bytes(dir + "/map.bmp", map_image(8192, 1, 40, 256));
  write_bytes(dir + "/topdown.bmp", map_image(8192, -1, 124, 16));
  write_bytes(dir + "/small.bmp", map_image(64, 1, 40, 256));
  const workload heavy[] = {
      {"W1  8192 x 8192, 256 colours, tolerances 255, 30 %",
       dir + "/map.bmp",
       {"255", "255", "255", "30"},
       9,
       1},
      {"W2  the same image, 0 %", dir + "/map.bmp", {"255", "255", "255", "0"}, 9, 1},
      {"W4  top-down 8192 x 8192, 124-byte header, 16 colours, tolerances 60, 50 %",
       dir + "/topdown.bmp",
       {"60", "60", "60", "50"},
       9,
       0},
  };
  for (const workload& w : heavy) report(w, dir);
  report_startup(dir + "/small.bmp", dir, 200);
  if (own_dir) std::filesystem::remove_all(dir);
  return 0;
}
