#include <chrono>

#include "platform/clock.h"
#include "platform/stop_token.h"
#include "platform/tone_player.h"

namespace quorin::platform {
namespace {

class SilentTonePlayer : public TonePlayer {
 public:
  void Play(int /*frequencyHz*/, int durationMs) override {
    WaitRealTime(std::chrono::milliseconds(durationMs), StopToken());
  }
};

}  // namespace

TonePlayer& SystemTonePlayer() {
  static SilentTonePlayer player;
  return player;
}

}  // namespace quorin::platform
