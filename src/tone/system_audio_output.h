// The audio backends of the platform the program is built for: Qt Multimedia on Linux
// (PulseAudio or PipeWire behind it), the waveform-audio API on Windows. The programs and the
// end-to-end tests create a SystemAudioOutput and a SystemAudioInput; everything else sees only
// the seams.
#pragma once

#ifdef _WIN32
#include "tone/winmm_audio_input.h"
#include "tone/winmm_audio_output.h"
#else
#include "tone/qt_audio_input.h"
#include "tone/qt_audio_output.h"
#endif

namespace calvento {

#ifdef _WIN32
using SystemAudioOutput = WinmmAudioOutput;
using SystemAudioInput = WinmmAudioInput;
#else
using SystemAudioOutput = QtAudioOutput;
using SystemAudioInput = QtAudioInput;
#endif

// How many sound input devices the system offers (the receiver's audio comes in on one).
int SystemAudioInputCount();

// Ends a process that has used the backend: flushes the standard streams and ends with `code`.
// Called at the very end of main, once everything of ours has been destroyed. On Linux it skips
// the static teardown of Qt Multimedia, which can crash after all the work is done (see
// qt_audio_output.h).
[[noreturn]] void ExitAfterAudio(int code);

}  // namespace calvento
