; The setup program of Vigilumen, both builds in one: per user, no
; administrator rights. tools/dist.py runs it as
;   makensis -DVERSION=<x.y.z> -DSCR32=<i686 Vigilumen.scr> -DSCR64=<x64 Vigilumen.scr>
;            -DDATA=<data/QVX_data> -DOUTFILE=<setup.exe> [-DSTUB=amd64] installer/Vigilumen.nsi
;
; Switches: /S silent; /SETSAVER makes Vigilumen the current screen saver and
; /CONFIGURE opens its settings afterwards (the check boxes of the interactive
; setup start ticked, a silent one does neither unless asked); /D=<folder> last.
; The uninstaller takes /S (keeps QVX_data).

!ifndef VERSION | SCR32 | SCR64 | DATA | OUTFILE
  !error "define VERSION, SCR32, SCR64, DATA and OUTFILE (tools/dist.py does)"
!endif

; A 32-bit program, so that it runs on every Windows; it installs the build
; of the Windows it runs on. The test build also makes it with the amd64 stub
; (STUB=amd64), which runs where the machine runs no 32-bit programs and
; always takes the x64 branch.
!ifndef STUB
  Target x86-unicode
!else if "${STUB}" == "amd64"
  Target amd64-unicode
!else
  !error "STUB can only be amd64"
!endif

!define PRODUCT "Corvane Vigilumen"
!define UNINST_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Vigilumen"
!define DESKTOP_KEY "Control Panel\Desktop"
; Where SCRNSAVE.EXE was before this setup changed it; no value when there was none.
!define PREVIOUS_SAVER "PreviousScreenSaver"

Name "${PRODUCT}"
OutFile "${OUTFILE}"
RequestExecutionLevel user
InstallDir "$LOCALAPPDATA\Programs\Vigilumen"
; An upgrade goes where the last install went.
InstallDirRegKey HKCU "${UNINST_KEY}" "InstallLocation"
SetCompressor /SOLID lzma
ManifestDPIAware true
BrandingText "${PRODUCT} ${VERSION}"

VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=1033 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1033 "CompanyName" "Corvane"
VIAddVersionKey /LANG=1033 "FileDescription" "${PRODUCT} setup"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "LegalCopyright" "Corvane"

!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh
!include nsDialogs.nsh
!include x64.nsh

!define MUI_ICON "${__FILEDIR__}/../src/res/generated/vigilumen.ico"
!define MUI_UNICON "${__FILEDIR__}/../src/res/generated/vigilumen.ico"
!define MUI_ABORTWARNING

!insertmacro MUI_PAGE_DIRECTORY
Page custom ChoicesPage ChoicesLeave
!insertmacro MUI_PAGE_INSTFILES
; Asked when the user confirms, before anything is removed; a silent
; uninstall never shows this page and keeps QVX_data.
!define MUI_PAGE_CUSTOMFUNCTION_LEAVE un.AskAboutData
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

Var SetSaver     ; ${BST_CHECKED} when Vigilumen becomes the current saver
Var Configure    ; ${BST_CHECKED} when its settings open at the end
Var SetSaverBox
Var ConfigureBox
Var RemoveData   ; 1 when the uninstaller removes QVX_data too; a silent one never does

Function .onInit
  ${If} ${Silent}
    StrCpy $SetSaver ${BST_UNCHECKED}
    StrCpy $Configure ${BST_UNCHECKED}
  ${Else}
    StrCpy $SetSaver ${BST_CHECKED}
    StrCpy $Configure ${BST_CHECKED}
  ${EndIf}
  ${GetParameters} $R0
  ClearErrors
  ${GetOptions} $R0 "/SETSAVER" $R1
  ${IfNot} ${Errors}
    StrCpy $SetSaver ${BST_CHECKED}
  ${EndIf}
  ClearErrors
  ${GetOptions} $R0 "/CONFIGURE" $R1
  ${IfNot} ${Errors}
    StrCpy $Configure ${BST_CHECKED}
  ${EndIf}
FunctionEnd

Function ChoicesPage
  !insertmacro MUI_HEADER_TEXT "Screen saver" "Choose what setup does once the files are in place."
  nsDialogs::Create 1018
  Pop $0
  ${NSD_CreateCheckbox} 0 0 100% 12u "&Make Vigilumen my screen saver"
  Pop $SetSaverBox
  ${NSD_SetState} $SetSaverBox $SetSaver
  ${NSD_CreateCheckbox} 0 18u 100% 12u "&Open Vigilumen's settings when setup has finished"
  Pop $ConfigureBox
  ${NSD_SetState} $ConfigureBox $Configure
  ${NSD_CreateLabel} 0 42u 100% 40u "Vigilumen runs the screen saver you choose in its settings and shows \
      notifications over it. Windows' Screen Saver Settings can change either choice later."
  Pop $0
  nsDialogs::Show
FunctionEnd

Function ChoicesLeave
  ${NSD_GetState} $SetSaverBox $SetSaver
  ${NSD_GetState} $ConfigureBox $Configure
FunctionEnd

; $R0: a SCRNSAVE.EXE value. Sets $R1 to 1 when it names the Vigilumen.scr of
; $INSTDIR in either path form (the file must still exist for the short one).
!macro DEFINE_NAMES_THIS_SAVER un
  Function ${un}NamesThisSaver
    StrCpy $R1 0
    GetFullPathName /SHORT $R2 "$INSTDIR\Vigilumen.scr"
    ; StrCmp ignores letter case, as Windows paths do.
    ${If} $R0 == "$INSTDIR\Vigilumen.scr"
    ${OrIf} $R0 == $R2
      StrCpy $R1 1
    ${EndIf}
  FunctionEnd
!macroend
!insertmacro DEFINE_NAMES_THIS_SAVER ""
!insertmacro DEFINE_NAMES_THIS_SAVER "un."

Function SetAsScreenSaver
  ; Remember the saver this replaces, unless it is Vigilumen already (a
  ; reinstall must not make the uninstaller "restore" Vigilumen itself).
  ClearErrors
  ReadRegStr $R0 HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE"
  ${If} ${Errors}
    DeleteRegValue HKCU "${UNINST_KEY}" "${PREVIOUS_SAVER}"
  ${Else}
    Call NamesThisSaver
    ${If} $R1 == 0
      WriteRegStr HKCU "${UNINST_KEY}" "${PREVIOUS_SAVER}" $R0
    ${EndIf}
  ${EndIf}
  ; The short form, as Windows' own Screen Saver Settings writes it: whatever
  ; starts the saver from this value may not quote it, and the long path holds
  ; the user's name, blanks included. Without 8.3 names it is the long path.
  GetFullPathName /SHORT $R0 "$INSTDIR\Vigilumen.scr"
  ${If} $R0 == ""
    StrCpy $R0 "$INSTDIR\Vigilumen.scr"
  ${EndIf}
  WriteRegStr HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE" $R0
  WriteRegStr HKCU "${DESKTOP_KEY}" "ScreenSaveActive" "1"
  ; SPI_SETSCREENSAVEACTIVE with SPIF_SENDCHANGE: the running session and an
  ; open Screen Saver Settings window learn of the change now, not at next logon.
  System::Call "user32::SystemParametersInfoW(i 17, i 1, p 0, i 2)"
FunctionEnd

Section "Vigilumen" SecMain
  SectionIn RO
  SetOutPath "$INSTDIR"
  ; Windows on Arm gets the 32-bit build, which every version of it runs (x64
  ; programs run there only from Windows 11 on).
  ${If} ${RunningX64}
  ${AndIfNot} ${IsNativeARM64}
    File "/oname=Vigilumen.scr" "${SCR64}"
  ${Else}
    File "/oname=Vigilumen.scr" "${SCR32}"
  ${EndIf}
  ; QVX_data belongs to the user from the first run on (the settings file, their
  ; own icons): an upgrade adds missing icons and replaces nothing there.
  SetOutPath "$INSTDIR\QVX_data"
  SetOverwrite off
  File "${DATA}/*.ico"
  SetOverwrite on
  SetOutPath "$INSTDIR"
  WriteUninstaller "$INSTDIR\Uninstall.exe"

  WriteRegStr HKCU "${UNINST_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKCU "${UNINST_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINST_KEY}" "Publisher" "Corvane"
  WriteRegStr HKCU "${UNINST_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegStr HKCU "${UNINST_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
  WriteRegStr HKCU "${UNINST_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINST_KEY}" "DisplayIcon" "$INSTDIR\Vigilumen.scr,0"
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD HKCU "${UNINST_KEY}" "EstimatedSize" $0
  WriteRegDWORD HKCU "${UNINST_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINST_KEY}" "NoRepair" 1

  ${If} $SetSaver == ${BST_CHECKED}
    Call SetAsScreenSaver
  ${EndIf}
SectionEnd

Function .onInstSuccess
  ${If} $Configure == ${BST_CHECKED}
    Exec '"$INSTDIR\Vigilumen.scr" /c'
  ${EndIf}
FunctionEnd

Function un.AskAboutData
  StrCpy $RemoveData 0
  ${If} ${FileExists} "$INSTDIR\QVX_data\*.*"
    MessageBox MB_YESNO|MB_ICONQUESTION|MB_DEFBUTTON2 \
        "Remove your Vigilumen settings and notification icons as well?$\n$\n$INSTDIR\QVX_data" IDNO keep_data
    StrCpy $RemoveData 1
    keep_data:
  ${EndIf}
FunctionEnd

; The IMAP passwords the settings named live in the user's Credential
; Manager, under targets that start with the program's name: with the
; settings gone they are no one's. Enumerated, then each one deleted.
Function un.ForgetMailPasswords
  System::Call 'advapi32::CredEnumerateW(w "Vigilumen/imap/*", i 0, *i .r1, *p .r2) i .r0'
  ${If} $0 == 0
    Return  ; none stored, or no credential store
  ${EndIf}
  StrCpy $3 0
  ${DoWhile} $3 < $1
    IntOp $4 $3 * ${NSIS_PTR_SIZE}
    IntPtrOp $4 $2 + $4
    System::Call '*$4(p .r5)'          ; the credential
    System::Call '*$5(i, i, p .r6)'    ; Flags, Type, TargetName
    System::Call 'kernel32::lstrcpynW(w .r7, p r6, i ${NSIS_MAX_STRLEN})'
    System::Call 'advapi32::CredDeleteW(w r7, i 1, i 0)'  ; CRED_TYPE_GENERIC
    IntOp $3 $3 + 1
  ${Loop}
  System::Call 'advapi32::CredFree(p r2)'
FunctionEnd

Section "Uninstall"
  ; The previous saver comes back only while Vigilumen is still the current
  ; one: a saver the user has chosen since stays. Checked before the file goes.
  ClearErrors
  ReadRegStr $R0 HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE"
  ${IfNot} ${Errors}
    Call un.NamesThisSaver
    ${If} $R1 == 1
      ClearErrors
      ReadRegStr $R0 HKCU "${UNINST_KEY}" "${PREVIOUS_SAVER}"
      ${If} ${Errors}
        DeleteRegValue HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE"
      ${Else}
        WriteRegStr HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE" $R0
      ${EndIf}
    ${EndIf}
  ${EndIf}

  Delete "$INSTDIR\Vigilumen.scr"
  Delete "$INSTDIR\Uninstall.exe"
  ${If} $RemoveData == 1
    RMDir /r "$INSTDIR\QVX_data"
    Call un.ForgetMailPasswords
  ${EndIf}
  ; Only an empty folder goes: the user may have chosen one that holds more.
  RMDir "$INSTDIR"
  DeleteRegKey HKCU "${UNINST_KEY}"
SectionEnd
