// Stands in for the wave-file player and the media control interface's "play": a sound starts and the call
// returns at once. A machine without an audio device plays nothing and reports no error, as a muted machine
// would. No recording, no mixing control, no notification when a sound ends.
#pragma once
#include <string_view>

namespace kz::platform {

// Plays a wave file asynchronously, replacing a wave that is still playing. False only when the file does not
// exist or is not a readable wave file.
bool play_wave_file(std::string_view name_sjis);
// Plays any media file the platform can decode (MP3, MIDI where supported, video sound tracks...). False when the
// file does not exist.
bool play_media_file(std::string_view name_sjis);
// Stops what plays.
void stop_sounds();
// Whether an audio output exists (tests use it to tell silence from failure).
bool audio_output_available();

}  // namespace kz::platform
