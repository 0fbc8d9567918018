// A player on the fakes: a scripted sound device, a clock that moves only when told and recorded
// message boxes, with the tone table filled and a typical timing (60/40 ms, 300 ms pauses).
#pragma once

#include "fakes.h"
#include "tone/player.h"

namespace calvento::test {

struct PlayerRig {
    FakeAudioOutput audio;
    FakeClock clock;
    RecordingUi ui;
    Player player{audio, clock, ui};
    PlayerRig() {
        FillToneTable(player.toneTable());
        player.timing().digitSeconds = 0.06;
        player.timing().gapSeconds = 0.04;
        player.timing().pauseSeconds = 0.3;
        ComputeSampleCounts(player.timing());
    }
};

}  // namespace calvento::test
