; The Windows installer, made by scripts/package-windows with makensis:
;   makensis -DSTAGE=FOLDER -DFILES=INSTALL.nsh -DREMOVE=UNINSTALL.nsh -DOUTFILE=SETUP.exe
; STAGE holds the program as it is installed; FILES and REMOVE name each of its files and folders,
; so the uninstaller removes what was installed and nothing else: define.ini and the operator's
; schedules stay (define.ini lives beside the program when its folder is writable, otherwise in
; %APPDATA%\kestrane\relaybox).
; A 64-bit installer for a 64-bit program (it also runs where Wine has no 32-bit side).
Target amd64-unicode
SetCompressor /SOLID lzma
!include x64.nsh

!define PRODUCT "KESTRANE Relaybox Management"
!define VERSION "1.0.0"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\KESTRANE Relaybox"

Name "${PRODUCT}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\KESTRANE Relaybox"
RequestExecutionLevel admin
!ifdef ICON
Icon "${ICON}"
UninstallIcon "${ICON}"
!endif

Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

Function .onInit
    SetRegView 64
FunctionEnd

Function un.onInit
    SetRegView 64
FunctionEnd

Section "Install"
    !include "${FILES}"
    WriteUninstaller "$INSTDIR\uninstall.exe"
    SetShellVarContext all
    CreateShortcut "$SMPROGRAMS\${PRODUCT}.lnk" "$INSTDIR\relaybox.exe"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "KESTRANE"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\relaybox.exe"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
    WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Section "Uninstall"
    SetShellVarContext all
    Delete "$SMPROGRAMS\${PRODUCT}.lnk"
    !include "${REMOVE}"
    Delete "$INSTDIR\uninstall.exe"
    ; Only when empty: the operator's files keep the folder.
    RMDir "$INSTDIR"
    DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
