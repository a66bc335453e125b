#!/usr/bin/python3
"""Reads the release Quorvane.dll (i686) and checks what a host and a user rely on: a 32-bit DLL, the
four exports by name and ordinal, nothing imported but Windows itself and the host core's five
functions, the argument bytes that each standard-call function removes, the version resource and the
setup dialog's template.

The PE file is read by pefile; the code by the mingw objdump. Since the exports carry no decoration,
the argument bytes are read from the code itself: each function's symbol (decorated by the compiler
from the declared signature, e.g. _DVBPLGInit@12) must sit at the exported address, and every return
instruction in its body, which runs up to the next symbol, must be "ret $N" with N the expected bytes.

Usage: pe_check.py Quorvane.dll i686-w64-mingw32-objdump
"""

import re
import struct
import subprocess
import sys

import pefile

EXPORTS = [  # ordinal, name, argument bytes
    (1, "DVBPLGGetInfo", 4),
    (2, "DVBPLGInit", 12),
    (3, "DVBPLGCall", 8),
    (4, "DVBPLGClose", 4),
]
CALLBACK = ("OnHostEvent", 12)
CORE_FUNCTIONS = {"DVBAddFilter", "DVBDelFilter", "DVBGetCoreVer", "DVBParams", "DVBEPGProc"}
# Windows' own libraries; the language run-time's DLLs (libgcc, libstdc++, libwinpthread) are not.
# msvcrt's time functions on a 32-bit time_t: the 32-bit build must use the _time64 family instead.
NARROW_TIME = {"time", "localtime", "gmtime", "mktime", "_localtime32", "_gmtime32", "_time32", "_mktime32"}
SYSTEM_DLLS = {"kernel32.dll", "user32.dll", "gdi32.dll", "advapi32.dll", "msvcrt.dll", "ntdll.dll"}

VERSION_FIXED = {
    "FileVersionMS": 0x00010000, "FileVersionLS": 0,
    "ProductVersionMS": 0x00010000, "ProductVersionLS": 0,
    "FileFlagsMask": 0, "FileFlags": 0,
    "FileOS": 0x00040004, "FileType": 2, "FileSubtype": 0,
    "FileDateMS": 0, "FileDateLS": 0,
}
VERSION_STRINGS = {
    "FileDescription": "Quorvane v1.0 plugin for DVBCore",
    "FileVersion": "1.0",
    "OriginalFilename": "Quorvane.dll",
}

WS_CHILD, WS_VISIBLE, WS_CAPTION, WS_SYSMENU = 0x40000000, 0x10000000, 0x00C00000, 0x00080000
WS_BORDER, WS_TABSTOP = 0x00800000, 0x00010000
DS_MODALFRAME, DS_SETFONT = 0x80, 0x40
BS_PUSHBUTTON, BS_DEFPUSHBUTTON, BS_AUTOCHECKBOX = 0, 1, 3
ES_LEFT, ES_RIGHT, SS_LEFT = 0, 2, 0
BUTTON, EDIT, STATIC = 0x80, 0x81, 0x82
CHECK_BOX = WS_CHILD | WS_VISIBLE | BS_AUTOCHECKBOX | WS_TABSTOP
LABEL = WS_CHILD | WS_VISIBLE | SS_LEFT
TEXT_BOX = WS_CHILD | WS_VISIBLE | ES_LEFT | WS_BORDER | WS_TABSTOP

DIALOG = {
    "style": WS_VISIBLE | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT,
    "extendedStyle": 0, "x": 31, "y": 32, "width": 300, "height": 198,
    "menu": "", "className": "", "caption": "Quorvane v1.0", "points": 8, "face": "MS SANS SERIF",
}
CONTROLS = [  # id, class, text, style, x, y, width, height; in tab order
    (10, BUTTON, "Enable", CHECK_BOX, 10, 6, 60, 9),
    (0, STATIC, "Delay", LABEL, 10, 20, 60, 10),
    (11, EDIT, "180", WS_CHILD | WS_VISIBLE | ES_RIGHT | WS_BORDER | WS_TABSTOP, 80, 20, 50, 12),
    (12, BUTTON, "AltFileNaming", CHECK_BOX, 10, 37, 60, 9),
    (0, STATIC, "AltDetPath", LABEL, 10, 51, 60, 9),
    (13, EDIT, "", TEXT_BOX, 80, 51, 216, 12),
    (0, STATIC, "RecFileNameSuffix", LABEL, 10, 68, 60, 9),
    (14, EDIT, ".mpg", TEXT_BOX, 80, 68, 216, 12),
    (0, STATIC, "DetFileNameSuffix", LABEL, 10, 85, 60, 9),
    (15, EDIT, ".txt", TEXT_BOX, 80, 85, 216, 12),
    (0, STATIC, "DVBDevice_Name", LABEL, 10, 102, 60, 9),
    (16, EDIT, "", TEXT_BOX, 80, 102, 216, 12),
    (0, STATIC, "Comment", LABEL, 10, 119, 60, 9),
    (17, EDIT, "", TEXT_BOX, 80, 119, 216, 12),
    (0, STATIC, "RecordingPath", LABEL, 10, 136, 60, 9),
    (18, EDIT, "", TEXT_BOX, 80, 136, 216, 12),
    (0, STATIC, "RecFileNaming", LABEL, 10, 153, 60, 9),
    (19, EDIT, "", TEXT_BOX, 80, 153, 216, 12),
    (1, BUTTON, "OK", WS_CHILD | WS_VISIBLE | BS_DEFPUSHBUTTON | WS_TABSTOP, 190, 180, 50, 14),
    (2, BUTTON, "Cancel", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON | WS_TABSTOP, 246, 180, 50, 14),
]


class Checks:
    def __init__(self):
        self.passed = 0
        self.failed = 0

    def expect(self, what, condition, detail=""):
        if condition:
            self.passed += 1
            print("ok: " + what)
        else:
            self.failed += 1
            print("FAILED: " + what + (" (" + detail + ")" if detail else ""))


def text(value):
    return value.decode("ascii", "replace") if isinstance(value, bytes) else str(value)


def check_header(pe, checks):
    checks.expect("PE32 (optional header magic 0x10B)", pe.OPTIONAL_HEADER.Magic == 0x10B,
                  hex(pe.OPTIONAL_HEADER.Magic))
    checks.expect("machine i386 (0x14C)", pe.FILE_HEADER.Machine == 0x14C, hex(pe.FILE_HEADER.Machine))
    checks.expect("a DLL", pe.is_dll())


def check_exports(pe, checks):
    directory = pe.DIRECTORY_ENTRY_EXPORT
    checks.expect('export directory names "Quorvane.dll"', text(directory.name) == "Quorvane.dll",
                  text(directory.name))
    found = sorted((symbol.ordinal, text(symbol.name)) for symbol in directory.symbols)
    expected = [(ordinal, name) for ordinal, name, _ in EXPORTS]
    checks.expect("exports by name and ordinal: " + ", ".join("%s @%d" % (n, o) for o, n in expected),
                  found == expected, repr(found))


def check_imports(pe, checks):
    core = None
    others = []
    narrow_time = []
    for entry in getattr(pe, "DIRECTORY_ENTRY_IMPORT", []):
        name = text(entry.dll)
        if name.lower() == "msvcrt.dll":
            narrow_time = sorted(text(i.name) for i in entry.imports if i.name and text(i.name) in NARROW_TIME)
        if name.lower() == "dvbcore.dll":
            core = sorted(text(i.name) if i.name else "#%d" % i.ordinal for i in entry.imports)
        elif name.lower() not in SYSTEM_DLLS:
            others.append(name)
    checks.expect("imports only from Windows system DLLs and DVBCore.dll", not others, ", ".join(others))
    checks.expect("imports the five core functions by name from DVBCore.dll",
                  core == sorted(CORE_FUNCTIONS), repr(core))
    checks.expect("no delay-loaded imports", not hasattr(pe, "DIRECTORY_ENTRY_DELAY_IMPORT"))
    checks.expect("no 32-bit time functions, which end in 2038", not narrow_time, ", ".join(narrow_time))


def read_symbols(objdump, path):
    """Function symbols of the COFF symbol table: name -> section-relative value, in text section 1."""
    listing = subprocess.run([objdump, "-t", path], capture_output=True, text=True, check=True).stdout
    symbols = {}
    for line in listing.splitlines():
        match = re.match(r"\[\s*\d+\]\(sec\s+1\)\(fl 0x00\)\(ty\s+20\)\(scl\s+[23]\) \(nx \d\) 0x([0-9a-f]+) (\S+)$", line)
        if match:
            symbols[match.group(2)] = int(match.group(1), 16)
    return symbols


def returns_in(objdump, path, start, stop):
    listing = subprocess.run([objdump, "-d", "--start-address=0x%x" % start, "--stop-address=0x%x" % stop, path],
                             capture_output=True, text=True, check=True).stdout
    return re.findall(r"\tret[lw]?\s*(\$0x[0-9a-f]+)?\s*$", listing, re.MULTILINE)


def check_argument_bytes(pe, objdump, path, checks):
    text_section = pe.sections[0]
    base = pe.OPTIONAL_HEADER.ImageBase + text_section.VirtualAddress
    symbols = read_symbols(objdump, path)
    checks.expect("the DLL keeps its symbol table (needed to bound each function)", bool(symbols))
    if not symbols:
        return
    starts = sorted(set(symbols.values()))
    exported = {text(s.name): s.address for s in pe.DIRECTORY_ENTRY_EXPORT.symbols}

    def body(value):
        later = [s for s in starts if s > value]
        return base + value, base + (later[0] if later else text_section.Misc_VirtualSize)

    functions = [(name, size, "_%s@%d" % (name, size)) for _, name, size in EXPORTS]
    callback = [s for s in symbols if CALLBACK[0] in s]
    functions.append((CALLBACK[0], CALLBACK[1], callback[0] if len(callback) == 1 else "(%d symbols)" % len(callback)))
    for name, size, decorated in functions:
        value = symbols.get(decorated)
        if value is None:
            checks.expect("%s is the standard-call function %s" % (name, decorated), False, "no such symbol")
            continue
        if name in exported:
            checks.expect("export %s is %s" % (name, decorated),
                          exported[name] == text_section.VirtualAddress + value,
                          "export at 0x%x, symbol at 0x%x" % (exported[name], text_section.VirtualAddress + value))
        elif name == CALLBACK[0]:
            checks.expect("callback %s is decorated @%d" % (decorated, size), decorated.endswith("@%d" % size))
        start, stop = body(value)
        found = returns_in(objdump, path, start, stop)
        expected = "$0x%x" % size
        checks.expect("%s returns with ret %s (removes %d argument bytes)" % (name, expected, size),
                      found and all(r == expected for r in found), repr(found))


def check_version(pe, checks):
    fixed = pe.VS_FIXEDFILEINFO[0]
    for field, value in VERSION_FIXED.items():
        checks.expect("version %s = 0x%x" % (field, value), getattr(fixed, field) == value,
                      hex(getattr(fixed, field)))
    tables = {}
    translations = []
    for info in pe.FileInfo[0]:
        if info.Key == b"StringFileInfo":
            for table in info.StringTable:
                tables[text(table.LangID)] = {text(k): text(v) for k, v in table.entries.items()}
        elif info.Key == b"VarFileInfo":
            for var in info.Var:
                translations.append(var.entry.get(b"Translation"))
    checks.expect('one string table "040904E4"', list(tables) == ["040904E4"], repr(list(tables)))
    strings = tables.get("040904E4", {})
    checks.expect("version strings " + repr(VERSION_STRINGS), strings == VERSION_STRINGS, repr(strings))
    checks.expect("Translation 0x0409, 0x04E4", translations == ["0x0409 0x04e4"], repr(translations))


def read_text(data, offset):
    """A sz_Or_Ord field: 0xFFFF and an ordinal, or a NUL-terminated UTF-16 text."""
    (first,) = struct.unpack_from("<H", data, offset)
    if first == 0xFFFF:
        return struct.unpack_from("<H", data, offset + 2)[0], offset + 4
    end = offset
    while struct.unpack_from("<H", data, end)[0] != 0:
        end += 2
    return data[offset:end].decode("utf-16-le"), end + 2


def parse_dialog(data):
    style, extended, count, x, y, width, height = struct.unpack_from("<IIHhhhh", data, 0)
    menu, offset = read_text(data, 18)
    class_name, offset = read_text(data, offset)
    caption, offset = read_text(data, offset)
    dialog = {"style": style, "extendedStyle": extended, "x": x, "y": y, "width": width, "height": height,
              "menu": menu, "className": class_name, "caption": caption}
    if style & DS_SETFONT:
        (dialog["points"],) = struct.unpack_from("<H", data, offset)
        dialog["face"], offset = read_text(data, offset + 2)
    controls = []
    for _ in range(count):
        offset = (offset + 3) & ~3
        style, extended, x, y, width, height, control_id = struct.unpack_from("<IIhhhhH", data, offset)
        control_class, offset = read_text(data, offset + 18)
        title, offset = read_text(data, offset)
        (extra,) = struct.unpack_from("<H", data, offset)
        offset += 2 + extra
        controls.append((control_id, control_class, title, style, x, y, width, height, extended, extra))
    return dialog, controls


def check_dialog(pe, checks):
    found = None
    for kind in pe.DIRECTORY_ENTRY_RESOURCE.entries:
        if kind.id == pefile.RESOURCE_TYPE["RT_DIALOG"]:
            for entry in kind.directory.entries:
                if entry.name is not None and str(entry.name) == "QRV_SETUP":
                    found = entry
    checks.expect('a dialog resource named "QRV_SETUP"', found is not None)
    if found is None:
        return
    language = found.directory.entries[0]
    data = pe.get_data(language.data.struct.OffsetToData, language.data.struct.Size)
    checks.expect("classic dialog template (not the extended one)", data[0:4] != b"\x01\x00\xff\xff")
    dialog, controls = parse_dialog(data)
    checks.expect("dialog box: style 0x%08X, %s" % (DIALOG["style"], ", ".join(
        "%s %r" % (k, v) for k, v in DIALOG.items() if k != "style")), dialog == DIALOG, repr(dialog))
    checks.expect("20 controls", len(controls) == 20, str(len(controls)))
    for index, expected in enumerate(CONTROLS):
        got = controls[index] if index < len(controls) else None
        control_id, control_class, title, style, x, y, width, height = expected
        checks.expect("control %d: id %d, class 0x%X, %r, style 0x%08X, at %d,%d, %d x %d, no extended style, "
                      "no creation data" % (index + 1, control_id, control_class, title, style, x, y, width, height),
                      got is not None and got[:8] == expected and got[8:] == (0, 0), repr(got))


def main():
    if len(sys.argv) != 3:
        print(__doc__)
        return 2
    path, objdump = sys.argv[1], sys.argv[2]
    pe = pefile.PE(path)
    checks = Checks()
    check_header(pe, checks)
    check_exports(pe, checks)
    check_imports(pe, checks)
    check_argument_bytes(pe, objdump, path, checks)
    check_version(pe, checks)
    check_dialog(pe, checks)
    print("pe check: %d passed, %d failed" % (checks.passed, checks.failed))
    return 1 if checks.failed else 0


if __name__ == "__main__":
    sys.exit(main())
