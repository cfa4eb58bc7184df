; The Windows installer. packaging/CMakeLists.txt runs makensis with
;   VERSION       1.0.0, as users read it
;   VERSION_FULL  1.0.0.0, for the version record
;   STAGE         the folder holding the two programs and the .txt files
;   ICON          the program icon
;   OUTFILE       the installer to write
; /S installs and uninstalls silently, into the default or the /D= folder.

Unicode true
SetCompressor /SOLID lzma

!include MUI2.nsh
!include FileFunc.nsh

!define PUBLISHER "The Velkrane developers"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Velkrane"
!define CLASSES "Software\Classes"
!define PROGID "Velkrane.x3f"
!define OPEN_COMMAND '"$INSTDIR\Velkrane.exe" "%1"'
; SHCNE_ASSOCCHANGED: Explorer rereads the Open with menus.
!define NOTIFY_ASSOCIATIONS "shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)"

Name "Velkrane"
OutFile "${OUTFILE}"
; A 32-bit program: "Program Files (x86)" on 64-bit Windows.
InstallDir "$PROGRAMFILES\Velkrane"
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
RequestExecutionLevel admin
BrandingText "Velkrane ${VERSION}"

VIProductVersion "${VERSION_FULL}"
VIAddVersionKey "ProductName" "Velkrane"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "FileDescription" "Velkrane ${VERSION} Setup"
VIAddVersionKey "CompanyName" "${PUBLISHER}"
VIAddVersionKey "LegalCopyright" "Copyright 2026 ${PUBLISHER}"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_FINISHPAGE_RUN "$INSTDIR\Velkrane.exe"
!insertmacro MUI_PAGE_LICENSE "${STAGE}\LICENSE.txt"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

Section
  SetShellVarContext all
  SetOutPath "$INSTDIR"
  File "${STAGE}\Velkrane.exe"
  File "${STAGE}\velkrane-cli.exe"
  File "${STAGE}\README.txt"
  File "${STAGE}\LICENSE.txt"
  File "${STAGE}\THIRD-PARTY-NOTICES.txt"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  CreateShortcut "$SMPROGRAMS\Velkrane.lnk" "$INSTDIR\Velkrane.exe"

  ; "Open with Velkrane" for .x3f files. The extension's default value is
  ; the user's choice of program and is never written.
  WriteRegStr HKLM "${CLASSES}\Applications\Velkrane.exe" "FriendlyAppName" "Velkrane"
  WriteRegStr HKLM "${CLASSES}\Applications\Velkrane.exe\SupportedTypes" ".x3f" ""
  WriteRegStr HKLM "${CLASSES}\Applications\Velkrane.exe\shell\open\command" "" '${OPEN_COMMAND}'
  WriteRegStr HKLM "${CLASSES}\${PROGID}" "" "X3F camera raw file"
  WriteRegStr HKLM "${CLASSES}\${PROGID}\DefaultIcon" "" "$INSTDIR\Velkrane.exe,0"
  WriteRegStr HKLM "${CLASSES}\${PROGID}\shell\open\command" "" '${OPEN_COMMAND}'
  WriteRegNone HKLM "${CLASSES}\.x3f\OpenWithProgids" "${PROGID}"
  WriteRegStr HKLM "${CLASSES}\.x3f\OpenWithList\Velkrane.exe" "" ""

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "Velkrane"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\Velkrane.exe,0"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  ; In KiB, as the installed-programs list expects.
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0

  System::Call '${NOTIFY_ASSOCIATIONS}'
SectionEnd

Section "Uninstall"
  SetShellVarContext all
  Delete "$SMPROGRAMS\Velkrane.lnk"
  Delete "$INSTDIR\Velkrane.exe"
  Delete "$INSTDIR\velkrane-cli.exe"
  Delete "$INSTDIR\README.txt"
  Delete "$INSTDIR\LICENSE.txt"
  Delete "$INSTDIR\THIRD-PARTY-NOTICES.txt"
  Delete "$INSTDIR\uninstall.exe"
  ; Only if empty: files the user put there stay.
  RMDir "$INSTDIR"

  DeleteRegKey HKLM "${CLASSES}\Applications\Velkrane.exe"
  DeleteRegKey HKLM "${CLASSES}\${PROGID}"
  DeleteRegValue HKLM "${CLASSES}\.x3f\OpenWithProgids" "${PROGID}"
  DeleteRegKey HKLM "${CLASSES}\.x3f\OpenWithList\Velkrane.exe"
  ; The extension's keys are shared with other programs: removed only when
  ; nothing of theirs is left in them.
  DeleteRegKey /ifnosubkeys /ifnovalues HKLM "${CLASSES}\.x3f\OpenWithProgids"
  DeleteRegKey /ifnosubkeys /ifnovalues HKLM "${CLASSES}\.x3f\OpenWithList"
  DeleteRegKey /ifnosubkeys /ifnovalues HKLM "${CLASSES}\.x3f"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"

  System::Call '${NOTIFY_ASSOCIATIONS}'
SectionEnd
