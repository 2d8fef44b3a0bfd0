#pragma once

#include "platform/file/FileManager.h"

#include <QString>

// Free helpers of the toolkit. Texts are NUL-terminated strings in the system encoding
// (UTF-8 on Linux); platform strings are QString.

// --- Localised texts --------------------------------------------------------------

// The text for key from the strings table (resource folder "strings/quillmark_<lang>.qm",
// the user's language first, then English); the key itself when no table has it.
// Returns one shared 256-byte buffer that the next call overwrites: copy the text
// before calling again. Main thread only.
char* GetResourceString(const char* pszKey);

// --- Strings ----------------------------------------------------------------------

// A platform string from a C string.
QString C2CFString(const char* pszText);

// Copies the string into pszDest (iSize bytes, NUL included). 1 when it fits; 0 when
// it had to be cut (at a character boundary) or iSize is below 1.
int CF2CString(char* pszDest, const QString& str, int iSize);

// The name of the file at the location as the file system stores it, extension
// included, copied into pszDest as CF2CString does; empty when there is no such file.
void GetFSSpecFileName(char* pszDest, const FSSpec& spec, int iSize);

// 1 when the two strings are equal ignoring case, 0 otherwise (".syx" vs ".SYX").
int CompareExtension(const char* psz1, const char* psz2);

// --- Event queue ------------------------------------------------------------------

// Dispatches the events already waiting on the calling (main) thread, posted events and
// due timers included, and returns without waiting for more.
void ProcessMessage();

// The same as ProcessMessage; pWindow is not used (callers pass null).
void ProcessModalMessage(void* pWindow);

// --- Message boxes and screen -----------------------------------------------------

// A modal caution alert with one OK button: pszMessage is the main message, pszText the
// smaller explanation below it. Returns the item hit, 1 = OK.
int MessageBox(const char* pszText, const char* pszMessage);

// MessageBox with the localised text for the key as the explanation and an empty main
// message.
int MessageBoxFromResource(const char* pszKey);

// Origin and size of the primary screen; all 0 without one.
void GetDesktopRect(int* piX, int* piY, int* piWidth, int* piHeight);

// --- Text layout ------------------------------------------------------------------

// Writes a duration in whole seconds as minutes and seconds in the strings table's form
// ("01:05"); minutes are not wrapped at 60, so a long transfer shows 75:00.
void FormatMinutesSeconds(char* pszDest, size_t nSize, uint32_t uiSeconds);

// Writes the note name and octave ("C4" for 60, "C-1" for 0); returns the characters
// written. pszDest needs 5 bytes.
int NoteNumberToStr(char* pszDest, int iNote);

// Copies a fixed-length field of iLength bytes without its leading white space and
// trailing spaces into pszDest (iLength + 1 bytes) and returns pszDest.
char* ExtractString(char* pszDest, const char* pszSource, int iLength);

// Centres the text in a field of iWidth characters in place (pszText holds iWidth + 1
// bytes); the extra space goes to the right.
void CenteringString(char* pszText, int iWidth);

// --- Numbers ----------------------------------------------------------------------

int ClipInt(int iValue, int iLow, int iHigh);           // low wins when low > high
float ClipFloat(float fValue, float fLow, float fHigh); // high wins when low > high
int MaxInt(int a, int b);
int MinInt(int a, int b);
float MaxFloat(float a, float b);
float MixFloat(float a, float b);                         // the smaller of the two
bool ContainInt(int iValue, int iLow, int iHigh);         // low <= value <= high
bool ContainFloat(float fValue, float fLow, float fHigh); // false for NaN
