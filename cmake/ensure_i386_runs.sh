# Sourced by test.sh and tests/real_world/check.sh after the compilers are installed. The i386
# trees run their own programs (tests, the profile training, the corpus import), so the machine
# must run i386 programs. Some kernels are built or booted without the 32-bit entry; there the
# kernel is taught to hand i386 programs to a user-mode emulator (Debian's qemu-user) through
# binfmt_misc, which also covers i386 programs started by other programs (the import tool run by
# the tests, a benchmark that starts itself again). Sets I386_EMULATED to 0 (native) or 1; false
# when neither works.
I386_EMULATED=0

# Compiles and runs a program that exits with 42: status 0 when it ran, 1 when it did not,
# 2 when it could not be compiled (no i386 C library), which no emulator mends.
i386_probe_runs() {
  local dir status
  dir=$(mktemp -d) || return 2
  echo 'int main(void) { return 42; }' >"$dir/probe.c"
  if gcc -m32 -o "$dir/probe32" "$dir/probe.c" >/dev/null 2>&1; then
    "$dir/probe32" >/dev/null 2>&1
    [ $? -eq 42 ]; status=$?
  else
    status=2
  fi
  rm -rf "$dir"
  return $status
}

ensure_i386_runs() {
  local sudo="" binfmt=/proc/sys/fs/binfmt_misc
  # A handler left by an earlier run takes i386 programs before the kernel's own loader.
  if grep -qx enabled "$binfmt/polyin-i386" 2>/dev/null; then
    I386_EMULATED=1
    i386_probe_runs && return 0
  fi
  i386_probe_runs
  case $? in
    0) I386_EMULATED=0; return 0 ;;
    2) echo "cannot compile an i386 program (g++-multilib missing?)" >&2; return 1 ;;
  esac
  echo "== this kernel does not run i386 programs: running them through qemu-i386"
  ensure_packages qemu-user || return 1
  [ "$(id -u)" -ne 0 ] && sudo=sudo
  [ -e "$binfmt/register" ] || $sudo mount -t binfmt_misc binfmt_misc "$binfmt" || return 1
  # ELF, 32-bit, little-endian, an executable or a position-independent one, machine 3 (i386).
  # F opens the emulator now, so that it is found from any mount namespace or root.
  if [ -e "$binfmt/polyin-i386" ]; then
    echo 1 | $sudo tee "$binfmt/polyin-i386" >/dev/null || return 1  # registered, disabled
  else
    printf '%s' ':polyin-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:/usr/bin/qemu-i386:F' |
      $sudo tee "$binfmt/register" >/dev/null || return 1
  fi
  i386_probe_runs || { echo "i386 programs still do not run" >&2; return 1; }
  I386_EMULATED=1
}
