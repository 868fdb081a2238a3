; The Windows installer of Vantorel, compiled by scripts/release.sh with makensis.
;
; Defined by the release script (scripts/lib/release-pack.sh):
;   VERSION, VERSION_SHORT  the project's version, e.g. 1.1.0.0, and its first three parts
;   STAGE64, STAGE32        the unpacked 64-bit and 32-bit archives' folders
;   ICON                    the program's icon
;   OUTFILE                 the installer to write
;   NOTICE, WEB_PAGE        the ownership notice and the product's web page
;
; Exit codes: 0 installed; 1 cancelled by the user; 2 stopped because Vantorel was running and
; was not closed (at once in silent mode /S), or another failure.

!ifndef VERSION | VERSION_SHORT | STAGE64 | STAGE32 | ICON | OUTFILE | NOTICE | WEB_PAGE
  !error "Build with scripts/release.sh: it defines the version and the files."
!endif

; A 32-bit installer, so that the one file runs on 32-bit and 64-bit Windows alike.
Target x86-unicode
SetCompressor /SOLID lzma
ManifestDPIAware true
RequestExecutionLevel admin

!include MUI2.nsh
!include LogicLib.nsh
!include x64.nsh
!include FileFunc.nsh

!define PRODUCT "Vantorel"
!define PUBLISHER "The Vantorel developers"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Vantorel"
; Both are how the program itself finds a running copy of it.
!define MAIN_WINDOW_CLASS "Vantorel"
!define INSTANCE_MUTEX "VantorelInstanceIsRunning"
!define SYNCHRONIZE 0x00100000
!define ERROR_STOPPED 2

Name "${PRODUCT}"
Caption "${PRODUCT} ${VERSION_SHORT} Setup"
UninstallCaption "${PRODUCT} ${VERSION_SHORT} Uninstall"
BrandingText "${PRODUCT} ${VERSION_SHORT}"
OutFile "${OUTFILE}"
ShowInstDetails show
ShowUninstDetails show

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING

!insertmacro MUI_PAGE_LICENSE "${STAGE64}/LICENSE.txt"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

VIProductVersion "${VERSION}"
VIFileVersion "${VERSION}"
VIAddVersionKey /LANG=0 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=0 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=0 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=0 "FileDescription" "${PRODUCT} ${VERSION_SHORT} Setup"
VIAddVersionKey /LANG=0 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=0 "LegalCopyright" "${NOTICE}"
VIAddVersionKey /LANG=0 "OriginalFilename" "vantorel-${VERSION_SHORT}-setup.exe"

; The 64-bit program on x64 Windows; the 32-bit one elsewhere, ARM64 included, where Windows 10
; runs x86 programs but not x64 ones.
!macro SELECT_ARCHITECTURE
  ${If} ${RunningX64}
  ${AndIfNot} ${IsNativeARM64}
    SetRegView 64
    StrCpy $Is64Bit 1
  ${Else}
    StrCpy $Is64Bit 0
  ${EndIf}
!macroend

; Replacing or deleting the files of a running copy would fail half-way, so the user is asked
; to close it first. A silent run cannot ask and stops before it has changed anything.
!macro DEFINE_WAIT_FOR_CLOSED_PROGRAM prefix
  Function ${prefix}WaitForClosedProgram
    Push $0
    check:
      FindWindow $0 "${MAIN_WINDOW_CLASS}"
      ${If} $0 = 0
        System::Call 'kernel32::OpenMutex(i ${SYNCHRONIZE}, i 0, t "${INSTANCE_MUTEX}") p.r0'
        IntCmp $0 0 closed
        System::Call 'kernel32::CloseHandle(p r0)'
      ${EndIf}
      MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION \
        "${PRODUCT} is running.$\r$\n$\r$\nPlease close it, then choose Retry to go on, or Cancel to stop without changing anything." \
        /SD IDCANCEL IDRETRY check
      SetErrorLevel ${ERROR_STOPPED}
      Abort "${PRODUCT} is running: nothing was changed."
    closed:
    Pop $0
  FunctionEnd
!macroend
!insertmacro DEFINE_WAIT_FOR_CLOSED_PROGRAM ""
!insertmacro DEFINE_WAIT_FOR_CLOSED_PROGRAM "un."

Var Is64Bit

Function .onInit
  SetShellVarContext all
  !insertmacro SELECT_ARCHITECTURE
  ; /D= on the command line chose the folder already.
  ${If} $INSTDIR == ""
    ReadRegStr $INSTDIR HKLM "${UNINSTALL_KEY}" "InstallLocation"
  ${EndIf}
  ${If} $INSTDIR == ""
    ${If} $Is64Bit = 1
      StrCpy $INSTDIR "$PROGRAMFILES64\${PRODUCT}"
    ${Else}
      StrCpy $INSTDIR "$PROGRAMFILES\${PRODUCT}"
    ${EndIf}
  ${EndIf}
FunctionEnd

Section "${PRODUCT}"
  SectionIn RO
  Call WaitForClosedProgram

  SetOutPath "$INSTDIR"
  ${If} $Is64Bit = 1
    File "${STAGE64}/vantorel.exe"
    File "${STAGE64}/vantorelhelp.chm"
  ${Else}
    File "${STAGE32}/vantorel.exe"
    File "${STAGE32}/vantorelhelp.chm"
  ${EndIf}
  File "${STAGE64}/LICENSE.txt"
  File "${STAGE64}/README.txt"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  ; The shortcut starts the program in its own folder, where its help command looks first.
  SetOutPath "$INSTDIR"
  CreateShortcut "$SMPROGRAMS\${PRODUCT}.lnk" "$INSTDIR\vantorel.exe" "" \
    "$INSTDIR\vantorel.exe" 0 SW_SHOWNORMAL "" "${PRODUCT} ${VERSION_SHORT}"

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "URLInfoAbout" "${WEB_PAGE}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\vantorel.exe,0"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

Function un.onInit
  SetShellVarContext all
  !insertmacro SELECT_ARCHITECTURE
FunctionEnd

; Removes what the installer put there and nothing else: the user's settings and log in
; %APPDATA%\vantorel stay, and so does a folder that holds files of the user's own.
Section "Uninstall"
  Call un.WaitForClosedProgram

  Delete "$SMPROGRAMS\${PRODUCT}.lnk"
  Delete "$INSTDIR\vantorel.exe"
  ; The help viewer may still hold the help file open.
  Delete /REBOOTOK "$INSTDIR\vantorelhelp.chm"
  Delete "$INSTDIR\LICENSE.txt"
  Delete "$INSTDIR\README.txt"
  Delete "$INSTDIR\uninstall.exe"
  RMDir /REBOOTOK "$INSTDIR"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
