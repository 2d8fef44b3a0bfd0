#pragma once

// Every key of the per-user store, in one place. The store is that of the application id
// kPreferenceApp (cPreference::SetAppName).
namespace PreferenceKeys
{
inline constexpr const char* kPreferenceApp = "Quillmark";

// Display names of the remembered devices (strings).
inline constexpr const char* kMidiInDevice = "Midi In Device";
inline constexpr const char* kMidiOutDevice = "Midi Out Device";

// The pause between files of a "send all", in ms (integer).
inline constexpr const char* kFilePause = "Transmit File Pause";

// The receive window: one message (0) or all until stopped (1), the idle end (0/1 and
// seconds), and the request typed or read last (hex text).
inline constexpr const char* kReceiveMode = "Receive Mode";
inline constexpr const char* kReceiveIdleStop = "Receive Idle Stop";
inline constexpr const char* kReceiveIdleSeconds = "Receive Idle Seconds";
inline constexpr const char* kReceiveRequest = "Receive Request";

// The folder a file dialog was last left in, per dialog preference key: the group
// kFileDialogFolders holds one text per key, named by its four characters.
inline constexpr const char* kFileDialogFolders = "File Dialog Folders";

// Each output device's transmit settings live in a group of its own under
// kOutputDevices, named by the device's display name with '%', '/' and '\' written as
// %25, %2F and %5C (the store takes both slashes as group separators).
inline constexpr const char* kOutputDevices = "Output Devices";
inline constexpr const char* kDevicePause = "Pause Between Messages"; // ms (integer)
inline constexpr const char* kDeviceSpeed = "Speed";                  // bytes a second (integer)
inline constexpr const char* kDevicePacing = "Pacing"; // tagTransmitSettings::kPacing* (integer)
// tagTransmitSettings::kMidiTiming* (integer)
inline constexpr const char* kDeviceMidiTiming = "MIDI File Timing";
} // namespace PreferenceKeys
