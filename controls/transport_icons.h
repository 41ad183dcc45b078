#pragma once
// The transport buttons' pictures (32 x 24), drawn rather than loaded so
// that they follow the palette and stay sharp at any scale.
#include <QIcon>

enum class LTransportIcon { kPlay, kScrub, kStop, kStart, kRewind, kForward, kEnd, kRecord, kRetake };

QIcon LTransportIconFor(LTransportIcon which);
