// letrana-export: its exit codes and messages, a settings file the window wrote, the pictures it writes
// (the window's own bytes, two colours without smoothing, padding, PNG with alpha) and its metrics
// file, checked against an independent reading of the font by Pillow and fontTools.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <sys/wait.h>

#include "common/ProgramVersion.h"
#include "common/SettingsDocument.h"
#include "letrana/ExportTool.h"
#include "tests/imaging/ImageReaders.h"
#include "tests/imaging/PngReader.h"
#include "tests/letrana/LetranaFixture.h"

namespace {

using namespace letrana_testing;
namespace fs = std::filesystem;

const std::string kFonts = "/usr/share/fonts/truetype/liberation/";
const std::string kSans = kFonts + "LiberationSans-Regular.ttf";
const std::string kSerifItalic = kFonts + "LiberationSerif-Italic.ttf";

struct ToolRun {
  int code = -1;
  std::string out;
  std::string err;
};

ToolRun Export(std::vector<std::string> arguments,
               const letrana_export::TExportToolEnvironment& environment = {}) {
  std::ostringstream out, err;
  ToolRun run;
  run.code = letrana_export::RunExportTool(arguments, environment, out, err);
  run.out = out.str();
  run.err = err.str();
  return run;
}

image_readers::DecodedBmp Bmp(const fs::path& path) {
  return image_readers::ReadBmp(testing_support::ReadFileBytes(path));
}

std::set<TColor> Colours(const image_readers::DecodedBmp& picture) {
  return {picture.pixels.begin(), picture.pixels.end()};
}

// The value of a top-level number in the metrics file's text, or of the first such key after `from`.
int JsonNumber(const std::string& json, const std::string& key, std::size_t from = 0) {
  const std::size_t at = json.find("\"" + key + "\": ", from);
  if (at == std::string::npos) throw std::runtime_error("no " + key + " in the metrics file");
  return std::stoi(json.substr(at + key.size() + 4));
}
std::size_t GlyphEntry(const std::string& json, int code) {
  return json.find("{\"code\": " + std::to_string(code) + ",");
}

class ExportToolTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!fs::exists(kSans) || !fs::exists(kSerifItalic))
      SKIP_OR_FAIL_WHERE_PROMISED("the Liberation fonts (fonts-liberation2) are not installed");
  }
  std::string Base(const std::string& name = "g") const { return temp.File(name); }
  testing_support::TempDir temp;
};

TEST_F(ExportToolTest, BadArgumentsExitWith2AndNameTheOption) {
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{"--bogus", "--output", Base()}, "--bogus"},
      {{"--codes", "65"}, "--output"},
      {{"--output", Base(), "--codes", "U+110000"}, "--codes: 'U+110000' goes beyond"},
      {{"--output", Base(), "--codes", "90-65"}, "--codes: the range 90-65"},
      {{"--output", Base(), "--codes", "U+D800"}, "--codes: 'U+D800' is a surrogate"},
      {{"--output", Base(), "--text", "\xFF"}, "--text: the text is no UTF-8"},
      {{"--output", Base(), "--spacing", "1"}, "--spacing: only with --atlas"},
      {{"--output", Base(), "--atlas", "--descriptor", "json"}, "--descriptor: 'json'"},
      {{"--output", Base(), "--codes", "65,,66"}, "--codes"},
      {{"--output", Base(), "--codes", "-1"}, "--codes"},
      {{"--output", Base(), "--size", "twelve"}, "--size"},
      {{"--output", Base(), "--size", "0"}, "--size"},
      {{"--output", Base(), "--size", "99999"}, "--size"},
      {{"--output", Base(), "--color", "#12345"}, "--color"},
      {{"--output", Base(), "--background", "red"}, "--background"},
      {{"--output", Base(), "--form", "tiff"}, "--form"},
      {{"--output", Base(), "--padding", "-2"}, "--padding"},
      {{"--output", Base(), "--resolution", "0"}, "--resolution"},
      {{"--output", Base(), "--font"}, "--font: a value is missing"},
      {{"--output", Base(), "stray"}, "'stray'"},
      {{"--output", Base(), "--exact-font=yes"}, "--exact-font: takes no value"},
      {{"--output", Base(), "--settings", temp.File("missing.ini")}, "--settings"},
      {{"--output", Base(), "--settings", temp.File("x.ini"), "--no-settings"}, "--no-settings"},
  };
  for (const auto& [arguments, named] : cases) {
    const ToolRun run = Export(arguments);
    EXPECT_EQ(run.code, letrana_export::kExitBadArguments) << arguments.front() << ' ' << arguments.back();
    EXPECT_NE(run.err.find(named), std::string::npos) << run.err;
  }
  EXPECT_TRUE(fs::is_empty(temp.Path())) << "nothing is written for a wrong command line";

  // What is right passes: both option forms, both colour forms, and the list syntax.
  const ToolRun fine = Export({"--output=" + Base(), "--font", kSans, "--color=#FF0000", "--background",
                               "16711680", "--codes", "66,65-66,67", "--no-settings"});
  ASSERT_EQ(fine.code, 0) << fine.err;
  EXPECT_EQ(fine.err, "") << "no progress where the error stream is no terminal";
  EXPECT_EQ(FileNames(temp.Path()), (std::vector<std::string>{"g.json", "g065.bmp", "g066.bmp", "g067.bmp"}));
  const auto picture = Bmp(Base() + "065.bmp");
  EXPECT_EQ(picture.At(0, 0), RGB(0, 0, 255)) << "16711680 is blue as the settings file stores colours";
  EXPECT_TRUE(Colours(picture).count(RGB(255, 0, 0))) << "#FF0000 is red";
}

TEST_F(ExportToolTest, ProgressGoesToATerminalOnly) {
  letrana_export::TExportToolEnvironment terminal;
  terminal.ShowProgress = true;
  const ToolRun run =
      Export({"--output", Base(), "--font", kSans, "--codes", "65-67", "--no-settings"}, terminal);
  ASSERT_EQ(run.code, 0);
  EXPECT_EQ(run.err, "\rletrana-export: 1/3\rletrana-export: 2/3\rletrana-export: 3/3\n");
  EXPECT_EQ(run.out.find('\r'), std::string::npos) << "standard output holds the font line only";
}

TEST_F(ExportToolTest, FontFailuresExitWith3AndAReplacedFaceWith5UnderExactFont) {
  EXPECT_EQ(Export({"--output", Base(), "--font", temp.File("none.ttf"), "--no-settings"}).code,
            letrana_export::kExitFontUnavailable);
  testing_support::WriteFileBytes(temp.Path() / "broken.ttf", "not a font at all");
  const ToolRun broken = Export({"--output", Base(), "--font", temp.File("broken.ttf"), "--no-settings"});
  EXPECT_EQ(broken.code, letrana_export::kExitFontUnavailable);
  EXPECT_NE(broken.err.find("broken.ttf"), std::string::npos) << broken.err;

  // A face no system has: fontconfig puts another one in its place.
  const std::vector<std::string> unknown = {"--output",      Base(),    "--font", "Qzxv Unheard Of",
                                            "--no-settings", "--codes", "65"};
  std::vector<std::string> exact = unknown;
  exact.push_back("--exact-font");
  const ToolRun refused = Export(exact);
  EXPECT_EQ(refused.code, letrana_export::kExitFontMismatch) << refused.err;
  EXPECT_NE(refused.err.find("Qzxv Unheard Of"), std::string::npos) << refused.err;
  EXPECT_EQ(FileNames(temp.Path()), std::vector<std::string>{"broken.ttf"}) << "nothing written";

  const ToolRun replaced = Export(unknown);
  EXPECT_EQ(replaced.code, 0);
  EXPECT_NE(replaced.err.find("warning"), std::string::npos) << replaced.err;
  const std::string used = replaced.out.substr(6, replaced.out.find('\n') - 6);
  EXPECT_EQ(replaced.out.rfind("font: ", 0), 0u) << replaced.out;
  EXPECT_NE(used, "Qzxv Unheard Of");
  EXPECT_EQ(std::count(replaced.out.begin(), replaced.out.end(), '\n'), 1) << "one line on stdout";
  EXPECT_NE(testing_support::ReadFileText(Base() + ".json").find("\"used\": \"" + used + "\""),
            std::string::npos);

  // The file's face is the face asked for: --exact-font has nothing to refuse.
  const ToolRun file =
      Export({"--output", Base("f"), "--font", kSans, "--exact-font", "--no-settings", "--codes", "65"});
  EXPECT_EQ(file.code, 0) << file.err;
  EXPECT_EQ(file.out, "font: Liberation Sans (" + kSans + ")\n");
  EXPECT_EQ(file.err, "");
}

TEST_F(ExportToolTest, AFailedWriteStopsAtThatFileAndKeepsTheFilesBeforeIt) {
  // A folder in the place of the second picture: its write fails.
  fs::create_directory(temp.Path() / "g066.bmp");
  const ToolRun run = Export({"--output", Base(), "--font", kSans, "--codes", "65-67", "--no-settings"});
  EXPECT_EQ(run.code, letrana_export::kExitWriteFailed);
  EXPECT_NE(run.err.find("The file " + Base() + "066.bmp cannot be created"), std::string::npos) << run.err;
  EXPECT_EQ(FileNames(temp.Path()), (std::vector<std::string>{"g065.bmp", "g066.bmp"}))
      << "the first stays; neither the third picture nor the metrics file is written";

  const ToolRun noFolder =
      Export({"--output", temp.File("missing/g"), "--font", kSans, "--codes", "65", "--no-settings"});
  EXPECT_EQ(noFolder.code, letrana_export::kExitWriteFailed);
  EXPECT_FALSE(fs::exists(temp.Path() / "missing")) << "folders are not created";
}

TEST_F(ExportToolTest, MetricsMatchAnIndependentReadingOfTheFont) {
  // Smoothed at 24 points in PNG with alpha; an italic at 9 points, which the font wants unsmoothed
  // at that size, with padding; unsmoothed on request at 30 points.
  // Cyrillic and Greek by code point (Liberation lacks a few of the block's characters: skipped).
  struct Case {
    std::string font, base;
    std::vector<std::string> options;
    int glyphs = 256;
  };
  const std::vector<Case> cases = {
      {kSans, Base("sans"), {"--size", "24", "--form", "png-alpha"}},
      {kSerifItalic, Base("italic"), {"--size", "9", "--padding", "2"}},
      {kSans, Base("mono"), {"--size", "30", "--no-antialias", "--form", "gif"}},
      {kSans, Base("unicode"), {"--size", "20", "--codes", "U+0370-U+03FF,0x400-0x4FF"}, 0},
  };
  for (const Case& c : cases) {
    std::vector<std::string> arguments = {"--font", c.font, "--output", c.base, "--no-settings"};
    arguments.insert(arguments.end(), c.options.begin(), c.options.end());
    const ToolRun run = Export(arguments);
    ASSERT_EQ(run.code, 0) << run.err;
    const std::string command = "/usr/bin/python3 \"" EXPORT_METRICS_SCRIPT "\" \"" + c.base + ".json\" \"" +
                                c.font + "\"" + (c.glyphs == 256 ? "" : " --unicode") + " 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string report;
    char buffer[512];
    while (fgets(buffer, sizeof buffer, pipe) != nullptr) report += buffer;
    const int status = pclose(pipe);
    if (report.find("No module named") != std::string::npos)
      SKIP_OR_FAIL_WHERE_PROMISED("Pillow or fontTools (python3-pil, python3-fonttools) is missing: " +
                                  report);
    EXPECT_EQ(status, 0) << c.base << ":\n" << report;
    EXPECT_NE(report.find(" glyphs checked, 0 differences"), std::string::npos) << report;
    if (c.glyphs == 256) {
      EXPECT_NE(report.find("256 glyphs checked"), std::string::npos) << report;
    }
    // Liberation's kerning pairs among the 256 characters were compared (A and V, T and o ...).
    const std::size_t kerning = report.find("kerning: ");
    ASSERT_NE(kerning, std::string::npos) << report;
    EXPECT_GT(std::stoi(report.substr(kerning + 9)), 50) << report;
  }
}

TEST_F(ExportToolTest, NoAntialiasGivesOnlyTheTwoColoursAndPaddingGrowsThePictureNotTheAdvance) {
  const std::vector<std::string> common = {"--font",  kSans,       "--size",       "20",
                                           "--color", "#FF0000",   "--background", "#00A000",
                                           "--codes", "65,87,103", "--no-settings"};
  auto with = [&](std::vector<std::string> more) {
    more.insert(more.end(), common.begin(), common.end());
    const ToolRun run = Export(more);
    EXPECT_EQ(run.code, 0) << run.err;
    return run;
  };
  with({"--output", Base("smooth")});
  with({"--output", Base("crisp"), "--no-antialias"});
  with({"--output", Base("padded"), "--padding", "3"});
  with({"--output", Base("alpha"), "--padding", "3", "--form", "png-alpha"});
  const std::set<TColor> two = {RGB(255, 0, 0), RGB(0, 160, 0)};
  const std::string plainJson = testing_support::ReadFileText(Base("smooth") + ".json");
  const std::string paddedJson = testing_support::ReadFileText(Base("padded") + ".json");
  for (const int code : {65, 87, 103}) {
    const std::string number = ExportNumber(code);
    const auto smooth = Bmp(Base("smooth") + number + ".bmp");
    const auto crisp = Bmp(Base("crisp") + number + ".bmp");
    EXPECT_EQ(Colours(crisp), two) << code;
    EXPECT_GT(Colours(smooth).size(), 2u) << code << ": smoothed edges have shades between";
    EXPECT_EQ(crisp.width, smooth.width) << "the same advance";

    const auto padded = Bmp(Base("padded") + number + ".bmp");
    ASSERT_EQ(padded.width, smooth.width + 6);
    ASSERT_EQ(padded.height, smooth.height + 6);
    for (int y = 0; y < padded.height; ++y) {
      for (int x = 0; x < padded.width; ++x) {
        const bool border = x < 3 || y < 3 || x >= padded.width - 3 || y >= padded.height - 3;
        EXPECT_EQ(padded.At(x, y), border ? RGB(0, 160, 0) : smooth.At(x - 3, y - 3)) << x << ',' << y;
      }
    }
    const std::size_t plainEntry = GlyphEntry(plainJson, code), paddedEntry = GlyphEntry(paddedJson, code);
    ASSERT_NE(paddedEntry, std::string::npos);
    EXPECT_EQ(JsonNumber(paddedJson, "advance", paddedEntry), JsonNumber(plainJson, "advance", plainEntry));
    EXPECT_EQ(JsonNumber(paddedJson, "advance", paddedEntry), smooth.width);
    EXPECT_EQ(JsonNumber(paddedJson, "width", paddedEntry), padded.width);
    EXPECT_EQ(JsonNumber(paddedJson, "padding", paddedEntry), 3);

    // PNG with alpha, decoded by libpng: every pixel red, the glyph in the alpha, the border clear.
    const auto png = png_reader::ReadPngWithLibrary(Base("alpha") + number + ".png");
    ASSERT_TRUE(png.ok);
    EXPECT_EQ(png.colorType, PNG_COLOR_TYPE_RGB_ALPHA);
    ASSERT_EQ(png.width, padded.width);
    ASSERT_EQ(png.height, padded.height);
    std::set<int> alphas;
    for (int y = 0; y < png.height; ++y) {
      for (int x = 0; x < png.width; ++x) {
        const std::uint8_t* pixel = &png.pixels[(static_cast<std::size_t>(y) * png.width + x) * 4];
        EXPECT_EQ(RGB(pixel[0], pixel[1], pixel[2]), RGB(255, 0, 0));
        const bool border = x < 3 || y < 3 || x >= png.width - 3 || y >= png.height - 3;
        if (border) {
          EXPECT_EQ(pixel[3], 0) << x << ',' << y;
        }
        // Where the smooth BMP shows the pure background, nothing is covered.
        if (!border && smooth.At(x - 3, y - 3) == RGB(0, 160, 0)) {
          EXPECT_EQ(pixel[3], 0) << x << ',' << y;
        }
        if (!border && smooth.At(x - 3, y - 3) == RGB(255, 0, 0)) {
          EXPECT_EQ(pixel[3], 255) << x << ',' << y;
        }
        alphas.insert(pixel[3]);
      }
    }
    EXPECT_GT(alphas.size(), 2u) << "smoothed edges";
  }
}

// The settings file the window writes at close, read by the tool: the same rendering state, the
// same pictures as the window's own export; options on the command line win over it.
class ExportToolSettingsTest : public LetranaTest {};

TEST_F(ExportToolSettingsTest, ASettingsFileTheWindowWroteGivesTheWindowsOwnPictures) {
  if (!fs::exists(kSans)) SKIP_OR_FAIL_WHERE_PROMISED("the Liberation fonts are not installed");
  TFrmLetrana& frm = Open();
  frm.Show();
  ui::testing::AdvanceTime(500);
  PickFont({.name = "Liberation Serif", .size = 20, .color = kRed});
  PickBackground(kGreen);
  testing_support::TempDir out;
  ui::testing::AnswerSave(frm.SvdSave, out.File("window.bmp"), 1);
  frm.LisCharacters.SetSelected(65, true);
  frm.LisCharacters.SetSelected(103, true);
  frm.MenExport.Click();
  frm.Close();
  ASSERT_TRUE(fs::exists(SettingsFile()));

  const ToolRun run =
      Export({"--settings", SettingsFile().string(), "--codes", "65,103", "--output", out.File("tool")});
  ASSERT_EQ(run.code, 0) << run.err;
  EXPECT_EQ(run.out, "font: Liberation Serif\n");
  for (const char* number : {"065", "103"}) {
    EXPECT_EQ(testing_support::ReadFileBytes(out.Path() / (std::string("tool") + number + ".bmp")),
              testing_support::ReadFileBytes(out.Path() / (std::string("window") + number + ".bmp")))
        << number;
  }
  const std::string json = testing_support::ReadFileText(out.Path() / "tool.json");
  EXPECT_NE(json.find("\"asked\": \"Liberation Serif\""), std::string::npos) << json;
  EXPECT_EQ(JsonNumber(json, "size"), 20);

  // The window's own file is the default; the command line wins over it, and --no-settings leaves it.
  letrana_export::TExportToolEnvironment environment;
  environment.DefaultSettingsFile = SettingsFile().string();
  ASSERT_EQ(Export({"--codes", "65", "--output", out.File("default")}, environment).code, 0);
  EXPECT_EQ(testing_support::ReadFileBytes(out.Path() / "default065.bmp"),
            testing_support::ReadFileBytes(out.Path() / "window065.bmp"));
  ASSERT_EQ(Export({"--codes", "65", "--size", "10", "--background", "#0000FF", "--output", out.File("over")},
                   environment)
                .code,
            0);
  const auto over = Bmp(out.Path() / "over065.bmp");
  EXPECT_EQ(over.At(0, 0), RGB(0, 0, 255));
  EXPECT_TRUE(Colours(over).count(kRed)) << "the font colour still comes from the file";
  EXPECT_EQ(JsonNumber(testing_support::ReadFileText(out.Path() / "over.json"), "size"), 10);
  const ToolRun plain =
      Export({"--codes", "65", "--no-settings", "--output", out.File("plain")}, environment);
  ASSERT_EQ(plain.code, 0);
  EXPECT_EQ(Bmp(out.Path() / "plain065.bmp").At(0, 0), clSilver) << "Letrana's defaults: black on silver";
  EXPECT_NE(testing_support::ReadFileText(out.Path() / "plain.json").find("\"asked\": \"Arial\""),
            std::string::npos);
}

// The program itself, run as a process from a copy in a folder of its own, as a build pipeline runs it:
// its exit codes and streams for a metrics file that cannot be written, settings files that are no
// settings, the usage and version texts and a font without kerning tables; and Letrana's own settings
// file, found where the window keeps it (under the user's configuration folder, where an earlier version
// kept it under the data folder, or in the folder a SavePath.ini beside the program names), used unless
// --no-settings, and passed over with a warning when unreadable.
TEST_F(ExportToolTest, TheProgramsExitCodesAndLetranasOwnSettingsFile) {
  const fs::path program = temp.Path() / "program" / "letrana-export", data = temp.Path() / "data",
                 config = temp.Path() / "config";
  fs::create_directories(program.parent_path());
  fs::copy_file(EXPORT_TOOL_PROGRAM, program);
  const auto run = [&](const std::vector<std::string>& arguments) {
    std::string command = "XDG_DATA_HOME='" + data.string() + "' XDG_CONFIG_HOME='" + config.string() +
                          "' '" + program.string() + "'";
    for (const std::string& argument : arguments) command += " '" + argument + "'";
    FILE* pipe = popen((command + " 2>'" + temp.File("err.txt") + "'").c_str(), "r");
    ToolRun result;
    char buffer[512];
    while (pipe != nullptr && fgets(buffer, sizeof buffer, pipe) != nullptr) result.out += buffer;
    const int status = pipe != nullptr ? pclose(pipe) : -1;
    result.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.err = testing_support::ReadFileText(temp.File("err.txt"));
    return result;
  };
  std::string noise(2000, '\0');
  unsigned state = 11;
  for (char& byte : noise) byte = static_cast<char>((state = state * 1103515245u + 12345u) >> 16);
  TSettingsDocument serif(kXmlSettingsForm);
  serif.SetString("FontName", "Liberation Serif");
  serif.SetInt("FontSize", 20);
  serif.SetInt("FontColor", static_cast<std::int32_t>(kRed));
  serif.SetInt("BackgroundColor", static_cast<std::int32_t>(kGreen));
  ASSERT_TRUE(serif.Save(temp.File("serif.ini")));
  const std::string settings = testing_support::ReadFileText(temp.File("serif.ini"));
  testing_support::WriteFileBytes(temp.Path() / "noise.ini", noise);
  testing_support::WriteFileBytes(temp.Path() / "cut.ini", settings.substr(0, settings.find("Serif")));
  fs::create_directory(Base("metrics") + ".json");

  enum class Own { None, Installed, Former, Portable };  // where Letrana's own settings file lies
  const auto drawn = [&](const std::string& name, const std::string& face, int size, TColor background) {
    const std::string json = testing_support::ReadFileText(Base(name) + ".json");
    EXPECT_NE(json.find("\"asked\": \"" + face + "\""), std::string::npos) << json;
    EXPECT_EQ(JsonNumber(json, "size"), size);
    EXPECT_EQ(Bmp(Base(name) + "065.bmp").At(0, 0), background);
  };
  struct Case {
    std::string name;
    std::vector<std::string> arguments;
    Own own;
    std::string ownSettings;
    int code;
    std::string out, err;  // texts the streams hold
    std::function<void()> check;
  };
  const std::vector<Case> cases = {
      {"metrics",
       {"--font", kSans, "--codes", "65", "--no-settings"},
       Own::None,
       "",
       4,
       "font: Liberation Sans",
       "The file " + Base("metrics") + ".json cannot be created",
       [&] { EXPECT_TRUE(fs::exists(Base("metrics") + "065.bmp")) << "the picture before it stays"; }},
      {"noise",
       {"--settings", temp.File("noise.ini")},
       Own::None,
       "",
       2,
       "",
       "letrana-export: --settings: the settings file '" + temp.File("noise.ini") + "' cannot be read\n"},
      {"cut",
       {"--settings", temp.File("cut.ini")},
       Own::None,
       "",
       2,
       "",
       "'" + temp.File("cut.ini") + "' cannot be read"},
      {"help", {"--help"}, Own::None, "", 0, "Usage: letrana-export --output BASE", ""},
      {"version", {"--version"}, Own::None, "", 0, "letrana-export " LETRANA_VERSION "\n", ""},
      {"mono",
       {"--font", kFonts + "LiberationMono-Regular.ttf", "--codes", "32-126", "--no-settings"},
       Own::None,
       "",
       0,
       "font: Liberation Mono",
       "",
       [&] {
         const std::string json = testing_support::ReadFileText(Base("mono") + ".json");
         const std::string kerning = json.substr(json.find("\"kerning\": "));
         EXPECT_TRUE(kerning.rfind("\"kerning\": null", 0) == 0 ||
                     kerning.find("\"pairs\": []") != std::string::npos)
             << kerning;
       }},
      {"installed",
       {"--codes", "65"},
       Own::Installed,
       settings,
       0,
       "font: Liberation Serif\n",
       "",
       [&] { drawn("installed", "Liberation Serif", 20, kGreen); }},
      {"former",
       {"--codes", "65"},
       Own::Former,
       settings,
       0,
       "font: Liberation Serif\n",
       "",
       [&] {
         drawn("former", "Liberation Serif", 20, kGreen);
         EXPECT_FALSE(fs::exists(config)) << "read where it lies, nothing created";
       }},
      {"portable",
       {"--codes", "65"},
       Own::Portable,
       settings,
       0,
       "font: Liberation Serif\n",
       "",
       [&] { drawn("portable", "Liberation Serif", 20, kGreen); }},
      {"ignored",
       {"--codes", "65", "--no-settings"},
       Own::Portable,
       settings,
       0,
       "",
       "",
       [&] { drawn("ignored", "Arial", 12, clSilver); }},
      {"unreadable",
       {"--codes", "65"},
       Own::Installed,
       noise,
       0,
       "",
       "warning: Letrana's settings file '" + (config / "Norvane/Letrana/Letrana.ini").string() +
           "' cannot be read; its defaults are used",
       [&] { drawn("unreadable", "Arial", 12, clSilver); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const fs::path folder = c.own == Own::Installed ? config / "Norvane" / "Letrana"
                            : c.own == Own::Former  ? data / "Norvane" / "Letrana"
                                                    : program.parent_path() / "Settings";
    if (c.own != Own::None) {
      fs::create_directories(folder);
      testing_support::WriteFileBytes(folder / "Letrana.ini", c.ownSettings);
    }
    if (c.own == Own::Portable)
      testing_support::WriteFileBytes(program.parent_path() / "SavePath.ini",
                                      "ApplicationStorage=\"Settings\"\r\n");
    std::vector<std::string> arguments = c.arguments;
    arguments.insert(arguments.end(), {"--output", Base(c.name)});
    const ToolRun result = run(arguments);
    EXPECT_EQ(result.code, c.code) << result.err;
    EXPECT_NE(result.out.find(c.out), std::string::npos) << result.out;
    EXPECT_NE(result.err.find(c.err), std::string::npos) << result.err;
    if (c.check) c.check();
    fs::remove_all(data);
    fs::remove_all(config);
    fs::remove_all(folder);
    fs::remove(program.parent_path() / "SavePath.ini");
  }
  EXPECT_EQ(FileNames(program.parent_path()), std::vector<std::string>{"letrana-export"});
}

TEST(ExportToolTextTest, JsonStringsAndColoursAndCodeLists) {
  using letrana_export::JsonString;
  EXPECT_EQ(JsonString("a\"b\\c"), "\"a\\\"b\\\\c\"");
  EXPECT_EQ(JsonString(std::string("\0\n\x1f", 3)), "\"\\u0000\\u000a\\u001f\"");
  EXPECT_EQ(ui::AnsiToUtf8("\x80\xE9\x81"), "\xE2\x82\xAC\xC3\xA9\xC2\x81");
  EXPECT_EQ(letrana_export::ParseColorArgument("#0080ff"), RGB(0, 0x80, 0xFF));
  EXPECT_EQ(letrana_export::ParseColorArgument("-2147483640"), 0x80000008u) << "a system colour";
  EXPECT_EQ(letrana_export::ParseColorArgument("#0080fg"), std::nullopt);
  EXPECT_EQ(letrana_export::ParseColorArgument(" 5"), std::nullopt);
}

}  // namespace
