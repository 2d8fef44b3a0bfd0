#pragma once

#include "cli/CliCommand.h"
#include "transfer/SysExFileSequence.h"
#include "transfer/TransmitSettings.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class CCliSession;
class CMultiSysExReader;

// "quillmark send [--out DEVICE] [pacing] FILE...": sends .syx files, the SysEx messages of
// Standard MIDI Files and the files of .msy lists, in order, as the transmit window's
// "Send All" does. Every file is checked before
// the first byte goes out. Pacing comes from the options, else from what is remembered for
// the output device.
class CSendCommand : public CCliCommand, private CSysExFileSequence
{
public:
    CSendCommand();
    ~CSendCommand() override;

    const char* Name() const override { return "send"; }
    const char* SummaryKey() const override { return "CliSendSummary"; }
    std::vector<const char*> HelpKeys() const override;
    std::vector<tagCliOption> Options() const override;
    int Run(CCliArguments& arguments) override;

private:
    // One file to send: a .syx file named on the command line, or entry nNumber of a list.
    struct tagSendFile
    {
        std::string sName; // as the user knows it
        std::string sPath; // for a file of its own
        std::shared_ptr<CMultiSysExReader> pList;
        int nNumber = 0;
        int64_t llSize = 0;
    };

    // The pacing the options ask for on top of the remembered one; 0 on a usage error.
    int ReadPacing(CCliArguments& arguments, tagTransmitSettings* pSettings, int* piFilePauseMs);
    // Adds the operand's files; 0 when one cannot be sent (told).
    int AddOperand(const std::string& sOperand);
    // A file of its own, llSize bytes to send. Always 1.
    int AddFile(const std::string& sOperand, int64_t llSize);
    int AddList(const std::string& sOperand, CLumFile& file);
    void OnMessage(int32_t iMessage, int32_t iParam1, int32_t iParam2);

    CLumFile* NextFile() override;
    void FileDone(CLumFile* pFile) override;

    CCliSession* m_pSession;
    std::vector<tagSendFile> m_files;
    size_t m_nNextFile;     // the index NextFile hands out next
    bool m_bMissedFile;     // NextFile could not open a file that was there before
    int64_t m_llTotal;      // bytes of every file
    int64_t m_llDone;       // bytes of the files sent to their end
    int m_nStartedFiles;    // LM_TRANSMIT_START seen
    uint32_t m_uiStartTime; // ms clock at the first LM_TRANSMIT_START
};
