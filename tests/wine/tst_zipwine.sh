#!/usr/bin/env bash
# The portable zip under Wine, in a fresh prefix: unzipped into a folder
# whose path has spaces and letters beyond ASCII, Maritor.exe and zorvel.exe
# run from there, and what stands for the driver installer says that no
# driver package is included. Then the same packages signed with a
# certificate made here: the signatures verify and the programs still run.
#   (under xvfb-run) tst_zipwine.sh WINE64 WINESERVER CMAKE OSSLSIGNCODE SETTINGS PACKAGES_DIR PACKAGE_SCRIPT
#                                   VERSION SCREENSHOTS
set -euo pipefail
wine=$1 wineserver=$2 cmake=$3 osslsigncode=$4 settings=$5 packages=$6 script=$7 version=$8 screenshots=$9
source "$(dirname "$0")/wineprefix.sh"

runs_zorvel() { # folder, what
    (cd "$work" && timeout 30 "$wine" "$1/zorvel.exe" --help) >"$work/help" 2>&1 && grep -q apply "$work/help" \
        || fail "$2: zorvel.exe --help: $(cat "$work/help")"
}

unzipped="$work/Lab Tools/Zörvel Konfiguration ü"
mkdir -p "$unzipped"
"$cmake" -E chdir "$unzipped" "$cmake" -E tar xf "$packages/zorvel-custom-config-$version-win64.zip"
folder="$unzipped/ZORVEL Custom Config"
maritor_without_port "$folder" "unzipped Maritor.exe" "$screenshots/maritor-from-zip.png"
runs_zorvel "$folder" "unzipped"

(cd "$folder/usbdrv" && exec timeout 60 "$wine" DPInst64.exe) >"$work/notice.log" 2>&1 &
pid=$!
if notice=$(timeout 30 xdotool search --sync --onlyvisible --name '^ZORVEL Custom Config$' | head -n 1); then
    sleep 1
    import -window "$notice" "$screenshots/no-driver-package.png" || fail "no screenshot of the notice"
    xdotool windowfocus --sync "$notice" key Return
else
    fail "DPInst64.exe showed no notice"
    kill "$pid"
fi
status=0
wait "$pid" || status=$?
[ "$status" -eq 0 ] || fail "DPInst64.exe ended with $status"

openssl req -x509 -newkey rsa:2048 -sha256 -days 2 -nodes -subj "/CN=ZORVEL Custom Config test signing" \
    -addext extendedKeyUsage=codeSigning -keyout "$work/key.pem" -out "$work/cert.pem" 2>/dev/null
ZORVEL_SIGN_CERT=$work/cert.pem ZORVEL_SIGN_KEY=$work/key.pem "$cmake" -DSETTINGS="$settings" \
    -DSTAGE_DIR="$work/signed/stage" -DOUTPUT_DIR="$work/signed" -P "$script" >"$work/signed.log" 2>&1 \
    || { cat "$work/signed.log" >&2; exit 1; }
signed="$work/signed/stage/ZORVEL Custom Config"
for file in "$signed"/{Maritor.exe,zorvel.exe,usbdrv/Tarnwick.exe,usbdrv/DPInst.exe,usbdrv/DPInst64.exe} \
            "$work/signed/zorvel-custom-config-$version-win64.msi"; do
    "$osslsigncode" verify -CAfile "$work/cert.pem" -in "$file" >"$work/verify.log" 2>&1 \
        || fail "no valid signature on ${file#"$work"/}: $(tail -n 3 "$work/verify.log")"
done
maritor_without_port "$signed" "signed Maritor.exe"
runs_zorvel "$signed" "signed"

[ "$failures" -eq 0 ] && echo "PASS: the zip runs from any folder, and signed programs verify and run"
