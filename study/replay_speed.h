#pragma once
// How fast the tutor's recordings play while studying, pitch kept: a
// per-user setting ("Settings", "TutorSpeed", percent of normal speed in
// steps of 5 from 50 to 100), and whether Listen All plays each expression
// slow and then at normal speed ("SlowThenNormal").
#include <string>
#include <vector>

constexpr int kReplaySpeedMin = 50;
constexpr int kReplaySpeedMax = 100;
constexpr int kReplaySpeedStep = 5;

// The nearest step within range; a value stored by hand may be anything.
int SnapReplaySpeed(int percent);
// The stored speed, snapped; normal speed when unset or unreadable.
int ReadReplaySpeed();
void StoreReplaySpeed(int percent);
// ReadReplaySpeed() as a tempo for LTempoProcessor (1.0: untouched).
double ReadReplayTempo();
bool ReadSlowThenNormal();
void StoreSlowThenNormal(bool on);

// The steps from normal speed down, as the speed control lists them ("1.0×", "0.95×", ...).
std::vector<int> ReplaySpeedSteps();
std::string ReplaySpeedText(int percent);
