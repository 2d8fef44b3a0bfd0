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
    <message id="StatusDumpReceiving">
        <source>Receiving... %d complete messages, %d bytes (this message: %d bytes)</source>
        <extracomment>complete messages so far, SysEx bytes so far, bytes of the message arriving</extracomment>
        <translation>Receiving... %d complete messages, %d bytes (this message: %d bytes)</translation>
    </message>
    <message id="StatusDumpComplete">
        <source>Received %d complete messages, %d bytes. Save them to a file.</source>
        <extracomment>complete messages, their bytes</extracomment>
        <translation>Received %d complete messages, %d bytes. Save them to a file.</translation>
    </message>
    <message id="StatusDumpNothing">
        <source>No complete message was received.</source>
        <translation>No complete message was received.</translation>
    </message>
    <message id="StatusRequestSent">
        <source>Request sent, waiting for the dump</source>
        <translation>Request sent, waiting for the dump</translation>
    </message>
    <message id="DumpInterruptedOne">
        <source>1 message was interrupted and left out</source>
        <translation>1 message was interrupted and left out</translation>
    </message>
    <message id="DumpInterruptedMany">
        <source>%d messages were interrupted and left out</source>
        <translation>%d messages were interrupted and left out</translation>
    </message>
    <message id="DumpIncompleteAtStop">
        <source>The message arriving at the stop was incomplete and left out</source>
        <translation>The message arriving at the stop was incomplete and left out</translation>
    </message>
    <message id="ButtonStop">
        <source>Stop</source>
        <translation>Stop</translation>
    </message>
    <message id="RequestNoOutput">
        <source>Choose a MIDI output in the main window to send a request.</source>
        <translation>Choose a MIDI output in the main window to send a request.</translation>
    </message>
    <message id="RequestOutputFailed">
        <source>The MIDI output could not be opened, so no request can be sent.</source>
        <translation>The MIDI output could not be opened, so no request can be sent.</translation>
    </message>
    <message id="RequestEmpty">
        <source>Type the request in hex, for example F0 43 20 09 F7.</source>
        <translation>Type the request in hex, for example F0 43 20 09 F7.</translation>
    </message>
    <message id="RequestNotHex">
        <source>The request must be hex bytes such as F0 43 20 09 F7; character %d is not.</source>
        <extracomment>place of the bad character, from 1</extracomment>
        <translation>The request must be hex bytes such as F0 43 20 09 F7; character %d is not.</translation>
    </message>
    <message id="RequestNotFramed">
        <source>A request must be SysEx messages, each F0 ... F7; byte %d is not.</source>
        <extracomment>place of the bad byte, from 1</extracomment>
        <translation>A request must be SysEx messages, each F0 ... F7; byte %d is not.</translation>
    </message>
    <message id="RequestDataTooHigh">
        <source>The data bytes of a request must be below 80; byte %d is not.</source>
        <extracomment>place of the bad byte, from 1</extracomment>
        <translation>The data bytes of a request must be below 80; byte %d is not.</translation>
    </message>
    <message id="RequestTooLong">
        <source>A request may hold at most %d bytes.</source>
        <translation>A request may hold at most %d bytes.</translation>
    </message>
    <message id="RequestUnreadable">
        <source>The request file could not be read.</source>
        <translation>The request file could not be read.</translation>
    </message>
    <message id="RequestSendFailed">
        <source>The request could not be sent.</source>
        <translation>The request could not be sent.</translation>
    </message>
</context>
</TS>
