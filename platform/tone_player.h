// Short tones through the machine's speaker, for the alert sweep that tells a user without an
// address (a dial-up user, typically) to look at the connection.
#pragma once

namespace quorin::platform {

class TonePlayer {
 public:
  virtual ~TonePlayer() = default;
  // Plays a tone of `frequencyHz` for `durationMs` and returns when it has ended.
  virtual void Play(int frequencyHz, int durationMs) = 0;
};

// Windows: the system's Beep. Elsewhere there is no speaker to drive: the tone is silent but
// takes its time, so a sweep lasts as long as it would on Windows.
TonePlayer& SystemTonePlayer();

}  // namespace quorin::platform
