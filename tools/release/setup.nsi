; Quillet's setup program: puts the saver that suits this Windows into the system's own
; screen-saver folder as quillet.scr, makes it the current user's screen saver, and registers
; an uninstaller that takes it all away again and puts the previous saver back.
; tools/release/make_setup.sh runs it:
;   makensis -DVERSION=x.y.z -DSCR32=... -DSCR64=... -DLICENSE=... -DICON=... -DOUTFILE=...
;            [-DAMD64] setup.nsi
; It is an ANSI installer so that it runs on the Windows 95 family, whose system has no
; Unicode window functions; AMD64 makes the same setup as a 64-bit program, for testing
; where 32-bit programs cannot run (it is never shipped).

!ifdef AMD64
    Target amd64-unicode
!else
    Unicode false
!endif
; No file times and no build date in the setup: two builds of one commit give the same bytes.
SetDateSave off
SetCompressor /SOLID lzma

!include MUI2.nsh
!include LogicLib.nsh
!include WinVer.nsh
!include x64.nsh
!include FileFunc.nsh

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Quillet"
!define OWN_KEY "Software\Quillet"
!define DESKTOP_KEY "Control Panel\Desktop"
!define SPI_GETSCREENSAVEACTIVE 16
!define SPI_SETSCREENSAVEACTIVE 17
!define SPIF_UPDATEINIFILE_SENDCHANGE 3

Name "Quillet Screen Saver"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES\Quillet"
RequestExecutionLevel admin
BrandingText "Quillet ${VERSION}"

VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=0 "ProductName" "Quillet Screen Saver"
VIAddVersionKey /LANG=0 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=0 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=0 "FileDescription" "Quillet Screen Saver setup"
VIAddVersionKey /LANG=0 "CompanyName" "The Quillet authors"
VIAddVersionKey /LANG=0 "LegalCopyright" "Copyright (c) 2026 The Quillet authors"

Var SaverDir    ; the system folder that holds the screen savers
Var SaverPath   ; the installed saver as SCRNSAVE.EXE names it (short where there are short names)
Var UserName

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING

!insertmacro MUI_PAGE_LICENSE "${LICENSE}"
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_TITLE "Quillet is installed"
; The text takes three paragraphs: room for them above the check box.
!define MUI_FINISHPAGE_TEXT_LARGE
!define MUI_FINISHPAGE_TEXT "Quillet is now the screen saver of the account $UserName.$\r$\n$\r$\nIf Windows asked for another account's password to run this setup, that account got it: to use Quillet yourself, open your screen saver settings and choose $\"Quillet Screen Saver Vol.1$\"."
!define MUI_FINISHPAGE_RUN
!define MUI_FINISHPAGE_RUN_TEXT "Open the screen saver settings"
!define MUI_FINISHPAGE_RUN_FUNCTION OpenScreenSaverSettings
!insertmacro MUI_PAGE_FINISH

!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!define MUI_FINISHPAGE_TEXT "Quillet is removed, with its settings file and your own copy of it.$\r$\n$\r$\nOther users who saved their own settings keep them in their %APPDATA%\Quillet folder (and, on Windows Vista and later, in their %LOCALAPPDATA%\VirtualStore folder); they may delete those."
!insertmacro MUI_UNPAGE_FINISH

!insertmacro MUI_LANGUAGE "English"

; The saver's folder: on x64 Windows the 64-bit build goes into the real System32, which a
; 32-bit setup sees only with redirection off; on other 64-bit Windows (ARM64, which emulates
; x64 programs) the 32-bit build goes into the 32-bit system folder; elsewhere GetSystemDirectory
; names it (System on the 95 family). Redirection is per thread: each section turns it off.
!macro FindSaverDir
    ${If} ${IsNativeAMD64}
        ${DisableX64FSRedirection}
        SetRegView 64
        StrCpy $SaverDir $SYSDIR
    !if ${NSIS_PTR_SIZE} <= 4
    ${ElseIf} ${RunningX64}
        SetRegView 64
        StrCpy $SaverDir "$WINDIR\SysWOW64"
    !endif
    ${Else}
        StrCpy $SaverDir $SYSDIR
    ${EndIf}
!macroend

; Where the system can grant administrator rights (the NT family), copying into its folder
; needs them; the 95 family has none to ask for.
!macro RequireAdministrator
    UserInfo::GetAccountType
    Pop $0
    ${If} ${IsNT}
    ${AndIf} $0 != "Admin"
        MessageBox MB_ICONSTOP "Quillet's setup needs administrator rights to write the Windows system folder." /SD IDOK
        SetErrorLevel 5
        Quit
    ${EndIf}
!macroend

; The current saver's file, from where this Windows keeps it.
!macro ReadCurrentSaver out
    ${If} ${IsNT}
        ReadRegStr ${out} HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE"
    ${Else}
        ReadINIStr ${out} "$WINDIR\SYSTEM.INI" "boot" "SCRNSAVE.EXE"
    ${EndIf}
!macroend

!macro WriteCurrentSaver value
    ${If} ${IsNT}
        WriteRegStr HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE" "${value}"
    ${Else}
        WriteINIStr "$WINDIR\SYSTEM.INI" "boot" "SCRNSAVE.EXE" "${value}"
    ${EndIf}
!macroend

!macro AddFileSize file
    FileOpen $3 "${file}" r
    FileSeek $3 0 END $4
    FileClose $3
    IntOp $4 $4 + 1023
    IntOp $4 $4 / 1024
    IntOp $0 $0 + $4
!macroend

Function .onInit
    !insertmacro RequireAdministrator
    ${If} ${IsNativeAMD64}
        StrCpy $INSTDIR "$PROGRAMFILES64\Quillet"
    ${EndIf}
    UserInfo::GetName
    Pop $UserName
    ${If} $UserName == ""  ; the 95 family without a logon
        StrCpy $UserName "this setup ran as"
    ${EndIf}
FunctionEnd

Section "Quillet"
    !insertmacro FindSaverDir
    SetOutPath $SaverDir
    ${If} ${IsNativeAMD64}
        File "/oname=quillet.scr" "${SCR64}"
    ${Else}
        File "/oname=quillet.scr" "${SCR32}"
    ${EndIf}
    GetFullPathName /SHORT $SaverPath "$SaverDir\quillet.scr"
    ${If} $SaverPath == ""
        StrCpy $SaverPath "$SaverDir\quillet.scr"
    ${EndIf}

    ; Remember the saver it replaces, unless that is Quillet (a reinstall), so that removing
    ; it can put that one back.
    !insertmacro ReadCurrentSaver $0
    ${GetFileName} $0 $1
    ${If} $1 != "quillet.scr"
        ; On the NT family the setting's own record, which is what Windows answers from; Wine
        ; answers from its X server's screen saver instead.
        StrCpy $2 ""
        ${If} ${IsNT}
            ReadRegStr $2 HKCU "${DESKTOP_KEY}" "ScreenSaveActive"
        ${EndIf}
        ${If} $2 == ""
            System::Call 'user32::SystemParametersInfo(i ${SPI_GETSCREENSAVEACTIVE}, i 0, *i 0 r2, i 0)'
        ${EndIf}
        WriteRegStr HKCU "${OWN_KEY}" "PreviousSaver" $0
        WriteRegDWORD HKCU "${OWN_KEY}" "PreviousSaveActive" $2
    ${EndIf}
    !insertmacro WriteCurrentSaver $SaverPath
    System::Call 'user32::SystemParametersInfo(i ${SPI_SETSCREENSAVEACTIVE}, i 1, i 0, i ${SPIF_UPDATEINIFILE_SENDCHANGE})'

    CreateDirectory $INSTDIR
    WriteUninstaller "$INSTDIR\uninstall.exe"
    ; The list of installed programs shows the size in KiB: the saver and the uninstaller.
    StrCpy $0 0
    !insertmacro AddFileSize "$SaverDir\quillet.scr"
    !insertmacro AddFileSize "$INSTDIR\uninstall.exe"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "Quillet Screen Saver"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "The Quillet authors"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$SaverDir\quillet.scr,0"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
    WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

; desk.cpl's own entry selects a saver file and opens the settings with it. A 32-bit setup on
; 64-bit Windows reaches the 64-bit rundll32.exe through Sysnative; the 95 family keeps
; rundll32.exe in the Windows folder.
Function OpenScreenSaverSettings
    ${If} ${FileExists} "$WINDIR\Sysnative\rundll32.exe"
        StrCpy $0 "$WINDIR\Sysnative\rundll32.exe"
    ${ElseIf} ${FileExists} "$SYSDIR\rundll32.exe"
        StrCpy $0 "$SYSDIR\rundll32.exe"
    ${Else}
        StrCpy $0 "$WINDIR\rundll32.exe"
    ${EndIf}
    Exec '"$0" desk.cpl,InstallScreenSaver $SaverPath'
FunctionEnd

Function un.onInit
    !insertmacro RequireAdministrator
FunctionEnd

; The settings files the saver may have made: the shared one beside it, this user's own copy,
; and the copies Windows Vista and later redirect a 32-bit program's writes to. Nothing else.
!macro RemoveSettingsFiles
    Delete "$SaverDir\quilet01.ini"
    ReadEnvStr $0 APPDATA
    ${If} $0 != ""
        Delete "$0\Quillet\quilet01.ini"
        RMDir "$0\Quillet"
    ${EndIf}
    ReadEnvStr $0 LOCALAPPDATA
    ${If} $0 != ""
        StrCpy $1 $WINDIR "" 3  ; the Windows folder without its drive, as VirtualStore has it
        Delete "$0\VirtualStore\$1\System32\quilet01.ini"
        Delete "$0\VirtualStore\$1\SysWOW64\quilet01.ini"
    ${EndIf}
!macroend

Section "Uninstall"
    !insertmacro FindSaverDir
    Delete "$SaverDir\quillet.scr"
    !insertmacro RemoveSettingsFiles

    ; Only a saver that is still Quillet is put back: the user may have chosen another since.
    !insertmacro ReadCurrentSaver $0
    ${GetFileName} $0 $1
    ${If} $1 == "quillet.scr"
        ClearErrors
        ReadRegStr $2 HKCU "${OWN_KEY}" "PreviousSaver"
        ${If} $2 != ""
            !insertmacro WriteCurrentSaver $2
        ${ElseIf} ${IsNT}
            DeleteRegValue HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE"
        ${Else}
            DeleteINIStr "$WINDIR\SYSTEM.INI" "boot" "SCRNSAVE.EXE"
        ${EndIf}
        ClearErrors
        ReadRegDWORD $3 HKCU "${OWN_KEY}" "PreviousSaveActive"
        ${IfNot} ${Errors}
            System::Call 'user32::SystemParametersInfo(i ${SPI_SETSCREENSAVEACTIVE}, i $3, i 0, i ${SPIF_UPDATEINIFILE_SENDCHANGE})'
        ${EndIf}
    ${EndIf}
    DeleteRegKey HKCU "${OWN_KEY}"

    DeleteRegKey HKLM "${UNINSTALL_KEY}"
    Delete "$INSTDIR\uninstall.exe"
    RMDir $INSTDIR
SectionEnd
