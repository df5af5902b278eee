#pragma once
// The names the settings are stored under: organisation "VANT", application
// "Device-Configurator". Each program sets them once at start; after that every part of the
// system reads and writes its settings through a default-constructed QSettings.
void setApplicationIdentity();
