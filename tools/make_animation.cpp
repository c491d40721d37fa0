// make_animation OUT.avi: draws the patcher's busy animation (resource 125)
// and writes it as the clip the progress window's animation control plays: a
// RIFF AVI with one video stream and no sound, 17 frames of 260 x 40 pixels,
// 8-bit run-length compressed (BI_RLE8), 10 frames a second. Every frame is a
// whole picture (a key frame), so the control can draw any frame on its own.
//
// The picture: a sheet of paper flies in an arc from one folder to another.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr int kWidth = 260;
constexpr int kHeight = 40;
constexpr int kFrames = 17;
constexpr uint32_t kMicrosecondsPerFrame = 100000;

enum Colour : uint8_t { kBackground, kOutline, kPaper, kFolder, kFolderBack, kInk, kShadow };

// RGB of each palette index; the rest of the 256 entries are black. The
// control takes the colour of the top-left pixel as transparent.
constexpr uint8_t kPalette[][3] = {
    {192, 192, 192}, {40, 40, 40},  {255, 255, 255}, {240, 200, 80},
    {176, 132, 32},  {60, 90, 170}, {128, 128, 128},
};

using Picture = std::vector<uint8_t>;  // kWidth * kHeight indexes, top row first

void Fill(Picture& p, int left, int top, int right, int bottom, uint8_t colour) {
  for (int y = std::max(top, 0); y < std::min(bottom, kHeight); ++y) {
    for (int x = std::max(left, 0); x < std::min(right, kWidth); ++x) {
      p[static_cast<size_t>(y * kWidth + x)] = colour;
    }
  }
}

void Box(Picture& p, int left, int top, int right, int bottom, uint8_t fill) {
  Fill(p, left, top, right, bottom, kOutline);
  Fill(p, left + 1, top + 1, right - 1, bottom - 1, fill);
}

void FolderBack(Picture& p, int left) {
  Box(p, left, 9, left + 18, 14, kFolderBack);  // the tab
  Box(p, left, 12, left + 48, 34, kFolderBack);
}

void FolderFront(Picture& p, int left) {
  Fill(p, left + 3, 34, left + 51, 36, kShadow);
  Box(p, left, 19, left + 48, 34, kFolder);
}

void Paper(Picture& p, int left, int top) {
  Fill(p, left + 2, top + 2, left + 16, top + 20, kShadow);
  Box(p, left, top, left + 14, top + 18, kPaper);
  for (int line = 4; line <= 13; line += 3)
    Fill(p, left + 3, top + line, left + 11, top + line + 1, kInk);
}

Picture DrawFrame(int frame) {
  Picture p(static_cast<size_t>(kWidth * kHeight), kBackground);
  constexpr int kFrom = 24;
  constexpr int kTo = 188;
  FolderBack(p, kFrom - 4);
  FolderBack(p, kTo - 4);
  const double t = static_cast<double>(frame) / (kFrames - 1);
  const int x = kFrom + 14 + static_cast<int>(std::lround(t * (kTo - kFrom - 14)));
  const int y = 18 - static_cast<int>(std::lround(std::sin(t * 3.14159265358979) * 16));
  Paper(p, x, y);
  FolderFront(p, kFrom - 4);
  FolderFront(p, kTo - 4);
  return p;
}

// BI_RLE8 in encoded mode only (count, colour pairs): always valid, and small
// for flat artwork. Rows bottom first, each ended by 0,0; the picture by 0,1.
std::vector<uint8_t> EncodeRle8(const Picture& p) {
  std::vector<uint8_t> out;
  for (int y = kHeight - 1; y >= 0; --y) {
    const uint8_t* row = p.data() + static_cast<size_t>(y * kWidth);
    int x = 0;
    while (x < kWidth) {
      int run = 1;
      while (x + run < kWidth && run < 255 && row[x + run] == row[x]) ++run;
      out.push_back(static_cast<uint8_t>(run));
      out.push_back(row[x]);
      x += run;
    }
    out.push_back(0);
    out.push_back(0);
  }
  out.push_back(0);
  out.push_back(1);
  return out;
}

class RiffWriter {
 public:
  void U8(uint8_t v) { bytes_.push_back(v); }
  void U16(uint16_t v) {
    U8(static_cast<uint8_t>(v));
    U8(static_cast<uint8_t>(v >> 8));
  }
  void U32(uint32_t v) {
    U16(static_cast<uint16_t>(v));
    U16(static_cast<uint16_t>(v >> 16));
  }
  void FourCC(const char* code) {
    for (int i = 0; i < 4; ++i) U8(static_cast<uint8_t>(code[i]));
  }
  void Bytes(const std::vector<uint8_t>& data) {
    bytes_.insert(bytes_.end(), data.begin(), data.end());
  }

  // Opens a chunk ("RIFF"/"LIST" take a form type); answers where its size goes.
  size_t Open(const char* id, const char* form = nullptr) {
    FourCC(id);
    const size_t at = bytes_.size();
    U32(0);
    if (form != nullptr) FourCC(form);
    return at;
  }
  // Patches the size and pads the chunk to an even length.
  void Close(size_t at) {
    const uint32_t size = static_cast<uint32_t>(bytes_.size() - at - 4);
    for (int i = 0; i < 4; ++i)
      bytes_[at + static_cast<size_t>(i)] = static_cast<uint8_t>(size >> (8 * i));
    if (bytes_.size() % 2 != 0) U8(0);
  }
  size_t Size() const { return bytes_.size(); }
  const std::vector<uint8_t>& Data() const { return bytes_; }

 private:
  std::vector<uint8_t> bytes_;
};

std::vector<uint8_t> BuildAvi() {
  std::vector<std::vector<uint8_t>> frames;
  uint32_t largest = 0;
  for (int f = 0; f < kFrames; ++f) {
    frames.push_back(EncodeRle8(DrawFrame(f)));
    largest = std::max(largest, static_cast<uint32_t>(frames.back().size()));
  }
  // The control reads this many bytes for every frame: room for the largest.
  const uint32_t buffer_size = (largest + 1) & ~1u;

  RiffWriter w;
  const size_t riff = w.Open("RIFF", "AVI ");
  const size_t hdrl = w.Open("LIST", "hdrl");
  const size_t avih = w.Open("avih");
  w.U32(kMicrosecondsPerFrame);
  w.U32(buffer_size * 1000000 / kMicrosecondsPerFrame);  // max bytes per second
  w.U32(0);                                              // padding granularity
  w.U32(0x10);                                           // AVIF_HASINDEX
  w.U32(kFrames);
  w.U32(0);  // initial frames
  w.U32(1);  // streams
  w.U32(buffer_size);
  w.U32(kWidth);
  w.U32(kHeight);
  for (int i = 0; i < 4; ++i) w.U32(0);
  w.Close(avih);

  const size_t strl = w.Open("LIST", "strl");
  const size_t strh = w.Open("strh");
  w.FourCC("vids");
  w.U32(0);  // no handler: the control draws run-length bitmaps itself
  w.U32(0);  // flags
  w.U16(0);  // priority
  w.U16(0);  // language
  w.U32(0);  // initial frames
  w.U32(1);  // scale
  w.U32(1000000 / kMicrosecondsPerFrame);  // rate: frames per second
  w.U32(0);                                // start
  w.U32(kFrames);
  w.U32(buffer_size);
  w.U32(0xFFFFFFFFu);  // quality: default
  w.U32(0);            // sample size: varies
  w.U16(0);
  w.U16(0);
  w.U16(kWidth);
  w.U16(kHeight);
  w.Close(strh);
  const size_t strf = w.Open("strf");
  w.U32(40);  // BITMAPINFOHEADER
  w.U32(kWidth);
  w.U32(kHeight);  // positive: bottom-up rows
  w.U16(1);        // planes
  w.U16(8);        // bits per pixel
  w.U32(1);        // BI_RLE8
  w.U32(buffer_size);
  w.U32(0);
  w.U32(0);
  w.U32(256);  // colours used
  w.U32(0);
  for (int i = 0; i < 256; ++i) {
    const bool used = i < static_cast<int>(sizeof kPalette / sizeof kPalette[0]);
    w.U8(used ? kPalette[i][2] : 0);  // blue, green, red, reserved
    w.U8(used ? kPalette[i][1] : 0);
    w.U8(used ? kPalette[i][0] : 0);
    w.U8(0);
  }
  w.Close(strf);
  w.Close(strl);
  w.Close(hdrl);

  const size_t movi = w.Open("LIST", "movi");
  const size_t movi_type = movi + 4;  // index offsets count from the "movi" type
  std::vector<uint32_t> offsets;
  for (const std::vector<uint8_t>& frame : frames) {
    offsets.push_back(static_cast<uint32_t>(w.Size() - movi_type));
    const size_t chunk = w.Open("00dc");
    w.Bytes(frame);
    w.Close(chunk);
  }
  w.Close(movi);

  const size_t idx1 = w.Open("idx1");
  for (size_t f = 0; f < frames.size(); ++f) {
    w.FourCC("00dc");
    w.U32(0x10);  // AVIIF_KEYFRAME
    w.U32(offsets[f]);
    w.U32(static_cast<uint32_t>(frames[f].size()));
  }
  w.Close(idx1);
  w.Close(riff);
  return w.Data();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_animation OUT.avi\n");
    return 2;
  }
  const std::vector<uint8_t> avi = BuildAvi();
  std::FILE* out = std::fopen(argv[1], "wb");
  if (out == nullptr) {
    std::fprintf(stderr, "make_animation: cannot write %s\n", argv[1]);
    return 1;
  }
  const bool written = std::fwrite(avi.data(), 1, avi.size(), out) == avi.size();
  if (std::fclose(out) != 0 || !written) {
    std::fprintf(stderr, "make_animation: cannot write %s\n", argv[1]);
    return 1;
  }
  return 0;
}
