; The Windows installer of Quillet: gen_quillet.dll and a short read-me into
; Winamp's Plugins folder, an uninstaller beside them and an entry under
; Add/Remove Programs. scripts/package builds it:
;   makensis -DVERSION=0.1.0 -DDLL=... -DREADME=... -DOUTFILE=... quillet.nsi
; Silent use: QuilletSetup-0.1.0.exe /S [/D=C:\path\to\Winamp\Plugins]
; (/D last and unquoted, even with spaces).

Unicode true
ManifestDPIAware true
SetCompressor /SOLID lzma

!ifndef VERSION | DLL | README | OUTFILE
  !error "define VERSION, DLL, README and OUTFILE (see scripts/package)"
!endif

!define PRODUCT "Quillet"
!define UNINSTALLER "Uninstall Quillet.exe"
!define ARP_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Quillet"

Name "${PRODUCT} ${VERSION}"
BrandingText "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
; Winamp's Plugins folder is usually under Program Files, and the
; Add/Remove Programs entry goes under HKLM.
RequestExecutionLevel admin
; No InstallDir: .onInit picks the folder, and leaving it out keeps a
; browsed folder as chosen instead of appending a name to it.

!include LogicLib.nsh
!include FileFunc.nsh
!include MUI2.nsh

!define MUI_ABORTWARNING
!define MUI_DIRECTORYPAGE_TEXT_TOP "Setup will install ${PRODUCT} into the Plugins folder of \
Winamp below. If your Winamp is elsewhere, choose its Plugins folder instead."
!define MUI_DIRECTORYPAGE_TEXT_DESTINATION "Winamp's Plugins folder"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_TITLE "${PRODUCT} is installed"
!define MUI_FINISHPAGE_TEXT "Restart Winamp, then choose your phone's port in \
Preferences > Plug-ins > General Purpose > Quillet > Configure."
!define MUI_FINISHPAGE_SHOWREADME "$INSTDIR\Quillet-README.txt"
!define MUI_FINISHPAGE_SHOWREADME_NOTCHECKED
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

VIProductVersion "${VERSION}.0"
VIFileVersion "${VERSION}.0"
VIAddVersionKey "ProductName" "${PRODUCT}"
VIAddVersionKey "CompanyName" "${PRODUCT}"
VIAddVersionKey "FileDescription" "${PRODUCT} ${VERSION} Setup"
VIAddVersionKey "FileVersion" "${VERSION}.0"
VIAddVersionKey "ProductVersion" "${VERSION}.0"
VIAddVersionKey "LegalCopyright" "Copyright (C) 2026 the Quillet authors"

; Windows neither replaces nor deletes a DLL that a running Winamp has
; loaded; ask for Winamp to be closed rather than leave the old one behind.
; A silent run gives up (exit code 2).
!macro RemoveLoadedDll
  remove_dll:
  Delete "$INSTDIR\gen_quillet.dll"
  IfFileExists "$INSTDIR\gen_quillet.dll" 0 +3
    MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION \
      "$INSTDIR\gen_quillet.dll is in use.$\r$\nClose Winamp, then click Retry." \
      /SD IDCANCEL IDRETRY remove_dll
    Abort
!macroend

; Leaves $0 without a trailing backslash, or empty if it names no folder.
Function NormalizeFolder
  StrCpy $1 $0 1 -1
  ${If} $1 == "\"
    StrCpy $0 $0 -1
  ${EndIf}
  ${If} $0 == ""
  ${OrIfNot} ${FileExists} "$0\*.*"
    StrCpy $0 ""
  ${EndIf}
FunctionEnd

; The default folder, unless /D= gave one: the Plugins folder of the Winamp
; that last recorded where it is installed.
Function .onInit
  ${If} $INSTDIR != ""
    Return
  ${EndIf}
  ; Winamp's installer keeps its folder as this key's default value.
  ReadRegStr $0 HKCU "Software\Winamp" ""
  Call NormalizeFolder
  ${If} $0 != ""
    StrCpy $INSTDIR "$0\Plugins"
    Return
  ${EndIf}
  ; Otherwise its uninstaller's folder; the path is usually in quotes.
  ReadRegStr $0 HKLM "Software\Microsoft\Windows\CurrentVersion\Uninstall\Winamp" "UninstallString"
  StrCpy $1 $0 1
  ${If} $1 == '"'
    StrCpy $0 $0 "" 1
    StrCpy $2 0
    ${Do}
      StrCpy $1 $0 1 $2
      ${If} $1 == '"'
      ${OrIf} $1 == ""
        ${ExitDo}
      ${EndIf}
      IntOp $2 $2 + 1
    ${Loop}
    StrCpy $0 $0 $2
  ${EndIf}
  ${If} $0 != ""
    ${GetParent} $0 $0
  ${EndIf}
  Call NormalizeFolder
  ${If} $0 != ""
    StrCpy $INSTDIR "$0\Plugins"
    Return
  ${EndIf}
  StrCpy $INSTDIR "$PROGRAMFILES\Winamp\Plugins"
FunctionEnd

Section "Quillet"
  SetOutPath "$INSTDIR"
  !insertmacro RemoveLoadedDll
  File "${DLL}"
  File "${README}"
  WriteUninstaller "$INSTDIR\${UNINSTALLER}"

  WriteRegStr HKLM "${ARP_KEY}" "DisplayName" "${PRODUCT} (phone remote control for Winamp)"
  WriteRegStr HKLM "${ARP_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${ARP_KEY}" "Publisher" "${PRODUCT}"
  WriteRegStr HKLM "${ARP_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${ARP_KEY}" "UninstallString" '"$INSTDIR\${UNINSTALLER}"'
  WriteRegStr HKLM "${ARP_KEY}" "QuietUninstallString" '"$INSTDIR\${UNINSTALLER}" /S'
  WriteRegDWORD HKLM "${ARP_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${ARP_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/M=gen_quillet.dll /S=0K /G=0" $0 $1 $2
  ${GetSize} "$INSTDIR" "/M=Quillet-README.txt /S=0K /G=0" $3 $1 $2
  IntOp $0 $0 + $3
  WriteRegDWORD HKLM "${ARP_KEY}" "EstimatedSize" $0
SectionEnd

Section "Uninstall"
  !insertmacro RemoveLoadedDll
  Delete "$INSTDIR\Quillet-README.txt"
  DeleteRegKey HKLM "${ARP_KEY}"
  ; plugin.ini stays: it holds the user's settings (the port), which a
  ; reinstall picks up again, and Winamp's other plug-ins share the file.
  ; The folder stays too: it is Winamp's.
  ; Last, so that once it is gone the rest is done. Run with _?= the
  ; uninstaller cannot delete itself; otherwise it runs from a copy in TEMP.
  Delete "$INSTDIR\${UNINSTALLER}"
SectionEnd
