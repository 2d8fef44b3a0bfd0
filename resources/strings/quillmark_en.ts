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
    <message id="StatusReceiveDataLost">
        <source>Reception failed: data was lost on the way, so the SysEx message is incomplete. Nothing was kept.</source>
        <translation>Reception failed: data was lost on the way, so the SysEx message is incomplete. Nothing was kept.</translation>
    </message>
    <message id="MidiNoSequencer">
        <source>No MIDI: the ALSA sequencer could not be opened, so there are no MIDI ports. Load it (modprobe snd-seq), make sure you may use /dev/snd/seq, and start Quillmark again; or start it with QUILLMARK_MIDI=virtual to try it with its virtual instrument.</source>
        <translation>No MIDI: the ALSA sequencer could not be opened, so there are no MIDI ports. Load it (modprobe snd-seq), make sure you may use /dev/snd/seq, and start Quillmark again; or start it with QUILLMARK_MIDI=virtual to try it with its virtual instrument.</translation>
    </message>
    <message id="MidiVirtualForMissing">
        <source>No ALSA sequencer was found, so Quillmark uses its built-in virtual instrument: nothing reaches a real device. Load the sequencer (modprobe snd-seq) and start Quillmark again to use your instruments.</source>
        <translation>No ALSA sequencer was found, so Quillmark uses its built-in virtual instrument: nothing reaches a real device. Load the sequencer (modprobe snd-seq) and start Quillmark again to use your instruments.</translation>
    </message>
    <message id="StatusReceiveSourceGone">
        <source>Reception failed: the MIDI input device went away.</source>
        <translation>Reception failed: the MIDI input device went away.</translation>
    </message>
    <message id="StatusTransmitCancel">
        <source>Transmission cancelled.</source>
        <translation>Transmission cancelled.</translation>
    </message>
    <message id="StatusTransmitError">
        <source>Transmission failed.</source>
        <translation>Transmission failed.</translation>
    </message>
    <message id="TimeMinutesSeconds">
        <source>%02d:%02d</source>
        <translation>%02d:%02d</translation>
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
        <source>&amp;Start</source>
        <translation>&amp;Start</translation>
    </message>
    <message id="ButtonCancel">
        <source>&amp;Cancel</source>
        <translation>&amp;Cancel</translation>
    </message>
    <message id="ButtonNext">
        <source>&amp;Next</source>
        <translation>&amp;Next</translation>
    </message>
    <message id="ButtonClose">
        <source>&amp;Close</source>
        <translation>&amp;Close</translation>
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
    <message id="Sendable Files">
        <source>SysEx files and lists (*.syx *.msy *.mid *.midi)</source>
        <extracomment>the files the open dialog shows first</extracomment>
        <translation>SysEx files and lists (*.syx *.msy *.mid *.midi)</translation>
    </message>
    <message id="All Files">
        <source>All files (*)</source>
        <extracomment>the open dialog's choice to show every file</extracomment>
        <translation>All files (*)</translation>
    </message>
    <message id="Midi Files">
        <source>Standard MIDI files (*.mid)</source>
        <extracomment>a file type in the save dialog</extracomment>
        <translation>Standard MIDI files (*.mid)</translation>
    </message>
    <message id="CliUsage">
        <source>Usage: quillmark [FILE.syx|FILE.msy|FILE.mid...]   the windows, with the transmit window on the files
       quillmark COMMAND [OPTION...]                   without windows</source>
        <extracomment>the overview's usage lines</extracomment>
        <translation>Usage: quillmark [FILE.syx|FILE.msy|FILE.mid...]   the windows, with the transmit window on the files
       quillmark COMMAND [OPTION...]                   without windows</translation>
    </message>
    <message id="CliCommandsHeading">
        <source>Commands:</source>
        <translation>Commands:</translation>
    </message>
    <message id="CliOverviewHelp">
        <source>quillmark COMMAND --help tells a command's options. quillmark --version tells the version.
DEVICE is a display name as the menus show it, or an ALSA address client:port as aconnect -l numbers it.</source>
        <translation>quillmark COMMAND --help tells a command's options. quillmark --version tells the version.
DEVICE is a display name as the menus show it, or an ALSA address client:port as aconnect -l numbers it.</translation>
    </message>
    <message id="CliOptionsHeading">
        <source>Options:</source>
        <translation>Options:</translation>
    </message>
    <message id="CliListSummary">
        <source>every MIDI input and output, one a line</source>
        <translation>every MIDI input and output, one a line</translation>
    </message>
    <message id="CliListUsage">
        <source>Usage: quillmark list</source>
        <translation>Usage: quillmark list</translation>
    </message>
    <message id="CliListHelp">
        <source>Prints every MIDI input and output, one a line: in or out, the display name and the ALSA
address client:port (empty where the MIDI service numbers none), separated by tabs.</source>
        <translation>Prints every MIDI input and output, one a line: in or out, the display name and the ALSA
address client:port (empty where the MIDI service numbers none), separated by tabs.</translation>
    </message>
    <message id="CliSendSummary">
        <source>send .syx files, .mid files and the files of .msy lists, in order</source>
        <translation>send .syx files, .mid files and the files of .msy lists, in order</translation>
    </message>
    <message id="CliSendUsage">
        <source>Usage: quillmark send [--out DEVICE] [--pause MS] [--speed BYTES] [--file-pause MS]
                      [--unpaced | --wire-speed] [--file-timing | --pause-timing] FILE...</source>
        <translation>Usage: quillmark send [--out DEVICE] [--pause MS] [--speed BYTES] [--file-pause MS]
                      [--unpaced | --wire-speed] [--file-timing | --pause-timing] FILE...</translation>
    </message>
    <message id="CliSendHelp">
        <source>Sends each .syx file, the SysEx messages of each Standard MIDI File (.mid), and the files of each .msy list in list order, to the MIDI output.</source>
        <translation>Sends each .syx file, the SysEx messages of each Standard MIDI File (.mid), and the files of each .msy list in list order, to the MIDI output.</translation>
    </message>
    <message id="CliSendOptionOut">
        <source>  --out DEVICE       the output (default: the remembered one)</source>
        <translation>  --out DEVICE       the output (default: the remembered one)</translation>
    </message>
    <message id="CliSendOptionPause">
        <source>  --pause MS         pause after each message, 0 to 5000 ms</source>
        <translation>  --pause MS         pause after each message, 0 to 5000 ms</translation>
    </message>
    <message id="CliSendOptionSpeed">
        <source>  --speed BYTES      speed to hardware ports, 10 to 3125 bytes a second</source>
        <translation>  --speed BYTES      speed to hardware ports, 10 to 3125 bytes a second</translation>
    </message>
    <message id="CliSendOptionFilePause">
        <source>  --file-pause MS    pause between files, 0 to 5000 ms</source>
        <translation>  --file-pause MS    pause between files, 0 to 5000 ms</translation>
    </message>
    <message id="CliSendOptionUnpaced">
        <source>  --unpaced          send to every port as fast as it takes the bytes</source>
        <translation>  --unpaced          send to every port as fast as it takes the bytes</translation>
    </message>
    <message id="CliSendOptionWireSpeed">
        <source>  --wire-speed       pace every port, software ones too, at the speed (default 3125)</source>
        <translation>  --wire-speed       pace every port, software ones too, at the speed (default 3125)</translation>
    </message>
    <message id="CliSendOptionFileTiming">
        <source>  --file-timing      space a .mid file's messages by the file's own timing</source>
        <translation>  --file-timing      space a .mid file's messages by the file's own timing</translation>
    </message>
    <message id="CliSendOptionPauseTiming">
        <source>  --pause-timing     space a .mid file's messages by the pause instead</source>
        <translation>  --pause-timing     space a .mid file's messages by the pause instead</translation>
    </message>
    <message id="CliSendHelpPacing">
        <source>Without these options the pacing remembered for the output device applies.</source>
        <translation>Without these options the pacing remembered for the output device applies.</translation>
    </message>
    <message id="CliReceiveSummary">
        <source>record one SysEx message, or a whole dump, into a file</source>
        <translation>record one SysEx message, or a whole dump, into a file</translation>
    </message>
    <message id="CliReceiveUsage">
        <source>Usage: quillmark receive [--in DEVICE] -o FILE [--many] [--idle SECONDS] [--timeout SECONDS]
                         [--request FILE | --request-hex "F0 ... F7"] [--out DEVICE]</source>
        <translation>Usage: quillmark receive [--in DEVICE] -o FILE [--many] [--idle SECONDS] [--timeout SECONDS]
                         [--request FILE | --request-hex "F0 ... F7"] [--out DEVICE]</translation>
    </message>
    <message id="CliReceiveHelp">
        <source>Records one SysEx message, F0 to F7, and writes it to FILE once it is complete.</source>
        <translation>Records one SysEx message, F0 to F7, and writes it to FILE once it is complete.</translation>
    </message>
    <message id="CliReceiveHelpMany">
        <source>With --many: every complete message until the silence, the timeout or Ctrl+C, in order.
Real-time bytes are left out, and so are broken or unfinished messages (the summary on
stderr counts them).</source>
        <translation>With --many: every complete message until the silence, the timeout or Ctrl+C, in order.
Real-time bytes are left out, and so are broken or unfinished messages (the summary on
stderr counts them).</translation>
    </message>
    <message id="CliReceiveOptionIn">
        <source>  --in DEVICE             the input (default: the remembered one)</source>
        <translation>  --in DEVICE             the input (default: the remembered one)</translation>
    </message>
    <message id="CliReceiveOptionTimeout">
        <source>  --timeout SECONDS       stop waiting after this long (default: wait until Ctrl+C)</source>
        <translation>  --timeout SECONDS       stop waiting after this long (default: wait until Ctrl+C)</translation>
    </message>
    <message id="CliReceiveOptionOutput">
        <source>  -o, --output FILE       the file to write: .syx, or .mid for a Standard MIDI File</source>
        <translation>  -o, --output FILE       the file to write: .syx, or .mid for a Standard MIDI File</translation>
    </message>
    <message id="CliReceiveOptionMany">
        <source>  --many                  record every message, not only the first</source>
        <translation>  --many                  record every message, not only the first</translation>
    </message>
    <message id="CliReceiveOptionIdle">
        <source>  --idle SECONDS          with --many: end after this long a silence after the first byte</source>
        <translation>  --idle SECONDS          with --many: end after this long a silence after the first byte</translation>
    </message>
    <message id="CliReceiveOptionRequest">
        <source>  --request FILE          send the request in this .syx file right after the input is armed</source>
        <translation>  --request FILE          send the request in this .syx file right after the input is armed</translation>
    </message>
    <message id="CliReceiveOptionRequestHex">
        <source>  --request-hex HEX       send these bytes as the request, for example "F0 43 20 09 F7"</source>
        <translation>  --request-hex HEX       send these bytes as the request, for example "F0 43 20 09 F7"</translation>
    </message>
    <message id="CliReceiveOptionOut">
        <source>  --out DEVICE            the output the request goes to (default: the remembered one)</source>
        <translation>  --out DEVICE            the output the request goes to (default: the remembered one)</translation>
    </message>
    <message id="CliReceiveHelpStatus">
        <source>Exit status: 0 written; 1 nothing complete came, or a failure; 2 a usage error; 130 Ctrl+C
before a message was complete (with --many, Ctrl+C writes what is complete).</source>
        <translation>Exit status: 0 written; 1 nothing complete came, or a failure; 2 a usage error; 130 Ctrl+C
before a message was complete (with --many, Ctrl+C writes what is complete).</translation>
    </message>
    <message id="CliShowSummary">
        <source>the messages of a .syx file, their makers and checksums</source>
        <translation>the messages of a .syx file, their makers and checksums</translation>
    </message>
    <message id="CliShowUsage">
        <source>Usage: quillmark show FILE</source>
        <translation>Usage: quillmark show FILE</translation>
    </message>
    <message id="CliShowHelp">
        <source>One line a message of FILE: number, offset (hex), length, manufacturer, checksum (OK, BAD,
&#8211; for none), then a summary. Exit status 1, saying where, when a checksum is BAD, a
message has no F7 or bytes lie outside messages.</source>
        <translation>One line a message of FILE: number, offset (hex), length, manufacturer, checksum (OK, BAD,
&#8211; for none), then a summary. Exit status 1, saying where, when a checksum is BAD, a
message has no F7 or bytes lie outside messages.</translation>
    </message>
    <message id="CliTryHelp">
        <source>(see %1)</source>
        <extracomment>%1: a command line that shows the help</extracomment>
        <translation>(see %1)</translation>
    </message>
    <message id="CliNoCommand">
        <source>no command given</source>
        <translation>no command given</translation>
    </message>
    <message id="CliUnknownCommand">
        <source>%1: unknown command</source>
        <translation>%1: unknown command</translation>
    </message>
    <message id="CliUnknownOption">
        <source>%1: unknown option</source>
        <translation>%1: unknown option</translation>
    </message>
    <message id="CliOptionTakesNoValue">
        <source>%1 takes no value</source>
        <translation>%1 takes no value</translation>
    </message>
    <message id="CliOptionNeedsValue">
        <source>%1 needs a value</source>
        <translation>%1 needs a value</translation>
    </message>
    <message id="CliOptionOutOfRange">
        <source>%1: %2 is not a whole number from %3 to %4</source>
        <extracomment>%1 the option, %2 its value, %3 and %4 the range</extracomment>
        <translation>%1: %2 is not a whole number from %3 to %4</translation>
    </message>
    <message id="CliOptionsExclusive">
        <source>%1 and %2 exclude each other</source>
        <translation>%1 and %2 exclude each other</translation>
    </message>
    <message id="CliUnexpectedOperand">
        <source>unexpected argument</source>
        <translation>unexpected argument</translation>
    </message>
    <message id="CliNoFileGiven">
        <source>no FILE given</source>
        <translation>no FILE given</translation>
    </message>
    <message id="CliNoOutputFile">
        <source>no output file given (-o FILE)</source>
        <translation>no output file given (-o FILE)</translation>
    </message>
    <message id="CliNoMidi">
        <source>the MIDI service could not be opened</source>
        <translation>the MIDI service could not be opened</translation>
    </message>
    <message id="CliNoInputChosen">
        <source>no MIDI input given (--in DEVICE) and none remembered</source>
        <translation>no MIDI input given (--in DEVICE) and none remembered</translation>
    </message>
    <message id="CliNoOutputChosen">
        <source>no MIDI output given (--out DEVICE) and none remembered</source>
        <translation>no MIDI output given (--out DEVICE) and none remembered</translation>
    </message>
    <message id="CliInputNotFound">
        <source>no such MIDI input (quillmark list shows them)</source>
        <translation>no such MIDI input (quillmark list shows them)</translation>
    </message>
    <message id="CliOutputNotFound">
        <source>no such MIDI output (quillmark list shows them)</source>
        <translation>no such MIDI output (quillmark list shows them)</translation>
    </message>
    <message id="CliDeviceNotOpened">
        <source>the MIDI device could not be opened</source>
        <translation>the MIDI device could not be opened</translation>
    </message>
    <message id="CliNoSuchFile">
        <source>no such file</source>
        <translation>no such file</translation>
    </message>
    <message id="CliIsFolder">
        <source>is a folder, not a file</source>
        <translation>is a folder, not a file</translation>
    </message>
    <message id="CliCannotReadFile">
        <source>the file could not be read</source>
        <translation>the file could not be read</translation>
    </message>
    <message id="CliCannotWriteFile">
        <source>the file could not be written</source>
        <translation>the file could not be written</translation>
    </message>
    <message id="CliNotSysEx">
        <source>not a SysEx file: it does not begin with F0</source>
        <translation>not a SysEx file: it does not begin with F0</translation>
    </message>
    <message id="CliNotSysExOrList">
        <source>neither a SysEx file nor a MultiSysEx list</source>
        <translation>neither a SysEx file nor a MultiSysEx list</translation>
    </message>
    <message id="CliTransmitFailed">
        <source>the transmission failed: the MIDI output did not take a block</source>
        <translation>the transmission failed: the MIDI output did not take a block</translation>
    </message>
    <message id="CliSendInterrupted">
        <source>interrupted: stopped after the current block</source>
        <translation>interrupted: stopped after the current block</translation>
    </message>
    <message id="CliSendProgress">
        <source>%1 of %2 bytes  %3%  %4  file %5 of %6: %7</source>
        <extracomment>%1 bytes sent, %2 of all files, %3 percent, %4 elapsed mm:ss, %5 of %6 files, %7 its name</extracomment>
        <translation>%1 of %2 bytes  %3%  %4  file %5 of %6: %7</translation>
    </message>
    <message id="CliSendDone">
        <source>Sent %1 bytes in %2 file(s) to %3 in %4.</source>
        <extracomment>%1 bytes, %2 files, %3 the device, %4 elapsed mm:ss</extracomment>
        <translation>Sent %1 bytes in %2 file(s) to %3 in %4.</translation>
    </message>
    <message id="CliReceiveWaiting">
        <source>Waiting for a SysEx message... (Ctrl+C ends)</source>
        <translation>Waiting for a SysEx message... (Ctrl+C ends)</translation>
    </message>
    <message id="CliReceiveProgress">
        <source>Receiving... %1 bytes  %2 s</source>
        <translation>Receiving... %1 bytes  %2 s</translation>
    </message>
    <message id="CliReceiveDone">
        <source>Received %1 bytes into %2.</source>
        <translation>Received %1 bytes into %2.</translation>
    </message>
    <message id="CliReceiveBroken">
        <source>data lost: the SysEx message broke off after %1 bytes; nothing written</source>
        <translation>data lost: the SysEx message broke off after %1 bytes; nothing written</translation>
    </message>
    <message id="CliReceiveTimedOut">
        <source>timed out: no complete SysEx message within %1 s; nothing written</source>
        <translation>timed out: no complete SysEx message within %1 s; nothing written</translation>
    </message>
    <message id="CliReceiveInterrupted">
        <source>interrupted: nothing written</source>
        <translation>interrupted: nothing written</translation>
    </message>
    <message id="CliIdleNeedsMany">
        <source>--idle needs --many</source>
        <translation>--idle needs --many</translation>
    </message>
    <message id="CliOutNeedsRequest">
        <source>--out is the output of a request: give --request or --request-hex</source>
        <translation>--out is the output of a request: give --request or --request-hex</translation>
    </message>
    <message id="CliRequestNotSent">
        <source>the request could not be sent</source>
        <translation>the request could not be sent</translation>
    </message>
    <message id="CliDumpWaiting">
        <source>Waiting for SysEx messages... (Ctrl+C ends)</source>
        <translation>Waiting for SysEx messages... (Ctrl+C ends)</translation>
    </message>
    <message id="CliDumpProgress">
        <source>Receiving... %1 messages  %2 bytes  %3 s</source>
        <extracomment>%1 complete messages, %2 bytes taken in, %3 seconds since the first byte</extracomment>
        <translation>Receiving... %1 messages  %2 bytes  %3 s</translation>
    </message>
    <message id="CliReceiveDataLost">
        <source>data lost: bytes were dropped on the way after %1 bytes of the message; it is incomplete, nothing written</source>
        <translation>data lost: bytes were dropped on the way after %1 bytes of the message; it is incomplete, nothing written</translation>
    </message>
    <message id="CliReceiveSourceGone">
        <source>the MIDI input device went away after %1 bytes; nothing written</source>
        <translation>the MIDI input device went away after %1 bytes; nothing written</translation>
    </message>
    <message id="CliDumpDataLost">
        <source>data lost: bytes were dropped on the way after %1 complete messages; the dump is incomplete, nothing written</source>
        <extracomment>%1 the messages that came whole before the loss</extracomment>
        <translation>data lost: bytes were dropped on the way after %1 complete messages; the dump is incomplete, nothing written</translation>
    </message>
    <message id="CliDumpSourceGone">
        <source>the MIDI input device went away after %1 complete messages; the dump is incomplete, nothing written</source>
        <extracomment>%1 the messages that came whole before it went</extracomment>
        <translation>the MIDI input device went away after %1 complete messages; the dump is incomplete, nothing written</translation>
    </message>
    <message id="CliDumpDone">
        <source>Received %1 messages, %2 bytes, into %3; none left out.</source>
        <extracomment>%1 messages, %2 their bytes, %3 the file</extracomment>
        <translation>Received %1 messages, %2 bytes, into %3; none left out.</translation>
    </message>
    <message id="CliDumpDoneLeftOut">
        <source>Received %1 messages, %2 bytes, into %3; left out: %4 interrupted by another status byte, %5 incomplete at the end.</source>
        <extracomment>%1 messages, %2 their bytes, %3 the file, %4 and %5 the messages left out</extracomment>
        <translation>Received %1 messages, %2 bytes, into %3; left out: %4 interrupted by another status byte, %5 incomplete at the end.</translation>
    </message>
    <message id="CliDumpNothing">
        <source>no complete SysEx message came before the silence (left out: %2 interrupted, %3 incomplete); nothing written</source>
        <extracomment>%2 and %3 the messages left out</extracomment>
        <translation>no complete SysEx message came before the silence (left out: %2 interrupted, %3 incomplete); nothing written</translation>
    </message>
    <message id="CliDumpTimedOut">
        <source>timed out: no complete SysEx message within %1 s (left out: %2 interrupted, %3 incomplete); nothing written</source>
        <extracomment>%1 the timeout, %2 and %3 the messages left out</extracomment>
        <translation>timed out: no complete SysEx message within %1 s (left out: %2 interrupted, %3 incomplete); nothing written</translation>
    </message>
    <message id="CliShowNotInOrder">
        <source>not in order: %1 BAD checksums, %2 unterminated messages, %3 runs of bytes outside messages</source>
        <extracomment>%1, %2, %3 counts</extracomment>
        <translation>not in order: %1 BAD checksums, %2 unterminated messages, %3 runs of bytes outside messages</translation>
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
    <message id="DumpDataLost">
        <source>Data was lost on the way: the dump is incomplete; only the messages that came whole before the loss are kept</source>
        <translation>Data was lost on the way: the dump is incomplete; only the messages that came whole before the loss are kept</translation>
    </message>
    <message id="DumpSourceGone">
        <source>The MIDI input device went away: the dump ended there</source>
        <translation>The MIDI input device went away: the dump ended there</translation>
    </message>
    <message id="ButtonStop">
        <source>S&amp;top</source>
        <translation>S&amp;top</translation>
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
    <message id="FileCannotBeSent">
        <source>The file “%s” cannot be sent.</source>
        <extracomment>%s: the file's name</extracomment>
        <translation>The file “%s” cannot be sent.</translation>
    </message>
    <message id="ListedFileCannotBeSent">
        <source>The file “%s”, number %d of the list “%s”, cannot be sent.</source>
        <extracomment>the listed name, its number, the list's name</extracomment>
        <translation>The file “%s”, number %d of the list “%s”, cannot be sent.</translation>
    </message>
    <message id="FileUnterminated">
        <source>The file “%s” ends inside a SysEx message: its last byte is not F7.</source>
        <extracomment>%s: the file's name</extracomment>
        <translation>The file “%s” ends inside a SysEx message: its last byte is not F7.</translation>
    </message>
    <message id="FileUnterminatedQuestion">
        <source>Send it anyway? The instrument may wait for the end of the message.</source>
        <translation>Send it anyway? The instrument may wait for the end of the message.</translation>
    </message>
    <message id="ButtonSendAnyway">
        <source>&amp;Send Anyway</source>
        <translation>&amp;Send Anyway</translation>
    </message>
    <message id="FileOfNamedList">
        <source>%s: file %d of %d: %s</source>
        <extracomment>the list's name, the file's place in the list, the list's length, the file's name</extracomment>
        <translation>%s: file %d of %d: %s</translation>
    </message>
    <message id="ReasonNotFound">
        <source>It was not found: there is no such file.</source>
        <translation>It was not found: there is no such file.</translation>
    </message>
    <message id="ReasonPermissionDenied">
        <source>Permission denied: you may not read it.</source>
        <translation>Permission denied: you may not read it.</translation>
    </message>
    <message id="ReasonIsFolder">
        <source>It is a folder, not a file.</source>
        <translation>It is a folder, not a file.</translation>
    </message>
    <message id="ReasonNotAFile">
        <source>It is not a regular file but a device or a pipe.</source>
        <translation>It is not a regular file but a device or a pipe.</translation>
    </message>
    <message id="ReasonUnreadable">
        <source>It could not be read.</source>
        <translation>It could not be read.</translation>
    </message>
    <message id="ReasonEmpty">
        <source>The file is empty.</source>
        <translation>The file is empty.</translation>
    </message>
    <message id="ReasonNotSysEx">
        <source>It is not a SysEx file: its first byte is not F0.</source>
        <translation>It is not a SysEx file: its first byte is not F0.</translation>
    </message>
    <message id="ReasonListNoHeader">
        <source>It is not a valid MultiSysEx list: it has no [MultiSysEx] header.</source>
        <translation>It is not a valid MultiSysEx list: it has no [MultiSysEx] header.</translation>
    </message>
    <message id="ReasonListSectionName">
        <source>It is not a valid MultiSysEx list: its section name does not begin with MultiSysEx.</source>
        <translation>It is not a valid MultiSysEx list: its section name does not begin with MultiSysEx.</translation>
    </message>
    <message id="ReasonListNoEntries">
        <source>It is not a valid MultiSysEx list: it names no files.</source>
        <translation>It is not a valid MultiSysEx list: it names no files.</translation>
    </message>
    <message id="ReasonListNameTooLong">
        <source>It is not a valid MultiSysEx list: the name under number %d is 255 characters or longer.</source>
        <extracomment>%d: the entry number</extracomment>
        <translation>It is not a valid MultiSysEx list: the name under number %d is 255 characters or longer.</translation>
    </message>
    <message id="ReasonListRepeatedNumber">
        <source>It is not a valid MultiSysEx list: the number %d is listed more than once.</source>
        <extracomment>%d: the entry number</extracomment>
        <translation>It is not a valid MultiSysEx list: the number %d is listed more than once.</translation>
    </message>
    <message id="SaveFailed">
        <source>The dump could not be saved as “%s”.</source>
        <extracomment>%s: the file's name</extracomment>
        <translation>The dump could not be saved as “%s”.</translation>
    </message>
    <message id="StatusSaved">
        <source>Saved to %s</source>
        <extracomment>%s: the path of the saved file</extracomment>
        <translation>Saved to %s</translation>
    </message>
    <message id="Save Received Dump">
        <source>Do you want to save the received dump before closing?</source>
        <translation>Do you want to save the received dump before closing?</translation>
    </message>
    <message id="Save Received Dump Explanation">
        <source>The dump will be lost if you don’t save it.</source>
        <translation>The dump will be lost if you don’t save it.</translation>
    </message>
    <message id="ReasonFolderNotFound">
        <source>The folder was not found: it does not exist.</source>
        <translation>The folder was not found: it does not exist.</translation>
    </message>
    <message id="ReasonWritePermissionDenied">
        <source>Permission denied: you may not write in that folder.</source>
        <translation>Permission denied: you may not write in that folder.</translation>
    </message>
    <message id="ReasonReadOnly">
        <source>The disk or folder is read-only.</source>
        <translation>The disk or folder is read-only.</translation>
    </message>
    <message id="ReasonDiskFull">
        <source>The disk is full.</source>
        <translation>The disk is full.</translation>
    </message>
    <message id="ReasonBadName">
        <source>The name cannot be used for a file.</source>
        <translation>The name cannot be used for a file.</translation>
    </message>
    <message id="ReasonNotWritten">
        <source>The file could not be written.</source>
        <translation>The file could not be written.</translation>
    </message>
</context>
</TS>
