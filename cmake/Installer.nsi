; The Windows installer: for the current user, without administrator rights, in Croatian.
; makensis -DVERSION=<version> -DPORTABLE=<portable folder> -DOUTFILE=<setup.exe> Installer.nsi
Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel user

!include "MUI2.nsh"

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Kalvendor"

Name "Kalvendor"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\Kalvendor"
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "Kalvendor ${VERSION}"

!define MUI_ICON "${PORTABLE}\kalvendor.ico"
!define MUI_UNICON "${PORTABLE}\kalvendor.ico"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "Croatian"

VIProductVersion "${VERSION}.0.0"
VIAddVersionKey /LANG=${LANG_CROATIAN} "ProductName" "Kalvendor"
VIAddVersionKey /LANG=${LANG_CROATIAN} "FileDescription" "Instalacija programa Kalvendor"
VIAddVersionKey /LANG=${LANG_CROATIAN} "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_CROATIAN} "ProductVersion" "${VERSION}"

Section
    SetShellVarContext current
    SetOutPath "$INSTDIR"
    File /r "${PORTABLE}\*.*"
    WriteUninstaller "$INSTDIR\Uninstall.exe"

    ; The program works in the folder it starts in: the clerk's own, under Documents.
    CreateDirectory "$DOCUMENTS\Kalvendor"
    SetOutPath "$DOCUMENTS\Kalvendor"
    CreateShortcut "$SMPROGRAMS\Kalvendor.lnk" "$INSTDIR\kalvendor.exe" "" \
        "$INSTDIR\kalvendor.exe" 0 SW_SHOWNORMAL "" "Suglasnost za uvoz medicinskih proizvoda"

    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "Kalvendor"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "Kalvendor"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\kalvendor.exe"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
    WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

; The clerk's data in Documents stays; only the program goes.
Section "Uninstall"
    SetShellVarContext current
    Delete "$SMPROGRAMS\Kalvendor.lnk"
    RMDir /r "$INSTDIR"
    DeleteRegKey HKCU "${UNINSTALL_KEY}"
SectionEnd
