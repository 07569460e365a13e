#include "remote/audio_period.h"

#include <gtest/gtest.h>
#include <opus/opus.h>

#include <cmath>
#include <memory>
#include <numbers>
#include <vector>

namespace {
struct OpusPair {
  OpusPair() {
    int err = 0;
    encoder = opus_encoder_create(48000, 2, OPUS_APPLICATION_AUDIO, &err);
    decoder = opus_decoder_create(48000, 2, &err);
  }
  ~OpusPair() {
    opus_encoder_destroy(encoder);
    opus_decoder_destroy(decoder);
  }
  // An encoded period of `frames` stereo frames of a 1 kHz tone.
  std::vector<uint8_t> Packet(int frames) {
    std::vector<int16_t> pcm(size_t(frames) * 2);
    for (int i = 0; i < frames; i++)
      pcm[2 * i] = pcm[2 * i + 1] =
          int16_t(3000 * std::sin(2 * std::numbers::pi * 1000 * i / 48000));
    std::vector<uint8_t> packet(4000);
    packet.resize(size_t(opus_encode(encoder, pcm.data(), frames, packet.data(), 4000)));
    return packet;
  }
  OpusEncoder *encoder;
  OpusDecoder *decoder;
};

std::vector<int16_t> PlaybackBuffer() {
  return std::vector<int16_t>(size_t(AUDIO_PLAYBACK_FRAMES_MAX) * 2, 7);
}
}  // namespace

TEST(AudioPeriod, PeriodsFitTheCaptureBufferAndTheCodec) {
  EXPECT_EQ(ValidAudioPeriod(480, false), 480);
  EXPECT_EQ(ValidAudioPeriod(720, false), 720);         // any size without compression
  EXPECT_EQ(ValidAudioPeriod(999 * 240, false), 5120);  // the largest Multiplier
  EXPECT_EQ(ValidAudioPeriod(0, false), 240);
  EXPECT_EQ(ValidAudioPeriod(720, true), 480);  // not an Opus frame size
  EXPECT_EQ(ValidAudioPeriod(2880, true), 2880);
  EXPECT_EQ(ValidAudioPeriod(999 * 240, true), 2880);
  EXPECT_EQ(ValidAudioPeriod(60, true), 120);
}

TEST(AudioPeriod, MonoSamplesBecomeBothChannelsOfTheirFrame) {
  std::vector<int16_t> s = {1, 2, 3, 0, 0, 0};
  WidenMono(s.data(), 3);
  EXPECT_EQ(s, (std::vector<int16_t>{1, 1, 2, 2, 3, 3}));
}

TEST(AudioPeriod, RawPacketsPlayWholeFramesAndNeverOverrunTheBuffer) {
  std::vector<int16_t> out = PlaybackBuffer();
  std::vector<uint8_t> packet(1920, 0x11);
  EXPECT_EQ(PacketToFrames(packet.data(), packet.size(), nullptr, 480, out.data()), 480);
  EXPECT_EQ(out[959], 0x1111);
  EXPECT_EQ(out[960], 7);
  packet.assign(7, 0x22);  // a frame and three stray bytes
  EXPECT_EQ(PacketToFrames(packet.data(), packet.size(), nullptr, 480, out.data()), 1);
  EXPECT_EQ(out[2], 0x1111);
  // A peer's packet longer than any period is cut to the buffer.
  packet.assign(65000, 0x33);
  EXPECT_EQ(PacketToFrames(packet.data(), packet.size(), nullptr, 480, out.data()),
            AUDIO_PLAYBACK_FRAMES_MAX);
}

TEST(AudioPeriod, OpusPacketsOfAnyPeriodDecodeAndABrokenOneIsAPeriodOfSilence) {
  OpusPair opus;
  std::vector<int16_t> out = PlaybackBuffer();
  std::vector<uint8_t> packet = opus.Packet(480);
  EXPECT_EQ(PacketToFrames(packet.data(), packet.size(), opus.decoder, 480, out.data()), 480);
  // A peer with another Multiplier: longer periods than this unit's.
  packet = opus.Packet(2880);
  EXPECT_EQ(PacketToFrames(packet.data(), packet.size(), opus.decoder, 480, out.data()), 2880);
  const uint8_t broken[] = {0xFF, 0x00};  // code 3 with no frames
  EXPECT_EQ(PacketToFrames(broken, sizeof broken, opus.decoder, 480, out.data()), 480);
  EXPECT_TRUE(std::all_of(out.begin(), out.begin() + 960, [](int16_t v) { return v == 0; }));
  packet = opus.Packet(480);
  EXPECT_EQ(PacketToFrames(packet.data(), packet.size(), opus.decoder, 480, out.data()), 480);
}

TEST(AudioPeriod, QueuedAudioBeyondTheLimitIsThrownAwayOnceAndTrackingRestarts) {
  PlaybackFill fill;
  const long empty = 20480;
  EXPECT_EQ(TrackPlaybackFill(fill, -32), FillAction::Write);  // an underrun reads as nothing
  EXPECT_EQ(fill.free1, 0);
  EXPECT_EQ(TrackPlaybackFill(fill, empty), FillAction::Write);
  EXPECT_EQ(fill.free1, empty);
  EXPECT_EQ(TrackPlaybackFill(fill, empty - AUDIO_FILL_LIMIT), FillAction::Write);
  EXPECT_EQ(TrackPlaybackFill(fill, empty - 480), FillAction::Write);  // the lowest counts
  EXPECT_EQ(fill.minfree, empty - AUDIO_FILL_LIMIT);
  EXPECT_EQ(TrackPlaybackFill(fill, empty - AUDIO_FILL_LIMIT - 1), FillAction::Reset);
  EXPECT_EQ(fill.minfree, empty);
  EXPECT_EQ(TrackPlaybackFill(fill, empty), FillAction::Write);
  EXPECT_EQ(TrackPlaybackFill(fill, 0), FillAction::Write);  // a full device is no reading
  EXPECT_EQ(fill.minfree, empty);
}
