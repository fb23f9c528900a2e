"""What a user gets: the built .scr files are read as PE images (no Wine needed) and every
import is checked against the functions Windows 98 provides, so a runtime function that only
newer systems export cannot slip into the saver unnoticed. The application manifest is read
back too: it may declare the display-scale awareness and nothing else."""

import os
import struct
import unittest
from xml.etree import ElementTree

# Reviewed by hand: each function exists in the Windows 98 version of its DLL. COMCTL32 is not
# among them: a library outside the system's known ones is looked for beside the .scr first,
# so the saver loads it from the system folder at run time instead.
WINDOWS_98 = {
    "KERNEL32.DLL": """DeleteCriticalSection EnterCriticalSection ExitProcess FormatMessageA
        FreeLibrary GetCommandLineA GetFullPathNameA GetLastError GetModuleHandleA
        GetProcAddress GetStartupInfoA GetSystemDirectoryA GetTickCount GetVersionExA
        InitializeCriticalSection LeaveCriticalSection LoadLibraryA RaiseException
        SetUnhandledExceptionFilter Sleep TlsGetValue UnhandledExceptionFilter VirtualProtect
        VirtualQuery lstrcpynA lstrlenA""",
    "USER32.DLL": """CharNextA CreateWindowExA DefWindowProcA DialogBoxParamA DispatchMessageA EndDialog
        FindWindowA GetClientRect GetCursorPos GetDC GetDlgItem GetDlgItemInt
        GetForegroundWindow GetMessageA GetParent IsWindow KillTimer LoadBitmapA LoadIconA
        MessageBoxA PeekMessageA PostMessageA PostQuitMessage RegisterClassA
        RegisterWindowMessageA ReleaseDC SendMessageA SetCursor SetDlgItemInt SetForegroundWindow
        SetTimer SystemParametersInfoA TranslateMessage""",
    # CreateDIBSection, GdiFlush and GetDIBits (the flock's back buffer and artwork): Windows
    # 95's GDI32 exports them too.
    "GDI32.DLL": """BitBlt CreateCompatibleBitmap CreateCompatibleDC CreateDIBSection DeleteDC
        DeleteObject GdiFlush GetClipBox GetDIBits GetObjectA GetStockObject SelectObject""",
    "ADVAPI32.DLL": "RegCloseKey RegOpenKeyA RegQueryValueExA",
    # Version 6.0 of the C runtime, as Windows 98 Second Edition installs it.
    "MSVCRT.DLL": """__doserrno __getmainargs __initenv __p__acmdln __p__commode __p__fmode
        __set_app_type __setusermatherr _amsg_exit _cexit _chsize _errno _fileno _initterm _iob
        _onexit abort calloc clearerr exit fclose ferror fflush fopen fprintf fread free fseek
        ftell fwrite getc malloc memcpy memmove rand remove setvbuf signal sprintf srand sscanf strcpy
        strerror strlen strncmp time ungetc vfprintf""",
}


# No 64-bit system predates these: the x64 exception-unwinding calls and the names the
# 64-bit C runtime uses for its globals. Allowed in quillet64.scr only.
X64_RUNTIME = {
    "KERNEL32.DLL": {"RaiseException", "RtlCaptureContext", "RtlLookupFunctionEntry",
                     "RtlUnwindEx", "RtlVirtualUnwind", "__C_specific_handler"},
    "MSVCRT.DLL": {"___lc_codepage_func", "___mb_cur_max_func", "__iob_func", "_acmdln",
                   "_commode", "_fmode", "_time64"},
}

# What the manifest holds, element by element with its text. A requested execution level would
# switch off the file virtualization that lets the 32-bit saver keep its settings in the system
# folder; a dependency on the version 6 common controls would change the dialog's look.
RT_MANIFEST = 24
MANIFEST = {
    "{urn:schemas-microsoft-com:asm.v1}assembly": "",
    "{urn:schemas-microsoft-com:asm.v3}application": "",
    "{urn:schemas-microsoft-com:asm.v3}windowsSettings": "",
    "{http://schemas.microsoft.com/SMI/2005/WindowsSettings}dpiAware": "true/pm",
    "{http://schemas.microsoft.com/SMI/2016/WindowsSettings}dpiAwareness":
        "PerMonitorV2, PerMonitor",
}

PE32, PE32_PLUS = 0x10B, 0x20B
I386, AMD64 = 0x14C, 0x8664
GUI = 2


class PeImage:
    """Just enough of a PE file: the optional header's fields and the import table."""

    def __init__(self, path):
        with open(path, "rb") as f:
            self.data = f.read()
        if self.data[:2] != b"MZ":
            raise ValueError("%s: no MZ header" % path)
        pe = self.u32(0x3C)
        if self.data[pe:pe + 4] != b"PE\0\0":
            raise ValueError("%s: no PE signature" % path)
        self.machine, sections, _, _, _, optional_size, _ = struct.unpack_from(
            "<HHIIIHH", self.data, pe + 4)
        opt = pe + 24
        self.magic = self.u16(opt)
        self.os_version = (self.u16(opt + 40), self.u16(opt + 42))
        self.subsystem_version = (self.u16(opt + 48), self.u16(opt + 50))
        self.subsystem = self.u16(opt + 68)
        directories = opt + (96 if self.magic == PE32 else 112)
        self.import_rva = self.u32(directories + 8)
        self.resource_rva = self.u32(directories + 16)
        table = opt + optional_size
        self.sections = [struct.unpack_from("<8sIIII", self.data, table + 40 * i)
                         for i in range(sections)]

    def u16(self, at):
        return struct.unpack_from("<H", self.data, at)[0]

    def u32(self, at):
        return struct.unpack_from("<I", self.data, at)[0]

    def offset(self, rva):
        for _, size, address, raw_size, raw in self.sections:
            if address <= rva < address + max(size, raw_size):
                return raw + rva - address
        raise ValueError("address %#x is in no section" % rva)

    def text(self, rva):
        at = self.offset(rva)
        return self.data[at:self.data.index(b"\0", at)].decode("ascii")

    def resource(self, type_id, name_id):
        """The data of the resource with these numbers in its first language, or None."""
        root = self.offset(self.resource_rva)
        at = root
        for wanted in (type_id, name_id, None):
            named, numbered = struct.unpack_from("<HH", self.data, at + 12)
            entries = [struct.unpack_from("<II", self.data, at + 16 + 8 * i)
                       for i in range(named + numbered)]
            found = [target for key, target in entries if wanted in (None, key)]
            if not found:
                return None
            at = root + (found[0] & 0x7FFFFFFF)
        rva, size = struct.unpack_from("<II", self.data, at)
        return self.data[self.offset(rva):self.offset(rva) + size]

    def imports(self):
        """{DLL name in capitals: [function name or "#ordinal"]}."""
        found = {}
        entry = self.offset(self.import_rva)
        wide = self.magic == PE32_PLUS
        while True:
            lookup, _, _, name, thunks = struct.unpack_from("<IIIII", self.data, entry)
            if not name:
                return found
            names = found.setdefault(self.text(name).upper(), [])
            at = self.offset(lookup or thunks)
            while True:
                value = struct.unpack_from("<Q" if wide else "<I", self.data, at)[0]
                if not value:
                    break
                if value >> (63 if wide else 31):
                    names.append("#%d" % (value & 0xFFFF))
                else:
                    names.append(self.text((value & 0x7FFFFFFF) + 2))
                at += 8 if wide else 4
            entry += 20


class WhatShipsTest(unittest.TestCase):
    def dist(self, name):
        scr = os.environ.get("QUILLET_SCR")
        if not scr:
            self.skipTest("QUILLET_SCR is not set; run through ctest")
        return PeImage(os.path.join(os.path.dirname(scr), name))

    def check_imports(self, image, label, extra=None):
        allowed = {dll: set(names.split()) for dll, names in WINDOWS_98.items()}
        for dll, names in (extra or {}).items():
            allowed[dll] |= names
        unexpected = []
        for dll, names in sorted(image.imports().items()):
            if dll not in allowed:
                unexpected.append(dll)
                continue
            unexpected += ["%s!%s" % (dll, name) for name in names if name not in allowed[dll]]
        count = sum(len(n) for n in image.imports().values())
        print("\n%s: %d imports from %s" % (label, count, ", ".join(sorted(image.imports()))))
        self.assertEqual(unexpected, [], "%s imports what Windows 98 lacks" % label)

    def test_32_bit_saver_is_a_windows_4_gui_program_with_windows_98_imports(self):
        image = self.dist("quillet.scr")
        self.assertEqual((image.magic, image.machine), (PE32, I386))
        self.assertEqual(image.subsystem, GUI)
        self.assertEqual(image.os_version, (4, 0))
        self.assertEqual(image.subsystem_version, (4, 0))
        self.check_imports(image, "quillet.scr")

    def test_64_bit_saver_is_a_gui_program_with_the_same_imports(self):
        image = self.dist("quillet64.scr")
        self.assertEqual((image.magic, image.machine), (PE32_PLUS, AMD64))
        self.assertEqual(image.subsystem, GUI)
        self.check_imports(image, "quillet64.scr", X64_RUNTIME)

    def test_both_savers_declare_their_scale_awareness_and_nothing_else(self):
        for name in ("quillet.scr", "quillet64.scr"):
            with self.subTest(name):
                data = self.dist(name).resource(RT_MANIFEST, 1)
                self.assertIsNotNone(data, "no manifest with id 1")
                root = ElementTree.fromstring(data)  # a manifest that is not XML raises here
                self.assertEqual(root.get("manifestVersion"), "1.0")
                found = {element.tag: (element.text or "").strip() for element in root.iter()}
                self.assertEqual(found, MANIFEST)


if __name__ == "__main__":
    unittest.main(verbosity=2)
