// Checks the generated sound and icon files at the byte level. PlaySound and
// LoadImage fail silently on a malformed header, so a bad regeneration would
// otherwise only show up as a mute alarm or a blank window icon.

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#ifndef VANTOREL_RESOURCE_DIR
#error "VANTOREL_RESOURCE_DIR must name the resources directory"
#endif

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes ReadResource(const char* name) {
  const std::string path = std::string(VANTOREL_RESOURCE_DIR) + "/" + name;
  Bytes bytes;
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) return bytes;
  std::uint8_t buffer[4096];
  std::size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0)
    bytes.insert(bytes.end(), buffer, buffer + n);
  std::fclose(f);
  return bytes;
}

std::uint32_t U16(const Bytes& b, std::size_t at) {
  return static_cast<std::uint32_t>(b.at(at)) | static_cast<std::uint32_t>(b.at(at + 1)) << 8;
}

std::uint32_t U32(const Bytes& b, std::size_t at) {
  return U16(b, at) | U16(b, at + 2) << 16;
}

std::string Tag(const Bytes& b, std::size_t at) {
  return std::string(reinterpret_cast<const char*>(&b.at(at)), 4);
}

struct Chunk {
  std::string id;
  std::size_t offset;  // of the payload
  std::uint32_t size;
};

// Walks the chunks of a RIFF WAVE file. Fails the test if any size disagrees
// with the file length: players trust these sizes when seeking.
std::vector<Chunk> WaveChunks(const Bytes& b) {
  std::vector<Chunk> chunks;
  if (b.size() < 12) {
    ADD_FAILURE() << "file is only " << b.size() << " bytes";
    return chunks;
  }
  EXPECT_EQ(Tag(b, 0), "RIFF");
  EXPECT_EQ(Tag(b, 8), "WAVE");
  EXPECT_EQ(U32(b, 4) + 8u, b.size()) << "RIFF size does not match the file";
  std::size_t at = 12;
  while (at < b.size()) {
    if (b.size() - at < 8) {
      ADD_FAILURE() << "truncated chunk header at " << at;
      break;
    }
    const Chunk c{Tag(b, at), at + 8, U32(b, at + 4)};
    const std::size_t padded = c.size + (c.size & 1u);
    if (b.size() - c.offset < padded) {
      ADD_FAILURE() << "chunk '" << c.id << "' runs past the end of the file";
      break;
    }
    chunks.push_back(c);
    at = c.offset + padded;
  }
  return chunks;
}

const Chunk* Find(const std::vector<Chunk>& chunks, const std::string& id) {
  for (const Chunk& c : chunks) {
    if (c.id == id) return &c;
  }
  return nullptr;
}

// 8 kHz mono at 16 kbit/s: MPEG-2.5 Layer III, 576 samples and 144 bytes per frame.
constexpr std::uint32_t kMp3FrameBytes = 144;
constexpr std::uint32_t kMp3FrameSamples = 576;

TEST(ResourceFilesTest, AlarmIsMpegLayer3Wave) {
  const Bytes b = ReadResource("alarm.wav");
  ASSERT_FALSE(b.empty()) << "cannot read alarm.wav";
  const std::vector<Chunk> chunks = WaveChunks(b);
  const Chunk* fmt = Find(chunks, "fmt ");
  const Chunk* fact = Find(chunks, "fact");
  const Chunk* data = Find(chunks, "data");
  ASSERT_NE(fmt, nullptr);
  ASSERT_NE(fact, nullptr) << "compressed WAVE data needs a fact chunk";
  ASSERT_NE(data, nullptr);
  EXPECT_LT(fmt->offset, data->offset) << "fmt must come before data";

  ASSERT_GE(fmt->size, 30u) << "MPEGLAYER3WAVEFORMAT is 30 bytes";
  const std::size_t f = fmt->offset;
  EXPECT_EQ(U16(b, f + 0), 85u) << "format tag";
  EXPECT_EQ(U16(b, f + 2), 1u) << "channels";
  EXPECT_EQ(U32(b, f + 4), 8000u) << "sample rate";
  EXPECT_EQ(U32(b, f + 8), 2000u) << "average bytes per second";
  EXPECT_EQ(U16(b, f + 16), 12u) << "extension size";
  EXPECT_EQ(U16(b, f + 18), 1u) << "MPEG id";
  EXPECT_EQ(U16(b, f + 24), kMp3FrameBytes) << "block size";
  EXPECT_EQ(U16(b, f + 26), 1u) << "frames per block";

  ASSERT_GE(fact->size, 4u);
  const std::uint32_t samples = U32(b, fact->offset);
  EXPECT_EQ(samples, 21888u);

  // Every frame must be a plain audio frame with the advertised format; a
  // stray tag or info frame would be fed to the codec as audio.
  ASSERT_GT(data->size, 0u);
  EXPECT_EQ(data->size % kMp3FrameBytes, 0u);
  EXPECT_EQ(data->size / kMp3FrameBytes * kMp3FrameSamples, samples)
      << "fact does not match the number of frames";
  for (std::uint32_t at = 0; at + 4 <= data->size; at += kMp3FrameBytes) {
    const std::size_t p = data->offset + at;
    const std::uint32_t header = static_cast<std::uint32_t>(b[p]) << 24 |
                                 static_cast<std::uint32_t>(b[p + 1]) << 16 |
                                 static_cast<std::uint32_t>(b[p + 2]) << 8 | b[p + 3];
    SCOPED_TRACE("frame at data offset " + std::to_string(at));
    ASSERT_EQ(header >> 21, 0x7FFu) << "no frame sync";
    EXPECT_EQ(header >> 19 & 3u, 0u) << "not MPEG-2.5";
    EXPECT_EQ(header >> 17 & 3u, 1u) << "not Layer III";
    EXPECT_EQ(header >> 12 & 15u, 2u) << "not 16 kbit/s";
    EXPECT_EQ(header >> 10 & 3u, 2u) << "not 8000 Hz";
    EXPECT_EQ(header >> 9 & 1u, 0u) << "padded frame would not be 144 bytes";
    EXPECT_EQ(header >> 6 & 3u, 3u) << "not mono";
  }
}

TEST(ResourceFilesTest, TickIs8BitPcmWave) {
  const Bytes b = ReadResource("tick.wav");
  ASSERT_FALSE(b.empty()) << "cannot read tick.wav";
  const std::vector<Chunk> chunks = WaveChunks(b);
  const Chunk* fmt = Find(chunks, "fmt ");
  const Chunk* data = Find(chunks, "data");
  ASSERT_NE(fmt, nullptr);
  ASSERT_NE(data, nullptr);
  EXPECT_LT(fmt->offset, data->offset) << "fmt must come before data";

  ASSERT_EQ(fmt->size, 16u);
  const std::size_t f = fmt->offset;
  EXPECT_EQ(U16(b, f + 0), 1u) << "format tag";
  EXPECT_EQ(U16(b, f + 2), 1u) << "channels";
  EXPECT_EQ(U32(b, f + 4), 8000u) << "sample rate";
  EXPECT_EQ(U32(b, f + 8), 8000u) << "average bytes per second";
  EXPECT_EQ(U16(b, f + 12), 1u) << "block align";
  EXPECT_EQ(U16(b, f + 14), 8u) << "bits per sample";
  EXPECT_EQ(data->size, 468u);
}

TEST(ResourceFilesTest, IconStartsWith32x32SixteenColourImage) {
  const Bytes b = ReadResource("vantorel.ico");
  ASSERT_GE(b.size(), 6u + 16u) << "cannot read vantorel.ico";
  EXPECT_EQ(U16(b, 0), 0u) << "reserved";
  EXPECT_EQ(U16(b, 2), 1u) << "type is not icon";
  const std::uint32_t count = U16(b, 4);
  ASSERT_GE(count, 1u);
  ASSERT_GE(b.size(), 6u + 16u * count) << "directory is truncated";
  for (std::uint32_t i = 0; i < count; ++i) {
    const std::size_t e = 6 + 16 * i;
    const std::uint32_t size = U32(b, e + 8);
    const std::uint32_t offset = U32(b, e + 12);
    EXPECT_GE(offset, 6u + 16u * count) << "image " << i << " overlaps the directory";
    EXPECT_LE(static_cast<std::uint64_t>(offset) + size, b.size())
        << "image " << i << " runs past the end of the file";
  }

  EXPECT_EQ(b[6], 32u) << "width";
  EXPECT_EQ(b[7], 32u) << "height";
  EXPECT_EQ(b[8], 16u) << "colour count";
  EXPECT_EQ(U16(b, 6 + 4), 1u) << "planes";
  EXPECT_EQ(U16(b, 6 + 6), 4u) << "bits per pixel";
  // Header, 16-entry palette, 4-bit pixels, 1-bit mask: 32-pixel rows are
  // already DWORD-aligned in both.
  const std::uint32_t size = U32(b, 6 + 8);
  EXPECT_EQ(size, 40u + 16u * 4u + 32u * 16u + 32u * 4u);
  const std::size_t dib = U32(b, 6 + 12);
  ASSERT_LE(dib + 40, b.size());
  EXPECT_EQ(U32(b, dib + 0), 40u) << "not a BITMAPINFOHEADER";
  EXPECT_EQ(U32(b, dib + 4), 32u) << "bitmap width";
  EXPECT_EQ(U32(b, dib + 8), 64u) << "bitmap height must cover image and mask";
  EXPECT_EQ(U16(b, dib + 12), 1u) << "bitmap planes";
  EXPECT_EQ(U16(b, dib + 14), 4u) << "bitmap bits per pixel";
  EXPECT_EQ(U32(b, dib + 16), 0u) << "compressed bitmap";
}

}  // namespace
