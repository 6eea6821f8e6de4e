// The alert sweep played when no address can be found and the user asked for dial-up alerts:
// tones rising from 220 Hz in steps of 30 Hz to 1210 Hz (34 tones), 5 ms each.
#pragma once

#include "platform/tone_player.h"

namespace quorin::client {

inline constexpr int kSweepFirstHz = 220;
inline constexpr int kSweepStepHz = 30;
inline constexpr int kSweepEndHz = 1220;  // the first frequency not played
inline constexpr int kSweepToneMs = 5;

// Plays the sweep `count` times; nothing for a count of 0 or less.
void AlertSound(int count, platform::TonePlayer& player = platform::SystemTonePlayer());

}  // namespace quorin::client
