#pragma once
// The HID device the command line tool talks to.
#include "device/hidbackend.h"

#include <memory>

// The simulated HID device when VANT_HID_SIM names its image file (see
// device/sim/simhidenv.h), else null: the worker then uses the real device.
std::unique_ptr<HidBackend> cliHidBackend();
