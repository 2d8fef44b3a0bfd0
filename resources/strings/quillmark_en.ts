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
    <message id="MidiFileNotMidi">
        <source>The file does not begin with a Standard MIDI File header.</source>
        <translation>The file does not begin with a Standard MIDI File header.</translation>
    </message>
    <message id="MidiFileFormat">
        <source>Only Standard MIDI Files of format 0 or 1 can be read.</source>
        <translation>Only Standard MIDI Files of format 0 or 1 can be read.</translation>
    </message>
    <message id="MidiFileDivision">
        <source>The file’s header gives no valid time division.</source>
        <translation>The file’s header gives no valid time division.</translation>
    </message>
    <message id="MidiFileTruncatedChunk">
        <source>A chunk is cut short: the file ends before the length its header gives.</source>
        <translation>A chunk is cut short: the file ends before the length its header gives.</translation>
    </message>
    <message id="MidiFileTracksMissing">
        <source>The file ends before all the tracks its header counts.</source>
        <translation>The file ends before all the tracks its header counts.</translation>
    </message>
    <message id="MidiFileLengthPastEnd">
        <source>An event’s length runs past the end of its track.</source>
        <translation>An event’s length runs past the end of its track.</translation>
    </message>
    <message id="MidiFileLongNumber">
        <source>A variable-length number is longer than four bytes.</source>
        <translation>A variable-length number is longer than four bytes.</translation>
    </message>
    <message id="MidiFileNoEndOfTrack">
        <source>A track ends without an end-of-track event.</source>
        <translation>A track ends without an end-of-track event.</translation>
    </message>
    <message id="MidiFileBadStatus">
        <source>An event has no status byte, or one that a file cannot hold.</source>
        <translation>An event has no status byte, or one that a file cannot hold.</translation>
    </message>
    <message id="MidiFileErrorInTrack">
        <source>Track %d: %s</source>
        <extracomment>a fault in a MIDI file: the track&apos;s number, what is wrong</extracomment>
        <translation>Track %d: %s</translation>
    </message>
    <message id="MidiFileNoSysEx">
        <source>The file holds no SysEx messages.</source>
        <translation>The file holds no SysEx messages.</translation>
    </message>
    <message id="Can&apos;t Read Midi File">
        <source>The file “%s” cannot be sent.</source>
        <extracomment>a Standard MIDI File that cannot be read; %s: its name</extracomment>
        <translation>The file “%s” cannot be sent.</translation>
    </message>
    <message id="SysEx Files">
        <source>SysEx files (*.syx)</source>
        <extracomment>a file type in the save dialog</extracomment>
        <translation>SysEx files (*.syx)</translation>
    </message>
    <message id="Midi Files">
        <source>Standard MIDI files (*.mid)</source>
        <extracomment>a file type in the save dialog</extracomment>
        <translation>Standard MIDI files (*.mid)</translation>
    </message>
</context>
</TS>
