#pragma once
// Simulated HID devices chosen through the environment, so that the program and the command
// line tool can be tried without the hardware:
//   VANT_HID_SIM=<image file>[:<image file>...]
//     one device per file, listed in that order as sim-hid-0, sim-hid-1, ...; each file is that
//     device's stored configuration image (missing: empty; replaced by an upload), and a
//     firmware update writes its payload to <image file>.firmware. The devices report the
//     hardware identifiers VANT-HW-1, VANT-HW-2, ... in that order, and VANT-DEMO-1 as software.
#include "device/hidbackend.h"

#include <memory>

// The backend of those devices, owning them, to hand to the workers; null when VANT_HID_SIM
// is not set. It must outlive every worker it is handed to.
std::unique_ptr<HidBackend> simulatedHidFromEnvironment();
