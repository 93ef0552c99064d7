#pragma once
// The game inside a replay: the records after the slot table walked to the end of
// the decompressed data, and what they tell of each player, the chat and the result.
//
// How actions are counted (the APM rule): an action is a command the player gave
// with hand or key, whatever it was about:
//   - orders with or without a target, to a point, an object or an item (0x10-0x14);
//   - a change of selection (0x16), assigning and calling a control group (0x17, 0x18);
//   - choosing a subgroup with Tab (0x19), but not the 0x19 the game itself sends
//     right behind a "pre-subselection" (0x1A) after every change of selection;
//   - picking an item off the ground, cancelling a hero's revival, taking a unit
//     out of a building's queue (0x1C-0x1E);
//   - alliance and resource changes (0x50, 0x51), Esc (0x61), opening the hero
//     skill or building menu (0x66, 0x67), a minimap signal (0x68).
// Everything else the game records (pauses, saves, cheats, map triggers, sync
// records, records this reader does not know) is not counted. Only actions made
// while the player was in the game count: none after the player's leave record.
// A player's APM is the count over the minutes from the game's start to the
// player's leave (or the end of the replay), rounded; the per-minute series holds
// the actions of each whole minute, and the last, partial minute scaled to a
// minute when it lasted at least 10 seconds (a shorter one is left out).
//
// How the result is read (never guessed from chat): a leave record that says a
// player won makes that player's team the winner. Otherwise players are out of the
// game when their leave record says they lost, or when they left of their own
// connection (not the closing of the recording player's own game, which ends the
// recording for everyone); as soon as exactly one team of the game still has a
// player (or a computer) in it, that team won. A draw, or anything else, leaves
// the result unknown.
#include "details/replayfile.h"

// Walks `data` (the records after the slot table) and fills the players' counts,
// leave times and results, the chat, the end time and the winning team of `info`.
// Bounded by the data: every record read consumes at least one byte.
void WalkReplayGame(QByteArrayView data, ReplayInfo &info);
