"""What a user gets: the built .scr files are read as PE images (pefile, no Wine). Both import
from the four system libraries every Windows has and nothing else (no C runtime library, no
delay-loaded library), and every function quillet.scr imports is one the first release of
Windows 95 exports, so the saver starts on a machine as it came out of the box. The
application manifest is read back too: it may declare the display-scale awareness and nothing
else, and names the program with the processor of each build and the file's own version."""

import os
import unittest
from xml.etree import ElementTree

import pefile

SYSTEM_LIBRARIES = {"KERNEL32.DLL", "USER32.DLL", "GDI32.DLL", "ADVAPI32.DLL"}

# How each function was checked against the first release of Windows 95 (not a later one):
# - KERNEL32: each name with its ordinal in the export table of Windows 95's KERNEL32.DLL, as
#   Wine's early kernel32.spec lists it ("Functions exported by the Win95 kernel32.dll", by
#   ordinal, since some Windows 95 libraries import it by number); those new to this list (the
#   heap, the clock, the file calls) also in the Win32 Programmer's Reference of the Windows 95
#   SDK (1995), whose Quick Info answers "Win95: Yes" or "No";
# - USER32, GDI32, ADVAPI32: that reference's Quick Info, or the MSDN Library of 1998, which
#   says "Windows: Requires Windows 95 or later" for a function the first release had and names
#   the later release otherwise (as for GetFileAttributesEx, "Requires Windows 98"); wsprintfA,
#   ClientToScreen, GetSysColor and LoadImageA, the ones new to this list, looked up there.
# COMCTL32 is not among them: a library outside the system's known ones is looked for beside the
# .scr first, so the saver loads it from the system folder at run time instead.
WINDOWS_95 = {
    # Start-up and exit, the heap, the clock, the failure guard, the system's libraries, the
    # settings file, and the desktop background of a secure run (the wallpaper's settings and
    # file; the desktop-name, monitor and decoder functions are looked up at run time, so they
    # are no imports). name:ordinal.
    "KERNEL32.DLL": """CloseHandle:137 CreateDirectoryA:152 CreateFileA:158 DeleteFileA:186
        ExitProcess:214 FormatMessageA:265 FreeLibrary:271 GetCommandLineA:289
        GetEnvironmentVariableA:322 GetFileAttributesA:327 GetFullPathNameA:333 GetLastError:340
        GetModuleHandleA:350 GetProcAddress:372 GetProcessHeap:375 GetStartupInfoA:393
        GetSystemDirectoryA:402 GetSystemTime:406 GetTickCount:421 GetVersionExA:428
        HeapAlloc:459 HeapFree:463 LoadLibraryA:495 RaiseException:567 ReadFile:577
        GetCurrentThreadId:309 GetProfileStringA:386 MultiByteToWideChar:534
        SetEndOfFile:640 SetFilePointer:649 SetLastError:654 SetUnhandledExceptionFilter:674
        Sleep:679 SystemTimeToFileTime:682 UnhandledExceptionFilter:702 WriteFile:738
        lstrcpynA:776 lstrlenA:779""",
    # The saver window, the dialog, the failure message (wsprintfA) and the secure run's
    # background (ClientToScreen, GetSysColor, LoadImageA).
    "USER32.DLL": """CharNextA CreateWindowExA DefWindowProcA DialogBoxParamA DispatchMessageA
        EndDialog FindWindowA GetClientRect GetCursorPos GetDC GetDlgItem GetDlgItemInt
        GetForegroundWindow GetMessageA GetParent IsWindow KillTimer LoadBitmapA LoadIconA
        MessageBoxA PeekMessageA PostMessageA PostQuitMessage RegisterClassA
        RegisterWindowMessageA ReleaseDC SendMessageA SetCursor SetDlgItemInt SetForegroundWindow
        SetTimer SystemParametersInfoA TranslateMessage wsprintfA
        ClientToScreen GetSysColor LoadImageA""",
    # The flock's back buffer and artwork: device-independent sections came with Windows 95.
    "GDI32.DLL": """BitBlt CreateCompatibleBitmap CreateCompatibleDC CreateDIBSection DeleteDC
        DeleteObject GdiFlush GetClipBox GetDIBits GetObjectA GetStockObject SelectObject""",
    # The password setting of the Windows 95 family.
    "ADVAPI32.DLL": "RegCloseKey RegOpenKeyA RegQueryValueExA",
}


def allowed(dll):
    """The names on the list for dll, without their ordinals."""
    return {entry.split(":")[0] for entry in WINDOWS_95[dll].split()}


# What the manifest holds, element by element with its text. A requested execution level would
# switch off the file virtualization that lets the 32-bit saver keep its settings in the system
# folder; a dependency on the version 6 common controls would change the dialog's look.
RT_MANIFEST = 24
MANIFEST = {
    "{urn:schemas-microsoft-com:asm.v1}assembly": "",
    "{urn:schemas-microsoft-com:asm.v1}assemblyIdentity": "",
    "{urn:schemas-microsoft-com:asm.v3}application": "",
    "{urn:schemas-microsoft-com:asm.v3}windowsSettings": "",
    "{http://schemas.microsoft.com/SMI/2005/WindowsSettings}dpiAware": "true/pm",
    "{http://schemas.microsoft.com/SMI/2016/WindowsSettings}dpiAwareness":
        "PerMonitorV2, PerMonitor",
}

PE32, PE32_PLUS = 0x10B, 0x20B
I386, AMD64 = 0x14C, 0x8664
GUI = 2


def imports(pe):
    """{DLL name in capitals: [function name or "#ordinal"]}."""
    return {entry.dll.decode("ascii").upper():
            [i.name.decode("ascii") if i.name else "#%d" % i.ordinal for i in entry.imports]
            for entry in pe.DIRECTORY_ENTRY_IMPORT}


def manifest(pe):
    """The data of the manifest with id 1, or None."""
    for kind in pe.DIRECTORY_ENTRY_RESOURCE.entries:
        if kind.id == RT_MANIFEST:
            for name in kind.directory.entries:
                if name.id == 1:
                    entry = name.directory.entries[0].data.struct
                    return pe.get_data(entry.OffsetToData, entry.Size)
    return None


class WhatShipsTest(unittest.TestCase):
    def dist(self, name):
        folder = os.environ.get("QUILLET_DIST_DIR")
        if not folder:
            self.skipTest("QUILLET_DIST_DIR is not set; run through ctest")
        return pefile.PE(os.path.join(folder, name))

    def dist_bytes(self, name):
        with open(os.path.join(os.environ["QUILLET_DIST_DIR"], name), "rb") as f:
            return f.read()

    def check_imports(self, image, label):
        """Four system libraries, nothing delay-loaded, every function on the list."""
        found = imports(image)
        count = sum(len(n) for n in found.values())
        print("\n%s: %d imports from %s" % (label, count, ", ".join(sorted(found))))
        self.assertEqual(set(found), SYSTEM_LIBRARIES, "%s: imported libraries" % label)
        self.assertFalse(hasattr(image, "DIRECTORY_ENTRY_DELAY_IMPORT"),
                         "%s delay-loads a library" % label)
        unexpected = ["%s!%s" % (dll, name) for dll, names in sorted(found.items())
                      for name in names if name not in allowed(dll)]
        self.assertEqual(unexpected, [], "%s imports what Windows 95 lacks" % label)

    def test_32_bit_saver_is_a_windows_4_gui_program_with_windows_95_imports(self):
        image = self.dist("quillet.scr")
        header = image.OPTIONAL_HEADER
        self.assertEqual((header.Magic, image.FILE_HEADER.Machine), (PE32, I386))
        self.assertEqual(header.Subsystem, GUI)
        self.assertEqual((header.MajorOperatingSystemVersion,
                          header.MinorOperatingSystemVersion), (4, 0))
        self.assertEqual((header.MajorSubsystemVersion, header.MinorSubsystemVersion), (4, 0))
        self.check_imports(image, "quillet.scr")

    # One code path: the 64-bit build imports the same functions.
    def test_64_bit_saver_is_a_gui_program_with_the_same_imports(self):
        image = self.dist("quillet64.scr")
        header = image.OPTIONAL_HEADER
        self.assertEqual((header.Magic, image.FILE_HEADER.Machine), (PE32_PLUS, AMD64))
        self.assertEqual(header.Subsystem, GUI)
        self.check_imports(image, "quillet64.scr")

    # Nor may a C runtime library be named anywhere, to be loaded by name at run time.
    def test_no_file_names_a_c_runtime_library(self):
        for name in ("quillet.scr", "quillet64.scr"):
            with self.subTest(name):
                self.dist(name)
                self.assertFalse(b"msvcrt" in self.dist_bytes(name).lower(),
                                 "%s names msvcrt" % name)

    def test_both_savers_declare_their_scale_awareness_and_nothing_else(self):
        for name in ("quillet.scr", "quillet64.scr"):
            with self.subTest(name):
                data = manifest(self.dist(name))
                self.assertIsNotNone(data, "no manifest with id 1")
                root = ElementTree.fromstring(data)  # a manifest that is not XML raises here
                self.assertEqual(root.get("manifestVersion"), "1.0")
                found = {element.tag: (element.text or "").strip() for element in root.iter()}
                self.assertEqual(found, MANIFEST)

    def test_both_savers_name_themselves_with_their_processor_and_file_version(self):
        for name, processor in (("quillet.scr", "x86"), ("quillet64.scr", "amd64")):
            with self.subTest(name):
                image = self.dist(name)
                identity = ElementTree.fromstring(manifest(image))[0]
                self.assertEqual(identity.tag, "{urn:schemas-microsoft-com:asm.v1}assemblyIdentity")
                self.assertEqual(identity.attrib, {
                    "type": "win32", "name": "Quillet.ScreenSaver",
                    "version": file_version(image),
                    "processorArchitecture": processor})


def file_version(pe):
    """'a.b.c.d' from the fixed part of the version resource."""
    fixed = pe.VS_FIXEDFILEINFO[0]
    most, least = fixed.FileVersionMS, fixed.FileVersionLS
    return "%d.%d.%d.%d" % (most >> 16, most & 0xFFFF, least >> 16, least & 0xFFFF)


if __name__ == "__main__":
    unittest.main(verbosity=2)
