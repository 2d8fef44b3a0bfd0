#include "transfer/SysExFileWriter.h"

#include "file/LumFile.h"
#include "file/MidiFileWriter.h"
#include "platform/ui/MacEvent.h"
#include "toolkit/DebugLog.h"
#include "toolkit/Utility.h"
#include "transfer/MidiManager.h"

#include <climits>
#include <vector>

namespace
{
constexpr uint32_t kCreator = FourCharCode("QMRK");
constexpr uint32_t kFileType = FourCharCode("SysX");
} // namespace

bool CSysExFileWriter::IsMidiFileName(const char* pszName)
{
    char szExtension[256] = "";
    if (!CLumFile::GetExtension(pszName, szExtension, sizeof(szExtension)))
        return false;
    return CompareExtension(szExtension, ".mid") || CompareExtension(szExtension, ".midi");
}

int CSysExFileWriter::Write(const FSSpec& spec, const unsigned char* pData, int nSize, int iPauseMs,
                            OSErr* pError)
{
    std::vector<unsigned char> aucMidiFile;
    const bool bMidi = IsMidiFileName(spec.name.c_str());
    if (bMidi && !CMidiFileWriter::Write(pData, size_t(nSize), iPauseMs, aucMidiFile))
    {
        if (pError)
            *pError = ioErr;
        DebugPrintf("Failed to write file.");
        return 0;
    }
    const unsigned char* pOut = bMidi ? aucMidiFile.data() : pData;
    const long lSize = bMidi ? long(aucMidiFile.size()) : long(nSize);
    return WriteFile(
        spec, [&](CLumFile& file) { return file.Write(pOut, lSize) == lSize; }, pError);
}

int CSysExFileWriter::WriteReceivedDump(const FSSpec& spec, CMidiManager& midi, int iPauseMs,
                                        OSErr* pError)
{
    if (!IsMidiFileName(spec.name.c_str()))
        return WriteFile(
            spec, [&](CLumFile& file) { return midi.WriteReceivedDump(&file) != 0; }, pError);
    std::vector<unsigned char> aucDump;
    const bool bFits = midi.ReadReceivedDump(
        [&](const unsigned char* pData, size_t nLength)
        {
            if (aucDump.size() + nLength > size_t(INT_MAX))
                return false;
            aucDump.insert(aucDump.end(), pData, pData + nLength);
            return true;
        });
    if (!bFits)
    {
        if (pError)
            *pError = ioErr;
        DebugPrintf("Failed to write file.");
        return 0;
    }
    return Write(spec, aucDump.data(), int(aucDump.size()), iPauseMs, pError);
}

int CSysExFileWriter::WriteFile(const FSSpec& spec, const std::function<bool(CLumFile&)>& fnWrite,
                                OSErr* pError)
{
    CLumFile file;
    const bool bOpened = file.MacWriteOpen(&spec, 2, kCreator, kFileType);
    const bool bWritten = bOpened && fnWrite(file);
    // Closing puts the new file in place: only once all of it was written.
    if (bOpened && file.Close() && bWritten)
    {
        if (pError)
            *pError = 0;
        return 1;
    }
    if (pError)
        *pError = file.GetWriteError() ? file.GetWriteError() : OSErr(ioErr);
    DebugPrintf(bOpened ? "Failed to write file." : "Failed to open file.");
    return 0;
}
