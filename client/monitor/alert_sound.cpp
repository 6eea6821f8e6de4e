#include "client/monitor/alert_sound.h"

namespace quorin::client {

void AlertSound(int count, platform::TonePlayer& player) {
  for (int sweep = 0; sweep < count; ++sweep) {
    for (int frequency = kSweepFirstHz; frequency < kSweepEndHz; frequency += kSweepStepHz) {
      player.Play(frequency, kSweepToneMs);
    }
  }
}

}  // namespace quorin::client
