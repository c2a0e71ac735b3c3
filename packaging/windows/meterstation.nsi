; The Windows installer: meterstation.exe and db2csv.exe in Program Files,
; a Start menu entry and an uninstaller. "/S" installs without a question.
; Built by the Windows build (makensis -DVERSION=... -DSTATION=...
; -DDB2CSV=... -DOUTFILE=...).
Unicode true
; 64-bit, as the programs are: the 32-bit stub would also need a 32-bit
; Wine to be tested here.
Target amd64-unicode
SetCompressor /SOLID lzma

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\meterstation"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"

Name "meterstation ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\meterstation"
RequestExecutionLevel admin
ShowInstDetails show
ShowUninstDetails show

VIProductVersion "${VERSION}.0"
VIAddVersionKey "ProductName" "meterstation"
VIAddVersionKey "FileDescription" "meterstation installer"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "LegalCopyright" "meterstation"

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

Section "meterstation"
  SetShellVarContext all
  SetOutPath "$INSTDIR"
  File "/oname=meterstation.exe" "${STATION}"
  File "/oname=db2csv.exe" "${DB2CSV}"
  WriteUninstaller "$INSTDIR\Uninstall.exe"
  CreateShortcut "$SMPROGRAMS\meterstation.lnk" "$INSTDIR\meterstation.exe"

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "meterstation"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\meterstation.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

; The operator's data stays: the working directories and their files, and
; the run's settings in %APPDATA%\meterstation. The start at logon goes,
; as it would start a program no longer there.
Section "Uninstall"
  SetShellVarContext all
  Delete "$INSTDIR\meterstation.exe"
  Delete "$INSTDIR\db2csv.exe"
  Delete "$INSTDIR\Uninstall.exe"
  RMDir "$INSTDIR"
  Delete "$SMPROGRAMS\meterstation.lnk"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
  DeleteRegValue HKCU "${RUN_KEY}" "meterstation"
SectionEnd
