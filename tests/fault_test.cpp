// Hostile files and parameters through the built tool: every one ends with a defined status
// and message, nothing hangs, and the input is never changed.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "bitmap/byte_order.h"
#include "bmp_builder.h"
#include "subprocess.h"
#include "tool_under_test.h"

namespace {

// 4 x 2, 16 colours used, pixel rows at 118, 126 bytes.
std::vector<unsigned char> base_image() {
  bmp_recipe recipe;
  recipe.width = 4;
  recipe.height = 2;
  recipe.palette = distinct_palette(16);
  recipe.colors_used = 16;
  recipe.rows = {{0, 3, 7, 15}, {1, 2, 40, 9}};
  return build_bmp(recipe);
}

std::vector<unsigned char> with_field(std::size_t at, std::uint32_t value) {
  std::vector<unsigned char> bytes = base_image();
  write_le32(bytes.data() + at, value);
  return bytes;
}

std::vector<unsigned char> cut_to(std::size_t length) {
  std::vector<unsigned char> bytes = base_image();
  bytes.resize(length);
  return bytes;
}

process_result translate(const std::string& in, const std::string& out) {
  return run_program(TOOL, {in, out, "40", "40", "40", "30"});
}

// What the tool said after the banner.
std::string message_of(const process_result& result) {
  return result.out.compare(0, BANNER.size(), BANNER) == 0 ? result.out.substr(BANNER.size())
                                                           : "<no banner>";
}

bool one_line_message(const std::string& message) {
  return message.size() > 1 && message[0] == '\n' && message.find('\n', 1) == std::string::npos;
}

struct hostile_file {
  const char* name;
  std::vector<unsigned char> bytes;
  int status;  // 0, 253, 254
};

TEST(HostileInput, TruncatedFilesAndExtremeHeaderFields) {
  constexpr std::uint32_t MAX = 0x7FFFFFFF;
  constexpr std::uint32_t MIN = 0x80000000;
  const std::size_t size = base_image().size();
  const hostile_file cases[] = {
      {"0 bytes", cut_to(0), 254},
      {"1 byte", cut_to(1), 254},
      {"13 bytes", cut_to(13), 254},
      {"14 bytes", cut_to(14), 254},
      {"17 bytes", cut_to(17), 254},
      {"53 bytes", cut_to(53), 254},
      {"54 bytes", cut_to(54), 254},
      {"inside the palette", cut_to(90), 254},
      {"inside the pixel rows", cut_to(size - 3), 254},
      {"width 2^31-1", with_field(18, MAX), 254},
      {"width -(2^31-1)", with_field(18, 0x80000001), 254},
      {"width -2^31", with_field(18, MIN), 254},
      {"width 0", with_field(18, 0), 0},
      {"width 1", with_field(18, 1), 0},
      {"height 2^31-1", with_field(22, MAX), 254},
      {"height -(2^31-1)", with_field(22, 0x80000001), 254},
      {"height -2^31", with_field(22, MIN), 254},
      {"height 0", with_field(22, 0), 254},
      {"height 1", with_field(22, 1), 0},
      {"height -1", with_field(22, 0xFFFFFFFF), 0},
      {"pixel offset 0", with_field(10, 0), 254},
      {"pixel offset 53", with_field(10, 53), 254},
      {"pixel offset 54", with_field(10, 54), 0},
      {"pixel offset at the end", with_field(10, static_cast<std::uint32_t>(size)), 254},
      {"pixel offset past the end", with_field(10, static_cast<std::uint32_t>(size + 1)), 254},
      {"pixel offset 2^32-1", with_field(10, 0xFFFFFFFF), 254},
      {"info header size 0", with_field(14, 0), 0},
      {"info header size 2^32-1", with_field(14, 0xFFFFFFFF), 0},
      {"colours used -1", with_field(46, 0xFFFFFFFF), 254},
      {"colours used 255", with_field(46, 255), 253},
      {"colours used 256", with_field(46, 256), 0},
      {"colours used 257", with_field(46, 257), 253},
      {"colours used 2^31-1", with_field(46, MAX), 253},
  };
  for (const hostile_file& c : cases) {
    temp_dir dir;
    write_file(dir.file("in.bmp"), c.bytes);
    process_result result = translate(dir.file("in.bmp"), dir.file("out.bmp"));
    EXPECT_EQ(result.status, c.status) << c.name << ": " << result.out;
    EXPECT_EQ(read_file(dir.file("in.bmp")), c.bytes) << c.name;
    std::vector<unsigned char> out = read_file(dir.file("out.bmp"));
    if (c.status == 0) {
      EXPECT_EQ(message_of(result), "") << c.name;
      ASSERT_GE(out.size(), 1078u) << c.name;
      EXPECT_EQ(read_le32(out.data() + 2), out.size()) << c.name;
    } else {
      EXPECT_TRUE(one_line_message(message_of(result))) << c.name << ": " << result.out;
      EXPECT_EQ(out.size(), 0u) << c.name;
    }
  }
}

TEST(HostileInput, FilesThatAreNotRegularFiles) {
  temp_dir dir;
  write_file(dir.file("in.bmp"), base_image());
  ASSERT_EQ(mkdir(dir.file("folder").c_str(), 0700), 0);
  ASSERT_EQ(mkfifo(dir.file("fifo").c_str(), 0600), 0);
  const struct {
    const char* name;
    std::string in;
    std::string out;
    std::string diagnostic;  // what the message starts with
  } cases[] = {
      {"directory as input", dir.file("folder"), dir.file("out.bmp"),
       "\nError:_open failed.\n  Filename:\"" + dir.file("folder") + "\"\n  Mode=32768"},
      {"FIFO as input", dir.file("fifo"), dir.file("out.bmp"),
       "\nError:_lseek failed.\n  File handle="},
      {"directory as output", dir.file("in.bmp"), dir.file("folder"),
       "\nError:_open failed.\n  Filename:\"" + dir.file("folder") + "\"\n  Mode=33538"},
      {"output in a missing directory", dir.file("in.bmp"), dir.file("none/out.bmp"),
       "\nError:_open failed.\n  Filename:\"" + dir.file("none/out.bmp") + "\"\n  Mode=33538"},
      {"full device as output", dir.file("in.bmp"), "/dev/full",
       "\nError: _write failed.\n  File handle="},
  };
  for (const auto& c : cases) {
    process_result result = translate(c.in, c.out);
    EXPECT_EQ(result.status, 255) << c.name;
    EXPECT_EQ(message_of(result).substr(0, c.diagnostic.size()), c.diagnostic)
        << c.name << ": " << result.out;
  }
  EXPECT_EQ(read_file(dir.file("in.bmp")), base_image());
}

TEST(HostileInput, TooLargeInputIsRejectedBeforeAllocation) {
  temp_dir dir;
  std::string path = dir.file("huge.bmp");
  int handle = open(path.c_str(), O_WRONLY | O_CREAT, 0600);
  ASSERT_GE(handle, 0);
  std::vector<unsigned char> header = base_image();
  ASSERT_EQ(write(handle, header.data(), header.size()), static_cast<ssize_t>(header.size()));
  bool sparse = ftruncate(handle, 2147482624) == 0;
  close(handle);
  if (!sparse) GTEST_SKIP() << "this file system cannot make a sparse 2 GiB file";
  process_result result = translate(path, dir.file("out.bmp"));
  EXPECT_EQ(result.status, 254);
  EXPECT_TRUE(one_line_message(message_of(result))) << result.out;
  EXPECT_EQ(std::filesystem::file_size(path), 2147482624u);
  EXPECT_EQ(std::filesystem::file_size(dir.file("out.bmp")), 0u);
}

TEST(HostileInput, ParametersOfAnyShape) {
  const std::vector<std::vector<std::string>> parameter_sets = {
      {"", "", "", ""},
      {"-2147483648", "-2147483648", "-2147483648", "-2147483648"},
      {"2147483647", "2147483647", "2147483647", "2147483647"},
      {"99999999999999999999", "abc", "\t-0", "1e9"},
      {"255", "255", "255", "100000"},
  };
  for (const auto& parameters : parameter_sets) {
    temp_dir dir;
    write_file(dir.file("in.bmp"), base_image());
    std::vector<std::string> arguments = {dir.file("in.bmp"), dir.file("out.bmp")};
    arguments.insert(arguments.end(), parameters.begin(), parameters.end());
    process_result result = run_program(TOOL, arguments);
    EXPECT_EQ(result.status, 0) << parameters[0];
    EXPECT_EQ(result.out, BANNER) << parameters[0];
  }
}

}  // namespace
