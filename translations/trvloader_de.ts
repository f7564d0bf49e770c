<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE" sourcelanguage="en">
<context>
    <name>CliTool</name>
    <message>
        <source>List the boards&apos; firmware versions</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Waits for the instrument, asks every board for its firmware version, and lists each board with the version it runs and the version of the image that the tool would install.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Update the boards&apos; firmware</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Updates the boards named, all when none is named: the sensor boards together, then the control panel, then the main board, as the window does. BOARD is all, sensors, sensor1 to sensor5, terminal (the control panel) or mainboard. Every board asked for must answer, and no image may be older than the firmware its board runs; nothing is sent to a board before that is known.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Check firmware files</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Says whether each firmware file is usable, and shows its part code, name, version, build date, size and image checksum.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Put a firmware file&apos;s records in order</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Rewrites a firmware file with its data records in address order; old address, end and checksum records are replaced. Stamp the file afterwards. On any failure the file is left as it was.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Add the checksum record to a firmware file</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Appends the checksum record that the tool requires of every image to a firmware file that has none, then checks the file.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Shows this help.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Prints one JSON object per line for each event, then a final result object, instead of text for people.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Shows the version.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>No command given.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Usage: trvloader-cli [--json] COMMAND [OPTIONS] [ARGUMENTS]

Updates the firmware of the boards of a Tarvo QX40 keyboard instrument from
the command line, with the window&apos;s update, engine and texts.

Commands:
</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>
Options:
  -h, --help           Shows this help; after a command, the command&apos;s help.
  -v, --version        Shows the version, and those of hidapi and Qt.
  --json               One JSON object per line for each event, then a final
                       result object.

Run &quot;trvloader-cli COMMAND --help&quot; for the options of a command.

Exit codes:
</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>trvloader-cli %1
hidapi %2
Qt %3 (built with %4)
</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Unknown command &quot;%1&quot;.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Waits up to SECONDS for the instrument and its boards&apos; answers (default %1).</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>SECONDS</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Uses FILE in place of the built-in image for KIND: sensors, terminal or mainboard. Once per kind. The file is refused, before anything is sent, when it is not usable or its part code does not fit.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>KIND=FILE</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Leaves out boards that do not answer, instead of ending with an error.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Installs an image even where it is older than the firmware the board runs.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Boards to update: %1.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Firmware files to check.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The firmware file; it is rewritten.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>
Exit codes: see trvloader-cli --help.
</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>No file given.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Give exactly one file.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Unknown board &quot;%1&quot;; use %2.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&quot;versions&quot; takes no arguments.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>--wait takes a number of seconds from 0 to 86400, not &quot;%1&quot;.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>--firmware takes KIND=FILE with KIND sensors, terminal or mainboard, not &quot;%1&quot;.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>--firmware is given twice for %1.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Nothing has been sent to the instrument.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Run &quot;trvloader-cli --help&quot; for help.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Run &quot;trvloader-cli %1 --help&quot; for help.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>InstanceLock</name>
    <message>
        <source>you may not write to its folder</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>its folder does not exist</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the file system refused it</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The firmware update tool cannot make its lock file &quot;%1&quot;: %2. The lock keeps a second copy of the tool from talking to the instrument at the same time, so the tool does not start without it. Make sure that the folder &quot;%3&quot; exists and that you may write to it, then start the tool again.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The firmware update tool is already running (process %1).</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The firmware update tool is already running.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Only one copy at a time may talk to the instrument: two at once would break the update of a board. Use the copy that is running, or close it (or let its update finish) and start the tool again.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>InstrumentSession</name>
    <message>
        <source>The instrument was found, but none of its boards answered within %1 s.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>No instrument found within %1 s. Is it plugged in and switched on?</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>QObject</name>
    <message>
        <source>Keys 12-20</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Keys 21-42</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Keys 43-64</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Keys 65-86</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Keys 87-108</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>success</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>usage error: unknown command, option or board, or a wrong value</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>no instrument answered within the wait</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the instrument is there but cannot be opened (no permission, or busy)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>another copy of the update tool is running</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>a firmware file is not usable (unreadable, corrupted, wrong part code, out of order, too large), or it could not be sorted or stamped</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>a board asked for did not answer (see --skip-missing)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>an image is older than the version a board runs (see --allow-older)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>canceled with Ctrl-C</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Its checksum record is missing or does not fit its text. For a file changed on purpose, sort it (which drops the old record) and stamp it:
  trvloader-cli sort %1 &amp;&amp; trvloader-cli stamp %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The part code &quot;%1&quot; fits no board of the instrument</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>  Part code:   %1%2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>  Name:        %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>  Version:     %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>  Build date:  %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>  Size:        %1 bytes</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>  Checksum:    %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1: sorted. It has no checksum record now; stamp it next:
  trvloader-cli stamp %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The checksum record has been added.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1: stamped, checksum %2. %3</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1: already stamped, checksum %2. %3</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>  %1 (%2)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The built-in image for %1 is damaged: %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>built-in</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>No such kind of board: &quot;%1&quot; (use sensors, terminal or mainboard)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1: %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1: the part code &quot;%2&quot; fits no board of the instrument</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1: an image for %2 (part code %3) cannot go to %4 (part code %5)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Put its records in address order first (this rewrites the file), then stamp it:
  trvloader-cli sort %1 &amp;&amp; trvloader-cli stamp %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Firmware file is OK</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>File access denied</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Firmware file contains invalid data</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Firmware file has been corrupted</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Write access denied</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Firmware file is in an invalid order</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>No valid firmware file</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Firmware file is too large</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Unknown state</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Main Board</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Control Panel</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Sensor Boards</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Unknown Board</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>UpdateCommand</name>
    <message>
        <source>Waiting for the instrument (up to %1 s)...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Canceled: sending stopped at once.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Canceled before the update began: no board has been changed.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Instrument found.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>These boards did not answer: %1.
Check the instrument&apos;s cables, or leave them out with --skip-missing.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Left out, since they did not answer: %1.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>None of the boards asked for answered.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 runs %2, the image is %3</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>An image is older than the firmware its board runs:
  %1
Install it anyway with --allow-older.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Installing older firmware, as --allow-older asks:
  %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Boards to update:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Step %1 of %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source> (total %1%)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>These boards may now need a new update: %1.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Not updated, still on their old firmware: %1.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Updated: %1.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>UsbHid</name>
    <message>
        <source>The instrument is connected, but this user may not open it.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The instrument is connected, but another program is using it.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The instrument is connected, but it cannot be opened: %1.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Install the update tool&apos;s package, which lets the logged-in user open the instrument (sudo apt install ./trvloader_%1_amd64.deb), or install its udev rule from the build folder (sudo cmake --install build &amp;&amp; sudo udevadm control --reload-rules &amp;&amp; sudo udevadm trigger), as the README says. Then unplug the instrument and plug it in again.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Close the other program that uses the instrument; the connection is then made by itself.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Unplug the instrument and plug it in again.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>VersionsCommand</name>
    <message>
        <source>Waiting for the instrument (up to %1 s)...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Canceled.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>did not answer</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Board</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Name</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Installed</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Image</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>main</name>
    <message>
        <source>Tarvo QX40 Firmware Update Tool: brings the firmware built into it, or firmware files chosen in its window, into the boards of a Tarvo QX40 keyboard instrument connected by USB.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Unexpected argument &apos;%1&apos;.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>trvLoader</name>
    <message>
        <source>Tarvo QX40 Firmware Update Tool</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&lt;a href=&quot;https://www.kelmor.example/&quot; style=&quot;color: rgb(245, 177, 1);&quot;&gt;&lt;img src=&quot;:/img/trv-logo&quot; height=&quot;33&quot;/&gt;&lt;/a&gt;&lt;br/&gt;</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Tarvo QX40 Firmware Update Tool v1.15</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>?</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Update</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Advanced</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Start Update</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Sensor Boards</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Update firmware to:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>KSENS-v1.8.hex (Jun 12 2013 09:09:09, 75 kB)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Keys 12-20</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>v1.8</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Aktualisierung fehlgeschlagen (%p%)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Keys 21-42</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Keys 43-64</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Keys 65-86</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Keys 87-108</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Control Panel</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>KTERM-v1.8.hex (Jun 12 2013 09:09:09, 75 kB)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>KTERM</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Main Board</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>KZENT-v1.8.hex (Jun 12 2013 09:09:09, 75 kB)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>KZENT</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Cancel update</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Do you really want to cancel the firmware  update?</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Ready to start firmware update</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>One or more firmware files are missing</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Instrument cannot be opened</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>No valid firmware file</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Firmwarefile with invalid data</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Corrupted firmware file</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Load firmware files</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Load firmwar efile</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>An error occured while loading firmware file
&quot;%1&quot;
%2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Do you want to replace existing firmware file
&quot;%1&quot;
with selected firmware file?
&quot;%2&quot;</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Use selected firmware?
&quot;%1&quot;</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Load firmware file</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The firmware file
&quot;%1&quot;
is for no board of this instrument (part code &quot;%2&quot;).</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Start firmware update</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Do you want to start the update anyway?</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>No update selected</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>No board has been selected for firmware update. Please select boards you want to update.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1: installed %2, new %3</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>These boards have not answered and will not be updated:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>These boards run newer firmware than the update would install:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Every board that answered already runs the firmware that the update would install. The update would install it again.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Firmware update successfull</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>trvUpdater</name>
    <message>
        <source>An error occured</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Establishing connection</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Validate compability</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Start firmware update mode</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Transferring firmware file</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Validate firmware file and process data</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Validate new firmware version</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Waiting for device response</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Process firmware data</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Firmware update successfull</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Unknown state</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>No error occured</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Internal program error</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>No response from device</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Firmware update mode could not be startet</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Errors while transfering data</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Invalid firmware file</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Update could not be finished</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Unknown error</source>
        <translation type="unfinished"></translation>
    </message>
</context>
</TS>
