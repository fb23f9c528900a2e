"""What a user gets: the built .scr files are read as PE images (pefile, no Wine) and every
import is checked against the functions Windows 98 provides, so a runtime function that only
newer systems export cannot slip into the saver unnoticed. The application manifest is read
back too: it may declare the display-scale awareness and nothing else, and names the program
with the processor of each build and the file's own version."""

import os
import unittest
from xml.etree import ElementTree

import pefile

# Reviewed by hand: each function exists in the Windows 98 version of its DLL. COMCTL32 is not
# among them: a library outside the system's known ones is looked for beside the .scr first,
# so the saver loads it from the system folder at run time instead.
WINDOWS_98 = {
    "KERNEL32.DLL": """DeleteCriticalSection EnterCriticalSection ExitProcess FormatMessageA
        FreeLibrary GetCommandLineA GetFullPathNameA GetLastError GetModuleHandleA
        GetProcAddress GetStartupInfoA GetSystemDirectoryA GetTickCount GetVersionExA
        InitializeCriticalSection LeaveCriticalSection LoadLibraryA RaiseException
        SetUnhandledExceptionFilter Sleep TlsGetValue UnhandledExceptionFilter VirtualProtect
        VirtualQuery lstrcpynA lstrlenA
        CreateDirectoryA GetEnvironmentVariableA
        CloseHandle CreateFileA GetCurrentThreadId GetProcessHeap GetProfileStringA HeapAlloc
        HeapFree MultiByteToWideChar ReadFile""",
    # CreateDirectoryA and GetEnvironmentVariableA: the user's own settings. The second line is
    # the desktop background of a secure run (its settings, wallpaper file and scratch memory),
    # and ClientToScreen, GetSysColor and LoadImageA below too: all in the Win32 API reference
    # of the time as on Windows 95 and NT. GDI+, OLE's picture loader, the desktop-name and
    # monitor functions are looked up at run time, so they are no imports.
    "USER32.DLL": """CharNextA CreateWindowExA DefWindowProcA DialogBoxParamA DispatchMessageA EndDialog
        FindWindowA GetClientRect GetCursorPos GetDC GetDlgItem GetDlgItemInt
        GetForegroundWindow GetMessageA GetParent IsWindow KillTimer LoadBitmapA LoadIconA
        MessageBoxA PeekMessageA PostMessageA PostQuitMessage RegisterClassA
        RegisterWindowMessageA ReleaseDC SendMessageA SetCursor SetDlgItemInt SetForegroundWindow
        SetTimer SystemParametersInfoA TranslateMessage
        ClientToScreen GetSysColor LoadImageA""",
    # CreateDIBSection, GdiFlush and GetDIBits (the flock's back buffer and artwork): Windows
    # 95's GDI32 exports them too.
    "GDI32.DLL": """BitBlt CreateCompatibleBitmap CreateCompatibleDC CreateDIBSection DeleteDC
        DeleteObject GdiFlush GetClipBox GetDIBits GetObjectA GetStockObject SelectObject""",
    "ADVAPI32.DLL": "RegCloseKey RegOpenKeyA RegQueryValueExA",
    # Version 6.0 of the C runtime, as Windows 98 Second Edition installs it (memset: the
    # containers of the background's placement zero their memory with it).
    "MSVCRT.DLL": """__doserrno __getmainargs __initenv __p__acmdln __p__commode __p__fmode
        __set_app_type __setusermatherr _amsg_exit _cexit _chsize _errno _fileno _initterm _iob
        _onexit abort calloc clearerr exit fclose ferror fflush fopen fprintf fread free fseek
        ftell fwrite getc malloc memcpy memmove memset rand remove setvbuf signal sprintf srand sscanf strcpy
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

    def check_imports(self, image, label, extra=None):
        allowed = {dll: set(names.split()) for dll, names in WINDOWS_98.items()}
        for dll, names in (extra or {}).items():
            allowed[dll] |= names
        found = imports(image)
        unexpected = []
        for dll, names in sorted(found.items()):
            if dll not in allowed:
                unexpected.append(dll)
                continue
            unexpected += ["%s!%s" % (dll, name) for name in names if name not in allowed[dll]]
        count = sum(len(n) for n in found.values())
        print("\n%s: %d imports from %s" % (label, count, ", ".join(sorted(found))))
        self.assertEqual(unexpected, [], "%s imports what Windows 98 lacks" % label)

    def test_32_bit_saver_is_a_windows_4_gui_program_with_windows_98_imports(self):
        image = self.dist("quillet.scr")
        header = image.OPTIONAL_HEADER
        self.assertEqual((header.Magic, image.FILE_HEADER.Machine), (PE32, I386))
        self.assertEqual(header.Subsystem, GUI)
        self.assertEqual((header.MajorOperatingSystemVersion,
                          header.MinorOperatingSystemVersion), (4, 0))
        self.assertEqual((header.MajorSubsystemVersion, header.MinorSubsystemVersion), (4, 0))
        self.check_imports(image, "quillet.scr")

    def test_64_bit_saver_is_a_gui_program_with_the_same_imports(self):
        image = self.dist("quillet64.scr")
        header = image.OPTIONAL_HEADER
        self.assertEqual((header.Magic, image.FILE_HEADER.Machine), (PE32_PLUS, AMD64))
        self.assertEqual(header.Subsystem, GUI)
        self.check_imports(image, "quillet64.scr", X64_RUNTIME)

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
