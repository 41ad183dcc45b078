// MP3 files as music libraries and downloads have them (tags or junk before
// and tags after the audio, the end found exactly without an information
// frame) and damaged: every case must end, stay inside its buffers (the
// sanitizer build checks that) and keep its samples within the source's range.
#include "sound/files/mp3_source.h"

#include <gtest/gtest.h>

#include <random>

#include "platform/little_endian.h"
#include "sound/files/mp3_frame_decoder.h"
#include "tests/sound/files/mp3_fixtures.h"

namespace {

using mp3test::Slice;

class MP3Damage : public ::testing::Test {
 protected:
  void SetUp() override {
    REQUIRE_COMMAND("lame");
    // Mono MPEG-1 without an information frame: the side information is 17 bytes after the header.
    ASSERT_TRUE(mp3test::MakeMp3(folder_.Path(), "clean.mp3", 44100, 1, 1.0, "-t -m m -b 64"));
    clean_ = testsupport::ReadFileBytes(folder_.File("clean.mp3"));
    frames_ = mp3test::SplitFrames(clean_);
    ASSERT_GT(frames_.size(), size_t(30));
    full_ = mp3test::DecodeRaw(folder_.File("clean.mp3"));
  }
  // Reads the bytes as a file to the end, within the source's range, and seeks once into the middle.
  std::vector<int32_t> Play(const std::vector<uint8_t>& bytes) {
    const std::string path = folder_.File("damaged" + std::to_string(count_++) + ".mp3");
    EXPECT_TRUE(testsupport::WriteFileBytes(path, bytes));
    LMP3Source source(path);
    const std::vector<int32_t> samples = testsupport::ReadToEnd(source, 1000);
    EXPECT_TRUE(std::all_of(samples.begin(), samples.end(),
                            [&](int32_t v) { return std::abs(v) <= int32_t(source.maxAmplitude); }));
    EXPECT_EQ(samples.size(), size_t(source.GetLength()));
    source.Seek(source.GetLength() / 2);
    source.Read(std::vector<int32_t>(2000).data(), 1000);
    return samples;
  }
  // Bit offset of a side-information field of frame i (granule 0 when gr is 0, else granule 1).
  size_t Field(size_t frame, int gr, int bit) const { return (frames_[frame].offset + 4) * 8 + 18 + gr * 59 + bit; }

  testsupport::TempFolder folder_;
  std::vector<uint8_t> clean_;
  std::vector<mp3test::FrameSpan> frames_;
  std::vector<int32_t> full_;
  int count_ = 0;
};

// What is left of a cut file, or of one with garbage between its frames, is
// the start of the whole decode (all of it for the garbage).
TEST_F(MP3Damage, TruncatedOrInterruptedFramesDecodeLikeTheWhole) {
  for (size_t cut : {frames_[10].offset + 2, frames_[20].offset + 4, frames_[20].offset + 30,
                     frames_.back().offset + 100, clean_.size() - 1}) {
    const std::vector<int32_t> samples = Play({clean_.begin(), clean_.begin() + long(cut)});
    ASSERT_GT(samples.size(), size_t(0));
    ASSERT_LE(samples.size(), full_.size());
    EXPECT_TRUE(std::equal(samples.begin(), samples.end(), full_.begin())) << cut;
  }
  std::vector<uint8_t> bytes = Slice(clean_, frames_, 0, 20);
  mp3test::Append(bytes, mp3test::Junk(333, 5));
  mp3test::Append(bytes, Slice(clean_, frames_, 20, frames_.size()));
  EXPECT_EQ(Play(bytes), full_);
}

// A stretch at another sample rate is skipped; the rest plays on.
TEST_F(MP3Damage, SkipsFramesOfAnotherSampleRate) {
  ASSERT_TRUE(mp3test::MakeMp3(folder_.Path(), "other.mp3", 48000, 1, 0.5, "-t -m m -b 64", 2));
  const std::vector<uint8_t> other = testsupport::ReadFileBytes(folder_.File("other.mp3"));
  const auto otherFrames = mp3test::SplitFrames(other);
  ASSERT_GT(otherFrames.size(), size_t(6));
  std::vector<uint8_t> mixed = Slice(clean_, frames_, 0, 10);
  mp3test::Append(mixed, Slice(other, otherFrames, 0, 6));
  mp3test::Append(mixed, Slice(clean_, frames_, 10, frames_.size()));
  // The 48 kHz frames leave no trace: the output is that of the 44.1 kHz stream alone.
  EXPECT_EQ(Play(mixed), full_);
}

// A stream cut out of the middle starts with frames whose main data lies in
// frames that are missing: those are skipped, the rest decodes.
TEST_F(MP3Damage, MainDataBeginBeforeTheReservoirSkipsTheFrame) {
  size_t first = 0;
  for (size_t i = 5; i < frames_.size() && !first; ++i)
    if (mp3test::GetBits(&clean_[frames_[i].offset + 4], 0, 9) > 0) first = i;
  ASSERT_GT(first, size_t(0)) << "no frame borrows from the reservoir";
  const size_t length = Play(Slice(clean_, frames_, first, frames_.size())).size();
  EXPECT_GT(length, size_t(0));
  EXPECT_LT(length, (frames_.size() - first) * 1152);
}

TEST_F(MP3Damage, SideInformationOutOfRange) {
  struct Patch {
    const char* what;
    int bit, count;
    uint32_t value;
  };
  // Offsets within a granule's fields: part2_3_length 0, big_values 12,
  // global_gain 21, scalefac_compress 29, window switching 33, table selects 34,
  // region counts 49 and 53.
  const Patch patches[] = {
      {"huffman data running far past the channel", 0, 12, 4095},
      {"huffman data cut short", 0, 12, 23},
      {"big_values beyond 288", 12, 9, 511},
      {"loudest gain and scale factors", 21, 12, 0xFFF},
      {"region counts at their maximum", 49, 7, 0x7F},
      {"tables 4 and 14 that do not exist", 34, 10, (4 << 5) | 14},
      {"window switching with block type 0", 33, 3, 4},
      {"short blocks, mixed, with large subblock gains", 33, 26, (1u << 25) | (2u << 23) | (1u << 22) | 0x1FF},
  };
  for (const Patch& p : patches) {
    SCOPED_TRACE(p.what);
    std::vector<uint8_t> bytes = clean_;
    for (size_t f = 3; f < frames_.size(); f += 3)
      for (int gr = 0; gr < 2; ++gr) mp3test::SetBits(bytes.data(), Field(f, gr, p.bit), p.count, p.value);
    EXPECT_GT(Play(bytes).size(), size_t(0));
  }
  // main_data_begin beyond everything decoded so far.
  std::vector<uint8_t> bytes = clean_;
  for (size_t f = 1; f < frames_.size(); f += 4) mp3test::SetBits(bytes.data(), (frames_[f].offset + 4) * 8, 9, 511);
  EXPECT_LT(Play(bytes).size(), full_.size());
}

// Missing and garbage files are the opener's test (AudioFileOpen).
TEST(LMP3Source, UnusableFilesReadSilence) {
  testsupport::TempFolder folder;
  ASSERT_TRUE(testsupport::WriteFileText(folder.File("text.mp3"), std::string(5000, 'x')));
  LMP3Source text(folder.File("text.mp3"));
  EXPECT_EQ(text.GetLength(), 0);
  std::vector<int32_t> block(100, 12345);
  text.Read(block.data(), 100);
  EXPECT_EQ(block, std::vector<int32_t>(100));
  EXPECT_EQ(text.GetPosition(), 100);

  // More than 65,535 bytes of junk before the first header: not found.
  std::vector<uint8_t> far = mp3test::Junk(70000, 3);
  mp3test::Append(far, {0xFF, 0xFB, 0x90, 0x64});
  far.resize(far.size() + 600, 0);
  ASSERT_TRUE(testsupport::WriteFileBytes(folder.File("far.mp3"), far));
  EXPECT_EQ(LMP3Source(folder.File("far.mp3")).error, kSoundBadFormat);
}

TEST(MP3FrameDecoder, UnderflowingReservoirGivesNoSamples) {
  MP3FrameDecoder decoder;
  decoder.Configure(0, 0, 1);
  MP3Header header;
  const uint8_t bytes[4] = {0xFF, 0xFB, 0x90, 0xC4};  // MPEG-1 mono 128 kbit/s
  ASSERT_EQ(header.Parse(bytes), nullptr);
  uint8_t side[32] = {0xFF, 0x80};  // main_data_begin 511
  std::vector<uint8_t> main(size_t(header.MainDataSize()), 0x55);
  std::vector<int32_t> out(1152, 7);
  EXPECT_EQ(decoder.DecodeFrame(header, side, main.data(), int(main.size()), out.data()), MP3FrameDecoder::kUnderflow);
  EXPECT_EQ(out[0], 7);
  // Main data larger than the reservoir cannot be a frame.
  std::vector<uint8_t> huge(MP3FrameDecoder::kReservoirSize + 1, 0);
  EXPECT_EQ(decoder.DecodeFrame(header, side, huge.data(), int(huge.size()), out.data()), MP3FrameDecoder::kDamaged);
  // With enough data behind it the same frame decodes (silence: all fields 0 but the pointer).
  for (int i = 0; i < 2; ++i) decoder.DecodeFrame(header, side, main.data(), int(main.size()), out.data());
  EXPECT_EQ(decoder.DecodeFrame(header, side, main.data(), int(main.size()), out.data()), MP3FrameDecoder::kDecoded);
  EXPECT_TRUE(std::all_of(out.begin(), out.end(), [](int32_t v) { return v == 0; }));
}

// Tags

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
  std::vector<uint8_t> apic, frames;
  Append(apic, std::string("\0image/jpeg\0\3\0", 14));  // text encoding, MIME type, picture type, description
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
  std::vector<uint8_t> tag{'T', 'A', 'G', 0xFF, 0xFB, 0x10, 0x04};  // 32 kbit/s: 104 bytes, all within the tag
  tag.resize(128, 0);
  return tag;
}

std::vector<uint8_t> Ape() {
  std::vector<uint8_t> items;
  for (uint32_t v : {1000u, 2u}) LeAppend32(items, v);  // the size, binary
  Append(items, std::string("Cover Art (Front)", 18));  // with its terminating 0
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

// Without an information frame (-t) the length is estimated, yet a reader
// that stops where the length says gets every frame and nothing after them,
// also when the stream ends in frames much smaller than the average. A tagged
// file decodes exactly like the same audio without tags, and its length moves
// in the same steps while it plays.
TEST(MP3Tags, LengthSettlesOnTheLastFrameAndTagsLeaveNoTrace) {
  REQUIRE_COMMAND("lame");
  testsupport::TempFolder folder;
  const std::string clean = folder.File("clean.mp3"), tagged = folder.File("tagged.mp3");
  std::vector<int16_t> pcm = mp3test::TestSignal(44100, 2, 1.0);
  pcm.resize(pcm.size() + size_t(44100) * 2 / 5, 0);  // a quiet end: the smallest frames
  ASSERT_TRUE(testsupport::WriteWav16(folder.File("in.wav"), 44100, 2, pcm));
  for (const char* options : {"-m s -t -b 128", "-m s -V 3", "-t -V 0", "-t --abr 200"}) {
    ASSERT_TRUE(mp3test::Encode(folder.File("in.wav"), clean, options));
    const int frames = int(mp3test::DecodeReference(clean).Frames());
    for (int block : {1152, 1000, 4096})
      EXPECT_EQ(Decode(clean, block).lengths.back(), frames) << options << ", blocks of " << block;
    const Decoded want = Decode(clean, 1000);
    ASSERT_GT(want.samples.size(), size_t(64000));
    for (const Tagging& t : kTaggings) {
      SCOPED_TRACE(testing::Message() << t.name << " " << options);
      std::vector<uint8_t> bytes = mp3test::Junk(t.junk, 7);
      if (t.major) Append(bytes, Id3v2(t.major, t.picture, t.footer));
      Append(bytes, testsupport::ReadFileBytes(clean));
      if (t.ape) Append(bytes, Ape());
      if (t.id3v1) Append(bytes, Id3v1());
      ASSERT_TRUE(testsupport::WriteFileBytes(tagged, bytes));
      const Decoded got = Decode(tagged, 1000);
      EXPECT_TRUE(got.samples == want.samples);
      if (t.junk) {  // junk, unlike a tag, counts in the estimate until the end is found
        EXPECT_EQ(got.lengths.back(), want.lengths.back());
      } else {
        EXPECT_EQ(got.lengths, want.lengths);
      }
      // Seeking finds the same frames.
      LSoundSourceRef source(new LMP3Source(tagged));
      source->Seek(30000);
      EXPECT_EQ(testsupport::ReadFrames(source, 2000),
                std::vector<int32_t>(want.samples.begin() + 60000, want.samples.begin() + 64000));
    }
  }
}

}  // namespace
