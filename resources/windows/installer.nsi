; The OrvexCard installer for 64-bit Windows: the window and the command line
; under Program Files, a Start-menu entry, .7kx samples opened by the window,
; the operator's language, and an uninstaller that keeps the operator's
; settings and trace log.
;
; makensis -DSTAGE=<installed files> -DVERSION=x.y.z -DOUTFILE=<setup.exe>
;          -DICON=<program icon> installer.nsi
;
; Silent use: setup.exe /S [/LNG=1|2] [/D=C:\path]   (1 German, 2 English)
;             uninstall.exe /S

Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel admin

!include "MUI2.nsh"
!include "x64.nsh"
!include "FileFunc.nsh"
!include "LogicLib.nsh"

!define PRODUCT_KEY "SOFTWARE\Tessovanwerk\OrvexCard"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\OrvexCard"
!define SAMPLE_TYPE "OrvexCard.Sample"
!define WIZARD "orvexcard-wizard.exe"

Name "OrvexCard ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\Tessovanwerk\OrvexCard"
BrandingText "Tessovanwerk OrvexCard ${VERSION}"
ShowInstDetails show

VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=1033 "ProductName" "OrvexCard"
VIAddVersionKey /LANG=1033 "CompanyName" "Tessovanwerk"
VIAddVersionKey /LANG=1033 "LegalCopyright" "Tessovanwerk"
VIAddVersionKey /LANG=1033 "FileDescription" "OrvexCard setup"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!define MUI_FINISHPAGE_RUN "$INSTDIR\${WIZARD}"

!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES

; The order is the language dialog's: German first, as the program's default.
!insertmacro MUI_LANGUAGE "German"
!insertmacro MUI_LANGUAGE "English"
!insertmacro MUI_RESERVEFILE_LANGDLL

; The Start-menu entry carries the window's own title in each language.
LangString MenuEntry ${LANG_GERMAN} "OrvexCard Assistent"
LangString MenuEntry ${LANG_ENGLISH} "OrvexCard wizard"
LangString SampleType ${LANG_GERMAN} "OrvexCard Sample-Datei"
LangString SampleType ${LANG_ENGLISH} "OrvexCard sample file"
LangString Needs64 ${LANG_GERMAN} "OrvexCard braucht ein 64-Bit-Windows."
LangString Needs64 ${LANG_ENGLISH} "OrvexCard needs a 64-bit Windows."

Var Lng  ; the program's language setting: 1 German, 2 English

Function .onInit
  ${IfNot} ${RunningX64}
    MessageBox MB_ICONSTOP "$(Needs64)" /SD IDOK
    Abort
  ${EndIf}
  SetRegView 64
  ; /LNG=1 or /LNG=2 on the command line answers the question beforehand.
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/LNG=" $1
  ${IfNot} ${Errors}
    ${If} $1 == "1"
      StrCpy $LANGUAGE ${LANG_GERMAN}
      StrCpy $Lng 1
    ${ElseIf} $1 == "2"
      StrCpy $LANGUAGE ${LANG_ENGLISH}
      StrCpy $Lng 2
    ${EndIf}
  ${EndIf}
  ${If} $Lng == ""
    ; The dialog offers German and English with the system's language
    ; preselected, English for any other; silent installs take that one.
    System::Call 'kernel32::GetUserDefaultUILanguage() i .r0'
    IntOp $0 $0 & 0x3FF
    ${If} $0 == 0x07
      StrCpy $LANGUAGE ${LANG_GERMAN}
    ${Else}
      StrCpy $LANGUAGE ${LANG_ENGLISH}
    ${EndIf}
    !insertmacro MUI_LANGDLL_DISPLAY
  ${EndIf}
FunctionEnd

Section "OrvexCard" SecMain
  SectionIn RO
  SetOutPath "$INSTDIR"
  File "${STAGE}\${WIZARD}"
  File "${STAGE}\orvexcard.exe"
  File "${STAGE}\README.md"
  SetOutPath "$INSTDIR\licenses"
  File /r "${STAGE}\licenses\*.*"
  SetOutPath "$INSTDIR"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  ; The language the operator chose, for the user who installs.
  ${If} $Lng == ""
    ${If} $LANGUAGE == ${LANG_GERMAN}
      StrCpy $Lng 1
    ${Else}
      StrCpy $Lng 2
    ${EndIf}
  ${EndIf}
  WriteRegDWORD HKCU "${PRODUCT_KEY}" "lng" $Lng

  ; The Start menu of every user.
  SetShellVarContext all
  CreateShortcut "$SMPROGRAMS\$(MenuEntry).lnk" "$INSTDIR\${WIZARD}" "" "$INSTDIR\${WIZARD}" 0
  WriteRegStr HKLM "${UNINSTALL_KEY}" "MenuEntry" "$SMPROGRAMS\$(MenuEntry).lnk"

  ; .7kx samples open in the window, with its icon.
  WriteRegStr HKLM "Software\Classes\.7kx" "" "${SAMPLE_TYPE}"
  WriteRegStr HKLM "Software\Classes\${SAMPLE_TYPE}" "" "$(SampleType)"
  WriteRegStr HKLM "Software\Classes\${SAMPLE_TYPE}\DefaultIcon" "" "$INSTDIR\${WIZARD},0"
  WriteRegStr HKLM "Software\Classes\${SAMPLE_TYPE}\shell\open\command" "" '"$INSTDIR\${WIZARD}" "%1"'
  System::Call 'shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)'

  ; Apps & features.
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "OrvexCard"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "Tessovanwerk"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\${WIZARD},0"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  IntFmt $0 "0x%08X" $0
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" "$0"
SectionEnd

Function un.onInit
  SetRegView 64
  !insertmacro MUI_UNGETLANGUAGE
FunctionEnd

; Removes what the installer put there and nothing else: the operator's
; settings (HKCU\SOFTWARE\Tessovanwerk\OrvexCard) and the trace log stay,
; and so does the folder when anything of the operator's is left in it.
Section "Uninstall"
  Delete "$INSTDIR\${WIZARD}"
  Delete "$INSTDIR\orvexcard.exe"
  Delete "$INSTDIR\README.md"
  RMDir /r "$INSTDIR\licenses"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  RMDir "$PROGRAMFILES64\Tessovanwerk"

  SetShellVarContext all
  ReadRegStr $0 HKLM "${UNINSTALL_KEY}" "MenuEntry"
  ${If} $0 != ""
    Delete "$0"
  ${EndIf}

  ; The sample type is ours to remove only while .7kx still names it.
  ReadRegStr $0 HKLM "Software\Classes\.7kx" ""
  ${If} $0 == "${SAMPLE_TYPE}"
    DeleteRegKey HKLM "Software\Classes\.7kx"
  ${EndIf}
  DeleteRegKey HKLM "Software\Classes\${SAMPLE_TYPE}"
  System::Call 'shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)'

  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
