#include "WindowFixture.h"

#include "file/SysExDump.h"
#include "toolkit/Utility.h"
#include "windows/SysExMessageModel.h"

#include <QBrush>

namespace
{
// GS reset with its sum right, and wrong; GM System On (no sum); a Yamaha message cut off.
const Bytes kRoland = {0xF0, 0x41, 0x10, 0x42, 0x12, 0x40, 0x00, 0x7F, 0x00, 0x41, 0xF7};
const Bytes kRolandBad = {0xF0, 0x41, 0x10, 0x42, 0x12, 0x40, 0x00, 0x7F, 0x00, 0x40, 0xF7};
const Bytes kGMOn = {0xF0, 0x7E, 0x7F, 0x09, 0x01, 0xF7};
const Bytes kYamahaCut = {0xF0, 0x43, 0x00, 0x09, 0x00};

struct tagRowCase
{
    const char* apszTexts[CSysExMessageModel::kColumnCount];
    const char* pszChecksumKey;
};

const tagRowCase kRows[] = {
    {{"1", "Roland", "10", "11", "42 12 40 00 7F 00 41", nullptr}, "ChecksumOK"},
    {{"2", "Roland", "10", "11", "42 12 40 00 7F 00 40", nullptr}, "ChecksumBad"},
    {{"3", "Universal Non-Real Time: GM System On", "7F", "6", "09 01", nullptr}, "ChecksumNone"},
    {{"4", "Yamaha", "00", "5", "09 00", nullptr}, "ChecksumUnterminated"},
};
} // namespace

TEST(MessageWindow, TheModelShowsEachMessagesColumns)
{
    CSysExDump dump;
    dump.Assign(Joined({kRoland, kRolandBad, kGMOn, kYamahaCut}));
    CSysExMessageModel model(dump.Index());
    ASSERT_EQ(model.rowCount(), 4);
    ASSERT_EQ(model.columnCount(), int(CSysExMessageModel::kColumnCount));
    for (int iRow = 0; iRow < 4; ++iRow)
    {
        SCOPED_TRACE(iRow);
        const tagRowCase& row = kRows[iRow];
        for (int iColumn = 0; iColumn < CSysExMessageModel::kChecksum; ++iColumn)
            EXPECT_EQ(model.data(model.index(iRow, iColumn)).toString(),
                      QString::fromLatin1(row.apszTexts[iColumn]));
        EXPECT_EQ(model.data(model.index(iRow, CSysExMessageModel::kChecksum)).toString(),
                  Text(row.pszChecksumKey));
        // Only a BAD sum stands out.
        EXPECT_EQ(model.data(model.index(iRow, CSysExMessageModel::kChecksum), Qt::ForegroundRole)
                      .isValid(),
                  iRow == 1);
    }
    EXPECT_FALSE(model.data(model.index(4, 0)).isValid());
}
