#include "toolkit/Utility.h"
#include "platform/bundle/ResourceFolder.h"
#include "support/ScopedEnv.h"
#include "support/TempDir.h"
#include "toolkit/DebugLog.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>

namespace
{
// A resource folder holding the program's English table under another name.
std::string CopyEnglishTableAs(const TempDir& folder, const std::string& name)
{
    static const std::string english = GetResourceFolder() + "/strings/quillmark_en.qm";
    std::filesystem::create_directories(folder.File("strings"));
    std::filesystem::copy_file(english, folder.File("strings/" + name + ".qm"));
    return folder.Path();
}

const char* const kKeys[] = {"StatusReceiving",
                             "StatusReceiveComplete",
                             "StatusReceiveError",
                             "StatusTransmitCancel",
                             "StatusTransmitError",
                             "StatusTransmitReady",
                             "StatusTransmitting",
                             "StatusTransmitComplete",
                             "ButtonStart",
                             "ButtonCancel",
                             "ButtonNext",
                             "ButtonClose",
                             "Version",
                             "Open Midi In Failed",
                             "Open Midi Out Failed",
                             "Can't Open File",
                             "Not Found File",
                             "Illegal Msy File"};

int CountIntegerArguments(const std::string& format)
{
    int n = 0;
    for (size_t i = format.find('%'); i != std::string::npos; i = format.find('%', i + 2))
        n += format.compare(i, 2, "%d") == 0 ? 1 : 0;
    return n;
}
} // namespace

TEST(ResourceString, EveryKeyHasAnEnglishTextWithItsArguments)
{
    ScopedEnv language("LC_ALL", "C");
    for (const char* pszKey : kKeys)
    {
        const std::string text = GetResourceString(pszKey);
        EXPECT_NE(text, pszKey) << "no text for " << pszKey;
        const int nExpected = strcmp(pszKey, "StatusTransmitting") == 0 ? 2
                              : strcmp(pszKey, "Version") == 0          ? 3
                              : strncmp(pszKey, "Status", 6) == 0 &&
                                      std::string(pszKey).find("Error") == std::string::npos &&
                                      std::string(pszKey).find("Cancel") == std::string::npos
                                  ? 1
                                  : 0;
        EXPECT_EQ(CountIntegerArguments(text), nExpected) << pszKey << ": " << text;
    }
    EXPECT_STREQ(GetResourceString("StatusReceiving"), "Receiving... %d bytes");
    EXPECT_STREQ(GetResourceString("Version"), "Version %d.%d.%d");
}

TEST(ResourceString, AMissingKeyGivesTheKeyAndAllCallsShareOneBuffer)
{
    EXPECT_STREQ(GetResourceString("No Such Key"), "No Such Key");

    char* pszFirst = GetResourceString("ButtonStart");
    EXPECT_STREQ(pszFirst, "&Start");
    char* pszSecond = GetResourceString("ButtonClose");
    EXPECT_EQ(pszFirst, pszSecond);
    EXPECT_STREQ(pszFirst, "&Close");

    // Longer than the buffer: cut to 255 bytes, never inside a character.
    const std::string longKey = std::string(254, 'a') + "\xC3\xA9";
    EXPECT_EQ(std::string(GetResourceString(longKey.c_str())), std::string(254, 'a'));
}

TEST(ResourceString, WithoutAStringsTableEveryKeyShowsAsItself)
{
    TempDir empty;
    ScopedEnv resources("QUILLMARK_RESOURCES", empty.Path().c_str());
    EXPECT_STREQ(GetResourceString("StatusReceiving"), "StatusReceiving");
}

TEST(ResourceString, TheUsersLanguageComesFirstThenEnglish)
{
    TempDir french;
    ScopedEnv resources("QUILLMARK_RESOURCES", CopyEnglishTableAs(french, "quillmark_fr").c_str());
    {
        ScopedEnv language("LC_ALL", "fr_CA.UTF-8");
        EXPECT_STREQ(GetResourceString("ButtonNext"), "&Next") << "fr_CA falls back to fr";
    }
    {
        ScopedEnv language("LC_ALL", "de_AT.UTF-8");
        EXPECT_STREQ(GetResourceString("ButtonNext"), "ButtonNext") << "neither de nor en here";
    }
    TempDir english;
    ScopedEnv englishResources("QUILLMARK_RESOURCES",
                               CopyEnglishTableAs(english, "quillmark_en").c_str());
    ScopedEnv language("LC_ALL", "de_AT.UTF-8");
    EXPECT_STREQ(GetResourceString("ButtonNext"), "&Next");
}

TEST(StringConversion, CopiesWhatFitsAndSaysWhenItCut)
{
    char szBuffer[8];
    EXPECT_EQ(CF2CString(szBuffer, C2CFString("1234567"), sizeof(szBuffer)), 1);
    EXPECT_STREQ(szBuffer, "1234567");
    EXPECT_EQ(CF2CString(szBuffer, C2CFString("12345678"), sizeof(szBuffer)), 0);
    EXPECT_STREQ(szBuffer, "1234567");
    EXPECT_EQ(CF2CString(szBuffer, C2CFString("123456\xC3\xA9"), sizeof(szBuffer)), 0);
    EXPECT_STREQ(szBuffer, "123456");
    EXPECT_EQ(C2CFString("Gr\xC3\xBC\xC3\x9F"), QString::fromUtf8("Gr\xC3\xBC\xC3\x9F"));
}

TEST(CompareExtension, IgnoresCaseButNotLength)
{
    EXPECT_EQ(CompareExtension(".syx", ".SYX"), 1);
    EXPECT_EQ(CompareExtension(".Msy", ".msY"), 1);
    EXPECT_EQ(CompareExtension(".syx", ".sy"), 0);
    EXPECT_EQ(CompareExtension(".syx", ".msy"), 0);
    EXPECT_EQ(CompareExtension("", ""), 1);
    const std::string longName(300, 'A');
    EXPECT_EQ(CompareExtension(longName.c_str(), std::string(300, 'a').c_str()), 1);
}

TEST(NoteNumberToStr, NamesNoteAndOctave)
{
    char szName[8];
    EXPECT_EQ(NoteNumberToStr(szName, 60), 2);
    EXPECT_STREQ(szName, "C4");
    NoteNumberToStr(szName, 59);
    EXPECT_STREQ(szName, "B3");
    NoteNumberToStr(szName, 72);
    EXPECT_STREQ(szName, "C5");
    EXPECT_EQ(NoteNumberToStr(szName, 0), 3);
    EXPECT_STREQ(szName, "C-1");
    NoteNumberToStr(szName, 61);
    EXPECT_STREQ(szName, "C#4");
    NoteNumberToStr(szName, 127);
    EXPECT_STREQ(szName, "G9");
    NoteNumberToStr(szName, -1);
    EXPECT_STREQ(szName, "B-2");
}

TEST(ExtractString, TrimsAFixedField)
{
    char szOut[16];
    EXPECT_STREQ(ExtractString(szOut, "  AB  \0\0", 8), "AB");
    EXPECT_STREQ(ExtractString(szOut, "        ", 8), "");
    EXPECT_STREQ(ExtractString(szOut, "\t\nA B \r", 7), "A B \r")
        << "only spaces are trimmed at the end";
    // The field ends at its length even when the source goes on.
    EXPECT_STREQ(ExtractString(szOut, "ABCDEFGH", 4), "ABCD");
    EXPECT_STREQ(ExtractString(szOut, "AB", 0), "");
}

TEST(CenteringString, CentresInPlaceWithTheExtraSpaceRight)
{
    char szAB[8] = "AB";
    CenteringString(szAB, 5);
    EXPECT_STREQ(szAB, " AB  ");
    char szABC[8] = "ABC";
    CenteringString(szABC, 6);
    EXPECT_STREQ(szABC, " ABC  ");
    char szBlank[8] = "   ";
    CenteringString(szBlank, 4);
    EXPECT_STREQ(szBlank, "    ");
    char szShifted[8] = "    XY";
    CenteringString(szShifted, 6);
    EXPECT_STREQ(szShifted, "  XY  ");
}

TEST(NumericHelpers, ClipOrderAndUnorderedValues)
{
    EXPECT_EQ(ClipInt(5, 10, 0), 10);
    EXPECT_EQ(ClipFloat(5.0f, 10.0f, 0.0f), 0.0f);
    EXPECT_EQ(ClipInt(15, 0, 10), 10);
    EXPECT_EQ(ClipInt(-3, 0, 10), 0);
    EXPECT_EQ(ClipFloat(-3.0f, 0.0f, 1.0f), 0.0f);
    EXPECT_EQ(ClipFloat(0.5f, 0.0f, 1.0f), 0.5f);
    EXPECT_TRUE(std::isnan(ClipFloat(NAN, 0.0f, 1.0f)));

    EXPECT_EQ(MaxInt(3, -4), 3);
    EXPECT_EQ(MinInt(3, -4), -4);
    EXPECT_EQ(MixFloat(2.0f, 3.0f), 2.0f);
    EXPECT_EQ(MaxFloat(2.0f, 3.0f), 3.0f);
    EXPECT_EQ(MaxFloat(NAN, 1.0f), 1.0f);
    EXPECT_EQ(MixFloat(NAN, 1.0f), 1.0f);

    EXPECT_TRUE(ContainInt(10, 0, 10));
    EXPECT_TRUE(ContainInt(0, 0, 10));
    EXPECT_FALSE(ContainInt(11, 0, 10));
    EXPECT_TRUE(ContainFloat(1.0f, 0.0f, 1.0f));
    EXPECT_FALSE(ContainFloat(NAN, 0.0f, 1.0f));
}

TEST(ProcessMessage, DispatchesPostedEventsAndDueTimers)
{
    bool bPosted = false;
    QMetaObject::invokeMethod(
        qApp, [&] { bPosted = true; }, Qt::QueuedConnection);
    ProcessMessage();
    EXPECT_TRUE(bPosted);

    bool bFired = false;
    QTimer timer;
    timer.setSingleShot(true);
    QObject::connect(&timer, &QTimer::timeout, [&] { bFired = true; });
    timer.start(20);
    const uint32_t uiStart = GetSystemTimeMs();
    while (!bFired && GetSystemTimeMs() - uiStart < 5000)
    {
        ProcessModalMessage(nullptr);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    EXPECT_TRUE(bFired);
}

TEST(MessageBox, ShowsTheLocalisedTextAsTheExplanation)
{
    QString mainText, explanation;
    bool bWarning = false;
    // Notes what the next box shows and answers it.
    const auto answerNextBox = [&]
    {
        mainText = "unset";
        QTimer::singleShot(0,
                           [&]
                           {
                               auto* pBox =
                                   qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
                               ASSERT_NE(pBox, nullptr);
                               mainText = pBox->text();
                               explanation = pBox->informativeText();
                               bWarning = pBox->icon() == QMessageBox::Warning;
                               pBox->button(QMessageBox::Ok)->click();
                           });
    };
    answerNextBox();
    EXPECT_EQ(MessageBoxFromResource("Can't Open File"), 1);
    EXPECT_EQ(mainText, "");
    EXPECT_EQ(explanation, "The file could not be opened.");
    EXPECT_TRUE(bWarning);

    answerNextBox();
    EXPECT_EQ(MessageBox("explanation", "message"), 1);
    EXPECT_EQ(mainText, "message");
    EXPECT_EQ(explanation, "explanation");
}

TEST(DesktopRect, IsThePrimaryScreen)
{
    int iX = -1, iY = -1, iWidth = 0, iHeight = 0;
    GetDesktopRect(&iX, &iY, &iWidth, &iHeight);
    EXPECT_GT(iWidth, 0);
    EXPECT_GT(iHeight, 0);
}
