#pragma once

#include "platform/file/FileManager.h"

#include <functional>

class CLumFile;
class CMidiManager;

// Writes received SysEx bytes to a file: as a Standard MIDI File (CMidiFileWriter) when
// the name ends in ".mid" or ".midi", in any letter case, else as a .syx file of the raw
// bytes. The file carries creator 'QMRK' and type 'SysX' either way.
class CSysExFileWriter
{
public:
    // 1 when the file was written whole; 0 otherwise (logged as "Failed to open file." or
    // "Failed to write file."), leaving any file that was at the location as it was.
    // iPauseMs is the pause after each message of a MIDI file. Why it failed, as the
    // platform's error, in *pError when given.
    static int Write(const FSSpec& spec, const unsigned char* pData, int nSize, int iPauseMs,
                     OSErr* pError = nullptr);
    // The same for the dump the engine recorded (CMidiManager::ReadReceivedDump); a .syx
    // file is written piece by piece, without a copy of the dump.
    static int WriteReceivedDump(const FSSpec& spec, CMidiManager& midi, int iPauseMs,
                                 OSErr* pError = nullptr);

    static bool IsMidiFileName(const char* pszName);

private:
    // Writes the file through fnWrite, as Write tells the result.
    static int WriteFile(const FSSpec& spec, const std::function<bool(CLumFile&)>& fnWrite,
                         OSErr* pError);
};
