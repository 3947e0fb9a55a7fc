// The before-and-after page: palette-batch --report over a small tree and palette-inspect
// --html for one file, checked as text (links, escaping, a strict tag balance, the embedded
// pictures) and, where Chromium is installed, in the browser: every picture decodes, and a
// screenshot shows what the page says.

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <regex>
#include <set>
#include <sstream>

#include "bmp_builder.h"
#include "image/byte_order.h"
#include "kit/html_card.h"
#include "png_reader.h"
#include "spng_reference.h"
#include "subprocess.h"
#include "tool_under_test.h"
#include "whole_files.h"

namespace {

const std::string BATCH = PALETTE_BATCH_PATH;
const std::string INSPECT = PALETTE_INSPECT_PATH;

// The background (the first stored pixel, lower left) is (10,200,30); no marker colours.
std::vector<std::uint8_t> sprite() {
  std::vector<rgb> palette = {{10, 200, 30}, {200, 40, 40}, {40, 40, 200}, {30, 190, 40}};
  bmp_recipe recipe = image_with(palette, 4, {{0, 0, 1, 1}, {0, 2, 2, 3}, {3, 3, 0, 0}});
  return build_bmp(recipe);
}

std::vector<std::uint8_t> one_bit() {
  bmp_recipe recipe = image_with({{250, 250, 10}, {20, 20, 120}}, 2, {{0, 1, 1, 0, 1, 0, 0, 1}});
  recipe.bits = 1;
  return build_bmp(recipe);
}

std::vector<std::uint8_t> rle8() {
  bmp_recipe recipe =
      image_with(distinct_palette(12), 12, {{5, 5, 5, 7, 7, 1}, {1, 1, 9, 9, 9, 9}});
  recipe.compression = 1;
  return build_bmp(recipe);
}

// Under IN_DIR: nested folders, a refused file, a name with a quote, an ampersand and a
// byte that is not UTF-8 (on Windows, where names are Unicode, a letter that is not
// ASCII), a 1-bit and an RLE input.
#ifdef _WIN32
const std::string ODD_LETTER = "\xc3\xbf";
const std::string ODD_LETTER_ENCODED = "%C3%BF";
const std::string ODD_LETTER_SHOWN = ODD_LETTER;
#else
const std::string ODD_LETTER = "\xff";
const std::string ODD_LETTER_ENCODED = "%FF";
const std::string ODD_LETTER_SHOWN = "\\xFF";
#endif
const std::string ODD_NAME = "it's & " + ODD_LETTER + ".bmp";

void make_tree(const temp_dir& dir) {
  for (const char* folder : {"in/a", "in/b/deeper"})
    std::filesystem::create_directories(dir.file(folder));
  write_file(dir.file("in/a/sprite.bmp"), sprite());
  write_file(dir.file("in/a/" + ODD_NAME), sprite());
  write_file(dir.file("in/b/one-bit.bmp"), one_bit());
  write_file(dir.file("in/b/deeper/rle.bmp"), rle8());
  write_file(dir.file("in/b/refused.bmp"), {'B', 'M', 0, 0});
}

std::string page_text(const std::string& path) {
  std::vector<std::uint8_t> bytes = read_file(path);
  return {bytes.begin(), bytes.end()};
}

// Every element but the void ones closes, in order, and nothing else is open at the end.
bool tags_balance(const std::string& page, std::string& problem) {
  static const std::set<std::string> VOID = {"meta", "img", "br", "!doctype"};
  std::vector<std::string> open;
  std::regex tag("<(/?)([!a-zA-Z0-9]+)[^>]*>");
  for (std::sregex_iterator it(page.begin(), page.end(), tag), end; it != end; ++it) {
    std::string name = (*it)[2];
    for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (VOID.count(name) != 0) continue;
    if ((*it)[1].length() == 0) {
      open.push_back(name);
    } else if (open.empty() || open.back() != name) {
      problem = "</" + name + "> closes " + (open.empty() ? "nothing" : "<" + open.back() + ">");
      return false;
    } else {
      open.pop_back();
    }
  }
  problem = open.empty() ? "" : "<" + open.back() + "> is never closed";
  return open.empty();
}

TEST(ReportPage, BatchReportLinksEveryFileAndEscapesNames) {
  temp_dir dir;
  make_tree(dir);
  std::filesystem::create_directories(dir.file("pages"));
  process_result run =
      run_program(BATCH, {"--report", dir.file("pages/report.html"), dir.file("in"),
                          dir.file("out"), "40", "40", "40", "30"});
  EXPECT_EQ(run.status, 1) << run.err;
  EXPECT_EQ(run.out, "4 translated, 1 failed\n");
  // Written like every output: nothing but the page is left beside it.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.file("pages")),
                          std::filesystem::directory_iterator()),
            1);
  std::string page = page_text(dir.file("pages/report.html"));
  std::string problem;
  EXPECT_TRUE(tags_balance(page, problem)) << problem;
  // Links are relative to the page, percent-encoded, and name files that exist; the
  // pictures load lazily.
  std::vector<std::string> links = attribute_values(page, "href");
  int files = 0;
  for (const std::string& link : links) {
    if (link.starts_with("#")) continue;
    ASSERT_FALSE(link.starts_with("/")) << link;
    EXPECT_EQ(link.find_first_of(" '&\"\xff"), std::string::npos) << link;
    EXPECT_TRUE(file_exists(dir.file("pages/" + percent_decoded(link)))) << link;
    ++files;
  }
  EXPECT_EQ(files, 8) << "input and output of each translated file";
  EXPECT_NE(page.find("href=\"../in/a/it%27s%20%26%20" + ODD_LETTER_ENCODED + ".bmp\""),
            std::string::npos);
  EXPECT_NE(
      page.find("<h2>a" + std::string(JOIN) + "it&#39;s &amp; " + ODD_LETTER_SHOWN + ".bmp</h2>"),
      std::string::npos);
  EXPECT_EQ(page.find('\xff'), std::string::npos) << "the page is UTF-8";
  for (const std::string& loading : attribute_values(page, "loading")) EXPECT_EQ(loading, "lazy");
  EXPECT_NE(page.find("<a href=\"#failures\">"), std::string::npos);
  EXPECT_NE(page.find("<li><code>" + batch_joined(dir.file("in"), "b/refused.bmp") +
                      "</code>: Not a bitmap: the file is shorter than its headers"),
            std::string::npos);
  EXPECT_NE(page.find("4 translated, 1 failed"), std::string::npos);
  // Moved together with the folders, the page still finds them.
  std::filesystem::rename(dir.path, dir.path + "-moved");
  for (const std::string& link : links) {
    if (!link.starts_with("#")) {
      EXPECT_TRUE(file_exists(dir.path + "-moved/pages/" + percent_decoded(link))) << link;
    }
  }
  std::filesystem::rename(dir.path + "-moved", dir.path);
}

TEST(ReportPage, ReportOptionNeedsAPageAndAWritableFolder) {
  temp_dir dir;
  make_tree(dir);
  // The page may replace neither an output nor an input, also not through a hard link.
  std::filesystem::create_hard_link(dir.file("in/a/sprite.bmp"), dir.file("linked.html"));
  for (const std::string& page : {dir.file("out/a/page.BMP"), dir.file("linked.html")}) {
    process_result refused =
        run_program(BATCH, {"--report", page, dir.file("in"), dir.file("out"), "1", "1", "1", "1"});
    EXPECT_EQ(refused.status, 2) << page;
    EXPECT_TRUE(refused.err.starts_with("palette-batch: the report page ")) << refused.err;
    // A page named like a bitmap is refused with the options, before any folder is made.
    if (page.ends_with(".BMP")) {
      EXPECT_FALSE(file_exists(dir.file("out")));
    }
  }
  EXPECT_EQ(read_file(dir.file("in/a/sprite.bmp")), sprite());
  EXPECT_EQ(run_program(BATCH, {"--report"}).status, 2);
  EXPECT_EQ(run_program(BATCH, {"--report=", "in", "out", "1", "1", "1", "1"}).status, 2);
  process_result nowhere =
      run_program(BATCH, {"--report=" + dir.file("no/such/page.html"), dir.file("in"),
                          dir.file("out"), "1", "1", "1", "1"});
  EXPECT_EQ(nowhere.status, 1);
  EXPECT_NE(nowhere.err.find("palette-batch: cannot write the report " +
                             dir.file("no/such/page.html") + ": "),
            std::string::npos)
      << nowhere.err;
}

// The strip shows the fixed slots at least, and never more than the palette holds.
TEST(ReportPage, PaletteStripCoversTheSlotsTheUsedEntriesAndTheGrays) {
  const struct {
    int used_count;
    bool grays;
    int entries;
  } cases[] = {{3, false, 8},    {3, true, 10},    {20, true, 27},
               {248, true, 255}, {249, true, 256}, {256, false, 256}};
  for (const auto& c : cases) {
    html_card card;
    card.used_count = c.used_count;
    card.grays = c.grays;
    palette_strips strips;
    std::string section = html_card_section(card, strips);
    EXPECT_NE(section.find("data-entries=\"" + std::to_string(c.entries) + "\""), std::string::npos)
        << c.used_count << (c.grays ? " with grays" : "");
  }
}

// The strip is a bitmap a browser shows: one row of 24-bit pixels, padded to 4 bytes.
TEST(ReportPage, PaletteStripIsOneRowOfTwentyFourBitPixels) {
  std::array<rgb, 256> palette{};
  for (int k = 0; k < 256; ++k)
    palette[static_cast<std::size_t>(k)] = {static_cast<std::uint8_t>(k), 7, 9};
  for (int count : {1, 4, 5, 256}) {
    std::vector<std::uint8_t> strip = palette_strip_bmp(palette, count);
    std::size_t stride = (3 * static_cast<std::size_t>(count) + 3) / 4 * 4;
    ASSERT_EQ(strip.size(), 54 + stride) << count;
    EXPECT_EQ(read_le32(strip.data() + 2), strip.size()) << count;
    EXPECT_EQ(read_le32(strip.data() + 10), 54u) << count;
    EXPECT_EQ(read_le32(strip.data() + 18), static_cast<std::uint32_t>(count)) << count;
    EXPECT_EQ(strip[28], 24) << count;
    std::size_t last = 54 + 3 * static_cast<std::size_t>(count - 1);
    EXPECT_EQ((std::vector<std::uint8_t>(strip.begin() + static_cast<std::ptrdiff_t>(last),
                                         strip.begin() + static_cast<std::ptrdiff_t>(last + 3))),
              (std::vector<std::uint8_t>{9, 7, static_cast<std::uint8_t>(count - 1)}))
        << count << ": blue, green, red";
  }
}

// The page names the run as a shell would take it back: words with anything but plain
// characters quoted, an empty word as ''.
TEST(ReportPage, CommandLineIsQuotedAsAShellTakesItBack) {
  temp_dir dir;
  make_tree(dir);
  process_result run = run_program(BATCH, {"--report", dir.file("page.html"), dir.file("in"),
                                           dir.file("out"), "", "4 0", "it's", "30"});
  EXPECT_EQ(run.status, 1) << run.err;
  std::string page = page_text(dir.file("page.html"));
  // Shown names escape a backslash, which a name may hold, as \\; on Windows it separates
  // folders and stays single.
  EXPECT_NE(page.find(std::string(" &#39;&#39; &#39;4 0&#39; &#39;it&#39;") + BACKSLASH_SHOWN +
                      "&#39;&#39;s&#39; 30</code>"),
            std::string::npos)
      << page.substr(0, 2000);
}

TEST(ReportPage, NamesAreEscapedForPagesAndLinks) {
  EXPECT_EQ(percent_encoded("AZaz09-._~/dir/x y'&\"<%\xff.bmp"),
            "AZaz09-._~/dir/x%20y%27%26%22%3C%25%FF.bmp");
  EXPECT_EQ(html_escape("<a href=\"x\">it's & more</a>"),
            "&lt;a href=&quot;x&quot;&gt;it&#39;s &amp; more&lt;/a&gt;");
  // A file on another drive is linked by a file: URL; a bare "D:" would be a scheme, or
  // "D%3A" a name in the page's folder.
  const struct {
    const char* path;
    const char* link;
  } links[] = {
      {"../in/a b.bmp", "../in/a%20b.bmp"},
      {"D:/art/a b.bmp", "file:///D:/art/a%20b.bmp"},
      {"d:/art/x.bmp", "file:///d:/art/x.bmp"},
      {"A:/x.bmp", "file:///A:/x.bmp"},
      {"Z:/x.bmp", "file:///Z:/x.bmp"},
      {"a:/x.bmp", "file:///a:/x.bmp"},
      {"z:/", "file:///z:/"},
      {"@:/x.bmp", "%40%3A/x.bmp"},  // the characters around the letters are no drives
      {"[:/x.bmp", "%5B%3A/x.bmp"},
      {"`:/x.bmp", "%60%3A/x.bmp"},
      {"{:/x.bmp", "%7B%3A/x.bmp"},
      {"/srv/art/x.bmp", "/srv/art/x.bmp"},
      {"D:x.bmp", "D%3Ax.bmp"},  // no drive path: a name in the page's folder, as it is
  };
  for (const auto& link : links) EXPECT_EQ(file_link(link.path), link.link) << link.path;
}

// The two data: pictures of inspect's page, decoded.
std::vector<std::vector<std::uint8_t>> embedded_pictures(const std::string& page) {
  std::vector<std::vector<std::uint8_t>> pictures;
  static const std::string DIGITS =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  for (const std::string& src : attribute_values(page, "src")) {
    std::string prefix = "data:image/bmp;base64,";
    if (!src.starts_with(prefix)) continue;
    std::vector<std::uint8_t> bytes;
    std::uint32_t group = 0;
    int bits = 0;
    for (char c : src.substr(prefix.size())) {
      if (c == '=') break;
      group = group << 6 | static_cast<std::uint32_t>(DIGITS.find(c));
      bits += 6;
      if (bits >= 8) {
        bits -= 8;
        bytes.push_back(static_cast<std::uint8_t>(group >> bits));
      }
    }
    pictures.push_back(bytes);
  }
  return pictures;
}

TEST(ReportPage, InspectPageEmbedsTheInputAndWhatTheToolWrites) {
  temp_dir dir;
  make_tree(dir);
  for (const char* name : {"a/sprite.bmp", "b/one-bit.bmp", "b/deeper/rle.bmp"}) {
    std::string input = dir.file(std::string("in/") + name);
    process_result page = run_program(INSPECT, {"--html", input, "40", "40", "40", "30"});
    EXPECT_EQ(page.status, 0) << name;
    std::string problem;
    EXPECT_TRUE(tags_balance(page.out, problem)) << name << ": " << problem;
    std::vector<std::vector<std::uint8_t>> pictures = embedded_pictures(page.out);
    ASSERT_EQ(pictures.size(), 2u) << name << ": input and output";
    run_program(TOOL, {input, dir.file("expected.bmp"), "40", "40", "40", "30"});
    EXPECT_EQ(pictures[0], read_file(input)) << name;
    EXPECT_EQ(pictures[1], read_file(dir.file("expected.bmp"))) << name;
  }
  // The demo's sample: what the near-background step did, thousands marked. At 100 % no
  // draw decides anything, and the tally still counts.
  const std::pair<const char*, const char*> tallies[] = {
      {"30", "3,748 pixels ended as background (its own colour included) and 256 as gray"},
      {"100", "4,004 pixels ended as background (its own colour included) and 0 as gray"},
  };
  for (const auto& [percent, tally] : tallies) {
    process_result sample = run_program(
        INSPECT,
        {"--html", std::string(FIXTURE_DIR) + "/../../docs/sample.bmp", "40", "40", "40", percent});
    EXPECT_NE(sample.out.find(tally), std::string::npos) << percent;
  }
  // A refused file gets the reason; inspect still writes nothing.
  process_result refused = run_program(INSPECT, {"--html", dir.file("in/b/refused.bmp")});
  EXPECT_EQ(refused.status, 254);
  EXPECT_NE(refused.out.find("Not a bitmap"), std::string::npos);
  EXPECT_FALSE(file_exists(dir.file("in/b/refused.bmp.out")));
  // A negative number is one of the four, not an option.
  EXPECT_EQ(
      run_program(INSPECT, {"--html", dir.file("in/a/sprite.bmp"), "-9", "40", "40", "30"}).status,
      0);
  // One file, then the four numbers or none.
  EXPECT_EQ(run_program(INSPECT, {"--html", dir.file("in/a/sprite.bmp"), "1"}).status, 255);
  EXPECT_EQ(run_program(INSPECT, {"--html", "--json", dir.file("in/a/sprite.bmp")}).status, 255);
}

const std::string CHROMIUM = "/usr/bin/chromium";

// The check the browser runs: how many pictures decoded, and where the first card's strip
// and output picture lie, written into the page for --dump-dom to show.
const std::string CHECK_SCRIPT = R"(<script>
addEventListener('load', () => {
  const images = [...document.images];
  const decoded = images.filter(i => i.complete && i.naturalWidth > 0).length;
  const card = [...document.querySelectorAll('.card')]
      .find(c => c.querySelector('h2').textContent === 'a/sprite.bmp');
  const strip = card.querySelector('.swatches');
  const out = card.querySelector('img[alt=output]').getBoundingClientRect();
  const s = strip.getBoundingClientRect();
  document.body.dataset.check = [decoded, images.length, strip.dataset.entries, s.left, s.top,
      s.width, s.height, out.left, out.top, out.width, out.height].join(' ');
});
</script>
)";

process_result chromium(const std::vector<std::string>& arguments) {
  std::vector<std::string> all = {"--headless",
                                  "--no-sandbox",
                                  "--disable-gpu",
                                  "--hide-scrollbars",
                                  "--window-size=1200,1600",
                                  "--force-device-scale-factor=1",
                                  "--virtual-time-budget=10000"};
  all.insert(all.end(), arguments.begin(), arguments.end());
  return run_program(CHROMIUM, all);
}

bool near(rgb a, rgb b) {
  return std::abs(a.red - b.red) <= 3 && std::abs(a.green - b.green) <= 3 &&
         std::abs(a.blue - b.blue) <= 3;
}

TEST(ReportPage, BrowserShowsWhatThePageSays) {
  SKIP_ON_WINDOWS("Chromium is a Linux program here: the Linux suite runs the page in it");
  if (!have_spng())
    GTEST_SKIP() << "built without libspng, which reads the screenshots (apt-get install "
                    "libspng-dev)";
  if (!file_exists(CHROMIUM))
    GTEST_SKIP() << "Chromium is not installed (apt-get install chromium)";
  temp_dir dir;
  make_tree(dir);
  ASSERT_EQ(run_program(BATCH, {"--report", dir.file("report.html"), dir.file("in"),
                                dir.file("out"), "40", "40", "40", "30"})
                .status,
            1);
  // Every picture at once, and the check added at the end of the body.
  std::string page = page_text(dir.file("report.html"));
  page = std::regex_replace(page, std::regex("loading=\"lazy\""), "loading=\"eager\"");
  page.insert(page.rfind("</body>"), CHECK_SCRIPT);
  write_file(dir.file("check.html"), std::vector<std::uint8_t>(page.begin(), page.end()));
  std::string url = "file://" + dir.file("check.html");
  process_result dom = chromium({"--dump-dom", url});
  std::smatch found;
  ASSERT_TRUE(std::regex_search(dom.out, found, std::regex("data-check=\"([^\"]*)\"")))
      << dom.out.substr(0, 300) << dom.err;
  std::istringstream check(found[1].str());
  int decoded = 0, images = 0, entries = 0;
  double strip_left, strip_top, strip_width, strip_height, out_left, out_top, out_width, out_height;
  check >> decoded >> images >> entries >> strip_left >> strip_top >> strip_width >> strip_height >>
      out_left >> out_top >> out_width >> out_height;
  EXPECT_EQ(decoded, images) << "every picture on the page decodes";
  EXPECT_EQ(images, 8) << "four cards of two pictures";

  ASSERT_EQ(chromium({"--screenshot=" + dir.file("shot.png"), url}).status, 0);
  png_picture shot;
  ASSERT_TRUE(read_png(dir.file("shot.png"), shot));
  auto at = [&](double x, double y) {
    return shot.at(static_cast<std::uint32_t>(x), static_cast<std::uint32_t>(y));
  };
  // Slot 5 of the strip is yellow, slot 4 magenta, slot 0 the background.
  auto swatch = [&](int slot) {
    return at(strip_left + strip_width * (slot + 0.5) / entries, strip_top + strip_height / 2);
  };
  EXPECT_TRUE(near(swatch(5), {255, 255, 0}));
  EXPECT_TRUE(near(swatch(4), {255, 0, 255}));
  EXPECT_TRUE(near(swatch(0), {10, 200, 30}));
  // The output's first stored pixel, the background, shows at its lower left.
  EXPECT_TRUE(near(at(out_left + 2, out_top + out_height - 2), {10, 200, 30}));
}

}  // namespace
