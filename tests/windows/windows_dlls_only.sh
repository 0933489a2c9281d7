#!/usr/bin/env bash
# windows_dlls_only.sh OBJDUMP PROGRAM.exe...: each program imports only DLLs that come with
# Windows (none of the compiler's runtime, no Qt): it runs from any folder, alone. The sockets
# (ws2_32, mswsock) serve units behind a device server; the print spooler (winspool.drv) the
# editor's File > Print.
set -uo pipefail
objdump=$1
shift
status=0
for exe in "$@"; do
    for dll in $("$objdump" -p "$exe" | sed -n 's/.*DLL Name: //p'); do
        case "${dll,,}" in
            kernel32.dll | user32.dll | gdi32.dll | advapi32.dll | shell32.dll | ole32.dll | \
                oleaut32.dll | comdlg32.dll | imm32.dll | winmm.dll | ws2_32.dll | uxtheme.dll | \
                dwmapi.dll | shcore.dll | version.dll | mswsock.dll | netapi32.dll | userenv.dll | shlwapi.dll | \
                setupapi.dll | wtsapi32.dll | d3d11.dll | dxgi.dll | d3d9.dll | d3d12.dll | \
                dcomp.dll | d3dcompiler_47.dll | authz.dll | mpr.dll | msvcrt.dll | ucrtbase.dll | \
                winspool.drv | api-ms-win-*.dll) ;;
            *)
                echo "$(basename "$exe") needs $dll, which Windows does not have"
                status=1
                ;;
        esac
    done
done
exit $status
