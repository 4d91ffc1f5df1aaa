; The installer for Windows: the window and vekflash-cli with the README and the licence in
; Program Files, Start menu entries, "Open with" for .hex and .sxh files, and an uninstaller
; listed among the installed programs. /S installs or uninstalls silently.
; scripts/build-windows --installer runs makensis with these defined:
;   VERSION   the program's version
;   STAGING   the folder holding vekflash.exe, vekflash-cli.exe, README.txt, LICENSE.txt
;             and vekflash.ico
;   OUTFILE   the installer to write
Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma

!include "MUI2.nsh"

!define PRODUCT "VEK Flash"
!define PUBLISHER "VEK Design"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${PRODUCT}"
!define PROGID "VEKFlash.HexFile"
!define APPLICATION_KEY "Software\Classes\Applications\vekflash.exe"

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\${PRODUCT}"
; An update goes where the last install went.
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
RequestExecutionLevel admin
BrandingText "${PRODUCT} ${VERSION}"

!define MUI_ICON "${STAGING}\vekflash.ico"
!define MUI_UNICON "${STAGING}\vekflash.ico"
!define MUI_FINISHPAGE_RUN "$INSTDIR\vekflash.exe"
!define MUI_FINISHPAGE_RUN_TEXT "Start ${PRODUCT}"
!define MUI_FINISHPAGE_SHOWREADME "$INSTDIR\README.txt"
!define MUI_FINISHPAGE_SHOWREADME_NOTCHECKED
!insertmacro MUI_PAGE_WELCOME
; The licence asks for no consent: the page informs and goes on.
!define MUI_LICENSEPAGE_TEXT_TOP "${PRODUCT} is free software; you may share and change it under these terms."
!define MUI_LICENSEPAGE_BUTTON "$(^NextBtn)"
!define MUI_LICENSEPAGE_TEXT_BOTTOM " "
!insertmacro MUI_PAGE_LICENSE "${STAGING}\LICENSE.txt"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

Section "${PRODUCT}"
    SetShellVarContext all
    SetOutPath "$INSTDIR"
    File "${STAGING}\vekflash.exe"
    File "${STAGING}\vekflash-cli.exe"
    File "${STAGING}\README.txt"
    File "${STAGING}\LICENSE.txt"
    WriteUninstaller "$INSTDIR\uninstall.exe"

    CreateDirectory "$SMPROGRAMS\${PRODUCT}"
    CreateShortcut "$SMPROGRAMS\${PRODUCT}\${PRODUCT}.lnk" "$INSTDIR\vekflash.exe"
    CreateShortcut "$SMPROGRAMS\${PRODUCT}\${PRODUCT} README.lnk" "$INSTDIR\README.txt"
    CreateShortcut "$SMPROGRAMS\${PRODUCT}\Uninstall ${PRODUCT}.lnk" "$INSTDIR\uninstall.exe"

    ; Offered under "Open with" for HEX files; whichever program opens them by default still
    ; does.
    WriteRegStr HKLM "Software\Classes\${PROGID}" "" "HEX file for the VEK Flash programmer"
    WriteRegStr HKLM "Software\Classes\${PROGID}\DefaultIcon" "" "$INSTDIR\vekflash.exe,0"
    WriteRegStr HKLM "Software\Classes\${PROGID}\shell\open\command" "" '"$INSTDIR\vekflash.exe" "%1"'
    WriteRegStr HKLM "${APPLICATION_KEY}" "FriendlyAppName" "${PRODUCT}"
    WriteRegStr HKLM "${APPLICATION_KEY}\shell\open\command" "" '"$INSTDIR\vekflash.exe" "%1"'
    WriteRegStr HKLM "${APPLICATION_KEY}\SupportedTypes" ".hex" ""
    WriteRegStr HKLM "${APPLICATION_KEY}\SupportedTypes" ".sxh" ""
    WriteRegStr HKLM "Software\Classes\.hex\OpenWithProgids" "${PROGID}" ""
    WriteRegStr HKLM "Software\Classes\.sxh\OpenWithProgids" "${PROGID}" ""

    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\vekflash.exe,0"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
    WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
    ; Explorer learns of the new "Open with" entries without a restart.
    System::Call 'shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)'
SectionEnd

; The settings in %APPDATA%\VEK Flash are the person's and stay.
Section "Uninstall"
    SetShellVarContext all
    Delete "$INSTDIR\vekflash.exe"
    Delete "$INSTDIR\vekflash-cli.exe"
    Delete "$INSTDIR\README.txt"
    Delete "$INSTDIR\LICENSE.txt"
    Delete "$INSTDIR\uninstall.exe"
    RMDir "$INSTDIR"
    RMDir /r "$SMPROGRAMS\${PRODUCT}"

    DeleteRegValue HKLM "Software\Classes\.hex\OpenWithProgids" "${PROGID}"
    DeleteRegValue HKLM "Software\Classes\.sxh\OpenWithProgids" "${PROGID}"
    DeleteRegKey /ifempty HKLM "Software\Classes\.hex\OpenWithProgids"
    DeleteRegKey /ifempty HKLM "Software\Classes\.sxh\OpenWithProgids"
    DeleteRegKey HKLM "Software\Classes\${PROGID}"
    DeleteRegKey HKLM "${APPLICATION_KEY}"
    DeleteRegKey HKLM "${UNINSTALL_KEY}"
    System::Call 'shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)'
SectionEnd
