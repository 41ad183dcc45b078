#pragma once
// Stream processors: sources that wrap another (inner) source and change its
// audio on the way through, and the descriptors that make them. Both work in
// fixed point on buffers allocated at construction.
#include <cstdint>
#include <vector>

#include "sound/sound_stream.h"

// Holds the inner source for as long as the processor lives; position and
// length are the inner source's unless a processor says otherwise.
class LSoundFilterBase : public LSoundSourceBase {
 public:
  explicit LSoundFilterBase(const LSoundSourceRef& inner);
  int GetPosition() override { return inner_->GetPosition(); }
  int GetLength() override { return inner_->GetLength(); }
  void Seek(int position) override { inner_->Seek(position); }

 protected:
  LSoundSourceRef inner_;
};

// The way of wrapping a source, held apart from the source it will wrap.
class LSoundProcessor {
 public:
  virtual ~LSoundProcessor() = default;
  // A new processor over source, or source itself when nothing needs doing.
  virtual LSoundSourceRef Open(const LSoundSourceRef& source) const = 0;
};

constexpr uint32_t kPeakLimitMax = 0x3FFFFF;

// Keeps every sample within the limit by a gain that looks one block (about
// 29 ms) ahead and moves linearly across each block. Material that never
// exceeds the limit passes through bit for bit.
class LSRCPeakLimit : public LSoundFilterBase {
 public:
  LSRCPeakLimit(const LSoundSourceRef& inner, uint32_t limit);
  void Read(int32_t* buffer, int frames) override;
  int GetPosition() override;
  void Seek(int position) override;

  int BlockFrames() const { return block_; }
  // limit / peak in 8.24 fixed point, or 1.0 (0x1000000) when peak <= limit.
  static uint32_t BlockGain(uint32_t peak, uint32_t limit);

 private:
  void FillFromStart();
  void NextBlock();
  void ReadBlock(int which);  // into buffer slot which, its gain into gains_[which + 1]
  void SetUpRamp();

  int32_t block_;
  int32_t index_;
  std::vector<int32_t> buffers_[3];
  int order_[3] = {0, 1, 2};  // buffers_ slot holding B0, B1, B2
  uint32_t gains_[4] = {};    // before B0, B0, B1, B2
  uint32_t gain_ = 0x1000000;
  int32_t step_ = 0;
};

// Plays the inner source faster, slower or backward with its pitch kept:
// each output block of about 11 ms plays the continuation of the previous
// snippet for its first half and crossfades into a new snippet over its
// second half; the new snippet starts `advance` samples after the last one.
class LSRCTimeStretch : public LSoundFilterBase {
 public:
  LSRCTimeStretch(const LSoundSourceRef& inner, double startSpeed, double endSpeed, int32_t rampMilliseconds);
  void Read(int32_t* buffer, int frames) override;
  int GetPosition() override;
  int GetLength() override;
  void Seek(int position) override;

  int BlockSamples() const { return blockLength_; }

 private:
  void Start(int64_t framePosition);
  void NextBlock();
  // Makes x[from, to) (sample indexes) present in the cache.
  void Ensure(int64_t from, int64_t to);
  void Fetch(int64_t from, int64_t to, int32_t* out);  // from the inner source

  int32_t ch_;
  int32_t blockLength_;  // L, in samples
  std::vector<uint32_t> window_;
  int64_t advance_;
  int64_t targetAdvance_;
  int64_t rampRemaining_;
  int64_t startAdvance_;
  int64_t rampTotal_;
  int64_t nextA_ = 0, nextB_ = 0;  // segment starts of the next block
  int64_t currentB_ = 0;           // new-segment start of the block in out_
  int32_t outIndex_;               // next sample of out_ to deliver; L when used up
  std::vector<int32_t> out_;
  std::vector<int32_t> continuation_;
  std::vector<int32_t> cache_;  // x[cacheStart_, cacheStart_ + cacheUsed_)
  int64_t cacheStart_ = 0;
  int64_t cacheUsed_ = 0;
  int64_t innerPosition_ = INT64_MIN;  // where the inner source reads next, as far as known
};

class LPeakLimitProcessor : public LSoundProcessor {
 public:
  explicit LPeakLimitProcessor(uint32_t limit = kSampleFullScale) : limit(limit) {}
  LSoundSourceRef Open(const LSoundSourceRef& source) const override;
  uint32_t limit;
};

class LTimeStretchProcessor : public LSoundProcessor {
 public:
  LTimeStretchProcessor(double startSpeed, double endSpeed, int32_t rampMilliseconds)
      : startSpeed(startSpeed), endSpeed(endSpeed), rampMilliseconds(rampMilliseconds) {}
  LSoundSourceRef Open(const LSoundSourceRef& source) const override;
  double startSpeed;
  double endSpeed;
  int32_t rampMilliseconds;
};

// Slow replay with the pitch kept, for tempos from 0.5 to 1.0: overlapping
// Hann-windowed segments of about 30 ms, each taken from where the input
// best continues the previous one (searched over +-10 ms around the place
// the tempo asks for), so waveforms join without phase jumps. Positions and
// lengths are in output frames: input frame = output frame x tempo.
class LSRCTempo : public LSoundFilterBase {
 public:
  LSRCTempo(const LSoundSourceRef& inner, double tempo);
  void Read(int32_t* buffer, int frames) override;
  int GetPosition() override;
  int GetLength() override;
  void Seek(int position) override;

  double Tempo() const { return tempo_; }

 private:
  void Start(int64_t outputFrame);
  void NextFrame();
  // Makes input frames [from, to) present in the cache; from never goes back
  // except after Start.
  void Ensure(int64_t from, int64_t to);
  int64_t BestStart(int64_t ideal);

  int32_t ch_;
  int32_t hop_;     // output frames per step; a segment is 2 hops
  int32_t search_;  // frames either side of the ideal start
  int32_t coarse_;  // offset and sample step of the first, rough search
  double tempo_;
  std::vector<float> window_;
  std::vector<float> tail_;  // the previous segment's windowed second half
  std::vector<int32_t> out_;
  int32_t outIndex_ = 0;  // next frame of out_ to deliver; hop_ when used up
  int64_t originOut_ = 0, originIn_ = 0;
  int64_t steps_ = 0;         // segments placed since Start
  int64_t previous_ = 0;      // input start of the last segment
  std::vector<float> cache_;  // interleaved input frames [cacheStart_, cacheStart_ + cacheFrames_)
  std::vector<float> mono_;   // their channel sum, for the search
  int64_t cacheStart_ = 0, cacheFrames_ = 0;
  int64_t innerNext_ = INT64_MIN;  // where the inner source reads next, as far as known
  std::vector<int32_t> readBuffer_;
  std::vector<float> coarseTarget_, coarseBase_;  // every coarse_-th sample, for the rough search
  std::vector<double> coarseEnergy_;              // running sums of coarseBase_ squared
};

class LTempoProcessor : public LSoundProcessor {
 public:
  explicit LTempoProcessor(double tempo) : tempo(tempo) {}
  // The source itself at a tempo of 1.0 or more (nothing to slow down).
  LSoundSourceRef Open(const LSoundSourceRef& source) const override;
  double tempo;
};
