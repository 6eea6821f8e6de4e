#include <chrono>
#include <stop_token>

#include "platform/clock.h"
#include "platform/tone_player.h"

namespace quorin::platform {
namespace {

class SilentTonePlayer : public TonePlayer {
 public:
  void Play(int /*frequencyHz*/, int durationMs) override {
    WaitRealTime(std::chrono::milliseconds(durationMs), std::stop_token());
  }
};

}  // namespace

TonePlayer& SystemTonePlayer() {
  static SilentTonePlayer player;
  return player;
}

}  // namespace quorin::platform
