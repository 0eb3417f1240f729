#pragma once

// The control channel to the keyboard-emulation driver (vextd). Every call opens one
// connection, sends one request, reads the answer and closes: the driver may come and go while
// the program runs. A missing, refusing or silent driver (no answer within 100 ms), or one that
// answers nonsense, is a failed open: the call returns 0 and leaves the caller's buffer
// untouched. A driver that lets a request time out is not queried again for three seconds (its
// queries fail at once meanwhile); controls are still sent. The wire format is in
// docs/device-channel.md.

#include "core/driver/DeviceCodes.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

// Sends a code with no buffer. Returns 1 when the driver took the request, else 0.
int DeviceControl(int nCode);

// Sends a code with an output buffer of *pnSize bytes (its contents travel to the driver too:
// code 29 carries the slot number in it). On success the answer is copied into the buffer,
// *pnSize is set to the bytes returned and 1 comes back; otherwise 0 and nothing is touched.
int DeviceQuery(int nCode, void* pBuffer, uint32_t* pnSize);

// The driver's version masked to 0xFFF when it is at least 0x200, else 0 (no usable driver).
int GetDriverVersion();

namespace vext {

// The clock the back-off after a timeout is measured with; empty for the steady clock. Tests
// give a fake one so that no test waits for the back-off to pass.
void SetDeviceBackOffClock(std::function<std::chrono::steady_clock::time_point()> fnNow);

// DeviceQuery with a longer wait, for the few questions that the driver may answer only after
// work in progress (the load status). Never for calls made on every refresh of the window.
int DeviceQueryWithin(int nCode, void* pBuffer, uint32_t* pnSize,
                      std::chrono::milliseconds timeout);

// Where the driver's socket is: $VEXT_DEVICE, else $XDG_RUNTIME_DIR/vext/device, else
// /tmp/vext-<uid>/device.
std::string DeviceSocketPath();

} // namespace vext
