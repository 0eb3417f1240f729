#pragma once

// How a pad's state becomes input bits, the same way the configurator reads pads. Read as a
// joystick: button bit i is button i, the X and Y axes beyond 20 % of their range from either end
// are the four directions, and a hat (a D-pad) gives the same four directions. Read as a game
// controller, by position (core/pad/PadPositions.h): each stick's axes by the same 20 % rule,
// the D-pad apart, and a trigger down past a threshold and up again only below four fifths of
// it, so a finger resting on it does not chatter. Pure functions, so the thresholds are tested
// without a pad.

#include "core/driver/PadStates.h"

#include <cstdint>
#include <functional>

namespace vext {

// Direction bits, in the order of the direction inputs (x, y): (0,0) left, (0,2) right,
// (1,0) down, (1,2) up.
enum : uint32_t {
    kDirLeft = 1,
    kDirRight = 2,
    kDirDown = 4,
    kDirUp = 8,
};

// nX and nY as SDL reports them (-32768 to 32767).
uint32_t DirectionBits(int nX, int nY);

// A hat's value as SDL reports it (up 1, right 2, down 4, left 8, or'ed for the diagonals).
uint32_t HatDirectionBits(unsigned nHat);

// The live state the configurator polls: positions 0 to 65535 (the axis + 32768), where a
// direction the hats give pins its axis to that end, so a poller with the same thresholds sees
// exactly the directions the driver plays.
PadState LiveState(uint32_t nButtons, int nX, int nY, uint32_t nHatDirections);

// A trigger's new state from its axis (0 to 32767) and its state before.
bool TriggerDown(bool bWasDown, int nValue, int nPercent);

// Calls onChange(buttonId, down) for every input whose bit differs between the old and the new
// state of a slot: buttons first, then directions, each in bit order. Direction bit 2a + y / 2
// is the direction of axis a toward y (PadInputMask's).
void DiffInputs(int nSlot, uint32_t nOldButtons, uint32_t nNewButtons, uint32_t nOldDirections,
                uint32_t nNewDirections, const std::function<void(uint32_t, bool)>& onChange);

} // namespace vext
