#include "transfer/TransmitContent.h"

#include "file/LumFile.h"
#include "file/MidiFileReader.h"
#include "toolkit/Utility.h"

#include <climits>
#include <cstdio>
#include <new>

int CTransmitContent::Read(CLumFile* pFile)
{
    m_aucBytes.clear();
    m_aStarts.clear();
    m_bMidiFile = false;
    m_pszMidiError = nullptr;
    long lSize = 0;
    m_pszReadFailure = "Failed to get file size.";
    if (!pFile || GetEOF(pFile->m_refNum, &lSize) != 0 || lSize < 0 || lSize > INT_MAX)
        return 0;
    std::vector<unsigned char> aucFile;
    m_pszReadFailure = "Failed to read file.";
    try
    {
        aucFile.resize(size_t(lSize));
    }
    catch (const std::bad_alloc&)
    {
        return 0;
    }
    if (pFile->Read(aucFile.data(), lSize) != lSize)
        return 0;
    m_pszReadFailure = nullptr;
    return Load(std::move(aucFile));
}

int CTransmitContent::Load(std::vector<unsigned char> aucFile)
{
    m_aStarts.clear();
    m_pszReadFailure = nullptr;
    m_pszMidiError = nullptr;
    m_nMidiErrorTrack = 0;
    m_bMidiFile = CMidiFileReader::IsMidiFile(aucFile.data(), aucFile.size());
    if (!m_bMidiFile)
    {
        m_aucBytes = std::move(aucFile);
        return 1;
    }
    m_aucBytes.clear();
    CMidiFileReader reader;
    if (!reader.Read(aucFile.data(), aucFile.size()))
    {
        m_pszMidiError = reader.ErrorKey();
        m_nMidiErrorTrack = reader.ErrorTrack();
        return 0;
    }
    const auto& messages = reader.Messages();
    for (const tagMidiFileMessage& message : messages)
    {
        if (m_aucBytes.size() + message.aucData.size() > size_t(INT_MAX))
        {
            m_pszReadFailure = "Failed to read file.";
            m_aucBytes.clear();
            m_aStarts.clear();
            return 0;
        }
        m_aStarts.push_back({int(m_aucBytes.size()),
                             std::chrono::microseconds(message.llTimeUs - messages[0].llTimeUs)});
        m_aucBytes.insert(m_aucBytes.end(), message.aucData.begin(), message.aucData.end());
    }
    return 1;
}

std::vector<int> CTransmitContent::MessageOffsets() const
{
    std::vector<int> anOffsets;
    anOffsets.reserve(m_aStarts.size());
    for (const tagMessageStart& start : m_aStarts)
        anOffsets.push_back(start.nOffset);
    return anOffsets;
}

std::string CTransmitContent::MidiErrorText() const
{
    if (!m_pszMidiError)
        return std::string();
    const std::string sError = GetResourceString(m_pszMidiError);
    if (m_nMidiErrorTrack <= 0)
        return sError;
    char szText[512];
    snprintf(szText, sizeof(szText), GetResourceString("MidiFileErrorInTrack"), m_nMidiErrorTrack,
             sError.c_str());
    return szText;
}

std::string CTransmitContent::MidiFileFault() const
{
    if (IsBadMidiFile())
        return MidiErrorText();
    if (!m_bMidiFile)
        return GetResourceString("MidiFileNotMidi");
    if (m_aucBytes.empty())
        return GetResourceString("MidiFileNoSysEx");
    return std::string();
}
