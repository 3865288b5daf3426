; The Windows installer of 澄曜抽奖软件. makensis is run by
; scripts/windows/package.sh with VERSION and STAGE (the folder laid out as
; installed: bin\ with the programs and their DLLs, share\tombolix\Data.mdb)
; and OUTFILE defined.
; A 64-bit installer: it runs where the 64-bit program runs, and under a
; 64-bit-only Wine.
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel admin

!include "MUI2.nsh"

Name "澄曜抽奖软件"
Caption "澄曜抽奖软件 ${VERSION} 安装"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\Tombolix"
InstallDirRegKey HKLM "Software\Tombolix" "InstallDir"
BrandingText "澄曜软件工作室"

VIProductVersion "${VERSION}.0.0"
VIAddVersionKey /LANG=2052 "ProductName" "澄曜抽奖软件"
VIAddVersionKey /LANG=2052 "CompanyName" "澄曜软件工作室"
VIAddVersionKey /LANG=2052 "FileDescription" "澄曜抽奖软件安装程序"
VIAddVersionKey /LANG=2052 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=2052 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=2052 "LegalCopyright" "© 澄曜软件工作室"

!define MUI_ICON "${STAGE}\..\tombolix.ico"
!define MUI_UNICON "${STAGE}\..\tombolix.ico"
!define MUI_ABORTWARNING
!define MUI_FINISHPAGE_RUN "$INSTDIR\bin\tombolix.exe"
!define MUI_FINISHPAGE_RUN_TEXT "启动澄曜抽奖软件"

!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "SimpChinese"

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Tombolix"

Section "澄曜抽奖软件（必需）" SecProgram
    SectionIn RO
    SetShellVarContext all
    SetOutPath "$INSTDIR"
    File /r "${STAGE}\*.*"
    WriteUninstaller "$INSTDIR\uninstall.exe"
    CreateShortcut "$SMPROGRAMS\澄曜抽奖软件.lnk" "$INSTDIR\bin\tombolix.exe"
    WriteRegStr HKLM "Software\Tombolix" "InstallDir" "$INSTDIR"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "澄曜抽奖软件"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "澄曜软件工作室"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\bin\tombolix.exe"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
    WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Section "桌面快捷方式" SecDesktop
    SetShellVarContext all
    CreateShortcut "$DESKTOP\澄曜抽奖软件.lnk" "$INSTDIR\bin\tombolix.exe"
SectionEnd

LangString DESC_Program ${LANG_SIMPCHINESE} "程序本身、所需的库和空白数据文件。"
LangString DESC_Desktop ${LANG_SIMPCHINESE} "在桌面上放一个澄曜抽奖软件的快捷方式。"
!insertmacro MUI_FUNCTION_DESCRIPTION_BEGIN
    !insertmacro MUI_DESCRIPTION_TEXT ${SecProgram} $(DESC_Program)
    !insertmacro MUI_DESCRIPTION_TEXT ${SecDesktop} $(DESC_Desktop)
!insertmacro MUI_FUNCTION_DESCRIPTION_END

; The user's draws live in the user's own data folder (AppData), never in
; the program folder: uninstalling removes the program and keeps them.
Section "Uninstall"
    SetShellVarContext all
    Delete "$SMPROGRAMS\澄曜抽奖软件.lnk"
    Delete "$DESKTOP\澄曜抽奖软件.lnk"
    RMDir /r "$INSTDIR\bin"
    RMDir /r "$INSTDIR\share"
    Delete "$INSTDIR\uninstall.exe"
    RMDir "$INSTDIR"
    DeleteRegKey HKLM "${UNINSTALL_KEY}"
    DeleteRegKey HKLM "Software\Tombolix"
SectionEnd
