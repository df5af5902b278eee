#pragma once
// A simulated HID device chosen through the environment, so that the program and the command
// line tool can be tried without the hardware:
//   VANT_HID_SIM=<image file>  the device's stored configuration image (missing: empty;
//                              replaced by an upload); a firmware update writes its payload to
//                              <image file>.firmware. Identifiers VANT-HW-1 and VANT-DEMO-1.
#include "device/hidbackend.h"

#include <memory>

// The backend of that device, owning the device, to hand to the workers; null when
// VANT_HID_SIM is not set. It must outlive every worker it is handed to.
std::unique_ptr<HidBackend> simulatedHidFromEnvironment();
