// A player on the fakes: a scripted sound device and a clock that moves only when told, with the
// tone table filled and a typical timing (60/40 ms, 300 ms pauses); recorded message boxes for
// the tests that show what a caller would.
#pragma once

#include "fakes.h"
#include "tone/player.h"

namespace calvento::test {

struct PlayerRig {
    FakeAudioOutput audio;
    FakeClock clock;
    RecordingUi ui;
    Player player{audio, clock};
    PlayerRig() {
        FillToneTable(player.toneTable());
        player.setDurations(60, 40, 300);
    }
};

}  // namespace calvento::test
