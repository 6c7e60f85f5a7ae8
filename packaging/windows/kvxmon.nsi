; The Windows installer of KVXMon: KVXMon.exe and kvxctl.exe under Program Files, a Start menu
; shortcut that starts KVXMon in the user's own Documents\KVXMon (KVXMon keeps KVXMon.cnf in its
; working folder, and Program Files is not writable for the user), and an uninstaller listed in
; Apps & features. scripts/package-windows.sh builds it with
;   makensis -DVERSION=x.y.z -DBUILD=<windows build dir> -DSOURCE=<repository> -DOUTFILE=<setup.exe>
;
; The shortcut and the working folder belong to the user who runs the installer, the only user
; whose folders the installer can know: another user of the same PC runs KVXMon.exe from Program
; Files or makes a shortcut of their own. The uninstaller removes the programs and the shortcut and
; leaves that folder, with the settings, parameter files and screen dumps in it, as it is.

Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel admin
ManifestDPIAware true

!include "MUI2.nsh"

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\KVXMon"
!define WORK_FOLDER "$DOCUMENTS\KVXMon"

Name "KVXMon ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\KVXMon"
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "KVXMon ${VERSION}"

VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=0 "ProductName" "KVXMon"
VIAddVersionKey /LANG=0 "CompanyName" "KVXMon"
VIAddVersionKey /LANG=0 "FileDescription" "KVXMon ${VERSION} setup"
VIAddVersionKey /LANG=0 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=0 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=0 "LegalCopyright" "MIT License"

!define MUI_ICON "${BUILD}/kvxmon.ico"
!define MUI_UNICON "${BUILD}/kvxmon.ico"
!define MUI_ABORTWARNING
!define MUI_FINISHPAGE_RUN "$INSTDIR\KVXMon.exe"
!define MUI_FINISHPAGE_RUN_FUNCTION StartInWorkFolder

!insertmacro MUI_PAGE_LICENSE "${SOURCE}/LICENSE"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES

; The installer speaks the user's language where KVXMon does, English otherwise.
!insertmacro MUI_LANGUAGE "English"
!insertmacro MUI_LANGUAGE "German"
!insertmacro MUI_LANGUAGE "Danish"

Function StartInWorkFolder
  SetOutPath "${WORK_FOLDER}"
  Exec '"$INSTDIR\KVXMon.exe"'
FunctionEnd

Section "KVXMon"
  SetShellVarContext current
  SetOutPath "$INSTDIR"
  File "${BUILD}/KVXMon.exe"
  File "${BUILD}/kvxctl.exe"
  File "${SOURCE}/README.md"
  File "${SOURCE}/LICENSE"
  WriteUninstaller "$INSTDIR\Uninstall.exe"

  ; The shortcut's "Start in" folder is where KVXMon reads and writes KVXMon.cnf.
  CreateDirectory "${WORK_FOLDER}"
  SetOutPath "${WORK_FOLDER}"
  CreateShortcut "$SMPROGRAMS\KVXMon.lnk" "$INSTDIR\KVXMon.exe" "" "$INSTDIR\KVXMon.exe" 0 \
    SW_SHOWNORMAL "" "Korvex Configuration tool"
  SetOutPath "$INSTDIR"

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "KVXMon"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "KVXMon"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\KVXMon.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" ${SIZE_KB}
SectionEnd

Section "Uninstall"
  SetShellVarContext current
  Delete "$SMPROGRAMS\KVXMon.lnk"
  Delete "$INSTDIR\KVXMon.exe"
  Delete "$INSTDIR\kvxctl.exe"
  Delete "$INSTDIR\README.md"
  Delete "$INSTDIR\LICENSE"
  Delete "$INSTDIR\Uninstall.exe"
  ; Only when empty: whatever else lies there is not ours to delete.
  RMDir "$INSTDIR"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
