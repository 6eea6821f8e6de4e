#include <windows.h>

#include "platform/tone_player.h"

namespace quorin::platform {
namespace {

class BeepTonePlayer : public TonePlayer {
 public:
  void Play(int frequencyHz, int durationMs) override {
    if (frequencyHz < 37 || frequencyHz > 32767 || durationMs <= 0)
      return;
    ::Beep(static_cast<DWORD>(frequencyHz), static_cast<DWORD>(durationMs));
  }
};

}  // namespace

TonePlayer& SystemTonePlayer() {
  static BeepTonePlayer player;
  return player;
}

}  // namespace quorin::platform
