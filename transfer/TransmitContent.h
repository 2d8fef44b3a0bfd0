#pragma once

#include "transfer/TransmitSchedule.h"

#include <string>
#include <vector>

class CLumFile;

// What a file sends. A Standard MIDI File (it begins "MThd", CMidiFileReader) sends its
// SysEx messages one after the other in time order, each due at its time in the file
// counted from the first message; any other file sends its bytes as they are stored.
class CTransmitContent
{
public:
    // Reads the open file whole from its current position. 1 when it can be sent; 0 when
    // it cannot be read (ReadFailure) or is a bad MIDI file (IsBadMidiFile, MidiErrorText).
    int Read(CLumFile* pFile);
    // The same for a file's bytes in memory.
    int Load(std::vector<unsigned char> aucFile);

    const unsigned char* Data() const { return m_aucBytes.data(); }
    int Size() const { return int(m_aucBytes.size()); }
    bool IsMidiFile() const { return m_bMidiFile; }
    // For a MIDI file, where each message starts among the bytes and when it is due.
    const std::vector<tagMessageStart>& MessageStarts() const { return m_aStarts; }
    // The offsets of MessageStarts, as CSysExBlockPlan takes them.
    std::vector<int> MessageOffsets() const;

    // The log line of a failed read, or null.
    const char* ReadFailure() const { return m_pszReadFailure; }
    bool IsBadMidiFile() const { return m_pszMidiError != nullptr; }
    // What is wrong with a bad MIDI file, from the strings table (main thread only).
    std::string MidiErrorText() const;
    // Why a file taken for a MIDI file (by its header or its name) cannot be sent, from the
    // strings table; empty when it can. A file so named whose bytes are not a MIDI file is
    // refused rather than sent raw. Main thread only.
    std::string MidiFileFault() const;

private:
    std::vector<unsigned char> m_aucBytes;
    std::vector<tagMessageStart> m_aStarts;
    bool m_bMidiFile = false;
    const char* m_pszReadFailure = nullptr;
    const char* m_pszMidiError = nullptr;
    int m_nMidiErrorTrack = 0;
};
