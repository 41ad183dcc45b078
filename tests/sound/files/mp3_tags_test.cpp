// MP3 files as music libraries and downloads have them: tags or junk before
// and tags after the audio, and the end found exactly without an information frame.
#include <gtest/gtest.h>

#include <random>

#include "platform/little_endian.h"
#include "tests/sound/files/mp3_fixtures.h"
#include "tests/support/memory_audio.h"

namespace {

using testsupport::ReadFileBytes;
using testsupport::TempFolder;
using testsupport::WriteFileBytes;

using mp3test::Append;
void Append(std::vector<uint8_t>& to, const std::string& text) { to.insert(to.end(), text.begin(), text.end()); }

// Big-endian, in ID3v2.4 and in ID3v2 headers sync-safe (7 bits a byte).
void Put32(std::vector<uint8_t>& to, uint32_t v, bool syncSafe) {
  for (int i = 3; i >= 0; --i) to.push_back(uint8_t(syncSafe ? (v >> (7 * i)) & 0x7F : v >> (8 * i)));
}

// Picture bytes full of false frame syncs of the test stream's own kind:
// decoded as frames they would be loud noise.
std::vector<uint8_t> Picture(size_t size, unsigned seed) {
  std::mt19937 random(seed);
  std::vector<uint8_t> out(size);
  for (auto& b : out) b = uint8_t(random());
  const uint8_t sync[4] = {0xFF, 0xFB, 0x90, 0x04};  // MPEG-1 Layer III, 128 kbit/s, 44.1 kHz, stereo
  for (size_t at = 100; at + 4 < size; at += 1500) std::copy(sync, sync + 4, out.begin() + long(at));
  return out;
}

std::vector<uint8_t> Id3v2(int major, size_t pictureBytes, bool footer) {
  std::vector<uint8_t> apic{0}, frames;
  Append(apic, std::string("image/jpeg"));
  apic.insert(apic.end(), {0, 3, 0});
  Append(apic, Picture(pictureBytes, unsigned(pictureBytes)));
  Append(frames, std::string("APIC"));
  Put32(frames, uint32_t(apic.size()), major >= 4);
  frames.insert(frames.end(), {0, 0});
  Append(frames, apic);
  frames.resize(frames.size() + 512, 0);  // padding
  auto head = [&](const char* magic) {
    std::vector<uint8_t> h{uint8_t(magic[0]),         uint8_t(magic[1]), uint8_t(magic[2]), uint8_t(major), 0,
                           uint8_t(footer ? 0x10 : 0)};
    Put32(h, uint32_t(frames.size()), true);
    return h;
  };
  std::vector<uint8_t> tag = head("ID3");
  Append(tag, frames);
  if (footer) Append(tag, head("3DI"));
  return tag;
}

// An ID3v1 tag whose title holds a false sync of a small frame that would
// otherwise decode as one more frame of silence.
std::vector<uint8_t> Id3v1() {
  std::vector<uint8_t> tag(128, 0);
  std::copy_n("TAG", 3, tag.begin());
  const uint8_t sync[4] = {0xFF, 0xFB, 0x10, 0x04};  // 32 kbit/s: 104 bytes, all within the tag
  std::copy(sync, sync + 4, tag.begin() + 3);
  return tag;
}

std::vector<uint8_t> Ape() {
  std::vector<uint8_t> items;
  LeAppend32(items, 1000);
  LeAppend32(items, 2);  // binary
  Append(items, std::string("Cover Art (Front)"));
  items.push_back(0);
  Append(items, Picture(1000, 9));
  auto block = [&](uint32_t flags) {
    std::vector<uint8_t> b;
    Append(b, std::string("APETAGEX"));
    for (uint32_t v : {2000u, uint32_t(items.size() + 32), 1u, flags}) LeAppend32(b, v);
    b.resize(b.size() + 8, 0);
    return b;
  };
  std::vector<uint8_t> tag = block(0xA0000000u);  // header present, this is the header
  Append(tag, items);
  Append(tag, block(0x80000000u));
  return tag;
}

struct Tagging {
  const char* name;
  int major;  // 0: no tag at the front
  size_t picture;
  bool footer, ape, id3v1;
  size_t junk = 0;  // bytes of junk before the tag or the first frame
};

// Samples and the length seen after every read.
struct Decoded {
  std::vector<int32_t> samples;
  std::vector<int> lengths;
};

Decoded Decode(const std::string& path, int block) {
  Decoded out;
  LMP3Source source(path);
  EXPECT_EQ(source.error, kSoundOk);
  out.samples = testsupport::ReadToEnd(source, block, &out.lengths);
  // The end is where the reading stopped, not behind it.
  EXPECT_EQ(source.GetPosition(), source.GetLength());
  return out;
}

const Tagging kTaggings[] = {
    {"cover_300k", 3, 300000, false, false, false},
    {"cover_20k_v24_footer", 4, 20000, true, false, false},
    {"id3v1", 0, 0, false, false, true},
    {"ape_and_id3v1", 0, 0, false, true, true},
    {"all", 3, 150000, false, true, true},
    {"junk_10k", 0, 0, false, false, false, 10000},
};

// A tagged file decodes exactly like the same audio without tags, and its
// length moves in the same steps while it plays.
TEST(MP3Tags, DecodeLikeTheUntaggedAudio) {
  REQUIRE_COMMAND("lame");
  TempFolder folder;
  for (const char* options : {"-t -b 128", "-V 3"}) {
    ASSERT_TRUE(mp3test::MakeMp3(folder.Path(), "clean.mp3", 44100, 2, 1.5, std::string("-m s ") + options));
    const std::vector<uint8_t> clean = ReadFileBytes(folder.File("clean.mp3"));
    const Decoded want = Decode(folder.File("clean.mp3"), 1000);
    ASSERT_GT(want.samples.size(), size_t(44100 * 2));
    for (const Tagging& t : kTaggings) {
      SCOPED_TRACE(testing::Message() << t.name << " " << options);
      std::vector<uint8_t> tagged = mp3test::Junk(t.junk, 7);
      if (t.major) Append(tagged, Id3v2(t.major, t.picture, t.footer));
      Append(tagged, clean);
      if (t.ape) Append(tagged, Ape());
      if (t.id3v1) Append(tagged, Id3v1());
      ASSERT_TRUE(WriteFileBytes(folder.File("tagged.mp3"), tagged));

      const Decoded got = Decode(folder.File("tagged.mp3"), 1000);
      EXPECT_TRUE(got.samples == want.samples);
      if (t.junk) {  // junk, unlike a tag, counts in the estimate until the end is found
        EXPECT_EQ(got.lengths.back(), want.lengths.back());
      } else {
        EXPECT_EQ(got.lengths, want.lengths);
      }
      // Seeking finds the same frames.
      LMP3Source source(folder.File("tagged.mp3"));
      source.Seek(30000);
      std::vector<int32_t> block(2000 * 2);
      source.Read(block.data(), 2000);
      EXPECT_TRUE(std::equal(block.begin(), block.end(), want.samples.begin() + 60000));
    }
  }
}

// Without an information frame the length is estimated, yet a reader that
// stops where the length says gets every frame and nothing after them, also
// when the stream ends in frames much smaller than the average.
TEST(MP3TrueEnd, LengthSettlesOnTheLastFrame) {
  REQUIRE_COMMAND("lame");
  TempFolder folder;
  const int rate = 44100;
  std::vector<int16_t> pcm = mp3test::TestSignal(rate, 2, 1.0);
  pcm.resize(pcm.size() + size_t(rate) * 2 / 5, 0);  // a quiet end: the smallest frames
  ASSERT_TRUE(testsupport::WriteWav16(folder.File("in.wav"), rate, 2, pcm));
  for (const char* options : {"-t -V 0", "-t -b 160", "-t --abr 200"}) {
    ASSERT_TRUE(mp3test::Encode(folder.File("in.wav"), folder.File("e.mp3"), options));
    const int frames = int(mp3test::DecodeReference(folder.File("e.mp3")).Frames());
    for (int block : {1152, 1000, 4096})
      EXPECT_EQ(Decode(folder.File("e.mp3"), block).lengths.back(), frames) << options << ", blocks of " << block;
  }
}

}  // namespace
