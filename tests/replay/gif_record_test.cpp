// --record and --scale through the real replay tool: the GIF holds exactly the frames the
// script paints, and a failed run leaves the target file alone.
#include <gif_lib.h>
#include <gtest/gtest.h>
#include <png.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <span>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "tools/replay/command_line.h"
#include "tools/replay/gif_writer.h"
#include "tools/replay/last_frames_gif.h"
#include "tools/replay/script_reader.h"

namespace fpu {
namespace {

namespace fs = std::filesystem;

struct Image {
  int width = 0;
  int height = 0;
  std::vector<std::uint32_t> pixels;  // 0x00RRGGBB
  bool operator==(const Image&) const = default;
};

Image read_png(const fs::path& path) {
  png_image png;
  std::memset(&png, 0, sizeof png);
  png.version = PNG_IMAGE_VERSION;
  Image out;
  if (png_image_begin_read_from_file(&png, path.c_str()) == 0) return out;
  png.format = PNG_FORMAT_RGB;
  std::vector<std::uint8_t> rgb(PNG_IMAGE_SIZE(png));
  if (png_image_finish_read(&png, nullptr, rgb.data(), 0, nullptr) == 0) return out;
  out.width = static_cast<int>(png.width);
  out.height = static_cast<int>(png.height);
  for (std::size_t i = 0; i < rgb.size(); i += 3) {
    out.pixels.push_back(std::uint32_t{rgb[i]} << 16 | std::uint32_t{rgb[i + 1]} << 8 | rgb[i + 2]);
  }
  return out;
}

struct Gif {
  std::vector<Image> frames;  // as shown, each drawn over the one before
  std::vector<int> delays;    // hundredths of a second
  bool loops = false;
};

Gif read_gif(const fs::path& path) {
  Gif out;
  int error = 0;
  GifFileType* gif = DGifOpenFileName(path.c_str(), &error);
  if (gif == nullptr) return out;
  if (DGifSlurp(gif) == GIF_OK) {
    Image canvas{gif->SWidth, gif->SHeight,
                 std::vector<std::uint32_t>(static_cast<std::size_t>(gif->SWidth) *
                                            static_cast<std::size_t>(gif->SHeight))};
    for (int f = 0; f < gif->ImageCount; ++f) {
      const SavedImage& image = gif->SavedImages[f];
      const GifImageDesc& d = image.ImageDesc;
      const ColorMapObject* map = d.ColorMap ? d.ColorMap : gif->SColorMap;
      for (int y = 0; y < d.Height; ++y) {
        for (int x = 0; x < d.Width; ++x) {
          const GifColorType c = map->Colors[image.RasterBits[y * d.Width + x]];
          canvas.pixels[static_cast<std::size_t>((d.Top + y) * canvas.width + d.Left + x)] =
              std::uint32_t{c.Red} << 16 | std::uint32_t{c.Green} << 8 | c.Blue;
        }
      }
      out.frames.push_back(canvas);
      GraphicsControlBlock control{};
      DGifSavedExtensionToGCB(gif, f, &control);
      out.delays.push_back(control.DelayTime);
      for (int e = 0; e < image.ExtensionBlockCount; ++e) {
        const ExtensionBlock& b = image.ExtensionBlocks[e];
        if (b.Function == APPLICATION_EXT_FUNC_CODE && b.ByteCount == 11 &&
            std::memcmp(b.Bytes, "NETSCAPE2.0", 11) == 0) {
          out.loops = true;
        }
      }
    }
  }
  DGifCloseFile(gif, &error);
  return out;
}

std::string read_text(const fs::path& path) {
  std::ifstream in(path);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

class GifRecordTest : public ::testing::Test {
 protected:
  fs::path frame_png(int i) const {
    std::string name = "f";
    name += std::to_string(i);
    return dir_ / (name + ".png");
  }

  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("fpu-gif-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  // Runs the tool on `script`; returns its exit status, with standard error in `err_`.
  int replay(const std::string& args, const std::string& script) {
    std::ofstream(dir_ / "script.txt") << script;
    const std::string cmd = std::string(FPU_REPLAY_TOOL) + " --trace none " + args + " " +
                            (dir_ / "script.txt").string() + " >/dev/null 2>" +
                            (dir_ / "err.txt").string();
    const int status = std::system(cmd.c_str());
    err_ = read_text(dir_ / "err.txt");
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  fs::path dir_;
  std::string err_;
};

TEST_F(GifRecordTest, FramesAreExactlyThePaintedPngs) {
  // The start-up frame, string art turning in auto mode, a frame painted twice (no change)
  // and a drag: each `paint` followed by a `png` of the same frame.
  std::string script = "png " + (dir_ / "f0.png").string() + "\nkey V\nkey B\nkey S\nkey T\n";
  int n = 1;
  const auto painted = [&](const std::string& before) {
    script += before + "paint\npng " + frame_png(n++).string() + "\n";
  };
  for (int i = 0; i < 4; ++i) painted("tick\n");
  painted("");
  painted("mouse ldown 100 100 1\nmouse move 130 120 1\n");
  painted("mouse move 90 160 1\nmouse lup 90 160 0\n");

  for (const int scale : {1, 2}) {
    SCOPED_TRACE("scale " + std::to_string(scale));
    const fs::path gif_path = dir_ / "out.gif";
    std::string args = "--record ";
    args += gif_path.string();
    args += " --scale " + std::to_string(scale);
    ASSERT_EQ(replay(args, script), 0) << err_;
    const Gif gif = read_gif(gif_path);
    ASSERT_EQ(gif.frames.size(), static_cast<std::size_t>(n));
    EXPECT_TRUE(gif.loops);
    for (int i = 0; i < n; ++i) {
      const Image png = read_png(frame_png(i));
      ASSERT_EQ(png.width, 700 * scale);
      EXPECT_TRUE(gif.frames[static_cast<std::size_t>(i)] == png) << "frame " << i;
      EXPECT_EQ(gif.delays[static_cast<std::size_t>(i)], 5);
    }
  }
}

TEST_F(GifRecordTest, ScaledPngIsNearestNeighbourOfTheFrame) {
  const std::string script = "key P\nkey S\npaint\npng " + (dir_ / "s1.png").string() + "\n";
  ASSERT_EQ(replay("", script), 0) << err_;
  fs::rename(dir_ / "s1.png", dir_ / "one.png");
  ASSERT_EQ(replay("--scale 2", script), 0) << err_;
  const Image one = read_png(dir_ / "one.png");
  const Image two = read_png(dir_ / "s1.png");
  ASSERT_EQ(two.width, 2 * one.width);
  ASSERT_EQ(two.height, 2 * one.height);
  for (int y = 0; y < two.height; ++y) {
    for (int x = 0; x < two.width; ++x) {
      ASSERT_EQ(two.pixels[static_cast<std::size_t>(y * two.width + x)],
                one.pixels[static_cast<std::size_t>((y / 2) * one.width + x / 2)])
          << x << "," << y;
    }
  }
}

TEST_F(GifRecordTest, FailedRunKeepsTheExistingFile) {
  const fs::path gif_path = dir_ / "keep.gif";
  std::ofstream(gif_path) << "earlier recording";
  EXPECT_EQ(replay("--record " + gif_path.string(), "tick\npaint\nfrobnicate\n"), 2);
  EXPECT_EQ(read_text(gif_path), "earlier recording");
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 3)
      << "a temporary file was left behind";
}

TEST_F(GifRecordTest, BadOptionsAreRefused) {
  struct Case {
    std::string args;
    std::string message;
    int status;
  };
  const Case cases[] = {
      {"--scale 0", "--scale takes a whole number from 1 to 8, not '0'", 1},
      {"--scale 9", "not '9'", 1},
      {"--scale 2x", "not '2x'", 1},
      {"--scale -1", "not '-1'", 1},
      {"--record /nonexistent-dir/x.gif", "cannot write '/nonexistent-dir/x.gif': check: ", 1},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(replay(c.args, "paint\n"), c.status) << c.args;
    EXPECT_NE(err_.find(c.message), std::string::npos) << c.args << ": " << err_;
  }
  // A missing value: the option is the last word.
  for (const std::string_view option : {"--scale", "--record"}) {
    ReplayCommandLine line;
    const options::Parsed parsed =
        parse_replay_command_line("fpu-sample-replay", std::span(&option, 1), &line);
    EXPECT_EQ(parsed.exit_code, 1) << option;  // 2 says a script line cannot be parsed
    EXPECT_NE(parsed.message.find(std::string(option) + " needs a value"), std::string::npos)
        << parsed.message;
  }
}

TEST(GifRecorder, RefusesAFrameWithMoreThan256Colours) {
  const fs::path path = fs::temp_directory_path() / "fpu-gif-colours.gif";
  fs::remove(path);
  Surface frame{20, 20, std::vector<std::uint32_t>(400)};
  for (std::size_t i = 0; i < frame.pixels.size(); ++i)
    frame.pixels[i] = static_cast<std::uint32_t>(i);
  GifRecorder recorder;
  std::string error;
  ASSERT_TRUE(recorder.open(path.string(), 1, &error)) << error;
  recorder.add_frame(frame);
  EXPECT_FALSE(recorder.finish(&error));
  EXPECT_NE(error.find("frame 1 has more than 256 colours"), std::string::npos) << error;
  EXPECT_FALSE(fs::exists(path));
}

// The encoder through an independent decoder, where LZW goes wrong: one colour, the widths
// at each power of two, noise that fills the string table and clears it many times, scales.
TEST(GifEncoder, DecodesToTheFramesItWasGiven) {
  struct Case {
    int colours;
    int width, height, scale;
  };
  const Case cases[] = {{1, 7, 3, 1},      {2, 64, 64, 1},     {3, 33, 17, 2},    {5, 100, 90, 1},
                        {17, 250, 200, 1}, {256, 300, 260, 1}, {256, 120, 100, 3}};
  const fs::path path = fs::temp_directory_path() / "fpu-gif-encoder.gif";
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.colours) + " colours, scale " + std::to_string(c.scale));
    std::mt19937 noise(static_cast<unsigned>(c.colours));
    const auto colour = [](unsigned i) { return i << 16 | (i * 7 & 0xFF) << 8 | (255 - i); };
    GifEncoder encoder(c.scale);
    std::vector<Image> expected;
    std::string error;
    // Noise; then a corner of it changed (a partial frame); then no change (one pixel).
    Surface frame{c.width, c.height,
                  std::vector<std::uint32_t>(static_cast<std::size_t>(c.width * c.height))};
    for (int f = 0; f < 3; ++f) {
      for (int y = 0; f < 2 && y < c.height / (f + 1); ++y) {
        for (int x = 0; x < c.width / (f + 1); ++x) {
          frame.pixels[static_cast<std::size_t>(y * c.width + x)] =
              colour(noise() % static_cast<unsigned>(c.colours));
        }
      }
      ASSERT_TRUE(encoder.add_frame(frame, &error)) << error;
      Image shown{c.width * c.scale, c.height * c.scale, {}};
      for (int y = 0; y < shown.height; ++y) {
        for (int x = 0; x < shown.width; ++x)
          shown.pixels.push_back(frame.at(x / c.scale, y / c.scale));
      }
      expected.push_back(shown);
    }
    ASSERT_TRUE(encoder.finish(&error)) << error;
    const std::vector<std::uint8_t> bytes = encoder.take_bytes();
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    const Gif gif = read_gif(path);
    ASSERT_EQ(gif.frames.size(), expected.size());
    for (std::size_t f = 0; f < expected.size(); ++f)
      EXPECT_TRUE(gif.frames[f] == expected[f]) << "frame " << f;
  }
  fs::remove(path);
}

// The page's last seconds: the replay tool's recording whole when the session is short,
// else the same frames from `count` before the end.
TEST_F(GifRecordTest, LastFramesAreTheRecordingsTail) {
  std::string text = "key V\nkey B\nkey S\nkey T\n";
  for (int i = 0; i < 6; ++i) text += "tick\npaint\n";
  ASSERT_EQ(replay("--record " + (dir_ / "all.gif").string(), text), 0) << err_;
  const Gif all = read_gif(dir_ / "all.gif");
  ASSERT_EQ(all.frames.size(), 7u);  // the start-up frame and six painted
  replay::Script script;
  std::istringstream in(text);
  ASSERT_EQ(replay::read_script(in, 1 << 20, &script), "");
  for (const std::size_t count :
       {std::size_t{7}, std::size_t{50}, std::size_t{3}, std::size_t{1}}) {
    SCOPED_TRACE("last " + std::to_string(count));
    std::vector<std::uint8_t> bytes;
    std::string error;
    ASSERT_TRUE(last_frames_gif(script, ReplayOptions{}, count, 1, &bytes, &error)) << error;
    std::ofstream(dir_ / "tail.gif", std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    if (count >= all.frames.size()) {
      EXPECT_EQ(read_text(dir_ / "tail.gif"), read_text(dir_ / "all.gif"));
      continue;
    }
    const Gif tail = read_gif(dir_ / "tail.gif");
    ASSERT_EQ(tail.frames.size(), count);
    for (std::size_t f = 0; f < count; ++f) {
      EXPECT_TRUE(tail.frames[f] == all.frames[all.frames.size() - count + f]) << "frame " << f;
    }
  }
}

}  // namespace
}  // namespace fpu
