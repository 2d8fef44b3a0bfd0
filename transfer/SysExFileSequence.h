#pragma once

class CLumFile;

// The files a "send all" transmits, handed out one at a time by whoever holds the list
// (the transmit window's list reader, the command line's arguments).
class CSysExFileSequence
{
public:
    virtual ~CSysExFileSequence() = default;

    // The next file, open for reading from its start; null when there is none left or it
    // cannot be had (whoever holds the list has told the user why).
    virtual CLumFile* NextFile() = 0;
    // The transmission of the file handed out last has ended; the file is given back.
    virtual void FileDone(CLumFile* pFile) = 0;
};
