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
    OSErr unused = 0;
    OSErr& error = pError ? *pError : unused;
    error = ioErr;
    std::vector<unsigned char> aucMidiFile;
    const bool bMidi = IsMidiFileName(spec.name.c_str());
    if (bMidi && !CMidiFileWriter::Write(pData, size_t(nSize), iPauseMs, aucMidiFile))
    {
        DebugPrintf("Failed to write file.");
        return 0;
    }
    const unsigned char* pOut = bMidi ? aucMidiFile.data() : pData;
    const long lSize = bMidi ? long(aucMidiFile.size()) : long(nSize);

    CLumFile file;
    if (!file.MacWriteOpen(&spec, 2, kCreator, kFileType))
    {
        error = file.GetWriteError() ? file.GetWriteError() : OSErr(ioErr);
        DebugPrintf("Failed to open file.");
        return 0;
    }
    const long lWritten = file.Write(pOut, lSize);
    const int bClosed = file.Close();
    if (lWritten != lSize || !bClosed)
    {
        error = file.GetWriteError() ? file.GetWriteError() : OSErr(ioErr);
        DebugPrintf("Failed to write file.");
        return 0;
    }
    error = 0;
    return 1;
}

int CSysExFileWriter::WriteReceivedDump(const FSSpec& spec, CMidiManager& midi, int iPauseMs,
                                        OSErr* pError)
{
    OSErr unused = 0;
    OSErr& error = pError ? *pError : unused;
    error = ioErr;
    if (IsMidiFileName(spec.name.c_str()))
    {
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
            DebugPrintf("Failed to write file.");
            return 0;
        }
        return Write(spec, aucDump.data(), int(aucDump.size()), iPauseMs, pError);
    }
    CLumFile file;
    if (!file.MacWriteOpen(&spec, 2, kCreator, kFileType))
    {
        error = file.GetWriteError() ? file.GetWriteError() : OSErr(ioErr);
        DebugPrintf("Failed to open file.");
        return 0;
    }
    const int bWritten = midi.WriteReceivedDump(&file);
    if (!file.Close() || !bWritten)
    {
        error = file.GetWriteError() ? file.GetWriteError() : OSErr(ioErr);
        DebugPrintf("Failed to write file.");
        return 0;
    }
    error = 0;
    return 1;
}
