#pragma once
// Which device implementation the engine uses: the machine-wide setting
// "AudioBackend" of section "Settings" ("pulse", the default, or "virtual"
// for machines without sound). ORATIVO_AUDIO in the environment wins.
// Read whenever a player or recorder starts; start-up applies it once for
// the device lists.
void LSoundApplyAudioBackendSetting();
