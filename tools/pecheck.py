#!/usr/bin/env python3
"""Static checks of a built vxCrHook.dll, for builds that cannot run here.

Reads the PE file with the standard library only and checks:
  - the machine (i386 or x86-64) and that it is a DLL;
  - the export table holds exactly the names given with --export;
  - no import of a mingw runtime DLL (the runtime is linked statically);
  - a resource of type "TYPELIB" with id 1 whose type library has the
    expected SYSKIND (byte 0x14 of an MSFT type library: 0x41 win32,
    0x43 win64; the low bits are the SYSKIND, 1 = win32, 3 = win64).
Prints one line per check and "N passed, N failed"; exits 1 on a failure.
"""
import argparse
import struct
import sys

MACHINES = {0x14C: "i386", 0x8664: "x86-64"}
RUNTIME_DLLS = ("libgcc", "libstdc++", "libwinpthread", "libssp", "libatomic")


class PE:
    def __init__(self, data):
        self.data = data
        if data[:2] != b"MZ":
            raise ValueError("not an MZ file")
        pe = struct.unpack_from("<I", data, 0x3C)[0]
        if data[pe:pe + 4] != b"PE\0\0":
            raise ValueError("no PE signature")
        self.machine, nsections, _, _, _, opt_size, self.characteristics = struct.unpack_from("<HHIIIHH", data, pe + 4)
        opt = pe + 24
        magic = struct.unpack_from("<H", data, opt)[0]
        self.pe32plus = magic == 0x20B
        dir_offset = opt + (112 if self.pe32plus else 96)
        self.directories = [struct.unpack_from("<II", data, dir_offset + 8 * i) for i in range(16)]
        self.sections = []
        sec = opt + opt_size
        for i in range(nsections):
            name, vsize, va, rawsize, rawptr = struct.unpack_from("<8sIIII", data, sec + 40 * i)
            self.sections.append((name.rstrip(b"\0").decode(), va, max(vsize, rawsize), rawptr))

    def offset(self, rva):
        for _, va, size, raw in self.sections:
            if va <= rva < va + size:
                return raw + rva - va
        raise ValueError("rva %x outside sections" % rva)

    def cstring(self, rva):
        off = self.offset(rva)
        return self.data[off:self.data.index(b"\0", off)].decode()

    def exports(self):
        rva, size = self.directories[0]
        if not rva:
            return []
        off = self.offset(rva)
        nnames = struct.unpack_from("<I", self.data, off + 24)[0]
        names_rva = struct.unpack_from("<I", self.data, off + 32)[0]
        return [self.cstring(struct.unpack_from("<I", self.data, self.offset(names_rva) + 4 * i)[0]) for i in range(nnames)]

    def imports(self):
        rva, _ = self.directories[1]
        result = []
        off = self.offset(rva)
        while True:
            entry = struct.unpack_from("<IIIII", self.data, off)
            if not any(entry):
                break
            result.append(self.cstring(entry[3]))
            off += 20
        return result

    def resource(self, type_name, res_id):
        rva, _ = self.directories[2]
        if not rva:
            return None
        base = self.offset(rva)

        def entries(dir_off):
            named, ids = struct.unpack_from("<HH", self.data, dir_off + 12)
            for i in range(named + ids):
                name, target = struct.unpack_from("<II", self.data, dir_off + 16 + 8 * i)
                if name & 0x80000000:
                    str_off = base + (name & 0x7FFFFFFF)
                    length = struct.unpack_from("<H", self.data, str_off)[0]
                    key = self.data[str_off + 2:str_off + 2 + 2 * length].decode("utf-16-le")
                else:
                    key = name
                yield key, target

        for key, target in entries(base):
            if key != type_name or not target & 0x80000000:
                continue
            for rkey, rtarget in entries(base + (target & 0x7FFFFFFF)):
                if rkey != res_id:
                    continue
                lang_dir = base + (rtarget & 0x7FFFFFFF)
                for _, data_entry in entries(lang_dir):
                    data_rva, data_size = struct.unpack_from("<II", self.data, base + data_entry)
                    off = self.offset(data_rva)
                    return self.data[off:off + data_size]
        return None


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("dll")
    parser.add_argument("--machine", required=True, choices=MACHINES.values())
    parser.add_argument("--export", action="append", default=[])
    args = parser.parse_args()

    checks = []

    def check(name, ok, detail=""):
        checks.append(ok)
        print("%s: %s%s" % ("PASS" if ok else "FAIL", name, " (%s)" % detail if detail else ""))

    with open(args.dll, "rb") as f:
        pe = PE(f.read())
    machine = MACHINES.get(pe.machine, hex(pe.machine))
    check("machine is " + args.machine, machine == args.machine, machine)
    check("PE32+ exactly for x86-64", pe.pe32plus == (args.machine == "x86-64"))
    check("file is a DLL", bool(pe.characteristics & 0x2000))
    exports = pe.exports()
    check("exports exactly " + ",".join(args.export), sorted(exports) == sorted(args.export), ",".join(exports))
    imports = pe.imports()
    runtime = [name for name in imports if name.lower().startswith(RUNTIME_DLLS)]
    check("no mingw runtime DLL imported", not runtime, ",".join(imports))
    tlb = pe.resource("TYPELIB", 1)
    check("resource TYPELIB 1 present", tlb is not None)
    if tlb is not None:
        expected_kind = 1 if args.machine == "i386" else 3
        check("type library is MSFT", tlb[:4] == b"MSFT", repr(tlb[:4]))
        syskind = tlb[0x14] if len(tlb) > 0x14 else -1
        check("type library SYSKIND %d" % expected_kind, syskind & 0xF == expected_kind, hex(syskind))
    failed = checks.count(False)
    print("%d passed, %d failed" % (len(checks) - failed, failed))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
