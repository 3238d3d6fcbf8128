; The KT57D installer, made by packaging/windows/make_packages.cmake:
;   makensis -DVERSION=3.2.0 -DSTAGE=<staged files> -DOUTFILE=<setup.exe> kt57d.nsi
; Per user, so it needs no administrator and the virtual board's KT57Board.txt and FTD2XX.log,
; which live beside its DLL, stay writable.
Unicode true
Target amd64-unicode

!ifndef VERSION | STAGE | OUTFILE
  !error "define VERSION, STAGE and OUTFILE"
!endif

!include "MUI2.nsh"

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\KT57D"

Name "KT57D ${VERSION}"
OutFile "${OUTFILE}"
RequestExecutionLevel user
InstallDir "$LOCALAPPDATA\Programs\KT57D"
InstallDirRegKey HKCU "Software\KT57D" "InstallDir"
SetCompressor /SOLID lzma

!insertmacro MUI_PAGE_LICENSE "${STAGE}/LICENSE.txt"
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

Section "KT57D" SectionProgram
  SectionIn RO
  SetOutPath "$INSTDIR"
  File "${STAGE}/kt57d.exe"
  File "${STAGE}/kt57-run.exe"
  File "${STAGE}/kt57-check.exe"
  File "${STAGE}/LICENSE.txt"
  File "${STAGE}/README.txt"
  ; kt57-run.exe --studio serves the rehearsal page from here.
  SetOutPath "$INSTDIR\studio"
  File "${STAGE}/studio/*.*"
  SetOutPath "$INSTDIR"
  WriteUninstaller "$INSTDIR\Uninstall.exe"

  ; The working folder: kt57d.exe reads KT57Data.txt and writes KT57Mode.txt there. A program the
  ; user has edited is not overwritten by a new install.
  SetOutPath "$DOCUMENTS\KT57D"
  SetOverwrite off
  File "${STAGE}/KT57Data.txt"
  SetOverwrite on
  CreateDirectory "$SMPROGRAMS\KT57D"
  ; A shortcut starts in the output path of the moment it is made.
  CreateShortCut "$SMPROGRAMS\KT57D\KT57D.lnk" "$INSTDIR\kt57d.exe"
  ; A console in the same working folder with kt57-run and kt57-check on its PATH, so that
  ; "kt57-run --studio" rehearses the program there. The PATH is the console's own, not the user's.
  CreateShortCut "$SMPROGRAMS\KT57D\KT57D command prompt.lnk" "$SYSDIR\cmd.exe" \
    '/k "set "PATH=$INSTDIR;%PATH%" && kt57-run --version && kt57-check --version"'

  WriteRegStr HKCU "Software\KT57D" "InstallDir" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "KT57D"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "The KT57D authors"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\kt57d.exe"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

; Its own copy of kt57d.exe with the substitute FTD2XX.dll beside it: Windows loads a DLL from the
; program's folder first, so only this copy ever sees the substitute, and the entry above keeps
; the real driver of a user who has one.
Section "Virtual board (no hardware)" SectionVirtualBoard
  SetOutPath "$INSTDIR\virtual-board"
  File "${STAGE}/virtual-board/kt57d.exe"
  File "${STAGE}/virtual-board/FTD2XX.dll"
  SetOverwrite off
  File "${STAGE}/virtual-board/KT57Board.txt"
  SetOutPath "$DOCUMENTS\KT57D (virtual board)"
  File "${STAGE}/KT57Data.txt"
  SetOverwrite on
  CreateDirectory "$SMPROGRAMS\KT57D"
  CreateShortCut "$SMPROGRAMS\KT57D\KT57D (virtual board).lnk" "$INSTDIR\virtual-board\kt57d.exe"
SectionEnd

!insertmacro MUI_FUNCTION_DESCRIPTION_BEGIN
  !insertmacro MUI_DESCRIPTION_TEXT ${SectionProgram} "kt57d.exe for a board on FTDI's D2XX driver, started in Documents\KT57D, and the command prompt with kt57-run and kt57-check."
  !insertmacro MUI_DESCRIPTION_TEXT ${SectionVirtualBoard} "A second entry, KT57D (virtual board), that runs against a simulated board in Documents\KT57D (virtual board)."
!insertmacro MUI_FUNCTION_DESCRIPTION_END

; The working folders in Documents hold the user's programs and mode files and are kept.
Section "Uninstall"
  Delete "$SMPROGRAMS\KT57D\KT57D.lnk"
  Delete "$SMPROGRAMS\KT57D\KT57D command prompt.lnk"
  Delete "$SMPROGRAMS\KT57D\KT57D (virtual board).lnk"
  RMDir "$SMPROGRAMS\KT57D"
  Delete "$INSTDIR\virtual-board\kt57d.exe"
  Delete "$INSTDIR\virtual-board\FTD2XX.dll"
  Delete "$INSTDIR\virtual-board\KT57Board.txt"
  Delete "$INSTDIR\virtual-board\FTD2XX.log"
  RMDir "$INSTDIR\virtual-board"
  Delete "$INSTDIR\kt57d.exe"
  Delete "$INSTDIR\kt57-run.exe"
  Delete "$INSTDIR\kt57-check.exe"
  Delete "$INSTDIR\studio\*.*"
  RMDir "$INSTDIR\studio"
  Delete "$INSTDIR\LICENSE.txt"
  Delete "$INSTDIR\README.txt"
  Delete "$INSTDIR\Uninstall.exe"
  RMDir "$INSTDIR"
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
  DeleteRegKey HKCU "Software\KT57D"
SectionEnd
