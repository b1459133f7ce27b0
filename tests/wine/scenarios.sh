# Scenarios of the run under Wine, sourced by tests/wine/run (which holds the helpers:
# wine, wine_env, start_bg, wait_bg, expect, expect_match, ok, bad, scenario).
#
# Every check is something a user could observe: the keys the focused window received,
# exit codes, the notification icon (its tip, and whether its picture is the crossed-out
# normal-mode one), windows and their titles, message boxes and their texts, registry
# values, and the programs running (as the process list shows their command lines).
# Plug and Play, which Wine lacks, is played by test-only stand-ins that log each call.

pexa_dir='C:\Pexa'
test_dir_windows='C:\PexaTest'
test_dir=$prefix/drive_c/PexaTest
service=PEXACTRL
service_key='HKLM\SYSTEM\CurrentControlSet\Services\PEXACTRL'
profile_key='HKLM\SYSTEM\CurrentControlSet\Hardware Profiles\Current\System\CurrentControlSet\Enum\ACPI\SMCF010\4&7AF5D03&0'
config_key_98='HKLM\Config\0001\Enum\ACPI\*SMCF010'
tray_class='Pexaro Control'
device_log=$test_dir/device-calls.log
WM_CLOSE=0x10
WM_REMOTEOFF=0x7E8

# Texts the programs show, from the shipped US string table (CR LF lines).
table_text() {
    grep -m1 "^$1=" "$bin/str_us.txt" | cut -d= -f2- | tr -d '\r'
}
title=$(table_text NameVersion)
ask_reboot_text=$(table_text ASKREBOOT)

# The test-only libraries take the place of what Wine lacks, for the tray programs only.
tray_env=("WINEDLLOVERRIDES=$wine_overrides;setupapi=n,b"
          "PEXA_DEVICE_LOG=$test_dir_windows\\device-calls.log")

# ---- helpers ----------------------------------------------------------------------------

# A value of a registry key as reg prints it ("0x1", text), empty when it is not there.
reg_value() {
    wine reg query "$1" /v "$2" > /dev/null
    awk -v name="$2" '$1 == name { $1 = ""; $2 = ""; sub(/^  /, ""); print }' "$out" | tr -d '\r'
}

reg_delete_value() {
    wine reg delete "$1" /v "$2" /f > /dev/null
}

set_version() {
    wine reg add 'HKCU\Software\Wine' /v Version /t REG_SZ /d "$1" /f > /dev/null
}

# The simulated notebook for the next driver start, one setting per argument.
set_machine() {
    printf '%s\n' "$@" > "$test_dir/machine.txt"
    say "    machine: $(paste -sd';' "$test_dir/machine.txt")"
}

# Wine starts every driver in a driver host process of its own, which ends a moment after
# the service reports its driver stopped; a start in that moment goes to the ending host
# and dies with it. So the run notes the host of each start and waits for it after each
# stop.
driver_hosts=

driver_host_pids() { running_pids 'winedevice\.exe' | sort; }

driver_stop() {
    wine "$test_dir_windows\\pexa-svc.exe" state "$service" > /dev/null
    if grep -q running "$out"; then
        wine "$test_dir_windows\\pexa-svc.exe" stop "$service" > /dev/null ||
            bad "driver stop: $(cat "$out")"
    fi
    local pid
    for pid in $driver_hosts; do
        wait_gone "$pid" 10 || bad "driver host $pid did not end"
    done
    driver_hosts=
}

# Starts the driver and notes its host (also for a start that fails: its host ends too).
driver_start() {
    local before code
    before=$(driver_host_pids)
    wine "$test_dir_windows\\pexa-svc.exe" start "$service" > /dev/null
    code=$?
    driver_hosts=$(comm -13 <(echo "$before") <(driver_host_pids))
    return $code
}

# Restarts the driver on the machine of set_machine; false when it does not run.
driver_restart() {
    driver_stop
    driver_start && return 0
    bad "driver start: $(tr '\n' ' ' < "$out") $(reg_value "$service_key" SimStatus)"
    return 1
}

# The programs a scenario needs; false (and a failed check) when one is not built.
need() {
    local program
    for program in "$@"; do
        if [[ ! -f $prefix/drive_c/Pexa/$program ]]; then
            bad "$program is not built"
            return 1
        fi
    done
}

ui() { wine "$test_dir_windows\\pexa-ui.exe" "$@"; }

# Starts the key recorder and waits until its window has the focus.
keys_file=
start_keys() {
    keys_file=$test_dir/keys-$1.txt
    : > "$keys_file"
    start_bg "keys-$1" -- "$test_dir_windows\\pexa-keys.exe" "$test_dir_windows\\keys-$1.txt"
    keys_pid=$bg_pid
    local waited=0
    while ! grep -q '^# ready' "$keys_file" && ((waited < 100)); do
        sleep 0.1
        waited=$((waited + 1))
    done
    grep -q '^# ready' "$keys_file" || bad "key recorder did not start"
}

key_lines() { tr -d '\r' < "$keys_file" | grep -E '^(down|up) ' | paste -sd, -; }

# Waits until the recorder has $1 key messages (or $2 seconds passed), then a little
# more, so that extra keys would be seen too.
wait_keys() {
    local count=$1 limit=$2 waited=0
    while (($(grep -cE '^(down|up) ' "$keys_file") < count)) && ((waited < limit * 10)); do
        sleep 0.1
        waited=$((waited + 1))
    done
    sleep 0.5
}

stop_keys() {
    ui post PexaKeyRecorder "$WM_CLOSE" 0 0 > /dev/null
    wait_bg "$keys_pid" 10
    [[ $bg_code == 0 ]] || bad "key recorder ended with $bg_code"
}

# Command lines of this run's processes running a program, as the process list shows them.
running_programs() {
    local pid
    for pid in $(running_pids "$1"); do
        tr '\0' ' ' 2> /dev/null < "/proc/$pid/cmdline" | sed 's/ *$//'
        echo
    done
}

# The tray program's icon: $1 plain (remote mode) or crossed (normal mode), with the tip.
expect_icon() {
    if ui wait-icon "$1" 8000 > /dev/null; then
        ok "icon shown, $(grep '^icon:' "$out" | head -1)"
    else
        bad "icon $1 expected: $(tr '\n' ' ' < "$out")"
        return
    fi
    expect_match "icon tip is the program title" "$(cat "$out")" "tip \"$title\""
}

expect_no_icon() {
    if ui wait-icons 0 8000 > /dev/null; then
        ok "no notification icon"
    else
        bad "icon still shown: $(tr '\n' ' ' < "$out")"
    fi
}

expect_ask() {
    expect "registry ASK" "$(reg_value "$service_key" ASK)" "$1"
}

# Closes the tray program the way a user's log-off script does.
close_with_selector() {
    wine "$pexa_dir\\pexaro.exe" -c > /dev/null
    expect "pexaro -c exit code" "$?" 0
}

close_tray() {
    ui post "$tray_class" "$WM_CLOSE" 0 0 > /dev/null
    wait_bg "$1" 10
    expect "tray program exit code after WM_CLOSE" "$bg_code" 0
}

# ---- set-up ---------------------------------------------------------------------------

setup_prefix() {
    mkdir -p "$test_dir"
    local saved_limit=$STEP_LIMIT_S
    STEP_LIMIT_S=$BOOT_LIMIT_S
    # The first Wine command creates the prefix and starts its services, which take
    # DISPLAY and WINEDEBUG from it.
    local begin=$SECONDS
    wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f > /dev/null
    expect "prefix created, crash dialog off ($((SECONDS - begin)) s)" "$?" 0
    STEP_LIMIT_S=$saved_limit

    # Programs, string tables and readmes in the program directory; test-only libraries
    # next to them; the helpers apart.
    local program_dir=$prefix/drive_c/Pexa
    mkdir -p "$program_dir"
    local program
    for program in pexasmsc2k.exe pexasmsc98.exe pexaro.exe; do
        if [[ -f $bin/$program ]]; then
            cp "$bin/$program" "$program_dir/"
        else
            say "    note: $program is not built; its scenarios will fail"
        fi
    done
    cp "$bin"/str_*.txt "$bin"/readme_*.txt "$program_dir/"
    cp "$helpers/setupapi.dll" "$helpers/pexa32.dll" "$program_dir/"
    cp "$prefix/drive_c/windows/system32/setupapi.dll" "$program_dir/setupapi_wine.dll"
    cp "$helpers"/*.exe "$test_dir/"
    ok "programs and string tables copied to $pexa_dir: $(cd "$program_dir" && ls | paste -sd' ')"

    # The driver: no port instruction anywhere in the image, then a kernel service.
    local objdump
    objdump=$(command -v x86_64-w64-mingw32-objdump || command -v objdump)
    local port_instructions
    port_instructions=$("$objdump" -d "$bin/PEXACTRL.sys" | grep -cE $'\t(in|out|ins|outs)[bwl]? ')
    expect "port instructions in PEXACTRL.sys" "$port_instructions" 0
    cp "$bin/PEXACTRL.sys" "$prefix/drive_c/windows/system32/drivers/"
    wine "$test_dir_windows\\pexa-svc.exe" create "$service" \
        'C:\windows\system32\drivers\PEXACTRL.sys' > /dev/null
    expect "kernel service created" "$?" 0
    wine reg add "$service_key" /v SimMachineFile /t REG_SZ /d "\\??\\$test_dir_windows\\machine.txt" \
        /f > /dev/null
    set_machine "chip = 0x2E"
    driver_restart && ok "driver started"
    expect_match "driver status" "$(reg_value "$service_key" SimStatus)" '^running: chip 0x2E flat'

    # The infrared controller as each Windows family knows it.
    wine "$test_dir_windows\\pexa-devices.exe" create-nt > /dev/null
    expect "SetupAPI device ACPI\\SMCF010 created" "$?" 0
    wine "$test_dir_windows\\pexa-devices.exe" create-98 > /dev/null
    expect "Windows 98 devnode created" "$?" 0
    wine reg add "$config_key_98" /v Driver /t REG_SZ /d 'Net\0000' /f > /dev/null
    expect "Windows 98 hardware profile 1 holds the controller" "$?" 0
    wine reg add 'HKU\.DEFAULT\Control Panel\Desktop' /v ResourceLocale /t REG_SZ /d 00000409 \
        /f > /dev/null
    expect "Windows 98 system locale" "$?" 0
}

# ---- scenarios ----------------------------------------------------------------------------

# The control-code table against the driver in Wine's driver host, on two machines.
probe() {
    local machine
    for machine in flat ldn; do
        wine "$test_dir_windows\\pexa-probe.exe" machine "$machine" > /dev/null
        mapfile -t settings < "$out"
        set_machine "${settings[@]}"
        driver_restart || continue
        wine "$test_dir_windows\\pexa-probe.exe" run "$machine" > /dev/null
        local code=$?
        grep '^FAIL' "$out" | while read -r line; do say "      $line"; done
        expect "$(tail -1 "$out") (exit code)" "$code" 0
    done
    driver_stop
    expect_match "driver status after stop" "$(reg_value "$service_key" SimStatus)" \
        '^stopped: [0-9]+ port accesses, remote mode first on at [0-9]+ ms, 3 remote bytes sent'
}

# Where the driver takes its machine from, and a description it cannot use keeps it
# from starting, with the reason in its service key.
machine_description() {
    driver_stop
    # The description in the service key itself, when no file is named.
    wine reg delete "$service_key" /v SimMachineFile /f > /dev/null
    wine reg add "$service_key" /v SimMachine /t REG_MULTI_SZ /d 'chip = 0x4E\0registers = ldn' \
        /f > /dev/null
    driver_start && ok "driver started on SimMachine"
    expect "driver status" "$(reg_value "$service_key" SimStatus)" \
        "running: chip 0x4E ldn, no firmware, 0 presses from SimMachine"
    driver_stop
    wine reg delete "$service_key" /v SimMachine /f > /dev/null

    # A file that is not there.
    wine reg add "$service_key" /v SimMachineFile /t REG_SZ \
        /d "\\??\\$test_dir_windows\\missing.txt" /f > /dev/null
    if driver_start; then
        bad "driver started without its description"
    else
        ok "driver start refused: $(tr '\n' ' ' < "$out")"
    fi
    expect "driver status" "$(reg_value "$service_key" SimStatus)" \
        "error: description not readable (status 0xC0000034) from file \\??\\$test_dir_windows\\missing.txt"
    driver_stop

    # A setting it does not understand.
    wine reg add "$service_key" /v SimMachineFile /t REG_SZ \
        /d "\\??\\$test_dir_windows\\machine.txt" /f > /dev/null
    set_machine "chip = 0x2E" "chip = 0x3F"
    if driver_start; then
        bad "driver started on a wrong description"
    else
        ok "driver start refused: $(tr '\n' ' ' < "$out")"
    fi
    expect "driver status" "$(reg_value "$service_key" SimStatus)" \
        "error: line 2: chip must be 0x2E, 0x4E or none: 0x3F from file \\??\\$test_dir_windows\\machine.txt"
    set_machine "chip = 0x2E"
    driver_restart && ok "driver starts again on a good description"
}

# Log-on: the selector asks the firmware, finds the first OEM row and starts the tray
# program with "-4 -b4"; the remote's four buttons reach the focused window as keys;
# "pexaro -c" closes the tray program.
logon() {
    need pexaro.exe "$tray" || return
    # The presses leave the tray program time to drain, add its icon and be polled, and
    # the focused window time to take the focus back from the notification area's window.
    set_machine "chip = 0x4E" "oem = _Tov,____,_Lum,____" \
        "press = 1500 33 33 33" "press = 1900 CC CC CC" "press = 2300 69 69 69" "press = 2700 96 96 96"
    driver_restart || return
    reg_delete_value "$service_key" ASK
    : > "$device_log"
    start_keys "logon-$version"
    start_bg "watch-$version" -- "$test_dir_windows\\pexa-ui.exe" watch-exit "$tray_class" 20000
    local watcher=$bg_pid

    wine_env "${tray_env[@]}" -- "$pexa_dir\\pexaro.exe" > /dev/null
    expect "pexaro exit code" "$?" 0
    ui title "$tray_class" 10000 > /dev/null
    expect "tray window" "$(cat "$out")" "$tray_class"
    expect "program started by pexaro" "$(running_programs "$tray" | head -1)" \
        "$pexa_dir\\$tray -4 -b4"
    expect_icon plain
    wait_keys 8 10
    expect "keys received by the focused window" "$(key_lines)" \
        "down 21,up 21,down 22,up 22,down 25,up 25,down 27,up 27"
    expect_ask 0x1
    check_controller_taken

    close_with_selector
    wait_bg "$watcher" 15
    expect "tray program ended" "$(bg_output "watch-$version" | grep -E '^(exit|still)')" "exit 0"
    expect_match "the ended program was $tray" "$(bg_output "watch-$version")" "$tray"
    expect_no_icon
    ui wait-gone "$tray_class" 5000 > /dev/null
    expect "tray window gone" "$?" 0
    stop_keys
}

# What the tray program's switch into remote mode leaves in each Windows family.
check_controller_taken() {
    if [[ $version == win98 ]]; then
        expect_match "pexa32 asked to disable the controller" "$(cat "$device_log")" \
            'EnableDisableDevice flag=0 class=Net key=Enum\\ACPI\\\*SMCF010\\0 length=20'
        wine "$test_dir_windows\\pexa-devices.exe" status-98 > /dev/null
        expect_match "controller devnode" "$(cat "$out")" 'problem: disabled'
        wine reg query "$config_key_98" > /dev/null
        expect "controller removed from hardware profile 1 (reg query exit code)" "$?" 1
    else
        expect_match "SetupAPI asked to disable the controller" "$(cat "$device_log")" \
            'SetupDiSetClassInstallParamsA device=ACPI\\SMCF010\\4&7AF5D03&0 DIF_PROPERTYCHANGE state=disable scope=2 profile=0 size=20'
        expect_match "class installer called" "$(cat "$device_log")" \
            'SetupDiCallClassInstaller device=ACPI\\SMCF010\\4&7AF5D03&0 DIF_PROPERTYCHANGE disable: CSConfigFlags written'
        expect "CSConfigFlags after the profile clean-up" "$(reg_value "$profile_key" CSConfigFlags)" 0x0
    fi
}

# First start in remote mode, Disable from the popup menu (Windows 98: at once; Windows
# 2000: the restart question, answered No), the persisted mode across a restart of the
# program, and Enable from the menu.
persisted_mode() {
    need "$tray" || return
    set_machine "chip = 0x2E"
    driver_restart || return
    reg_delete_value "$service_key" ASK
    : > "$device_log"
    start_bg "first-$version" "${tray_env[@]}" -- "$pexa_dir\\$tray"
    local first=$bg_pid
    expect_icon plain
    expect_ask 0x1

    ui menu 0 5000 > /dev/null
    expect "Disable chosen from the popup menu" "$?" 0
    if [[ $version == win98 ]]; then
        expect_icon crossed
        expect_ask 0x0
        expect_match "pexa32 asked to enable the controller" "$(cat "$device_log")" \
            'EnableDisableDevice flag=1 class=Net key=Enum\\ACPI\\\*SMCF010\\0 length=20'
        wine "$test_dir_windows\\pexa-devices.exe" status-98 > /dev/null
        expect_match "controller devnode" "$(cat "$out")" '\(enabled\)'
    else
        ui answer "$title" no 5000 > /dev/null
        expect "restart question answered No" "$?" 0
        expect "restart question caption" "$(grep '^caption: ' "$out" | cut -c10-)" "$title"
        expect "restart question text" "$(grep '^text: ' "$out" | cut -c7-)" "$ask_reboot_text"
        expect_icon plain
        expect_ask 0x1
        ui post "$tray_class" "$WM_REMOTEOFF" 0 0 > /dev/null
        expect_icon crossed
        expect_ask 0x0
    fi
    close_with_selector
    wait_bg "$first" 10
    expect "tray program exit code" "$bg_code" 0
    expect_no_icon

    start_bg "second-$version" "${tray_env[@]}" -- "$pexa_dir\\$tray"
    local second=$bg_pid
    expect_icon crossed
    expect_ask 0x0
    ui menu 0 5000 > /dev/null
    expect "Enable chosen from the popup menu" "$?" 0
    expect_icon plain
    expect_ask 0x1
    close_tray "$second"
    expect_no_icon
}

# A second start while the first runs ends at once and leaves the first alone.
second_start() {
    need "$tray" || return
    set_machine "chip = 0x2E"
    driver_restart || return
    start_bg "running-$version" "${tray_env[@]}" -- "$pexa_dir\\$tray"
    local first=$bg_pid
    expect_icon plain
    wine_env "${tray_env[@]}" -- "$pexa_dir\\$tray" > /dev/null
    expect "second start exit code" "$?" 0
    ui count "$tray_class" > /dev/null
    expect "tray windows" "$(cat "$out")" 1
    ui icons > /dev/null
    expect "notification icons" "$(grep '^icons:' "$out")" "icons: 1"
    kill -0 "$first" 2> /dev/null
    expect "first instance still running" "$?" 0
    close_tray "$first"
    expect_no_icon
}

# Without the driver the tray program warns once and ends.
no_driver() {
    need "$tray" || return
    driver_stop
    start_bg "nodriver-$version" "${tray_env[@]}" -- "$pexa_dir\\$tray"
    local tray_pid=$bg_pid
    ui answer Pexaro ok 10000 > /dev/null
    expect "warning answered" "$?" 0
    expect "warning caption" "$(grep '^caption: ' "$out" | cut -c10-)" "Pexaro"
    expect "warning text" "$(grep '^text: ' "$out" | cut -c7-)" "Can not load driver PEXACTRL.SYS"
    wait_bg "$tray_pid" 10
    expect "tray program exit code" "$bg_code" 0
    ui no-box Pexaro 300 > /dev/null
    expect "warning shown once" "$?" 0
    ui count "$tray_class" > /dev/null
    expect "tray windows" "$(cat "$out")" 0
    ui icons > /dev/null
    expect "notification icons" "$(grep '^icons:' "$out")" "icons: 0"
    set_machine "chip = 0x2E"
    driver_restart
}

# "-V": the shown window's title is the code history, newest code last.
code_history() {
    need "$tray" || return
    set_machine "chip = 0x2E" "press = 600 33 33 33" "press = 900 CC CC CC"
    driver_restart || return
    reg_delete_value "$service_key" ASK
    start_bg "visible-$version" "${tray_env[@]}" -- "$pexa_dir\\$tray" -V
    local tray_pid=$bg_pid
    local expected='[00][00][00]=[00][00][00]=[33][33][33]=[CC][CC][CC]='
    local shown= tries=0
    while ((tries < 30)); do
        ui title "$tray_class" 5000 > /dev/null
        shown=$(cat "$out")
        [[ $shown == "$expected" ]] && break
        sleep 0.2
        tries=$((tries + 1))
    done
    expect "window title" "$shown" "$expected"
    close_tray "$tray_pid"
}

run_scenarios() {
    local versions=(win2k win98)
    for version in "${versions[@]}"; do
        set_version "$version"
        if [[ $version == win98 ]]; then tray=pexasmsc98.exe; else tray=pexasmsc2k.exe; fi
        scenario "$version-probe" probe
        scenario "$version-logon" logon
        scenario "$version-persisted-mode" persisted_mode
        scenario "$version-second-start" second_start
        scenario "$version-no-driver" no_driver
        scenario "$version-code-history" code_history
    done
    scenario driver-machine-description machine_description
}
