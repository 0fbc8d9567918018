#!/usr/bin/env python3
"""Makes the Windows package's manual from the manual in data/.

The manual speaks of Linux where it speaks of the system: serial devices under /dev, the dialout
group, the sound server, udev rules. The Windows package carries the same manual with those
paragraphs in Windows terms: COM ports and ports.conf (and Notepad's habit of saving it as
ports.conf.txt), where the settings live for the installed program and for the portable zip; the
board simulator, a Linux tool, is left out. The
paragraphs are found by their bold titles and headings; when one is not found (the manual was
reworded), or a Linux term is left over, this fails rather than ship a wrong manual.

Usage: windows_manual.py IN.rtf OUT.rtf
"""
import sys

BODY = (r"\par \pard\plain \s19\rtlch\af5\afs20 \ltrch\hich\af5\loch\sl276\slmult1\sb0\sa140"
        r"\cf1\f5\fs20\dbch\af5\sl276\slmult1\ql\sb0\sa140\ltrpar")
HEADING = (r"\par \pard\plain \s2\rtlch\af8\afs36\ab \ltrch\hich\af3\loch\ilvl1\outlinelevel1"
           r"\sb200\sa120\keepn\cf1\f3\fs36\b\dbch\af8\ql\ltrpar")
CODE = r"{\loch\cs17\rtlch\af7 \ltrch\hich\af7\loch\f7\dbch\af7\loch" + "\n"


def text(*parts):
    """A run of text: plain strings, ("b", s) bold, ("c", s) code."""
    out = []
    for p in parts:
        if isinstance(p, str):
            out.append(r"{\loch" + "\n" + p + "}")
        elif p[0] == "b":
            out.append(r"{\loch\b\loch" + "\n" + p[1] + "}")
        else:
            out.append(CODE + p[1] + "}")
    return "".join(out)


def paragraph(*parts):
    return BODY + text(*parts)


SOUND = paragraph(
    ("b", "Sound device."),
    " A USB sound interface shows under its own name (for example ",
    ("c", "Speakers (USB Audio CODEC)"),
    ") as Windows lists it under Sound settings; ",
    ("c", "calvento-cli devices"),
    " lists the devices with the ids that ",
    ("c", "calvento-cli send --device"),
    " takes.")

SERIAL_LINE = paragraph(
    ("b", "RTS or DTR of a serial port."),
    " The classic wiring keys the transmitter with RTS of the port in PTT Comm. Interfaces that "
    "use DTR, or that key when the line goes low (inverted), are chosen here; the line goes to "
    "its idle state as soon as you tick Enable, and a port that has no such line says so at "
    "once. A USB serial adapter gets its COM number from Windows: Device Manager shows it under "
    "Ports (COM & LPT), for example ",
    ("c", "USB-SERIAL CH340 (COM5)"),
    ". From a script: ",
    ("c", "calvento-cli send --ptt COM5 --ptt-line dtr --ptt-invert 123#"),
    ".")

CM108 = paragraph(
    ("b", "Hamlib: CM108/CM119 GPIO."),
    " Sound interfaces built on a C-Media CM108 or CM119 chip key the transmitter with a GPIO "
    "pin of the chip; Hamlib drives it on Linux. On Windows key such an interface through its "
    "serial line, when it has one, or through a rigctld that runs where the interface is "
    "plugged in. Hamlib can also drive a serial line itself (",
    ("c", "dtr"), " or ", ("c", "rts"), " with the COM port as port).")

PORTS = "\n".join([HEADING + "{\\loch\n7. Serial ports and files on Windows}", paragraph(
    "Ports are chosen by number, 1 to 16: port ",
    ("c", "3"),
    " is ",
    ("c", "COM3"),
    ". A port above 16, or one you want under another number, is given in the file ",
    ("c", "ports.conf"),
    " in the program folder, one line a port, for example ",
    ("c", "COM3=COM23"),
    ". Notepad saves a new file as ",
    ("c", "ports.conf.txt"),
    " unless you choose \"All files\" and type the name in quotes (",
    ("c", "\"ports.conf\""),
    "); File Explorer hides the extension, so check that the file's type reads CONF, not Text "
    "Document. When a port cannot be opened, the message names it and gives Windows' reason (a "
    "port another program holds reads Access is denied)."), paragraph(
    ("b", "Where Calvento keeps its files."),
    " Installed with the setup program (",
    ("c", "calvento-3.1-setup.exe"),
    ", under ",
    ("c", "%LOCALAPPDATA%\\\\Programs\\\\Calvento"),
    ", no administrator rights needed), Calvento keeps its settings, sites, send log and backups "
    "in ",
    ("c", "%APPDATA%\\\\calvento"),
    "; that is also where ",
    ("c", "ports.conf"),
    " goes. Installing a newer version keeps them, and uninstalling (Settings, Apps) leaves them. "
    "The portable zip keeps them beside the programs instead, because it carries the file ",
    ("c", "portable.txt"),
    "; delete that file and the copy behaves as an installed one.")])


def replace_paragraph(chunks, title, new):
    for i, chunk in enumerate(chunks):
        if title in chunk:
            chunks[i] = new
            return
    sys.exit(f"windows_manual: no paragraph titled {title!r} in the manual")


def drop_paragraph(chunks, title):
    for i, chunk in enumerate(chunks):
        if title in chunk:
            del chunks[i]
            return
    sys.exit(f"windows_manual: no paragraph titled {title!r} in the manual")


def main():
    source, target = sys.argv[1], sys.argv[2]
    with open(source, encoding="latin-1", newline="") as f:
        rtf = f.read()
    # Paragraphs begin at "\par " on a line of their own; the first chunk is the header.
    pieces = rtf.split("\n\\par ")
    chunks = [pieces[0]] + ["\\par " + p for p in pieces[1:]]
    replace_paragraph(chunks, "Sound device.}", SOUND)
    replace_paragraph(chunks, "RTS or DTR of a serial port.}", SERIAL_LINE)
    replace_paragraph(chunks, "Hamlib: CM108/CM119 GPIO.}", CM108)
    # The board simulator is a Linux tool: the Windows package has none.
    drop_paragraph(chunks, "Trying it without a board.}")
    for i, chunk in enumerate(chunks):
        if "Hamlib: the radio's CAT command.}" in chunk:
            chunks[i] = chunk.replace("/dev/ttyUSB0", "COM5")
    # Section 7 runs from its heading to the next one.
    start = next((i for i, c in enumerate(chunks) if "7. Serial ports on Linux}" in c), None)
    if start is None:
        sys.exit("windows_manual: no section 'Serial ports on Linux' in the manual")
    end = next(i for i in range(start + 1, len(chunks)) if "\\outlinelevel" in chunks[i])
    chunks[start:end] = [PORTS]
    out = "\n".join(chunks)
    for linux in ("/dev/", "dialout", "udev", "sudo ", "PulseAudio", "PipeWire", "board-sim"):
        if linux in out:
            sys.exit(f"windows_manual: the Windows manual still speaks of {linux!r}")
    with open(target, "w", encoding="latin-1", newline="") as f:
        f.write(out)


main()
