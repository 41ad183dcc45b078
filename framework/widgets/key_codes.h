#pragma once
// The one place where Qt's keys become the program's key values: the
// virtual-key code in the low 16 bits plus KEY_CTRL, KEY_ALT and KEY_SHIFT.
#include <Qt>

class QKeyEvent;

// Virtual-key code of a Qt key, 0 when the key has none.
int VirtualKeyFromQt(int qtKey);
// Key value as EvKeyDown receives it (0 when the key has no code).
int KeyValueFromQt(int qtKey, Qt::KeyboardModifiers modifiers);
int KeyValueFromEvent(const QKeyEvent& event);
