<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE" sourcelanguage="en">
<context>
    <name>BenchLoop</name>
    <message>
        <source>Waiting for an instrument (up to %1 s)...</source>
        <translation>Warten auf ein Instrument (bis zu %1 s) ...</translation>
    </message>
    <message>
        <source>Waiting for the next instrument (up to %1 s)...</source>
        <translation>Warten auf das nächste Instrument (bis zu %1 s) ...</translation>
    </message>
    <message>
        <source>Unplug %1; the next instrument is updated once it is plugged in.</source>
        <translation>Ziehen Sie %1 ab; das nächste Instrument wird aktualisiert, sobald es angeschlossen ist.</translation>
    </message>
    <message>
        <source>updated</source>
        <translation>aktualisiert</translation>
    </message>
    <message>
        <source>already current, nothing sent</source>
        <translation>bereits aktuell, nichts gesendet</translation>
    </message>
    <message>
        <source>canceled</source>
        <translation>abgebrochen</translation>
    </message>
    <message>
        <source>failed (%1)</source>
        <translation>fehlgeschlagen (%1)</translation>
    </message>
    <message>
        <source>%1: %2 in %3 s: %4</source>
        <translation>%1: %2 in %3 s: %4</translation>
    </message>
    <message>
        <source>Bench: %1 updated%2, %3 failed%4, %5 already current%6.</source>
        <translation>Prüfstand: %1 aktualisiert%2, %3 fehlgeschlagen%4, %5 bereits aktuell%6.</translation>
    </message>
</context>
<context>
    <name>BoardRow</name>
    <message>
        <source>No valid firmware file</source>
        <translation>Keine gültige Firmware-Datei</translation>
    </message>
    <message>
        <source>Firmwarefile with invalid data</source>
        <translation>Firmware-Datei mit ungültigen Daten</translation>
    </message>
    <message>
        <source>Corrupted firmware file</source>
        <translation>Beschädigte Firmware-Datei</translation>
    </message>
    <message>
        <source>%1 installed version: unknown</source>
        <translation>%1, installierte Version: unbekannt</translation>
    </message>
    <message>
        <source>%1 installed version: %2</source>
        <translation>%1, installierte Version: %2</translation>
    </message>
    <message>
        <source>%1 progress</source>
        <translation>%1, Fortschritt</translation>
    </message>
    <message>
        <source>%1 firmware file: %2</source>
        <translation>%1, Firmware-Datei: %2</translation>
    </message>
    <message>
        <source>Load a firmware file for %1</source>
        <translation>Firmware-Datei für %1 laden</translation>
    </message>
</context>
<context>
    <name>BoardTable</name>
    <message>
        <source>Keys 12-20</source>
        <translation>Tasten 12-20</translation>
    </message>
    <message>
        <source>Keys 21-42</source>
        <translation>Tasten 21-42</translation>
    </message>
    <message>
        <source>Keys 43-64</source>
        <translation>Tasten 43-64</translation>
    </message>
    <message>
        <source>Keys 65-86</source>
        <translation>Tasten 65-86</translation>
    </message>
    <message>
        <source>Keys 87-108</source>
        <translation>Tasten 87-108</translation>
    </message>
    <message>
        <source>Control Panel</source>
        <translation>Bedienfeld</translation>
    </message>
    <message>
        <source>Main Board</source>
        <translation>Hauptplatine</translation>
    </message>
</context>
<context>
    <name>CliTool</name>
    <message>
        <source>List the boards&apos; firmware versions</source>
        <translation>Firmware-Versionen der Platinen anzeigen</translation>
    </message>
    <message>
        <source>Waits for the instrument, asks every board for its firmware version, and lists each board with the version it runs and the version of the image that the tool would install.</source>
        <translation>Wartet auf das Instrument, fragt jede Platine nach ihrer Firmware-Version und listet jede Platine mit der Version auf, die sie ausführt, und der Version des Images, das das Tool installieren würde.</translation>
    </message>
    <message>
        <source>Update the boards&apos; firmware</source>
        <translation>Firmware der Platinen aktualisieren</translation>
    </message>
    <message>
        <source>Updates the boards named, all when none is named: the sensor boards together, then the control panel, then the main board, as the window does. BOARD is all, sensors, sensor1 to sensor5, terminal (the control panel) or mainboard. Every board asked for must answer, and no image may be older than the firmware its board runs; nothing is sent to a board before that is known.</source>
        <translation>Aktualisiert die genannten Platinen, alle, wenn keine genannt ist: erst die Sensorplatinen gemeinsam, dann das Bedienfeld, dann die Hauptplatine, wie im Fenster. BOARD ist all, sensors, sensor1 bis sensor5, terminal (das Bedienfeld) oder mainboard. Jede gewünschte Platine muss antworten, und kein Image darf älter sein als die Firmware, die auf seiner Platine läuft; bevor das feststeht, wird nichts an eine Platine gesendet.</translation>
    </message>
    <message>
        <source>Check firmware files</source>
        <translation>Firmware-Dateien prüfen</translation>
    </message>
    <message>
        <source>Says whether each firmware file is usable, and shows its part code, name, version, build date, size and image checksum.</source>
        <translation>Gibt an, ob jede Firmware-Datei verwendbar ist, und zeigt ihren Teilecode, Namen, Version, Erstellungsdatum, Größe und Image-Prüfsumme.</translation>
    </message>
    <message>
        <source>Put a firmware file&apos;s records in order</source>
        <translation>Datensätze einer Firmware-Datei sortieren</translation>
    </message>
    <message>
        <source>Rewrites a firmware file with its data records in address order; old address, end and checksum records are replaced. Stamp the file afterwards. On any failure the file is left as it was.</source>
        <translation>Schreibt eine Firmware-Datei mit ihren Datensätzen in Adressreihenfolge neu; alte Adress-, End- und Prüfsummen-Datensätze werden ersetzt. Stempeln Sie die Datei danach. Bei einem Fehler bleibt die Datei, wie sie war.</translation>
    </message>
    <message>
        <source>Add the checksum record to a firmware file</source>
        <translation>Prüfsummen-Datensatz an eine Firmware-Datei anfügen</translation>
    </message>
    <message>
        <source>Appends the checksum record that the tool requires of every image to a firmware file that has none, then checks the file.</source>
        <translation>Fügt einer Firmware-Datei ohne Prüfsummen-Datensatz den Datensatz an, den das Tool von jedem Image verlangt, und prüft die Datei dann.</translation>
    </message>
    <message>
        <source>Shows this help.</source>
        <translation>Zeigt diese Hilfe.</translation>
    </message>
    <message>
        <source>Prints one JSON object per line for each event, then a final result object, instead of text for people.</source>
        <translation>Gibt statt lesbarem Text für jedes Ereignis ein JSON-Objekt pro Zeile aus, zum Schluss ein Ergebnisobjekt.</translation>
    </message>
    <message>
        <source>Shows the version.</source>
        <translation>Zeigt die Version.</translation>
    </message>
    <message>
        <source>No command given.</source>
        <translation>Kein Befehl angegeben.</translation>
    </message>
    <message>
        <source>Usage: trvloader-cli [--json] COMMAND [OPTIONS] [ARGUMENTS]

Updates the firmware of the boards of a Tarvo QX40 keyboard instrument from
the command line, with the window&apos;s update, engine and texts.

Commands:
</source>
        <translation>Aufruf: trvloader-cli [--json] BEFEHL [OPTIONEN] [ARGUMENTE]

Aktualisiert die Firmware der Platinen eines Tarvo QX40 Keyboard-Instruments
von der Kommandozeile aus, mit demselben Update-Ablauf und denselben Texten
wie das Fenster.

Befehle:
</translation>
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
        <translation>
Optionen:
  -h, --help           Zeigt diese Hilfe; nach einem Befehl dessen Hilfe.
  -v, --version        Zeigt die Version und die von hidapi und Qt.
  --json               Ein JSON-Objekt pro Zeile für jedes Ereignis, zum Schluss
                       ein Ergebnisobjekt.

„trvloader-cli BEFEHL --help“ zeigt die Optionen eines Befehls.

Exit-Codes:
</translation>
    </message>
    <message>
        <source>trvloader-cli %1
hidapi %2
Qt %3 (built with %4)
</source>
        <translation>trvloader-cli %1
hidapi %2
Qt %3 (erstellt mit %4)
</translation>
    </message>
    <message>
        <source>Unknown command &quot;%1&quot;.</source>
        <translation>Unbekannter Befehl „%1“.</translation>
    </message>
    <message>
        <source>Waits up to SECONDS for the instrument and its boards&apos; answers (default %1).</source>
        <translation>Wartet bis zu SECONDS Sekunden auf das Instrument und die Antworten seiner Platinen (Standard: %1).</translation>
    </message>
    <message>
        <source>SECONDS</source>
        <translation>SECONDS</translation>
    </message>
    <message>
        <source>Uses FILE in place of the built-in image for KIND: sensors, terminal or mainboard. Once per kind. The file is refused, before anything is sent, when it is not usable or its part code does not fit.</source>
        <translation>Verwendet FILE statt des eingebauten Images für KIND: sensors, terminal oder mainboard. Einmal je Art. Die Datei wird abgelehnt, bevor etwas gesendet wird, wenn sie nicht verwendbar ist oder ihr Teilecode nicht passt.</translation>
    </message>
    <message>
        <source>KIND=FILE</source>
        <translation>KIND=FILE</translation>
    </message>
    <message>
        <source>Leaves out boards that do not answer, instead of ending with an error.</source>
        <translation>Lässt Platinen aus, die nicht antworten, statt mit einem Fehler zu enden.</translation>
    </message>
    <message>
        <source>Installs an image even where it is older than the firmware the board runs.</source>
        <translation>Installiert ein Image auch dann, wenn es älter ist als die Firmware, die auf der Platine läuft.</translation>
    </message>
    <message>
        <source>Boards to update: %1.</source>
        <translation>Zu aktualisierende Platinen: %1.</translation>
    </message>
    <message>
        <source>Firmware files to check.</source>
        <translation>Zu prüfende Firmware-Dateien.</translation>
    </message>
    <message>
        <source>The firmware file; it is rewritten.</source>
        <translation>Die Firmware-Datei; sie wird neu geschrieben.</translation>
    </message>
    <message>
        <source>
Exit codes: see trvloader-cli --help.
</source>
        <translation>
Exit-Codes: siehe trvloader-cli --help.
</translation>
    </message>
    <message>
        <source>No file given.</source>
        <translation>Keine Datei angegeben.</translation>
    </message>
    <message>
        <source>Give exactly one file.</source>
        <translation>Geben Sie genau eine Datei an.</translation>
    </message>
    <message>
        <source>Unknown board &quot;%1&quot;; use %2.</source>
        <translation>Unbekannte Platine „%1“; möglich sind %2.</translation>
    </message>
    <message>
        <source>&quot;versions&quot; takes no arguments.</source>
        <translation>„versions“ nimmt keine Argumente.</translation>
    </message>
    <message>
        <source>--wait takes a number of seconds from 0 to 86400, not &quot;%1&quot;.</source>
        <translation>--wait erwartet eine Zahl von Sekunden von 0 bis 86400, nicht „%1“.</translation>
    </message>
    <message>
        <source>--firmware takes KIND=FILE with KIND sensors, terminal or mainboard, not &quot;%1&quot;.</source>
        <translation>--firmware erwartet KIND=FILE mit KIND sensors, terminal oder mainboard, nicht „%1“.</translation>
    </message>
    <message>
        <source>--firmware is given twice for %1.</source>
        <translation>--firmware ist für %1 zweimal angegeben.</translation>
    </message>
    <message>
        <source>Nothing has been sent to the instrument.</source>
        <translation>Es wurde nichts an das Instrument gesendet.</translation>
    </message>
    <message>
        <source>Run &quot;trvloader-cli --help&quot; for help.</source>
        <translation>Hilfe erhalten Sie mit „trvloader-cli --help“.</translation>
    </message>
    <message>
        <source>Run &quot;trvloader-cli %1 --help&quot; for help.</source>
        <translation>Hilfe erhalten Sie mit „trvloader-cli %1 --help“.</translation>
    </message>
    <message>
        <source>Usage: trvloader-cli %1 [options] %2
</source>
        <translation>Aufruf: trvloader-cli %1 [Optionen] %2
</translation>
    </message>
    <message>
        <source>List the updates made on this computer</source>
        <translation>Die auf diesem Computer gemachten Updates anzeigen</translation>
    </message>
    <message>
        <source>Lists the update history, newest first: one record for each step of every update made by the window or the command line of this user, with the instrument&apos;s serial number, the boards, their versions before and after, the image and how it ended. A step that never ended (the program was stopped, the computer went off) reads interrupted.</source>
        <translation>Zeigt den Update-Verlauf, das Neueste zuerst: einen Eintrag für jeden Schritt jedes Updates, das dieser Benutzer im Fenster oder auf der Kommandozeile gemacht hat, mit der Seriennummer des Instruments, den Platinen, ihren Versionen vorher und nachher, dem Image und wie der Schritt endete. Ein Schritt, der nie endete (das Programm wurde beendet, der Computer ging aus), steht als „interrupted“ da.</translation>
    </message>
    <message>
        <source>Print a report for support</source>
        <translation>Einen Bericht für den Support ausgeben</translation>
    </message>
    <message>
        <source>Looks briefly for the instrument and prints a plain-text report to paste into a support request: the tool, Qt and hidapi versions, the system, whether the instrument is there or why it cannot be opened, each board&apos;s version, the last ten update records and the end of the log. Nothing is sent anywhere.</source>
        <translation>Sucht kurz nach dem Instrument und gibt einen Textbericht aus, den Sie in eine Support-Anfrage einfügen können: die Versionen des Tools, von Qt und hidapi, das System, ob das Instrument da ist oder warum es sich nicht öffnen lässt, die Version jeder Platine, die letzten zehn Update-Einträge und das Ende des Protokolls. Es wird nichts verschickt.</translation>
    </message>
    <message>
        <source>Lists only the updates of the instrument with this serial number.</source>
        <translation>Zeigt nur die Updates des Instruments mit dieser Seriennummer.</translation>
    </message>
    <message>
        <source>SERIAL</source>
        <translation>SERIAL</translation>
    </message>
    <message>
        <source>Lists at most N records.</source>
        <translation>Zeigt höchstens N Einträge.</translation>
    </message>
    <message>
        <source>N</source>
        <translation>N</translation>
    </message>
    <message>
        <source>&quot;history&quot; takes no arguments.</source>
        <translation>„history“ nimmt keine Argumente.</translation>
    </message>
    <message>
        <source>--limit takes a number of records from 1 on, not &quot;%1&quot;.</source>
        <translation>--limit erwartet eine Anzahl von Einträgen ab 1, nicht „%1“.</translation>
    </message>
    <message numerus="yes">
        <source>%n damaged line(s) of %1 skipped.</source>
        <translation>
            <numerusform>%n beschädigte Zeile von %1 übersprungen.</numerusform>
            <numerusform>%n beschädigte Zeilen von %1 übersprungen.</numerusform>
        </translation>
    </message>
    <message>
        <source>No update recorded in %1.</source>
        <translation>Kein Update in %1 verzeichnet.</translation>
    </message>
    <message>
        <source>&quot;report&quot; takes no arguments.</source>
        <translation>„report“ nimmt keine Argumente.</translation>
    </message>
    <message>
        <source>--firmware is given for %1, but no board of it is being updated.</source>
        <translation>--firmware ist für %1 angegeben, aber keine Platine davon wird aktualisiert.</translation>
    </message>
    <message>
        <source>The built-in image for %1 is damaged: %2</source>
        <translation>Das eingebaute Image für %1 ist beschädigt: %2</translation>
    </message>
    <message>
        <source>%1: %2</source>
        <translation>%1: %2</translation>
    </message>
    <message>
        <source>%1: the part code &quot;%2&quot; fits no board of the instrument</source>
        <translation>%1: Der Teilecode „%2“ passt zu keiner Platine des Instruments</translation>
    </message>
    <message>
        <source>%1: an image for %2 (part code %3) cannot go to %4 (part code %5)</source>
        <translation>%1: Ein Image für %2 (Teilecode %3) passt nicht auf %4 (Teilecode %5)</translation>
    </message>
    <message>
        <source>No update of the instrument with serial number %1 recorded in %2.</source>
        <translation>Kein Update des Instruments mit der Seriennummer %1 in %2 verzeichnet.</translation>
    </message>
    <message>
        <source>Talks only to the instrument with this serial number (for one that reports none: its device path). Needed where several instruments are connected.</source>
        <translation>Spricht nur mit dem Instrument mit dieser Seriennummer (bei einem ohne Seriennummer: mit seinem Gerätepfad). Nötig, wo mehrere Instrumente angeschlossen sind.</translation>
    </message>
    <message>
        <source>Updates one instrument after another: after each, waits until it is unplugged and for the next (--wait: up to SECONDS for each, default a day). One result line per instrument, a summary at the end; Ctrl-C between instruments ends it.</source>
        <translation>Aktualisiert ein Instrument nach dem anderen: wartet nach jedem, bis es abgezogen ist, und auf das nächste (--wait: bis zu SECONDS Sekunden je Instrument, Standard ein Tag). Eine Ergebniszeile je Instrument, am Ende eine Zusammenfassung; Strg-C zwischen zwei Instrumenten beendet es.</translation>
    </message>
    <message>
        <source>With --repeat: ends after N instruments.</source>
        <translation>Mit --repeat: endet nach N Instrumenten.</translation>
    </message>
    <message>
        <source>--count takes a number of instruments from 1 on, not &quot;%1&quot;.</source>
        <translation>--count erwartet eine Anzahl von Instrumenten ab 1, nicht „%1“.</translation>
    </message>
    <message>
        <source>Leaves out boards that already run their image&apos;s version; when all do, nothing is sent.</source>
        <translation>Lässt Platinen aus, die bereits die Version ihres Images ausführen; tun es alle, wird nichts gesendet.</translation>
    </message>
    <message>
        <source>Ends with exit code %1 unless every board runs its image&apos;s version.</source>
        <translation>Endet mit dem Exit-Code %1, außer jede Platine führt die Version ihres Images aus.</translation>
    </message>
    <message>
        <source>--count goes with --repeat.</source>
        <translation>--count gehört zu --repeat.</translation>
    </message>
</context>
<context>
    <name>FileOffering</name>
    <message>
        <source>Load firmware files</source>
        <translation>Firmware-Dateien laden</translation>
    </message>
    <message>
        <source>Load firmwar efile</source>
        <translation>Firmware-Datei laden</translation>
    </message>
    <message>
        <source>An error occured while loading firmware file
&quot;%1&quot;
%2</source>
        <translation>Beim Laden der Firmware-Datei
„%1“
ist ein Fehler aufgetreten:
%2</translation>
    </message>
    <message>
        <source>Load firmware file</source>
        <translation>Firmware-Datei laden</translation>
    </message>
    <message>
        <source>The firmware file
&quot;%1&quot;
is for no board of this instrument (part code &quot;%2&quot;).</source>
        <translation>Die Firmware-Datei
„%1“
passt zu keiner Platine dieses Instruments (Teilecode „%2“).</translation>
    </message>
    <message>
        <source>Do you want to replace the firmware file of the %1
&quot;%2&quot;
with selected firmware file?
&quot;%3&quot;</source>
        <translation>Möchten Sie die Firmware-Datei für %1
„%2“
durch die ausgewählte Firmware-Datei ersetzen?
„%3“</translation>
    </message>
    <message>
        <source>Use selected firmware for the %1?
&quot;%2&quot;</source>
        <translation>Ausgewählte Firmware für %1 verwenden?
„%2“</translation>
    </message>
</context>
<context>
    <name>HelpDialog</name>
    <message>
        <source>Help and Licence Information</source>
        <translation>Hilfe und Lizenzinformationen</translation>
    </message>
    <message>
        <source>Help</source>
        <translation>Hilfe</translation>
    </message>
    <message>
        <source>This tool brings new firmware into the boards of a Tarvo QX40 keyboard instrument connected by USB: press Start Update to update every board. Under Advanced you can choose boards and load other firmware files.</source>
        <translation>Dieses Werkzeug bringt neue Firmware in die Platinen eines per USB angeschlossenen Tarvo-QX40-Tasteninstruments: Drücken Sie „Update starten“, um alle Platinen zu aktualisieren. Unter „Erweitert“ können Sie Platinen auswählen und andere Firmware-Dateien laden.</translation>
    </message>
    <message>
        <source>Every update is kept in the update history, %1, with a log of what the tool did beside it.</source>
        <translation>Jedes Update wird im Update-Verlauf %1 festgehalten, daneben ein Protokoll dessen, was das Werkzeug getan hat.</translation>
    </message>
    <message>
        <source>The same update runs without a window from the command line: %1 (see %2).</source>
        <translation>Dasselbe Update läuft ohne Fenster auch auf der Kommandozeile: %1 (siehe %2).</translation>
    </message>
    <message>
        <source>When an update fails again, press &quot;Report for Support...&quot; and send the report to support.</source>
        <translation>Schlägt ein Update erneut fehl, drücken Sie „Bericht für den Support...“ und senden Sie den Bericht an den Support.</translation>
    </message>
    <message>
        <source>&amp;Report for Support...</source>
        <translation>&amp;Bericht für den Support...</translation>
    </message>
</context>
<context>
    <name>InstanceLock</name>
    <message>
        <source>you may not write to its folder</source>
        <translation>Sie dürfen im Ordner der Datei nicht schreiben</translation>
    </message>
    <message>
        <source>its folder does not exist</source>
        <translation>der Ordner der Datei existiert nicht</translation>
    </message>
    <message>
        <source>the file system refused it</source>
        <translation>das Dateisystem hat das Anlegen abgelehnt</translation>
    </message>
    <message>
        <source>The firmware update tool cannot make its lock file &quot;%1&quot;: %2. The lock keeps a second copy of the tool from talking to the instrument at the same time, so the tool does not start without it. Make sure that the folder &quot;%3&quot; exists and that you may write to it, then start the tool again.</source>
        <translation>Das Firmware-Update-Tool kann seine Sperrdatei „%1“ nicht anlegen: %2. Die Sperre verhindert, dass eine zweite Kopie des Tools gleichzeitig mit dem Instrument kommuniziert; ohne sie startet das Tool daher nicht. Stellen Sie sicher, dass der Ordner „%3“ existiert und Sie darin schreiben dürfen, und starten Sie das Tool dann erneut.</translation>
    </message>
    <message>
        <source>The firmware update tool is already running (process %1).</source>
        <translation>Das Firmware-Update-Tool läuft bereits (Prozess %1).</translation>
    </message>
    <message>
        <source>The firmware update tool is already running.</source>
        <translation>Das Firmware-Update-Tool läuft bereits.</translation>
    </message>
    <message>
        <source>Only one copy at a time may talk to the instrument: two at once would break the update of a board. Use the copy that is running, or close it (or let its update finish) and start the tool again.</source>
        <translation>Es darf immer nur eine Kopie mit dem Instrument kommunizieren: Zwei gleichzeitig würden das Update einer Platine zerstören. Verwenden Sie die laufende Kopie, oder beenden Sie sie (oder lassen Sie ihr Update zu Ende laufen) und starten Sie das Tool dann erneut.</translation>
    </message>
    <message>
        <source>The firmware update tool is already running in its window (trvloader, process %1).</source>
        <translation>Das Firmware-Update-Tool läuft bereits in seinem Fenster (trvloader, Prozess %1).</translation>
    </message>
    <message>
        <source>The firmware update tool is already running on the command line (trvloader-cli, process %1).</source>
        <translation>Das Firmware-Update-Tool läuft bereits auf der Kommandozeile (trvloader-cli, Prozess %1).</translation>
    </message>
</context>
<context>
    <name>InstrumentChooser</name>
    <message>
        <source>Instrument</source>
        <translation>Instrument</translation>
    </message>
    <message>
        <source>Choose an instrument</source>
        <translation>Instrument wählen</translation>
    </message>
    <message>
        <source>Choose the one to update:</source>
        <translation>Wählen Sie das zu aktualisierende:</translation>
    </message>
</context>
<context>
    <name>InstrumentCommand</name>
    <message>
        <source>Warning: %1. The update history and log are not kept; the rest goes on.</source>
        <translation>Warnung: %1. Update-Verlauf und Protokoll werden nicht geführt; alles andere geht weiter.</translation>
    </message>
</context>
<context>
    <name>InstrumentHost</name>
    <message>
        <source>These boards have not answered and will not be updated:</source>
        <translation>Diese Platinen haben nicht geantwortet und werden nicht aktualisiert:</translation>
    </message>
    <message>
        <source>These boards run newer firmware than the update would install:</source>
        <translation>Auf diesen Platinen läuft eine neuere Firmware als die, die das Update installieren würde:</translation>
    </message>
    <message>
        <source>&quot;Update the Others&quot; keeps these boards as they are.</source>
        <translation>„Die anderen aktualisieren“ lässt diese Platinen, wie sie sind.</translation>
    </message>
    <message>
        <source>Every board that answered already runs the firmware that the update would install. The update would install it again.</source>
        <translation>Auf allen Platinen, die geantwortet haben, läuft bereits die Firmware, die das Update installieren würde. Das Update würde sie erneut installieren.</translation>
    </message>
    <message>
        <source>These boards already run the firmware that the update would install; it will be reinstalled:</source>
        <translation>Auf diesen Platinen läuft schon die Firmware, die das Update installieren würde; sie wird neu installiert:</translation>
    </message>
</context>
<context>
    <name>InstrumentWait</name>
    <message>
        <source>The instrument was found, but none of its boards answered within %1 s.</source>
        <translation>Das Instrument wurde gefunden, aber keine seiner Platinen hat innerhalb von %1 s geantwortet.</translation>
    </message>
    <message>
        <source>No instrument found within %1 s. Is it plugged in and switched on?</source>
        <translation>Innerhalb von %1 s wurde kein Instrument gefunden. Ist es angeschlossen und eingeschaltet?</translation>
    </message>
    <message>
        <source>Still waiting, up to %1 s.</source>
        <translation>Es wird weiter gewartet, bis zu %1 s.</translation>
    </message>
    <message>
        <source>Close the other program that uses the instrument, then run the command again.</source>
        <translation>Beenden Sie das andere Programm, das das Instrument verwendet, und führen Sie den Befehl dann erneut aus.</translation>
    </message>
    <message>
        <source>No instrument with the serial number %1 found within %2 s.</source>
        <translation>Innerhalb von %2 s wurde kein Instrument mit der Seriennummer %1 gefunden.</translation>
    </message>
    <message>
        <source>No other instrument is connected.</source>
        <translation>Kein anderes Instrument ist angeschlossen.</translation>
    </message>
    <message>
        <source>Connected: %1.</source>
        <translation>Angeschlossen: %1.</translation>
    </message>
    <message>
        <source>Choose one with --serial SERIAL; nothing has been sent.</source>
        <translation>Wählen Sie eines mit --serial SERIENNUMMER; es wurde nichts gesendet.</translation>
    </message>
</context>
<context>
    <name>QObject</name>
    <message>
        <source>success</source>
        <translation>Erfolg</translation>
    </message>
    <message>
        <source>usage error: unknown command, option or board, or a wrong value</source>
        <translation>Aufruffehler: unbekannter Befehl, unbekannte Option oder Platine, oder ein falscher Wert</translation>
    </message>
    <message>
        <source>no instrument answered within the wait</source>
        <translation>kein Instrument hat innerhalb der Wartezeit geantwortet</translation>
    </message>
    <message>
        <source>the instrument is there but cannot be opened (no permission, or busy)</source>
        <translation>das Instrument ist da, kann aber nicht geöffnet werden (keine Berechtigung oder belegt)</translation>
    </message>
    <message>
        <source>another copy of the update tool is running</source>
        <translation>eine andere Kopie des Update-Tools läuft</translation>
    </message>
    <message>
        <source>a firmware file is not usable (unreadable, corrupted, wrong part code, out of order, too large), or it could not be sorted or stamped</source>
        <translation>eine Firmware-Datei ist nicht verwendbar (unlesbar, beschädigt, falscher Teilecode, nicht sortiert, zu groß) oder konnte nicht sortiert oder gestempelt werden</translation>
    </message>
    <message>
        <source>a board asked for did not answer (see --skip-missing)</source>
        <translation>eine gewünschte Platine hat nicht geantwortet (siehe --skip-missing)</translation>
    </message>
    <message>
        <source>an image is older than the version a board runs (see --allow-older)</source>
        <translation>ein Image ist älter als die Version, die auf einer Platine läuft (siehe --allow-older)</translation>
    </message>
    <message>
        <source>canceled with Ctrl-C</source>
        <translation>mit Strg-C abgebrochen</translation>
    </message>
    <message>
        <source>Its checksum record is missing or does not fit its text. For a file changed on purpose, sort it (which drops the old record) and stamp it:
  trvloader-cli sort %1 &amp;&amp; trvloader-cli stamp %1</source>
        <translation>Ihr Prüfsummen-Datensatz fehlt oder passt nicht zu ihrem Inhalt. Ist die Datei absichtlich geändert worden, sortieren Sie sie (das entfernt den alten Datensatz) und stempeln Sie sie:
  trvloader-cli sort %1 &amp;&amp; trvloader-cli stamp %1</translation>
    </message>
    <message>
        <source>The part code &quot;%1&quot; fits no board of the instrument</source>
        <translation>Der Teilecode „%1“ passt zu keiner Platine des Instruments</translation>
    </message>
    <message>
        <source>  Part code:   %1%2</source>
        <translation>  Teilecode:    %1%2</translation>
    </message>
    <message>
        <source>  Name:        %1</source>
        <translation>  Name:         %1</translation>
    </message>
    <message>
        <source>  Version:     %1</source>
        <translation>  Version:      %1</translation>
    </message>
    <message>
        <source>  Build date:  %1</source>
        <translation>  Erstellt am:  %1</translation>
    </message>
    <message>
        <source>  Size:        %1 bytes</source>
        <translation>  Größe:        %1 Byte</translation>
    </message>
    <message>
        <source>  Checksum:    %1</source>
        <translation>  Prüfsumme:    %1</translation>
    </message>
    <message>
        <source>%1: sorted. It has no checksum record now; stamp it next:
  trvloader-cli stamp %1</source>
        <translation>%1: sortiert. Sie hat jetzt keinen Prüfsummen-Datensatz; stempeln Sie sie als Nächstes:
  trvloader-cli stamp %1</translation>
    </message>
    <message>
        <source>The checksum record has been added.</source>
        <translation>Der Prüfsummen-Datensatz wurde angefügt.</translation>
    </message>
    <message>
        <source>%1: stamped, checksum %2. %3</source>
        <translation>%1: gestempelt, Prüfsumme %2. %3</translation>
    </message>
    <message>
        <source>%1: already stamped, checksum %2. %3</source>
        <translation>%1: bereits gestempelt, Prüfsumme %2. %3</translation>
    </message>
    <message>
        <source>  %1 (%2)</source>
        <translation>  %1 (%2)</translation>
    </message>
    <message>
        <source>Put its records in address order first (this rewrites the file), then stamp it:
  trvloader-cli sort %1 &amp;&amp; trvloader-cli stamp %1</source>
        <translation>Sortieren Sie zuerst ihre Datensätze nach Adressen (das schreibt die Datei neu) und stempeln Sie sie dann:
  trvloader-cli sort %1 &amp;&amp; trvloader-cli stamp %1</translation>
    </message>
    <message>
        <source>Firmware file is OK</source>
        <translation>Firmware-Datei ist in Ordnung</translation>
    </message>
    <message>
        <source>File access denied</source>
        <translation>Zugriff auf die Datei verweigert</translation>
    </message>
    <message>
        <source>Firmware file contains invalid data</source>
        <translation>Firmware-Datei enthält ungültige Daten</translation>
    </message>
    <message>
        <source>Firmware file has been corrupted</source>
        <translation>Firmware-Datei ist beschädigt</translation>
    </message>
    <message>
        <source>Write access denied</source>
        <translation>Schreibzugriff verweigert</translation>
    </message>
    <message>
        <source>Firmware file is in an invalid order</source>
        <translation>Firmware-Datei ist nicht richtig sortiert</translation>
    </message>
    <message>
        <source>No valid firmware file</source>
        <translation>Keine gültige Firmware-Datei</translation>
    </message>
    <message>
        <source>Firmware file is too large</source>
        <translation>Firmware-Datei ist zu groß</translation>
    </message>
    <message>
        <source>Unknown state</source>
        <translation>Unbekannter Zustand</translation>
    </message>
    <message>
        <source>Main Board</source>
        <translation>Hauptplatine</translation>
    </message>
    <message>
        <source>Control Panel</source>
        <translation>Bedienfeld</translation>
    </message>
    <message>
        <source>Sensor Boards</source>
        <translation>Sensorplatinen</translation>
    </message>
    <message>
        <source>Unknown Board</source>
        <translation>Unbekannte Platine</translation>
    </message>
    <message>
        <source>The log %1 cannot be written: its folder cannot be made</source>
        <translation>Das Protokoll %1 kann nicht geschrieben werden: sein Ordner lässt sich nicht anlegen</translation>
    </message>
    <message>
        <source>The log %1 cannot be written: %2</source>
        <translation>Das Protokoll %1 kann nicht geschrieben werden: %2</translation>
    </message>
    <message>
        <source>The update history %1 cannot be written: %2</source>
        <translation>Der Update-Verlauf %1 kann nicht geschrieben werden: %2</translation>
    </message>
    <message>
        <source>There is no such file.</source>
        <translation>Diese Datei gibt es nicht.</translation>
    </message>
    <message>
        <source>It is a folder, not a file.</source>
        <translation>Das ist ein Ordner, keine Datei.</translation>
    </message>
    <message>
        <source>This user may not read the file.</source>
        <translation>Dieser Benutzer darf die Datei nicht lesen.</translation>
    </message>
    <message>
        <source>The file is empty.</source>
        <translation>Die Datei ist leer.</translation>
    </message>
    <message>
        <source>Line %1 is blank; every line must hold a record.</source>
        <translation>Zeile %1 ist leer; jede Zeile muss einen Datensatz enthalten.</translation>
    </message>
    <message>
        <source>Line %1 is not an Intel HEX record.</source>
        <translation>Zeile %1 ist kein Intel-HEX-Datensatz.</translation>
    </message>
    <message>
        <source>Line %1: the record checksum is wrong.</source>
        <translation>Zeile %1: Die Prüfsumme des Datensatzes ist falsch.</translation>
    </message>
    <message>
        <source>Line %1 ends with LF alone; this record needs CR LF.</source>
        <translation>Zeile %1 endet nur mit LF; dieser Datensatz braucht CR LF.</translation>
    </message>
    <message>
        <source>Line %1 has no line end; this record needs CR LF.</source>
        <translation>Zeile %1 hat kein Zeilenende; dieser Datensatz braucht CR LF.</translation>
    </message>
    <message>
        <source>The folder of the file cannot be written: the new text is written to a new file in that folder first.</source>
        <translation>In den Ordner der Datei kann nicht geschrieben werden: Der neue Text wird zuerst in eine neue Datei in diesem Ordner geschrieben.</translation>
    </message>
    <message>
        <source>This user may not write the file.</source>
        <translation>Dieser Benutzer darf die Datei nicht schreiben.</translation>
    </message>
    <message>
        <source>The new text could not be written; is the disk full?</source>
        <translation>Der neue Text konnte nicht geschrieben werden; ist der Datenträger voll?</translation>
    </message>
    <message>
        <source>stopped by SIGHUP (its terminal was closed), as with Ctrl-C</source>
        <translation>durch SIGHUP beendet (sein Terminal wurde geschlossen), wie mit Strg-C</translation>
    </message>
    <message>
        <source>stopped by SIGTERM, as with Ctrl-C</source>
        <translation>durch SIGTERM beendet, wie mit Strg-C</translation>
    </message>
    <message>
        <source>Convert the file to CR LF line ends, for example with unix2dos or sed -i &apos;s/\r*$/\r/&apos;.</source>
        <translation>Wandeln Sie die Zeilenenden der Datei in CR LF um, zum Beispiel mit unix2dos oder sed -i &apos;s/\r*$/\r/&apos;.</translation>
    </message>
    <message>
        <source>The file&apos;s lines end with LF alone, all %1 of them; its records need CR LF.</source>
        <translation>Die Zeilen der Datei enden nur mit LF, alle %1; ihre Datensätze brauchen CR LF.</translation>
    </message>
    <message>
        <source>%1 of the file&apos;s %2 lines end with LF alone, from line %3 on; its records need CR LF.</source>
        <translation>%1 der %2 Zeilen der Datei enden nur mit LF, ab Zeile %3; ihre Datensätze brauchen CR LF.</translation>
    </message>
    <message>
        <source>  SHA-256:     %1</source>
        <translation>  SHA-256:      %1</translation>
    </message>
    <message>
        <source>several instruments are connected and none was chosen (see --serial)</source>
        <translation>mehrere Instrumente sind angeschlossen und keines wurde gewählt (siehe --serial)</translation>
    </message>
    <message>
        <source>a board does not run its image&apos;s version, or did not answer (versions --check)</source>
        <translation>eine Platine führt nicht die Version ihres Images aus oder hat nicht geantwortet (versions --check)</translation>
    </message>
    <message>
        <source>update --repeat: the update of one or more instruments failed</source>
        <translation>update --repeat: das Update eines oder mehrerer Instrumente ist fehlgeschlagen</translation>
    </message>
</context>
<context>
    <name>ReportCommand</name>
    <message>
        <source>Looking for the instrument (up to %1 s)...</source>
        <translation>Suche das Instrument (bis zu %1 s)...</translation>
    </message>
</context>
<context>
    <name>SupportReportDialog</name>
    <message>
        <source>Report for Support</source>
        <translation>Bericht für den Support</translation>
    </message>
    <message>
        <source>Paste this report into your support request. It stays on this computer until you send it yourself.</source>
        <translation>Fügen Sie diesen Bericht in Ihre Support-Anfrage ein. Er bleibt auf diesem Computer, bis Sie ihn selbst senden.</translation>
    </message>
    <message>
        <source>Report for support</source>
        <translation>Bericht für den Support</translation>
    </message>
    <message>
        <source>&amp;Copy to Clipboard</source>
        <translation>In die &amp;Zwischenablage kopieren</translation>
    </message>
    <message>
        <source>Copied</source>
        <translation>Kopiert</translation>
    </message>
</context>
<context>
    <name>UpdateCommand</name>
    <message>
        <source>Waiting for the instrument (up to %1 s)...</source>
        <translation>Warten auf das Instrument (bis zu %1 s) ...</translation>
    </message>
    <message>
        <source>Canceled: sending stopped at once.</source>
        <translation>Abgebrochen: Das Senden wurde sofort beendet.</translation>
    </message>
    <message>
        <source>Canceled before the update began: no board has been changed.</source>
        <translation>Abgebrochen, bevor das Update begann: Keine Platine wurde verändert.</translation>
    </message>
    <message>
        <source>Instrument found.</source>
        <translation type="vanished">Instrument gefunden.</translation>
    </message>
    <message>
        <source>These boards did not answer: %1.
Check the instrument&apos;s cables, or leave them out with --skip-missing.</source>
        <translation>Diese Platinen haben nicht geantwortet: %1.
Prüfen Sie die Kabel des Instruments, oder lassen Sie sie mit --skip-missing aus.</translation>
    </message>
    <message>
        <source>Left out, since they did not answer: %1.</source>
        <translation>Ausgelassen, da sie nicht geantwortet haben: %1.</translation>
    </message>
    <message>
        <source>None of the boards asked for answered.</source>
        <translation>Keine der gewünschten Platinen hat geantwortet.</translation>
    </message>
    <message>
        <source>An image is older than the firmware its board runs:
  %1
Install it anyway with --allow-older.</source>
        <translation>Ein Image ist älter als die Firmware, die auf seiner Platine läuft:
  %1
Mit --allow-older wird es trotzdem installiert.</translation>
    </message>
    <message>
        <source>Installing older firmware, as --allow-older asks:
  %1</source>
        <translation>Ältere Firmware wird installiert, wie mit --allow-older verlangt:
  %1</translation>
    </message>
    <message>
        <source>Boards to update:</source>
        <translation>Zu aktualisierende Platinen:</translation>
    </message>
    <message>
        <source>Step %1 of %2</source>
        <translation>Schritt %1 von %2</translation>
    </message>
    <message>
        <source> (total %1%)</source>
        <translation> (gesamt %1 %)</translation>
    </message>
    <message>
        <source>These boards may now need a new update: %1.</source>
        <translation>Diese Platinen brauchen jetzt möglicherweise ein neues Update: %1.</translation>
    </message>
    <message>
        <source>Not updated, still on their old firmware: %1.</source>
        <translation>Nicht aktualisiert, noch mit ihrer alten Firmware: %1.</translation>
    </message>
    <message>
        <source>Updated: %1.</source>
        <translation>Aktualisiert: %1.</translation>
    </message>
    <message>
        <source>%1, reinstalled</source>
        <translation>%1, neu installiert</translation>
    </message>
    <message>
        <source>  (reinstalled)</source>
        <translation>  (neu installiert)</translation>
    </message>
    <message>
        <source>not updated: did not answer</source>
        <translation>nicht aktualisiert: keine Antwort</translation>
    </message>
    <message>
        <source>already current, not sent</source>
        <translation>bereits aktuell, nicht gesendet</translation>
    </message>
</context>
<context>
    <name>UsbHid</name>
    <message>
        <source>The instrument is connected, but this user may not open it.</source>
        <translation>Das Instrument ist angeschlossen, aber dieser Benutzer darf es nicht öffnen.</translation>
    </message>
    <message>
        <source>The instrument is connected, but another program is using it.</source>
        <translation>Das Instrument ist angeschlossen, wird aber von einem anderen Programm verwendet.</translation>
    </message>
    <message>
        <source>The instrument is connected, but it cannot be opened: %1.</source>
        <translation>Das Instrument ist angeschlossen, kann aber nicht geöffnet werden: %1.</translation>
    </message>
    <message>
        <source>Close the other program that uses the instrument; the connection is then made by itself.</source>
        <translation>Beenden Sie das andere Programm, das das Instrument verwendet; die Verbindung wird dann von selbst hergestellt.</translation>
    </message>
    <message>
        <source>Unplug the instrument and plug it in again.</source>
        <translation>Trennen Sie das Instrument vom USB und schließen Sie es wieder an.</translation>
    </message>
    <message>
        <source>Ask the computer&apos;s administrator to let this user use USB devices. Then unplug the instrument and plug it in again.</source>
        <translation>Bitten Sie die Administration dieses Computers, diesem Benutzer die Verwendung von USB-Geräten zu erlauben. Trennen Sie dann das Instrument vom USB und schließen Sie es wieder an.</translation>
    </message>
    <message>
        <source>Install the update tool&apos;s udev rule from the build folder, which lets the logged-in user open the instrument (sudo cmake --install build &amp;&amp; sudo udevadm control --reload-rules &amp;&amp; sudo udevadm trigger). Then unplug the instrument and plug it in again.</source>
        <translation>Installieren Sie die udev-Regel des Update-Tools aus dem Build-Ordner, die dem angemeldeten Benutzer das Öffnen des Instruments erlaubt (sudo cmake --install build &amp;&amp; sudo udevadm control --reload-rules &amp;&amp; sudo udevadm trigger). Trennen Sie dann das Instrument vom USB und schließen Sie es wieder an.</translation>
    </message>
    <message>
        <source>Unplug the instrument and plug it in again. If that does not help, install the update tool&apos;s package again (sudo apt install --reinstall trvloader).</source>
        <translation>Trennen Sie das Instrument vom USB und schließen Sie es wieder an. Hilft das nicht, installieren Sie das Paket des Update-Tools erneut (sudo apt install --reinstall trvloader).</translation>
    </message>
</context>
<context>
    <name>UserTexts</name>
    <message>
        <source>The instrument was disconnected during the update of %1.</source>
        <translation>Das Instrument wurde während des Updates von %1 getrennt.</translation>
    </message>
    <message>
        <source>Plug the instrument in and start the update again.</source>
        <translation>Schließen Sie das Instrument wieder an und starten Sie das Update erneut.</translation>
    </message>
    <message>
        <source>Running the update again brings the boards back.</source>
        <translation>Ein erneutes Update bringt die Platinen wieder in Ordnung.</translation>
    </message>
    <message>
        <source>Not updated, since they did not answer: %1.</source>
        <translation>Nicht aktualisiert, da sie nicht geantwortet haben: %1.</translation>
    </message>
    <message>
        <source>Reinstalled the version they already ran: %1.</source>
        <translation>Neu installiert mit der Version, die schon lief: %1.</translation>
    </message>
    <message>
        <source>%1 came back late, with %2.</source>
        <translation>%1 hat sich verspätet zurückgemeldet, mit %2.</translation>
    </message>
    <message>
        <source>%1: not back yet, waiting up to %2 s more</source>
        <translation>%1: noch nicht zurück, weiteres Warten bis zu %2 s</translation>
    </message>
    <message>
        <source>These boards may need a new update.</source>
        <translation>Diese Platinen brauchen womöglich ein neues Update.</translation>
    </message>
    <message>
        <source>built-in</source>
        <translation>eingebaut</translation>
    </message>
    <message>
        <source>%1: installed %2, image %3 is older</source>
        <translation>%1: installiert %2, das Image %3 ist älter</translation>
    </message>
    <message>
        <source>The update of %1 started %2 was canceled before it finished.</source>
        <translation>Das Update von %1, begonnen %2, wurde abgebrochen, bevor es fertig war.</translation>
    </message>
    <message>
        <source>The update of %1 started %2 did not finish.</source>
        <translation>Das Update von %1, begonnen %2, wurde nicht fertig.</translation>
    </message>
    <message>
        <source>This board may need a new update.</source>
        <translation>Diese Platine braucht womöglich ein neues Update.</translation>
    </message>
    <message>
        <source>%1: it reports %2, %3 was expected</source>
        <translation>%1: sie meldet %2, erwartet war %3</translation>
    </message>
    <message>
        <source>The instrument was disconnected before the update started: nothing was sent.</source>
        <translation>Das Instrument wurde getrennt, bevor das Update begann: Es wurde nichts gesendet.</translation>
    </message>
    <message>
        <source>The stamping tool of the window (Ctrl+Alt+F8) does both, as does
  trvloader-cli sort %1 &amp;&amp; trvloader-cli stamp %1</source>
        <translation>Das Stempelwerkzeug des Fensters (Strg+Alt+F8) erledigt beides, ebenso
  trvloader-cli sort %1 &amp;&amp; trvloader-cli stamp %1</translation>
    </message>
    <message>
        <source>Its checksum record is missing or does not fit its text. For a file changed on purpose, sort it (which drops the old record) and stamp it.</source>
        <translation>Ihr Prüfsummen-Datensatz fehlt oder passt nicht zu ihrem Inhalt. Ist die Datei absichtlich geändert worden, sortieren Sie sie (das entfernt den alten Datensatz) und stempeln Sie sie.</translation>
    </message>
    <message>
        <source>Its records are not in address order. Put them in order (this rewrites the file), then stamp it.</source>
        <translation>Ihre Datensätze sind nicht nach Adressen geordnet. Sortieren Sie sie (das schreibt die Datei neu) und stempeln Sie sie dann.</translation>
    </message>
    <message>
        <source>If it fails again, press &quot;%1&quot; under Advanced and send the report to support.</source>
        <translation type="vanished">Schlägt es erneut fehl, drücken Sie unter „Erweitert“ auf „%1“ und senden Sie den Bericht an den Support.</translation>
    </message>
    <message>
        <source>Report for Support...</source>
        <translation>Bericht für den Support...</translation>
    </message>
    <message>
        <source>If it fails again, send support the report that %1 prints.</source>
        <translation>Schlägt es erneut fehl, senden Sie dem Support den Bericht, den %1 ausgibt.</translation>
    </message>
    <message>
        <source>Instrument without a serial number</source>
        <translation>Instrument ohne Seriennummer</translation>
    </message>
    <message>
        <source>Instrument %1</source>
        <translation>Instrument %1</translation>
    </message>
    <message>
        <source>no serial number (%1)</source>
        <translation>keine Seriennummer (%1)</translation>
    </message>
    <message>
        <source>%1 is restarting: waiting up to %2 s for it to come back</source>
        <translation>%1 startet neu: Warten bis zu %2 s auf seine Rückkehr</translation>
    </message>
    <message>
        <source>about %1 s left</source>
        <translation>noch etwa %1 s</translation>
    </message>
    <message>
        <source>about %1 min left</source>
        <translation>noch etwa %1 min</translation>
    </message>
    <message>
        <source>about %1 min %2 s left</source>
        <translation>noch etwa %1 min %2 s</translation>
    </message>
    <message>
        <source>Left out, since they already run their image&apos;s version: %1.</source>
        <translation>Ausgelassen, da sie bereits die Version ihres Images ausführen: %1.</translation>
    </message>
    <message>
        <source>Every board asked for already runs its image&apos;s version: nothing was sent.</source>
        <translation>Jede gewählte Platine führt bereits die Version ihres Images aus: Es wurde nichts gesendet.</translation>
    </message>
    <message>
        <source>Several instruments are connected: %1.</source>
        <translation>Mehrere Instrumente sind angeschlossen: %1.</translation>
    </message>
    <message>
        <source>If it fails again, press &quot;?&quot; and then &quot;%1&quot;, and send the report to support.</source>
        <translation>Schlägt es erneut fehl, drücken Sie auf „?“ und dann auf „%1“ und senden Sie den Bericht an den Support.</translation>
    </message>
</context>
<context>
    <name>VersionsCommand</name>
    <message>
        <source>Waiting for the instrument (up to %1 s)...</source>
        <translation>Warten auf das Instrument (bis zu %1 s) ...</translation>
    </message>
    <message>
        <source>Canceled.</source>
        <translation>Abgebrochen.</translation>
    </message>
    <message>
        <source>did not answer</source>
        <translation>antwortet nicht</translation>
    </message>
    <message>
        <source>Board</source>
        <translation>Platine</translation>
    </message>
    <message>
        <source>Name</source>
        <translation>Name</translation>
    </message>
    <message>
        <source>Installed</source>
        <translation>Installiert</translation>
    </message>
    <message>
        <source>Image</source>
        <translation>Image</translation>
    </message>
    <message>
        <source>Not running their image&apos;s version: %1.</source>
        <translation>Führen nicht die Version ihres Images aus: %1.</translation>
    </message>
    <message>
        <source>Did not answer: %1.</source>
        <translation>Nicht geantwortet: %1.</translation>
    </message>
    <message>
        <source>Every board runs its image&apos;s version.</source>
        <translation>Jede Platine führt die Version ihres Images aus.</translation>
    </message>
</context>
<context>
    <name>main</name>
    <message>
        <source>Tarvo QX40 Firmware Update Tool: brings the firmware built into it, or firmware files chosen in its window, into the boards of a Tarvo QX40 keyboard instrument connected by USB.</source>
        <translation>Tarvo QX40 Firmware Update Tool: bringt die eingebaute Firmware oder im Fenster gewählte Firmware-Dateien auf die Platinen eines per USB angeschlossenen Tarvo QX40 Keyboard-Instruments.</translation>
    </message>
    <message>
        <source>Unexpected argument &apos;%1&apos;.</source>
        <translation>Unerwartetes Argument „%1“.</translation>
    </message>
    <message>
        <source>No display found. The tool shows a window and needs a desktop session; from a terminal, use trvloader-cli.</source>
        <translation>Keine Anzeige gefunden. Das Programm zeigt ein Fenster und braucht eine Desktop-Sitzung; im Terminal verwenden Sie trvloader-cli.</translation>
    </message>
</context>
<context>
    <name>trvLoader</name>
    <message>
        <source>Tarvo QX40 Firmware Update Tool</source>
        <translation>Tarvo QX40 Firmware Update Tool</translation>
    </message>
    <message>
        <source>&lt;a href=&quot;https://www.kelmor.example/&quot; style=&quot;color: rgb(245, 177, 1);&quot;&gt;&lt;img src=&quot;:/img/trv-logo&quot; height=&quot;33&quot;/&gt;&lt;/a&gt;&lt;br/&gt;</source>
        <translation>&lt;a href=&quot;https://www.kelmor.example/&quot; style=&quot;color: rgb(245, 177, 1);&quot;&gt;&lt;img src=&quot;:/img/trv-logo&quot; height=&quot;33&quot;/&gt;&lt;/a&gt;&lt;br/&gt;</translation>
    </message>
    <message>
        <source>Tarvo QX40 Firmware Update Tool v1.15</source>
        <translation>Tarvo QX40 Firmware Update Tool v1.15</translation>
    </message>
    <message>
        <source>?</source>
        <translation>?</translation>
    </message>
    <message>
        <source>Update</source>
        <translation>Update</translation>
    </message>
    <message>
        <source>Sensor Boards</source>
        <translation>Sensorplatinen</translation>
    </message>
    <message>
        <source>Update firmware to:</source>
        <translation>Aktualisieren auf:</translation>
    </message>
    <message>
        <source>KSENS-v1.8.hex (Jun 12 2013 09:09:09, 75 kB)</source>
        <translation>KSENS-v1.8.hex (Jun 12 2013 09:09:09, 75 kB)</translation>
    </message>
    <message>
        <source>...</source>
        <translation>...</translation>
    </message>
    <message>
        <source>Keys 12-20</source>
        <translation>Tasten 12-20</translation>
    </message>
    <message>
        <source>v1.8</source>
        <translation>v1.8</translation>
    </message>
    <message>
        <source>Aktualisierung fehlgeschlagen (%p%)</source>
        <translation>Aktualisierung fehlgeschlagen (%p%)</translation>
    </message>
    <message>
        <source>Keys 21-42</source>
        <translation>Tasten 21-42</translation>
    </message>
    <message>
        <source>Keys 43-64</source>
        <translation>Tasten 43-64</translation>
    </message>
    <message>
        <source>Keys 65-86</source>
        <translation>Tasten 65-86</translation>
    </message>
    <message>
        <source>Keys 87-108</source>
        <translation>Tasten 87-108</translation>
    </message>
    <message>
        <source>Control Panel</source>
        <translation>Bedienfeld</translation>
    </message>
    <message>
        <source>KTERM-v1.8.hex (Jun 12 2013 09:09:09, 75 kB)</source>
        <translation>KTERM-v1.8.hex (Jun 12 2013 09:09:09, 75 kB)</translation>
    </message>
    <message>
        <source>KTERM</source>
        <translation>KTERM</translation>
    </message>
    <message>
        <source>Main Board</source>
        <translation>Hauptplatine</translation>
    </message>
    <message>
        <source>KZENT-v1.8.hex (Jun 12 2013 09:09:09, 75 kB)</source>
        <translation>KZENT-v1.8.hex (Jun 12 2013 09:09:09, 75 kB)</translation>
    </message>
    <message>
        <source>KZENT</source>
        <translation>KZENT</translation>
    </message>
    <message>
        <source>Cancel update</source>
        <translation>Update abbrechen</translation>
    </message>
    <message>
        <source>Do you really want to cancel the firmware  update?</source>
        <translation>Möchten Sie das Firmware-Update wirklich abbrechen?</translation>
    </message>
    <message>
        <source>Ready to start firmware update</source>
        <translation>Bereit für das Firmware-Update</translation>
    </message>
    <message>
        <source>One or more firmware files are missing</source>
        <translation>Eine oder mehrere Firmware-Dateien fehlen</translation>
    </message>
    <message>
        <source>Instrument cannot be opened</source>
        <translation>Instrument kann nicht geöffnet werden</translation>
    </message>
    <message>
        <source>Start firmware update</source>
        <translation>Firmware-Update starten</translation>
    </message>
    <message>
        <source>Do you want to start the update anyway?</source>
        <translation>Möchten Sie das Update trotzdem starten?</translation>
    </message>
    <message>
        <source>No update selected</source>
        <translation>Kein Update ausgewählt</translation>
    </message>
    <message>
        <source>No board has been selected for firmware update. Please select boards you want to update.</source>
        <translation>Es wurde keine Platine für das Firmware-Update ausgewählt. Bitte wählen Sie die Platinen aus, die Sie aktualisieren möchten.</translation>
    </message>
    <message>
        <source>Firmware update successfull</source>
        <translation>Firmware-Update erfolgreich</translation>
    </message>
    <message>
        <source>Total progress</source>
        <translation>Gesamtfortschritt</translation>
    </message>
    <message>
        <source>Update did not finish</source>
        <translation>Update nicht fertig geworden</translation>
    </message>
    <message>
        <source>Update history not kept</source>
        <translation>Update-Verlauf wird nicht geführt</translation>
    </message>
    <message>
        <source>%1.

The update history and the log are not kept; everything else works as before.</source>
        <translation>%1.

Update-Verlauf und Protokoll werden nicht geführt; alles andere funktioniert wie bisher.</translation>
    </message>
    <message>
        <source>Update the Others</source>
        <translation>Die anderen aktualisieren</translation>
    </message>
    <message>
        <source>&amp;Advanced</source>
        <translation>&amp;Erweitert</translation>
    </message>
    <message>
        <source>&amp;Start Update</source>
        <translation>Update &amp;starten</translation>
    </message>
    <message>
        <source>&amp;Report for Support...</source>
        <translation>&amp;Bericht für den Support...</translation>
    </message>
    <message>
        <source>Every board that answered already runs the firmware this tool installs.</source>
        <translation>Alle Platinen, die geantwortet haben, laufen bereits mit der Firmware, die dieses Werkzeug installiert.</translation>
    </message>
    <message>
        <source>The firmware file %1 replaces the built-in firmware of the %2.</source>
        <translation>Die Firmware-Datei %1 ersetzt die eingebaute Firmware (%2).</translation>
    </message>
    <message>
        <source>Help, licences and report for support</source>
        <translation>Hilfe, Lizenzen und Bericht für den Support</translation>
    </message>
    <message>
        <source>Choose the instrument to update</source>
        <translation>Instrument zum Aktualisieren wählen</translation>
    </message>
</context>
<context>
    <name>trvUpdater</name>
    <message>
        <source>An error occured</source>
        <translation>Ein Fehler ist aufgetreten</translation>
    </message>
    <message>
        <source>Establishing connection</source>
        <translation>Verbindung wird hergestellt</translation>
    </message>
    <message>
        <source>Validate compability</source>
        <translation>Kompatibilität wird geprüft</translation>
    </message>
    <message>
        <source>Start firmware update mode</source>
        <translation>Firmware-Update-Modus wird gestartet</translation>
    </message>
    <message>
        <source>Transferring firmware file</source>
        <translation>Firmware-Datei wird übertragen</translation>
    </message>
    <message>
        <source>Validate firmware file and process data</source>
        <translation>Firmware-Datei wird geprüft und verarbeitet</translation>
    </message>
    <message>
        <source>Validate new firmware version</source>
        <translation>Neue Firmware-Version wird geprüft</translation>
    </message>
    <message>
        <source>Waiting for device response</source>
        <translation>Warten auf Antwort des Geräts</translation>
    </message>
    <message>
        <source>Process firmware data</source>
        <translation>Firmware-Daten werden verarbeitet</translation>
    </message>
    <message>
        <source>Firmware update successfull</source>
        <translation>Firmware-Update erfolgreich</translation>
    </message>
    <message>
        <source>Unknown state</source>
        <translation>Unbekannter Zustand</translation>
    </message>
    <message>
        <source>No error occured</source>
        <translation>Kein Fehler aufgetreten</translation>
    </message>
    <message>
        <source>Internal program error</source>
        <translation>Interner Programmfehler</translation>
    </message>
    <message>
        <source>No response from device</source>
        <translation>Keine Antwort vom Gerät</translation>
    </message>
    <message>
        <source>Firmware update mode could not be startet</source>
        <translation>Firmware-Update-Modus konnte nicht gestartet werden</translation>
    </message>
    <message>
        <source>Errors while transfering data</source>
        <translation>Fehler bei der Datenübertragung</translation>
    </message>
    <message>
        <source>Invalid firmware file</source>
        <translation>Ungültige Firmware-Datei</translation>
    </message>
    <message>
        <source>Update could not be finished</source>
        <translation>Update konnte nicht abgeschlossen werden</translation>
    </message>
    <message>
        <source>Unknown error</source>
        <translation>Unbekannter Fehler</translation>
    </message>
</context>
</TS>
