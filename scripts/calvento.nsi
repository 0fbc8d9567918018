; The Windows installer of Calvento, made by scripts/package-windows.sh with makensis.
;
; A per-user install: no administrator rights, the programs under
; %LOCALAPPDATA%\Programs\Calvento, a Start-menu entry, the uninstaller listed under the user's
; installed apps, and .prg files opening in Calvento. The installed programs carry no portable.txt,
; so they keep their settings, sites, logs and backups in %APPDATA%\calvento, which neither an
; upgrade nor the uninstaller touches. /S installs and uninstalls silently.
;
; Defined by the package script: VERSION (3.1), STAGE (the package folder, without the portable
; marker), FILES and UNFILES (the install and uninstall lines for exactly the files of STAGE),
; OUTFILE.

; A 64-bit installer for the 64-bit programs (it also runs where no 32-bit layer is installed).
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel user
ManifestSupportedOS all
ManifestDPIAware true

!define PRODUCT "Calvento"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Calvento"
!define PRG_CLASS "Calvento.Configuration"

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\Calvento"
; An upgrade goes where the last install went.
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
ShowInstDetails show
ShowUninstDetails show

VIProductVersion "${VERSION}.0.0"
VIAddVersionKey "ProductName" "${PRODUCT}"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "FileDescription" "Calvento installer"
VIAddVersionKey "LegalCopyright" "Kolbex"

Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

Function .onInit
    SetShellVarContext current
FunctionEnd

Function un.onInit
    SetShellVarContext current
FunctionEnd

Section "Calvento"
    SetOutPath "$INSTDIR"
    ; A program still running would keep its files: the user is told by the failed copy.
    SetOverwrite on
    !include "${FILES}"
    WriteUninstaller "$INSTDIR\uninstall.exe"

    CreateShortCut "$SMPROGRAMS\Calvento.lnk" "$INSTDIR\calvento.exe" "" "$INSTDIR\calvento.exe" 0

    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT} ${VERSION}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "Kolbex"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\calvento.exe"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
    WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1

    ; .prg files open in Calvento (the user's own classes; another program's machine-wide
    ; association of .prg stays as it is for other users).
    WriteRegStr HKCU "Software\Classes\.prg" "" "${PRG_CLASS}"
    WriteRegStr HKCU "Software\Classes\${PRG_CLASS}" "" "Calvento board configuration"
    WriteRegStr HKCU "Software\Classes\${PRG_CLASS}\DefaultIcon" "" "$INSTDIR\calvento.exe,0"
    WriteRegStr HKCU "Software\Classes\${PRG_CLASS}\shell\open\command" "" '"$INSTDIR\calvento.exe" "%1"'
    System::Call 'shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)'
SectionEnd

Section "Uninstall"
    ; Exactly the files the installer put there; the user's settings in %APPDATA%\calvento stay.
    !include "${UNFILES}"
    Delete "$INSTDIR\uninstall.exe"
    RMDir "$INSTDIR"
    Delete "$SMPROGRAMS\Calvento.lnk"
    DeleteRegKey HKCU "${UNINSTALL_KEY}"
    ; The association goes only while it is still this program's.
    ReadRegStr $0 HKCU "Software\Classes\.prg" ""
    StrCmp $0 "${PRG_CLASS}" 0 +2
    DeleteRegKey HKCU "Software\Classes\.prg"
    DeleteRegKey HKCU "Software\Classes\${PRG_CLASS}"
    System::Call 'shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)'
SectionEnd
