// Fuzz target of the Standard MIDI File reader: one input is one file. What it reads must
// hold together, and written back as one track it must read back as the same bytes.

#include "file/MidiFileReader.h"
#include "file/MidiFileWriter.h"

#include <cstdint>
#include <cstdlib>
#include <vector>

namespace
{
std::vector<unsigned char> Joined(const CMidiFileReader& reader)
{
    std::vector<unsigned char> bytes;
    for (const tagMidiFileMessage& message : reader.Messages())
        bytes.insert(bytes.end(), message.aucData.begin(), message.aucData.end());
    return bytes;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize)
{
    CMidiFileReader reader;
    const int nResult = reader.Read(pData, nSize);
    if ((nResult == 1) != (reader.ErrorKey() == nullptr))
        abort();
    if (!nResult)
    {
        if (!reader.Messages().empty() || reader.ErrorTrack() < 0)
            abort();
        return 0;
    }

    int64_t llLast = 0;
    for (const tagMidiFileMessage& message : reader.Messages())
    {
        if (message.aucData.empty() || message.llTimeUs < llLast)
            abort();
        llLast = message.llTimeUs;
    }

    const std::vector<unsigned char> bytes = Joined(reader);
    std::vector<unsigned char> file;
    if (!CMidiFileWriter::Write(bytes.data(), bytes.size(), 0, file))
        abort();
    CMidiFileReader again;
    if (!again.Read(file.data(), file.size()) || Joined(again) != bytes)
        abort();
    return 0;
}
