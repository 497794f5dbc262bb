# The Windows installer (NSIS through CPack, Debian's nsis package): tools/windows.sh makes
# build-windows/quorvane-player-<version>-win64-setup.exe with `cpack -G NSIS`.
#
# It installs the packaged layout into Program Files (bin\quorvane-player.exe beside
# share\quorvane-player), registers the service QuorvanePlayer that Windows starts at boot before anyone
# logs in, opens the port in Windows Firewall, and adds the Start-menu entry "Quorvane Player" that
# opens the browser app. The port is 5000 unless the installer is given /PORT=<port>; /NOSTART leaves
# the service to start at the next boot (or by hand); /S installs silently.
# The uninstaller removes the service, the rule and the program; the user data stays unless the person
# uninstalling asks for it to go (never in a silent uninstall).
set(QUORVANE_INSTALLER_NAME "Quorvane Player")
set(CPACK_GENERATOR NSIS)
set(CPACK_PACKAGE_NAME "${QUORVANE_INSTALLER_NAME}")
set(CPACK_PACKAGE_VENDOR Quorvane)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "school bell and signal player")
set(CPACK_PACKAGE_INSTALL_DIRECTORY "${QUORVANE_INSTALLER_NAME}")
set(CPACK_PACKAGE_INSTALL_REGISTRY_KEY "QuorvanePlayer")
set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES64")
set(CPACK_NSIS_PACKAGE_NAME "${QUORVANE_INSTALLER_NAME}")
set(CPACK_NSIS_DISPLAY_NAME "${QUORVANE_INSTALLER_NAME}")
set(CPACK_NSIS_INSTALLED_ICON_NAME "bin\\quorvane-player.exe")
set(CPACK_NSIS_CONTACT "player@quorvane.com")
set(CPACK_NSIS_ENABLE_UNINSTALL_BEFORE_INSTALL ON)
set(CPACK_NSIS_EXECUTABLES_DIRECTORY bin)
set(CPACK_STRIP_FILES TRUE)
# A 64-bit installer (Debian's nsis has the stubs): it sees the real System32 and registry, and runs
# under a 64-bit-only Wine.

# NSIS text below, passed verbatim: "\${" keeps CMake from reading NSIS' own ${...}; "\\" is one backslash.
set(CPACK_VERBATIM_VARIABLES TRUE)
set(service QuorvanePlayer)
set(rule "Quorvane Player")
set(CPACK_NSIS_DEFINES "Target amd64-unicode\n!include FileFunc.nsh\nVar /GLOBAL QuorvanePort")

# The service stopped (it holds its program open) and removed, and its firewall rule with it. The
# service manager may refuse the removal for a moment after a stop (its database locked): a few tries.
# 1060: there is no such service.
set(remove_service "
  nsExec::ExecToLog '\"$SYSDIR\\sc.exe\" stop ${service}'
  Pop $0
  StrCmp $0 0 0 +2
    Sleep 3000
  StrCpy $R3 0
  deleteService:
    nsExec::ExecToLog '\"$SYSDIR\\sc.exe\" delete ${service}'
    Pop $0
    StrCmp $0 0 serviceDeleted
    StrCmp $0 1060 serviceDeleted
    IntOp $R3 $R3 + 1
    IntCmp $R3 4 serviceDeleted
    Sleep 1000
    Goto deleteService
  serviceDeleted:
  nsExec::ExecToLog '\"$SYSDIR\\netsh.exe\" advfirewall firewall delete rule name=\"${rule}\"'
  Pop $0
")

# Before the files (and the Start-menu entry, which names the port): the options, and an older
# version's service removed.
set(CPACK_NSIS_EXTRA_PREINSTALL_COMMANDS "
  \${GetParameters} $R0
  ClearErrors
  \${GetOptions} $R0 \"/PORT=\" $QuorvanePort
  IfErrors 0 +2
    StrCpy $QuorvanePort 5000
  IntOp $R2 $QuorvanePort + 0
  StrCmp $R2 $QuorvanePort 0 badPort
  IntCmp $R2 1 0 badPort
  IntCmp $R2 65535 portOk portOk badPort
  badPort:
    MessageBox MB_OK|MB_ICONSTOP \"/PORT= takes a port from 1 to 65535, not $QuorvanePort\" /SD IDOK
    Abort
  portOk:
${remove_service}")

set(CPACK_NSIS_EXTRA_INSTALL_COMMANDS "
  \${GetParameters} $R0
  WriteRegStr HKLM \"Software\\QuorvanePlayer\" \"Port\" \"$QuorvanePort\"
  nsExec::ExecToLog '\"$SYSDIR\\sc.exe\" create ${service} binPath= \"\\\"$INSTDIR\\bin\\quorvane-player.exe\\\" --windows-service --port $QuorvanePort\" start= auto DisplayName= \"${QUORVANE_INSTALLER_NAME}\"'
  Pop $0
  nsExec::ExecToLog '\"$SYSDIR\\sc.exe\" description ${service} \"Rings the school bells from the timetables; configured at http://localhost:$QuorvanePort/\"'
  Pop $0
  nsExec::ExecToLog '\"$SYSDIR\\sc.exe\" failure ${service} reset= 86400 actions= restart/5000/restart/5000/restart/60000'
  Pop $0
  nsExec::ExecToLog '\"$SYSDIR\\netsh.exe\" advfirewall firewall add rule name=\"${rule}\" dir=in action=allow protocol=TCP localport=$QuorvanePort'
  Pop $0
  ClearErrors
  \${GetOptions} $R0 \"/NOSTART\" $R1
  IfErrors 0 +3
    nsExec::ExecToLog '\"$SYSDIR\\sc.exe\" start ${service}'
    Pop $0
")

# The Start-menu entry opens the browser app on the port chosen.
set(CPACK_NSIS_CREATE_ICONS_EXTRA "
  WriteINIStr \"$SMPROGRAMS\\$STARTMENU_FOLDER\\${QUORVANE_INSTALLER_NAME}.url\" \"InternetShortcut\" \"URL\" \"http://localhost:$QuorvanePort/\"
")
set(CPACK_NSIS_DELETE_ICONS_EXTRA "
  Delete \"$SMPROGRAMS\\$MUI_TEMP\\${QUORVANE_INSTALLER_NAME}.url\"
")

set(CPACK_NSIS_EXTRA_UNINSTALL_COMMANDS "
${remove_service}  DeleteRegKey HKLM \"Software\\QuorvanePlayer\"
  MessageBox MB_YESNO|MB_ICONQUESTION \"Also delete the player's data (timetables, settings, sounds, journal, log)?\" /SD IDNO IDNO keepUserData
    SetShellVarContext current
    RMDir /r \"$APPDATA\\QuorvanePlayer\"
    RMDir /r \"$WINDIR\\System32\\config\\systemprofile\\AppData\\Roaming\\QuorvanePlayer\"
  keepUserData:
")

# The installer's version is the one the build wrote into version.info (the Debian package's), read when
# cpack runs; so is its file name.
set(CPACK_QUORVANE_VERSION_FILE ${PROJECT_BINARY_DIR}/version.info)
set(CPACK_QUORVANE_FILE_NAME_PATTERN "quorvane-player-@VERSION@-win64-setup")
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_CURRENT_LIST_DIR}/QuorvaneCPackVersion.cmake)
set(CPACK_OUTPUT_FILE_PREFIX ${PROJECT_BINARY_DIR})
include(CPack)
