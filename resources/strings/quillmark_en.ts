<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="en">
<context>
    <name></name>
    <message id="StatusReceiving">
        <source>Receiving... %d bytes</source>
        <translation>Receiving... %d bytes</translation>
    </message>
    <message id="StatusReceiveComplete">
        <source>Received %d bytes. Save them to a file.</source>
        <translation>Received %d bytes. Save them to a file.</translation>
    </message>
    <message id="StatusReceiveError">
        <source>Reception failed: the SysEx message was interrupted.</source>
        <translation>Reception failed: the SysEx message was interrupted.</translation>
    </message>
    <message id="StatusTransmitCancel">
        <source>Transmission cancelled.</source>
        <translation>Transmission cancelled.</translation>
    </message>
    <message id="StatusTransmitError">
        <source>Transmission failed.</source>
        <translation>Transmission failed.</translation>
    </message>
    <message id="StatusTransmitReady">
        <source>Ready to send %d bytes.</source>
        <translation>Ready to send %d bytes.</translation>
    </message>
    <message id="StatusTransmitting">
        <source>Transmitting... %d of %d bytes</source>
        <translation>Transmitting... %d of %d bytes</translation>
    </message>
    <message id="StatusTransmitComplete">
        <source>Sent %d bytes.</source>
        <translation>Sent %d bytes.</translation>
    </message>
    <message id="ButtonStart">
        <source>Start</source>
        <translation>Start</translation>
    </message>
    <message id="ButtonCancel">
        <source>Cancel</source>
        <translation>Cancel</translation>
    </message>
    <message id="ButtonNext">
        <source>Next</source>
        <translation>Next</translation>
    </message>
    <message id="ButtonClose">
        <source>Close</source>
        <translation>Close</translation>
    </message>
    <message id="Version">
        <source>Version %d.%d.%d</source>
        <translation>Version %d.%d.%d</translation>
    </message>
    <message id="Open Midi In Failed">
        <source>The MIDI input could not be opened.</source>
        <translation>The MIDI input could not be opened.</translation>
    </message>
    <message id="Open Midi Out Failed">
        <source>The MIDI output could not be opened.</source>
        <translation>The MIDI output could not be opened.</translation>
    </message>
    <message id="%s (Not Connected)">
        <source>%s (Not Connected)</source>
        <extracomment>A remembered MIDI device that is not connected; %s: its name</extracomment>
        <translation>%s (Not Connected)</translation>
    </message>
    <message id="Can&apos;t Open File">
        <source>The file could not be opened.</source>
        <translation>The file could not be opened.</translation>
    </message>
    <message id="Not Found File">
        <source>A file named in the list could not be found.</source>
        <translation>A file named in the list could not be found.</translation>
    </message>
    <message id="Illegal Msy File">
        <source>The file is not a valid MultiSysEx list.</source>
        <translation>The file is not a valid MultiSysEx list.</translation>
    </message>
    <message id="Save Changes Before Closing">
        <source>Do you want to save the changes you made in the document “%1”?</source>
        <extracomment>%1: the document name</extracomment>
        <translation>Do you want to save the changes you made in the document “%1”?</translation>
    </message>
    <message id="Save Changes Before Quitting">
        <source>Do you want to save the changes you made in the document “%1” before quitting?</source>
        <extracomment>%1: the document name</extracomment>
        <translation>Do you want to save the changes you made in the document “%1” before quitting?</translation>
    </message>
    <message id="Save Changes Explanation">
        <source>Your changes will be lost if you don’t save them.</source>
        <translation>Your changes will be lost if you don’t save them.</translation>
    </message>
    <message id="ButtonDontSave">
        <source>Don’t Save</source>
        <translation>Don’t Save</translation>
    </message>
    <message id="Discard Changes">
        <source>Do you want to discard the changes you made to the document “%1”?</source>
        <extracomment>%1: the document name</extracomment>
        <translation>Do you want to discard the changes you made to the document “%1”?</translation>
    </message>
    <message id="Save SysEx File">
        <source>Save SysEx File</source>
        <translation>Save SysEx File</translation>
    </message>
    <message id="Received.syx">
        <source>Received.syx</source>
        <extracomment>the file name the save dialog offers for a received dump</extracomment>
        <translation>Received.syx</translation>
    </message>
    <message id="Quillmark">
        <source>Quillmark</source>
        <extracomment>the application name in the save-changes question</extracomment>
        <translation>Quillmark</translation>
    </message>
    <message id="Untitled">
        <source>Untitled</source>
        <extracomment>the name of a received dump that was not saved yet</extracomment>
        <translation>Untitled</translation>
    </message>
    <message id="FileOfList">
        <source>File %d of %d: %s</source>
        <extracomment>the file of a list being sent: its place in the list, the list's length, its name</extracomment>
        <translation>File %d of %d: %s</translation>
    </message>
    <message id="MessageColumnNumber">
        <source>No.</source>
        <extracomment>heading of the message list's number column</extracomment>
        <translation>No.</translation>
    </message>
    <message id="MessageColumnManufacturer">
        <source>Manufacturer</source>
        <extracomment>heading of the message list's manufacturer column</extracomment>
        <translation>Manufacturer</translation>
    </message>
    <message id="MessageColumnDevice">
        <source>Device</source>
        <extracomment>heading of the message list's device ID column (hex)</extracomment>
        <translation>Device</translation>
    </message>
    <message id="MessageColumnLength">
        <source>Length</source>
        <extracomment>heading of the message list's length column, in bytes</extracomment>
        <translation>Length</translation>
    </message>
    <message id="MessageColumnData">
        <source>First data bytes</source>
        <extracomment>heading of the message list's column of the bytes after the device ID</extracomment>
        <translation>First data bytes</translation>
    </message>
    <message id="MessageColumnChecksum">
        <source>Checksum</source>
        <extracomment>heading of the message list's checksum column</extracomment>
        <translation>Checksum</translation>
    </message>
    <message id="ChecksumOK">
        <source>OK</source>
        <extracomment>a message whose checksum is right</extracomment>
        <translation>OK</translation>
    </message>
    <message id="ChecksumBad">
        <source>BAD</source>
        <extracomment>a message whose checksum is wrong</extracomment>
        <translation>BAD</translation>
    </message>
    <message id="ChecksumNone">
        <source>–</source>
        <extracomment>a message of a format that carries no checksum</extracomment>
        <translation>–</translation>
    </message>
    <message id="ChecksumUnterminated">
        <source>no F7</source>
        <extracomment>a message that does not end with F7, in the checksum column</extracomment>
        <translation>no F7</translation>
    </message>
    <message id="MessageSummary">
        <source>%d messages, %d bytes; checksums: %d OK, %d BAD.</source>
        <extracomment>the message list's summary: messages, bytes, good and bad checksums</extracomment>
        <translation>%d messages, %d bytes; checksums: %d OK, %d BAD.</translation>
    </message>
    <message id="MessageSummaryOutside">
        <source> %d bytes lie outside messages, the first at offset %X.</source>
        <extracomment>appended to the summary: bytes outside messages, and the hex offset of the first</extracomment>
        <translation> %d bytes lie outside messages, the first at offset %X.</translation>
    </message>
    <message id="Save Selected Messages">
        <source>Save Selected Messages</source>
        <extracomment>title of the save dialog for the selected messages</extracomment>
        <translation>Save Selected Messages</translation>
    </message>
    <message id="Selected.syx">
        <source>Selected.syx</source>
        <extracomment>the file name the save dialog offers for the selected messages</extracomment>
        <translation>Selected.syx</translation>
    </message>
    <message id="StatusReceiveCompleteBad">
        <source>Received %d bytes, %d messages with a BAD checksum. Look at them with Messages… before saving.</source>
        <extracomment>status of a received dump with bad checksums: total bytes, bad messages</extracomment>
        <translation>Received %d bytes, %d messages with a BAD checksum. Look at them with Messages… before saving.</translation>
    </message>
</context>
</TS>
